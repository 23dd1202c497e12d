// A thread's first connection to the X server while GTK starts on the main
// thread. GDK grabs the server while it starts and, inside that grab, takes
// Xlib's process-wide lock; XOpenDisplay holds that lock until the server
// answers, which it does not while another client holds a grab. The test
// starts the connecting thread from inside GDK's own grab, in a child
// process, so that a hang ends the child and not the test program.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/dialogs_gtk.h"
#include "platform/x11_threads.h"
#include "tests/support/xserver.h"

namespace {

bool g_armed = false;
bool g_hookRan = false;
bool g_connected = false;
std::thread g_connector;

// Runs on the main thread just after GDK's first grab request.
void ConnectInsideTheGrab(Display* gdkDisplay)
{
    g_hookRan = true;
    XSync(gdkDisplay, False); // the grab now holds
    g_connector = std::thread([] { g_connected = ThreadDisplay() != nullptr; });
    // Time for the thread to get as far as it can before GDK goes on. How far
    // it got decides whether an unguarded connection shows up as a hang; a
    // guarded one passes however the two threads are scheduled.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

enum ChildExit { kPassed = 0, kGtkDidNotStart = 2, kNoGrabSeen = 3, kNoConnection = 4 };

[[noreturn]] void StartGtkWhileAThreadConnects()
{
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    g_armed = true;
    bool started = StartGtk();
    if (g_connector.joinable())
        g_connector.join();
    _exit(!started ? kGtkDidNotStart : !g_hookRan ? kNoGrabSeen : !g_connected ? kNoConnection : kPassed);
}

} // namespace

// GDK's calls to XGrabServer come here first (the program's definition
// wins over the library's), and go on to Xlib's.
extern "C" int XGrabServer(Display* display)
{
    using Grab = int (*)(Display*);
    static Grab real = reinterpret_cast<Grab>(dlsym(RTLD_NEXT, "XGrabServer"));
    int result = real(display);
    if (g_armed) {
        g_armed = false;
        ConnectInsideTheGrab(display);
    }
    return result;
}

TEST(XThreads, AThreadConnectingWhileGtkStartsLeavesNeitherWaiting)
{
    SG_REQUIRE_X();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        StartGtkWhileAThreadConnects();
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 600 && !ended; ++i) {
        ended = waitpid(child, &status, WNOHANG) == child;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        kill(child, SIGKILL); // also ends its grab on the server
        waitpid(child, &status, 0);
        FAIL() << "GTK's start-up and the thread's first connection waited for each other";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    switch (WEXITSTATUS(status)) {
    case kPassed:
        break;
    case kNoGrabSeen:
        FAIL() << "GDK took no server grab while starting; the test saw nothing to check";
        break;
    default:
        FAIL() << "child exit code " << WEXITSTATUS(status) << " (2: GTK did not start, 4: no connection)";
    }
}
