#include "tests/host/window_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

namespace wintest {
namespace {

bool IsGraphicWindow(Display* display, Window window)
{
    XClassHint hint = {};
    if (!XGetClassHint(display, window, &hint))
        return false;
    bool found = hint.res_name && std::strcmp(hint.res_name, "stereoglass") == 0;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return found;
}

Window Search(Display* display, Window parent)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        if (IsGraphicWindow(display, children[i]))
            found = children[i];
        else
            found = Search(display, children[i]);
    }
    if (children)
        XFree(children);
    return found;
}

// Windows come and go while the tests look at them (the window manager's
// own, the program's); errors on the tests' connections are expected and
// ignored. Errors on any other connection go to the previous handler, so a
// fault of the program's own still ends the test.
std::mutex g_connectionsLock;
std::set<Display*> g_connections;
XErrorHandler g_previousHandler = nullptr;

int TestErrorHandler(Display* display, XErrorEvent* error)
{
    bool ours = false;
    {
        std::lock_guard<std::mutex> hold(g_connectionsLock);
        ours = g_connections.count(display) != 0;
    }
    if (ours || !g_previousHandler)
        return 0;
    return g_previousHandler(display, error);
}

Display* OpenTestConnection()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        g_previousHandler = XSetErrorHandler(TestErrorHandler);
    });
    Display* display = XOpenDisplay(nullptr);
    std::lock_guard<std::mutex> hold(g_connectionsLock);
    if (display)
        g_connections.insert(display);
    return display;
}

} // namespace

Display* TestDisplay()
{
    struct Connection {
        Display* display = OpenTestConnection();
        ~Connection()
        {
            if (!display)
                return;
            XCloseDisplay(display);
            std::lock_guard<std::mutex> hold(g_connectionsLock);
            g_connections.erase(display);
        }
    };
    thread_local Connection connection;
    return connection.display;
}

Window FindGraphicWindow()
{
    Display* display = TestDisplay();
    XSync(display, False);
    return Search(display, DefaultRootWindow(display));
}

void Pause(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    for (int waited = 0; waited <= timeoutMs; waited += 5) {
        if (condition())
            return true;
        Pause(5);
    }
    return condition();
}

Window WaitForGraphicWindow(int timeoutMs)
{
    Window window = 0;
    WaitFor([&] { return (window = FindGraphicWindow()) != 0; }, timeoutMs);
    return window;
}

bool WaitUntilNoGraphicWindow(int timeoutMs)
{
    return WaitFor([] { return FindGraphicWindow() == 0; }, timeoutMs);
}

void ClientArea(Window window, int& x, int& y, int& width, int& height)
{
    Display* display = TestDisplay();
    XWindowAttributes attributes = {};
    XGetWindowAttributes(display, window, &attributes);
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    width = attributes.width;
    height = attributes.height;
}

uint32_t ScreenPixel(int x, int y)
{
    Display* display = TestDisplay();
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return 0xFFFFFFFF;
    uint32_t pixel = static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

bool WaitForScreenPixel(int x, int y, uint32_t rgb, int timeoutMs)
{
    return WaitFor([&] { return ScreenPixel(x, y) == rgb; }, timeoutMs);
}

void PressKeycode(unsigned keycode)
{
    Display* display = TestDisplay();
    XTestFakeKeyEvent(display, keycode, True, CurrentTime);
    XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    XSync(display, False);
}

void PressKey(unsigned long keysym, unsigned long modifier)
{
    Display* display = TestDisplay();
    KeyCode held = modifier ? XKeysymToKeycode(display, modifier) : 0;
    if (held)
        XTestFakeKeyEvent(display, held, True, CurrentTime);
    PressKeycode(XKeysymToKeycode(display, keysym));
    if (held)
        XTestFakeKeyEvent(display, held, False, CurrentTime);
    XSync(display, False);
}

void SendDeleteWindow(Window window)
{
    Display* display = TestDisplay();
    XEvent message = {};
    message.xclient.type = ClientMessage;
    message.xclient.window = window;
    message.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    message.xclient.format = 32;
    message.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &message);
    XSync(display, False);
}

} // namespace wintest
