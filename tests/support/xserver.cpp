#include "tests/support/xserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/support/x_display.h"

namespace sgtest {
namespace {

pid_t g_xvfb = 0;
pid_t g_wm = 0;
bool g_failed = false;
std::string g_display;

void StopChild(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

// In a child just forked: it gets SIGTERM when the thread that forked it
// ends, so a test program that dies without its exit handlers (a sanitizer's
// halt) leaves no server behind holding the test runner's output open.
void EndWithParent(pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(0);
}

void StopAll()
{
    StopChild(g_wm);
    StopChild(g_xvfb);
}

bool ServerAnswers()
{
    Display* display = XOpenDisplay(g_display.c_str());
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

// The window named by a window's _NET_SUPPORTING_WM_CHECK, None if unset
// or if the window is gone.
Window CheckWindow(Display* display, Window window)
{
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window named = None;
    if (XGetWindowProperty(display, window, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        data && format == 32 && count == 1)
        named = static_cast<Window>(reinterpret_cast<long*>(data)[0]);
    if (data)
        XFree(data);
    return named;
}

// The manager has announced itself: the root names a window that names
// itself (a stopped manager's stale root property names a gone window).
bool WindowManagerRuns()
{
    Display* display = TestDisplay();
    if (!display)
        return false;
    Window named = CheckWindow(display, DefaultRootWindow(display));
    return named != None && CheckWindow(display, named) == named;
}

} // namespace

bool StartXServer()
{
    if (g_xvfb > 0)
        return true;
    if (g_failed)
        return false;
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        EndWithParent(parent);
        close(fds[0]);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               "-noreset", "+extension", "RANDR", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (pid <= 0 || number.empty()) {
        if (pid > 0)
            waitpid(pid, nullptr, 0);
        g_failed = true;
        return false;
    }
    g_xvfb = pid;
    g_display = ":" + number;
    setenv("DISPLAY", g_display.c_str(), 1);
    std::atexit(StopAll);
    for (int i = 0; i < 500 && !ServerAnswers(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Opened here, on the main thread, before any code under test runs.
    TestDisplay();
    return true;
}

bool StartWindowManager()
{
    if (!StartXServer())
        return false;
    if (g_wm > 0)
        return true;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        EndWithParent(parent);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return false;
    g_wm = pid;
    for (int i = 0; i < 500; ++i) {
        if (WindowManagerRuns()) {
            NudgeWindowManager();
            return true;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            g_wm = 0;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    StopChild(g_wm);
    return false;
}

void StopWindowManager()
{
    StopChild(g_wm);
}

void NudgeWindowManager()
{
    Display* display = TestDisplay();
    if (!display)
        return;
    long stamp = 1;
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, "_SG_TEST_NUDGE", False), XA_CARDINAL,
                    32, PropModeReplace, reinterpret_cast<unsigned char*>(&stamp), 1);
    XSync(display, False);
}

std::string DisplayName()
{
    return g_display;
}

} // namespace sgtest
