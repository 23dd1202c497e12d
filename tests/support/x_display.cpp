#include "tests/support/x_display.h"

#include <mutex>

namespace sgtest {
namespace {

Display* g_display = nullptr;
XErrorHandler g_previousHandler = nullptr;

// Errors on any other connection go to the previous handler, so that a fault
// of the code under test still ends the test.
int TestErrorHandler(Display* display, XErrorEvent* error)
{
    if (display == g_display || !g_previousHandler)
        return 0;
    return g_previousHandler(display, error);
}

} // namespace

Display* TestDisplay()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        g_display = XOpenDisplay(nullptr);
        if (g_display)
            g_previousHandler = XSetErrorHandler(TestErrorHandler);
    });
    return g_display;
}

} // namespace sgtest
