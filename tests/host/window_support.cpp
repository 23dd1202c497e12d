#include "tests/host/window_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "host/graphic_window.h"
#include "host/targets.h"

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

} // namespace

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

Window WaitForGraphicWindow(int timeoutMs)
{
    Window window = 0;
    WaitUntil([&] { return (window = FindGraphicWindow()) != 0; }, timeoutMs);
    return window;
}

bool WaitUntilNoGraphicWindow(int timeoutMs)
{
    return WaitUntil([] { return FindGraphicWindow() == 0; }, timeoutMs);
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
    return WaitUntil([&] { return ScreenPixel(x, y) == rgb; }, timeoutMs);
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

TargetRecord* SurfaceOf(HWND frame)
{
    LockDrawing();
    TargetRecord* record = ResolveTarget(frame, 0);
    UnlockDrawing();
    return record;
}

bool WaitForFocus(HWND frame)
{
    TargetRecord* record = SurfaceOf(frame);
    return record && WaitUntil([&] { return record->hasFocus.load(); });
}

std::u16string WaitForKeyWhileClosing(const std::function<void()>& close)
{
    std::thread closer([&close] {
        Pause(200);
        close();
    });
    std::u16string key = WaitForKey(u"", 0);
    closer.join();
    return key;
}

void GraphicWindowFixture::TearDown()
{
    if (!started_)
        return;
    if (Window window = FindGraphicWindow())
        SendDeleteWindow(window);
    EXPECT_TRUE(WaitUntilNoGraphicWindow());
    SelectTarget(0, 0, false);
}

} // namespace wintest
