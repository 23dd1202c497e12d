#pragma once
// A private folder under /tmp, removed with everything in it when the
// object goes.
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace sgtest {

struct TempFolder {
    std::string path; // "" when it could not be made
    explicit TempFolder(const char* prefix = "sg-test")
    {
        std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data()))
            path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string operator/(const std::string& name) const { return path + "/" + name; }
};

} // namespace sgtest
