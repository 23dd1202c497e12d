#include "platform/x11_threads.h"

namespace {

struct ThreadConnection {
    Display* display = nullptr;
    bool tried = false;
    ~ThreadConnection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

thread_local ThreadConnection t_connection;

} // namespace

void InitXThreads()
{
    static std::once_flag once;
    std::call_once(once, [] { XInitThreads(); });
}

std::mutex& ConnectionLock()
{
    static std::mutex lock;
    return lock;
}

Display* ThreadDisplay()
{
    if (!t_connection.tried) {
        t_connection.tried = true;
        InitXThreads();
        std::lock_guard<std::mutex> hold(ConnectionLock());
        t_connection.display = XOpenDisplay(nullptr);
    }
    return t_connection.display;
}
