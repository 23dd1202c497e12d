#pragma once
#include <string>

namespace sgtest {

// What the shell command prints on its standard output, without trailing
// newlines and spaces; "" when it cannot run.
std::string CommandOutput(const std::string& command);

} // namespace sgtest
