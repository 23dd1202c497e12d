#include "tests/support/xserver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

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

bool WindowManagerRuns()
{
    Display* display = XOpenDisplay(g_display.c_str());
    if (!display)
        return false;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                    &format, &count, &after, &data) == Success &&
                 count == 1;
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return found;
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
    pid_t pid = fork();
    if (pid == 0) {
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
    return true;
}

bool StartWindowManager()
{
    if (!StartXServer())
        return false;
    if (g_wm > 0)
        return true;
    pid_t pid = fork();
    if (pid == 0) {
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return false;
    g_wm = pid;
    for (int i = 0; i < 500; ++i) {
        if (WindowManagerRuns())
            return true;
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

std::string DisplayName()
{
    return g_display;
}

} // namespace sgtest
