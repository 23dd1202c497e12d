#pragma once
// A private X server for GUI tests: Xvfb on a free display (1920 x 1080 x 24),
// started once per test program, and openbox for the tests that need a
// window manager. DISPLAY is set for the process while they run. Start them
// from the main thread: they end when the thread that started them ends.
#include <string>

namespace sgtest {

// Starts Xvfb the first time; false when it cannot start.
bool StartXServer();
// Starts openbox on that server (and the server if needed); false on failure.
bool StartWindowManager();
void StopWindowManager();
// openbox, just started, may leave a window's map request unanswered until
// its next event; a change of a root property gives it one. StartWindowManager
// does this once openbox has announced itself; tests waiting for a window to
// be managed may do it again.
void NudgeWindowManager();
std::string DisplayName();

} // namespace sgtest

// Skips the current test with a clear message when Xvfb cannot start.
#define SG_REQUIRE_X()                                                      \
    do {                                                                    \
        if (!::sgtest::StartXServer())                                      \
            GTEST_SKIP() << "Xvfb cannot start; skipping a test that needs X"; \
    } while (0)

#define SG_REQUIRE_WM()                                                          \
    do {                                                                         \
        if (!::sgtest::StartWindowManager())                                     \
            GTEST_SKIP() << "Xvfb or openbox cannot start; skipping a test that needs a WM"; \
    } while (0)
