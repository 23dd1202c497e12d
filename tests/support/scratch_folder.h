#pragma once
// A fresh folder under /tmp that is the current directory while the object
// lives; the previous directory comes back and the folder goes afterwards.
#include <string>

namespace sgtest {

std::string CurrentDirectory();

struct ScratchFolder {
    std::string path; // "" when it could not be made or entered
    std::string previous;
    explicit ScratchFolder(const char* prefix = "sg-test");
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // Writes a small file of that name in the folder; its full path.
    std::string Make(const std::string& name) const;
};

} // namespace sgtest
