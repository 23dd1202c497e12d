#pragma once
// Running a program to its end with arguments, in a folder, with changes to
// its environment, and keeping what it printed.
#include <string>
#include <vector>

namespace sgtest {

struct CommandRun {
    int exitCode = -1; // -1 when it did not end in time (it is killed)
    std::string out, err;
};

// environment: "NAME=value" sets, "NAME" removes. DISPLAY is always removed
// unless set here. asNobody: run as the user nobody when this process is
// root, so that a folder's missing write bit counts.
CommandRun RunCommand(const std::vector<std::string>& argv, const std::string& folder,
                      const std::vector<std::string>& environment = {}, bool asNobody = false,
                      int timeoutMs = 120000);

} // namespace sgtest
