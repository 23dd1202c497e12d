#pragma once
// Running a program to its end with arguments, in a folder, with changes to
// its environment, and keeping what it printed.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace sgtest {

struct CommandRun {
    int exitCode = -1; // -1 when it did not end in time (it is killed)
    std::string out, err;
};

// environment: "NAME=value" sets, "NAME" removes. DISPLAY is always removed
// unless set here. asNobody: run as the user nobody when this process is
// root, so that a folder's missing write bit counts; argv[0] is then run
// from a copy that user reaches (tests/support/other_user.h).
// whileRunning, when given, is called with the child's pid once it is
// started, before the wait for its end.
CommandRun RunCommand(const std::vector<std::string>& argv, const std::string& folder,
                      const std::vector<std::string>& environment = {}, bool asNobody = false,
                      int timeoutMs = 120000, const std::function<void(pid_t)>& whileRunning = {});

} // namespace sgtest
