#include "tests/support/scratch_folder.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace sgtest {

std::string CurrentDirectory()
{
    char path[4096];
    return getcwd(path, sizeof path) ? path : "";
}

ScratchFolder::ScratchFolder(const char* prefix) : previous(CurrentDirectory())
{
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    path = mkdtemp(pattern.data()) ? pattern : "";
    if (!path.empty() && chdir(path.c_str()) != 0)
        path.clear();
}

ScratchFolder::~ScratchFolder()
{
    if (chdir(previous.c_str()) != 0)
        return;
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string ScratchFolder::Make(const std::string& name) const
{
    std::string full = path + "/" + name;
    std::ofstream(full) << "x";
    return full;
}

} // namespace sgtest
