#include "tests/support/command.h"

#include <stdio.h>

namespace sgtest {

std::string CommandOutput(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buffer[256];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

} // namespace sgtest
