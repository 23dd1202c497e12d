#pragma once
// Running the program as another user (nobody), so that a folder's missing
// write bit counts even when the suite runs as root. Every test that does
// so goes through here: the build may lie below a folder that only its
// owner may enter (a Debian home is 0700, and so is a mktemp -d folder), so
// the program is run from a copy that every user can reach.
#include <string>

namespace sgtest {

// Whether this process can run a child as the other user (it is root).
bool CanRunAsOtherUser();

// The program copied, with the shared libraries it loads from below its own
// folder (the build tree), into a folder under /tmp that every user may
// enter; the copy's path. Made once per program; "" when it failed. Call it
// before fork.
std::string ProgramForOtherUser(const std::string& program);

// In a child after fork, before exec: drops to the other user (no
// supplementary groups), makes the copy's folder the first place for its
// libraries, and checks that the user reaches the copy and the folder it is
// to run in. False, with a line on standard error that says what it could
// not do or reach, otherwise.
bool BecomeOtherUser(const std::string& programCopy, const std::string& folder);

} // namespace sgtest
