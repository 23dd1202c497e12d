#include "platform/user_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <unistd.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/desktop_x11.h"
#include "platform/handles.h"
#include "platform/text.h"
#include "platform/user_windows_x11.h"
#include "platform/x11_threads.h"

namespace {

// _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
constexpr long MWM_HINTS_FUNCTIONS = 1;
constexpr long MWM_HINTS_DECORATIONS = 2;
constexpr long MWM_FUNC_ALL = 1;
constexpr long MWM_FUNC_RESIZE = 2;
constexpr long MWM_FUNC_MINIMIZE = 8;
constexpr long MWM_FUNC_MAXIMIZE = 16;
constexpr long MWM_FUNC_CLOSE = 32;
constexpr long MWM_FUNC_EVERY = 2 | 4 | 8 | 16 | 32;
constexpr long MWM_DECOR_ALL = 1;
constexpr long MWM_DECOR_TITLE = 8;
constexpr long MWM_DECOR_MENU = 16;
constexpr long MWM_DECOR_EVERY = 2 | 4 | 8 | 16 | 32 | 64;
constexpr long NET_WM_STATE_ADD = 1;

std::mutex g_tableLock;
std::unordered_map<Window, HWND> g_handles;
std::unordered_map<HWND, Window> g_windows;

// Windows come and go while they are looked at; a request on one that has
// just gone is not an error for these calls. Other errors go where they went.
XErrorHandler g_previousHandler = nullptr;

int IgnoreVanishedWindows(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow || error->error_code == BadDrawable)
        return 0;
    return g_previousHandler ? g_previousHandler(display, error) : 0;
}

Display* WindowsDisplay()
{
    static std::once_flag once;
    std::call_once(once, [] {
        InitXThreads();
        g_previousHandler = XSetErrorHandler(IgnoreVanishedWindows);
    });
    return ThreadDisplay();
}

Atom AtomNamed(Display* display, const char* name)
{
    return XInternAtom(display, name, False);
}

// A property as a list of 32-bit items (longs, as Xlib hands them over).
std::vector<long> ReadLongs(Display* display, Window window, Atom property, Atom type, long most)
{
    std::vector<long> values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, most, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data && format == 32) {
        const long* items = reinterpret_cast<const long*>(data);
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

std::string ReadText(Display* display, Window window, Atom property, Atom type)
{
    std::string text;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data && format == 8)
        text.assign(reinterpret_cast<const char*>(data), count);
    if (data)
        XFree(data);
    return text;
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// _NET_WM_NAME when set, else WM_NAME, as UTF-8.
std::string WindowTitle(Display* display, Window window)
{
    Atom utf8 = AtomNamed(display, "UTF8_STRING");
    std::string title = ReadText(display, window, AtomNamed(display, "_NET_WM_NAME"), utf8);
    if (!title.empty())
        return title;
    XTextProperty name = {};
    if (!XGetWMName(display, window, &name) || !name.value)
        return title;
    if (name.encoding == XA_STRING) {
        title = Latin1ToUtf8(std::string(reinterpret_cast<const char*>(name.value), name.nitems));
    } else if (name.encoding == utf8) {
        title.assign(reinterpret_cast<const char*>(name.value), name.nitems);
    } else {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &name, &list, &count) == Success && count > 0 && list)
            title = list[0];
        if (list)
            XFreeStringList(list);
    }
    XFree(name.value);
    return title;
}

std::string WindowClass(Display* display, Window window)
{
    XClassHint hint = {};
    if (!XGetClassHint(display, window, &hint))
        return {};
    std::string name = hint.res_class ? hint.res_class : "";
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return name;
}

bool HasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool present = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format,
                                      &count, &after, &data) == Success &&
                   type != None;
    if (data)
        XFree(data);
    return present;
}

bool IsShown(Display* display, Window window)
{
    XWindowAttributes attributes = {};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// The client window inside a frame of the window manager: the first child
// that carries WM_STATE; the window itself when none does (no manager).
Window ClientOf(Display* display, Window frame, Atom wmState)
{
    if (HasProperty(display, frame, wmState))
        return frame;
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    Window client = frame;
    if (XQueryTree(display, frame, &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            if (HasProperty(display, children[i], wmState)) {
                client = children[i];
                break;
            }
        }
    }
    if (children)
        XFree(children);
    return client;
}

// The top-level client windows: the manager's client list when it keeps one,
// else the root's children (or the clients inside their frames), front last.
std::vector<Window> TopLevelWindows(Display* display)
{
    Window root = DefaultRootWindow(display);
    std::vector<long> listed = ReadLongs(display, root, AtomNamed(display, "_NET_CLIENT_LIST"), XA_WINDOW, 65536);
    std::vector<Window> windows(listed.begin(), listed.end());
    if (!windows.empty())
        return windows;
    Window rootReturn = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        Atom wmState = AtomNamed(display, "WM_STATE");
        for (unsigned int i = 0; i < count; ++i)
            windows.push_back(ClientOf(display, children[i], wmState));
    }
    if (children)
        XFree(children);
    return windows;
}

bool WindowManagerRuns(Display* display)
{
    Window root = DefaultRootWindow(display);
    Atom check = AtomNamed(display, "_NET_SUPPORTING_WM_CHECK");
    std::vector<long> onRoot = ReadLongs(display, root, check, XA_WINDOW, 1);
    if (onRoot.size() != 1)
        return false;
    std::vector<long> onChild = ReadLongs(display, static_cast<Window>(onRoot[0]), check, XA_WINDOW, 1);
    return onChild.size() == 1 && onChild[0] == onRoot[0];
}

// The functions and decorations that the window's Motif hints allow, each
// as an explicit set of bits (the "all but" form resolved).
struct FrameHints {
    long functions = MWM_FUNC_EVERY;
    long decorations = MWM_DECOR_EVERY;
};

FrameHints ReadFrameHints(Display* display, Window window)
{
    FrameHints hints;
    Atom property = AtomNamed(display, "_MOTIF_WM_HINTS");
    std::vector<long> raw = ReadLongs(display, window, property, property, 5);
    if (raw.size() < 3)
        return hints;
    if (raw[0] & MWM_HINTS_FUNCTIONS)
        hints.functions = (raw[1] & MWM_FUNC_ALL) ? MWM_FUNC_EVERY & ~raw[1] : raw[1] & MWM_FUNC_EVERY;
    if (raw[0] & MWM_HINTS_DECORATIONS)
        hints.decorations = (raw[2] & MWM_DECOR_ALL) ? MWM_DECOR_EVERY & ~raw[2] : raw[2] & MWM_DECOR_EVERY;
    return hints;
}

void WriteFrameHints(Display* display, Window window, const FrameHints& hints)
{
    Atom property = AtomNamed(display, "_MOTIF_WM_HINTS");
    std::vector<long> raw = ReadLongs(display, window, property, property, 5);
    raw.resize(5, 0);
    raw[0] |= MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS;
    raw[1] = hints.functions;
    raw[2] = hints.decorations;
    XChangeProperty(display, window, property, property, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(raw.data()), 5);
}

bool IsMaximised(Display* display, Window window)
{
    std::vector<long> states = ReadLongs(display, window, AtomNamed(display, "_NET_WM_STATE"), XA_ATOM, 64);
    Atom vertical = AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_VERT");
    Atom horizontal = AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_HORZ");
    bool hasVertical = false, hasHorizontal = false;
    for (long state : states) {
        hasVertical = hasVertical || static_cast<Atom>(state) == vertical;
        hasHorizontal = hasHorizontal || static_cast<Atom>(state) == horizontal;
    }
    return hasVertical && hasHorizontal;
}

LONG StyleOf(Display* display, Window window)
{
    FrameHints hints = ReadFrameHints(display, window);
    LONG style = 0;
    if (IsShown(display, window))
        style |= WS_VISIBLE;
    if (hints.decorations & MWM_DECOR_TITLE)
        style |= WS_CAPTION;
    if (hints.functions & MWM_FUNC_CLOSE)
        style |= WS_SYSMENU;
    if (hints.functions & MWM_FUNC_RESIZE)
        style |= WS_THICKFRAME;
    if (hints.functions & MWM_FUNC_MINIMIZE)
        style |= WS_MINIMIZEBOX;
    if (hints.functions & MWM_FUNC_MAXIMIZE)
        style |= WS_MAXIMIZEBOX;
    if (IsMaximised(display, window))
        style |= WS_MAXIMIZE;
    return style;
}

void SetSystemMenu(Display* display, Window window, bool present)
{
    FrameHints hints = ReadFrameHints(display, window);
    if (present) {
        hints.functions |= MWM_FUNC_CLOSE;
        hints.decorations |= MWM_DECOR_MENU;
    } else {
        hints.functions &= ~MWM_FUNC_CLOSE;
        hints.decorations &= ~MWM_DECOR_MENU;
    }
    WriteFrameHints(display, window, hints);
}

void AskToMaximise(Display* display, Window window)
{
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = AtomNamed(display, "_NET_WM_STATE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = NET_WM_STATE_ADD;
    event.xclient.data.l[1] = static_cast<long>(AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_VERT"));
    event.xclient.data.l[2] = static_cast<long>(AtomNamed(display, "_NET_WM_STATE_MAXIMIZED_HORZ"));
    event.xclient.data.l[3] = 1; // from an application
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
}

void CoverWorkArea(Display* display, Window window)
{
    RECT area = WorkAreaRect(display);
    XMoveResizeWindow(display, window, area.left, area.top, static_cast<unsigned>(area.right - area.left),
                      static_cast<unsigned>(area.bottom - area.top));
    XRaiseWindow(display, window);
}

} // namespace

HWND HandleForXWindow(Window window)
{
    if (window == None)
        return 0;
    std::lock_guard<std::mutex> hold(g_tableLock);
    auto found = g_handles.find(window);
    if (found != g_handles.end())
        return found->second;
    HWND handle = NewHandleId();
    g_handles[window] = handle;
    g_windows[handle] = window;
    return handle;
}

Window XWindowForHandle(HWND handle)
{
    std::lock_guard<std::mutex> hold(g_tableLock);
    auto found = g_windows.find(handle);
    return found == g_windows.end() ? None : found->second;
}

namespace {

// Whether the window says (by _NET_WM_PID) that this process made it.
bool MadeByThisProcess(Display* display, Window window)
{
    std::vector<long> pid = ReadLongs(display, window, AtomNamed(display, "_NET_WM_PID"), XA_CARDINAL, 1);
    return pid.size() == 1 && pid[0] == static_cast<long>(getpid());
}

HWND FindShownWindow(const char* className, const char* windowName, bool ownOnly)
{
    Display* display = WindowsDisplay();
    if (!display)
        return 0;
    std::string wanted = windowName ? CharLowerA(windowName) : std::string();
    for (Window window : TopLevelWindows(display)) {
        if (!IsShown(display, window))
            continue;
        if (ownOnly && !MadeByThisProcess(display, window))
            continue;
        if (windowName && CharLowerA(WindowTitle(display, window)) != wanted)
            continue;
        if (className && WindowClass(display, window) != className)
            continue;
        return HandleForXWindow(window);
    }
    return 0;
}

} // namespace

HWND FindWindowA(const char* className, const char* windowName)
{
    return FindShownWindow(className, windowName, false);
}

HWND FindOwnWindowA(const char* windowName)
{
    return FindShownWindow(nullptr, windowName, true);
}

LONG GetWindowLongA(HWND handle, int index)
{
    Display* display = WindowsDisplay();
    Window window = XWindowForHandle(handle);
    if (!display || window == None || index != GWL_STYLE)
        return 0;
    return StyleOf(display, window);
}

LONG SetWindowLongA(HWND handle, int index, LONG value)
{
    Display* display = WindowsDisplay();
    Window window = XWindowForHandle(handle);
    if (!display || window == None || index != GWL_STYLE)
        return 0;
    LONG previous = StyleOf(display, window);
    if ((previous ^ value) & WS_SYSMENU) {
        SetSystemMenu(display, window, (value & WS_SYSMENU) != 0);
        XFlush(display);
    }
    return previous;
}

BOOL ShowWindow(HWND handle, int command)
{
    Display* display = WindowsDisplay();
    Window window = XWindowForHandle(handle);
    if (!display || window == None)
        return FALSE;
    BOOL wasShown = IsShown(display, window) ? TRUE : FALSE;
    if (command != SW_MAXIMIZE)
        return wasShown;
    if (WindowManagerRuns(display))
        AskToMaximise(display, window);
    else
        CoverWorkArea(display, window);
    XFlush(display);
    return wasShown;
}
