#include "platform/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <new>

#include "platform/gdi_internal.h"
#include "platform/text.h"
#include "platform/x11_threads.h"
#include "platform/x11_window_keys.h"

struct XWindowRecord {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    Atom deleteWindow = 0;
    XIM inputMethod = nullptr;
    XIC inputContext = nullptr;
    unsigned int numLockMask = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool gone = false; // destroyed by someone else
    GdiPixels pixels = {0, 0, nullptr};
    XImage* image = nullptr; // wraps pixels.bits when the visual takes them as they are
    // Areas asked for by InvalidateXWindow, from any thread.
    std::mutex pendingLock;
    bool pending = false;
    RECT pendingArea = {0, 0, 0, 0};
    // Written by any thread that has work for the window's thread; the
    // thread's wait wakes on it as on the X connection.
    int wakeFd = -1;
};

namespace {

constexpr long kEventMask =
    ExposureMask | KeyPressMask | FocusChangeMask | StructureNotifyMask | ButtonPressMask;

short ClampToShort(int64_t value)
{
    return static_cast<short>(std::clamp<int64_t>(value, SHRT_MIN, SHRT_MAX));
}

Atom AtomOf(Display* display, const char* name)
{
    return XInternAtom(display, name, False);
}

void SetTitle(XWindowRecord& w, const std::string& caption)
{
    Atom utf8 = AtomOf(w.display, "UTF8_STRING");
    auto* text = reinterpret_cast<const unsigned char*>(caption.data());
    int length = static_cast<int>(std::min<size_t>(caption.size(), INT_MAX));
    XChangeProperty(w.display, w.window, XA_WM_NAME, utf8, 8, PropModeReplace, text, length);
    XChangeProperty(w.display, w.window, AtomOf(w.display, "_NET_WM_NAME"), utf8, 8, PropModeReplace, text, length);
}

// _MOTIF_WM_HINTS with the decorations field set and empty.
void RemoveDecorations(XWindowRecord& w)
{
    long hints[5] = {2, 0, 0, 0, 0}; // flags = MWM_HINTS_DECORATIONS
    Atom motif = AtomOf(w.display, "_MOTIF_WM_HINTS");
    XChangeProperty(w.display, w.window, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints),
                    5);
}

void SetWindowManagerHints(XWindowRecord& w, int x, int y)
{
    XSizeHints* size = XAllocSizeHints();
    if (size) {
        size->flags = USPosition | PPosition | USSize | PSize | PWinGravity;
        size->x = x;
        size->y = y;
        size->width = w.width;
        size->height = w.height;
        size->win_gravity = NorthWestGravity;
        XSetWMNormalHints(w.display, w.window, size);
        XFree(size);
    }
    XWMHints* wm = XAllocWMHints();
    if (wm) {
        wm->flags = InputHint | StateHint;
        wm->input = True;
        wm->initial_state = NormalState;
        XSetWMHints(w.display, w.window, wm);
        XFree(wm);
    }
    XClassHint* klass = XAllocClassHint();
    if (klass) {
        char name[] = "stereoglass";
        char className[] = "Stereoglass";
        klass->res_name = name;
        klass->res_class = className;
        XSetClassHint(w.display, w.window, klass);
        XFree(klass);
    }
    long pid = getpid();
    XChangeProperty(w.display, w.window, AtomOf(w.display, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    w.deleteWindow = AtomOf(w.display, "WM_DELETE_WINDOW");
    XSetWMProtocols(w.display, w.window, &w.deleteWindow, 1);
}

unsigned int NumLockMask(Display* display)
{
    KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned int mask = 0;
    if (!map)
        return 0;
    for (int modifier = 0; modifier < 8 && numLock; ++modifier) {
        for (int i = 0; i < map->max_keypermod; ++i) {
            if (map->modifiermap[modifier * map->max_keypermod + i] == numLock)
                mask = 1u << modifier;
        }
    }
    XFreeModifiermap(map);
    return mask;
}

// An input method gives characters for every keysym and handles compose
// sequences; without one, keysyms are mapped here.
void OpenInputContext(XWindowRecord& w)
{
    w.inputMethod = XOpenIM(w.display, nullptr, nullptr, nullptr);
    if (!w.inputMethod)
        return;
    w.inputContext = XCreateIC(w.inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                               w.window, XNFocusWindow, w.window, nullptr);
    if (!w.inputContext) {
        XCloseIM(w.inputMethod);
        w.inputMethod = nullptr;
    }
}

// ---- painting ----

int MaskShift(unsigned long mask)
{
    return mask ? std::countr_zero(mask) : 0;
}

unsigned long ChannelBits(uint32_t value8, unsigned long mask)
{
    int shift = MaskShift(mask);
    int bits = std::popcount(mask);
    if (bits == 0)
        return 0;
    unsigned long value = bits >= 8 ? (static_cast<unsigned long>(value8) << (bits - 8)) : (value8 >> (8 - bits));
    return (value << shift) & mask;
}

unsigned long PixelOf(const Visual* visual, uint32_t bgrx)
{
    return ChannelBits((bgrx >> 16) & 0xFF, visual->red_mask) | ChannelBits((bgrx >> 8) & 0xFF, visual->green_mask) |
           ChannelBits(bgrx & 0xFF, visual->blue_mask);
}

// An image over the pixels themselves when the server takes 32-bit
// 0x00RRGGBB pixels, as a 24- or 32-bit TrueColor visual does.
XImage* WrapPixels(XWindowRecord& w)
{
    const Visual* visual = w.visual;
    if (!w.pixels.bits || visual->c_class != TrueColor || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF || (w.depth != 24 && w.depth != 32))
        return nullptr;
    XImage* image = XCreateImage(w.display, w.visual, w.depth, ZPixmap, 0, reinterpret_cast<char*>(w.pixels.bits),
                                 w.pixels.width, w.pixels.height, 32, w.pixels.width * 4);
    if (image && image->bits_per_pixel != 32) {
        image->data = nullptr;
        XDestroyImage(image);
        return nullptr;
    }
    if (image)
        image->byte_order = LSBFirst; // the bytes are blue, green, red, unused
    return image;
}

void DropImage(XWindowRecord& w)
{
    if (!w.image)
        return;
    w.image->data = nullptr; // the pixels belong to the bitmap
    XDestroyImage(w.image);
    w.image = nullptr;
}

// Other visuals: the area is converted pixel by pixel.
void PaintConverted(XWindowRecord& w, int x, int y, int width, int height)
{
    if (w.visual->c_class != TrueColor && w.visual->c_class != DirectColor)
        return;
    XImage* image = XCreateImage(w.display, w.visual, w.depth, ZPixmap, 0, nullptr, width, height, 32, 0);
    if (!image)
        return;
    size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    image->data = static_cast<char*>(std::malloc(bytes));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    for (int row = 0; row < height; ++row) {
        const uint32_t* source = w.pixels.bits + static_cast<size_t>(y + row) * w.pixels.width + x;
        for (int column = 0; column < width; ++column)
            XPutPixel(image, column, row, PixelOf(w.visual, source[column]));
    }
    XPutImage(w.display, w.window, w.gc, image, 0, 0, x, y, width, height);
    XDestroyImage(image);
}

void PaintArea(XWindowRecord& w, int x, int y, int width, int height)
{
    // Painting takes no drawing lock, but the pixels are read under the GDI
    // lock, so a fill or copy into the bitmap on another thread is never
    // seen half done.
    std::unique_lock<std::mutex> gdiLock = gdi::LockGdi();
    if (!w.pixels.bits)
        return;
    int right = std::min(x + width, w.pixels.width);
    int bottom = std::min(y + height, w.pixels.height);
    x = std::max(x, 0);
    y = std::max(y, 0);
    if (right <= x || bottom <= y)
        return;
    if (w.image)
        XPutImage(w.display, w.window, w.gc, w.image, x, y, x, y, right - x, bottom - y);
    else
        PaintConverted(w, x, y, right - x, bottom - y);
}

void PaintPending(XWindowRecord& w)
{
    RECT area;
    {
        std::lock_guard<std::mutex> hold(w.pendingLock);
        if (!w.pending)
            return;
        area = w.pendingArea;
        w.pending = false;
    }
    PaintArea(w, area.left, area.top, area.right - area.left, area.bottom - area.top);
    XFlush(w.display);
}

// ---- events ----

// Characters without an input method: Latin-1 and Unicode keysyms, and the
// control characters that XLookupString gives (Return, Escape, Ctrl+letter).
int32_t KeysymText(KeySym symbol, const char* bytes, int count, char16_t* out)
{
    uint32_t code = 0;
    if ((symbol >= 0x20 && symbol <= 0x7E) || (symbol >= 0xA0 && symbol <= 0xFF))
        code = static_cast<uint32_t>(symbol);
    else if ((symbol & 0xFF000000) == 0x01000000)
        code = static_cast<uint32_t>(symbol & 0x00FFFFFF);
    if (count == 1 && (static_cast<unsigned char>(bytes[0]) < 0x20 || bytes[0] == 0x7F))
        code = static_cast<unsigned char>(bytes[0]);
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    if (code < 0x10000) {
        out[0] = static_cast<char16_t>(code);
        return 1;
    }
    code -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (code >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    return 2;
}

void LookUpText(XWindowRecord& w, XKeyEvent& key, KeySym& symbol, SurfaceEvent& event)
{
    char bytes[64];
    symbol = NoSymbol;
    if (w.inputContext) {
        Status status = 0;
        int count = Xutf8LookupString(w.inputContext, &key, bytes, sizeof bytes - 1, &symbol, &status);
        if (status != XLookupChars && status != XLookupBoth)
            return;
        std::u16string text = WidenAnsi(std::string_view(bytes, static_cast<size_t>(std::max(count, 0))));
        event.textLength = static_cast<int32_t>(std::min<size_t>(text.size(), std::size(event.text)));
        std::copy_n(text.begin(), event.textLength, event.text);
        return;
    }
    int count = XLookupString(&key, bytes, sizeof bytes - 1, &symbol, nullptr);
    event.textLength = KeysymText(symbol, bytes, count, event.text);
}

void TranslateKey(XWindowRecord& w, XKeyEvent& key, SurfaceEvent& event)
{
    event.type = SurfaceEventType::Key;
    ScanCode scan = key.keycode >= 8 ? ScanCodeOfEvdev(key.keycode - 8) : ScanCode{};
    event.scanCode = scan.code;
    event.extended = scan.extended;
    bool control = key.state & ControlMask;
    bool alt = key.state & Mod1Mask;
    // F10 and the Alt keys themselves go down as system keys too.
    bool f10 = scan.code == 0x44 && !scan.extended;
    bool altKey = scan.code == 0x38;
    event.systemKey = !control && (alt || f10 || altKey);
    event.numLock = w.numLockMask && (key.state & w.numLockMask);
    event.shift = key.state & ShiftMask;
    KeySym symbol = NoSymbol;
    LookUpText(w, key, symbol, event);
    // The Delete key types nothing on the PC; X gives it DEL.
    if (symbol == XK_Delete || symbol == XK_KP_Delete)
        event.textLength = 0;
}

bool ResizeEvent(XWindowRecord& w, const XConfigureEvent& configure, SurfaceEvent& event)
{
    if (configure.width == w.width && configure.height == w.height)
        return false;
    w.width = configure.width;
    w.height = configure.height;
    event.type = SurfaceEventType::Resize;
    event.width = w.width;
    event.height = w.height;
    return true;
}

bool IgnoredFocusChange(const XFocusChangeEvent& focus)
{
    return focus.detail == NotifyPointer || focus.detail == NotifyPointerRoot || focus.detail == NotifyDetailNone;
}

bool TranslateEvent(XWindowRecord& w, XEvent& raw, SurfaceEvent& event)
{
    switch (raw.type) {
    case Expose:
        PaintArea(w, raw.xexpose.x, raw.xexpose.y, raw.xexpose.width, raw.xexpose.height);
        return false;
    case KeyPress:
        TranslateKey(w, raw.xkey, event);
        return true;
    case FocusIn:
    case FocusOut:
        if (IgnoredFocusChange(raw.xfocus))
            return false;
        if (w.inputContext)
            (raw.type == FocusIn ? XSetICFocus : XUnsetICFocus)(w.inputContext);
        event.type = raw.type == FocusIn ? SurfaceEventType::GainedFocus : SurfaceEventType::LostFocus;
        return true;
    case ButtonPress:
        if (raw.xbutton.button == Button1)
            XSetInputFocus(w.display, w.window, RevertToParent, raw.xbutton.time);
        return false;
    case ConfigureNotify:
        return raw.xconfigure.window == w.window && ResizeEvent(w, raw.xconfigure, event);
    case DestroyNotify:
        if (raw.xdestroywindow.window != w.window)
            return false;
        w.gone = true;
        event.type = SurfaceEventType::Close;
        return true;
    case ClientMessage:
        if (raw.xclient.format != 32 || static_cast<Atom>(raw.xclient.data.l[0]) != w.deleteWindow)
            return false;
        event.type = SurfaceEventType::Close;
        return true;
    default:
        return false;
    }
}

bool WindowIsViewable(XWindowRecord& w)
{
    XWindowAttributes attributes;
    return XGetWindowAttributes(w.display, w.window, &attributes) && attributes.map_state == IsViewable;
}

struct ExposeSeen {
    Window window;
    bool seen;
};

// Looks at each queued event and takes none of them.
Bool NoteExpose(Display*, XEvent* event, XPointer argument)
{
    auto* note = reinterpret_cast<ExposeSeen*>(argument);
    if (event->type == Expose && event->xexpose.window == note->window)
        note->seen = true;
    return False;
}

// Sleeps on the connection until the server sends the window's first
// Expose, which it does once the window is viewable, or the time is over.
// The Expose stays queued for painting.
bool WaitUntilExposed(XWindowRecord& w, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    ExposeSeen note = {w.window, false};
    for (;;) {
        XEvent unused;
        XCheckIfEvent(w.display, &unused, NoteExpose, reinterpret_cast<XPointer>(&note));
        if (note.seen)
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd fd = {ConnectionNumber(w.display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()) + 1);
    }
}

void AskForActivation(XWindowRecord& w)
{
    XEvent message = {};
    message.xclient.type = ClientMessage;
    message.xclient.window = w.window;
    message.xclient.message_type = AtomOf(w.display, "_NET_ACTIVE_WINDOW");
    message.xclient.format = 32;
    message.xclient.data.l[0] = 1; // from an application
    message.xclient.data.l[1] = CurrentTime;
    XSendEvent(w.display, DefaultRootWindow(w.display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &message);
}

} // namespace

XWindowRecord* CreateXWindow(const std::string& captionUtf8, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (width < 1 || height < 1 || width > SHRT_MAX || height > SHRT_MAX)
        return nullptr;
    Display* display = ThreadDisplay();
    if (!display)
        return nullptr;
    auto* w = new (std::nothrow) XWindowRecord;
    if (!w)
        return nullptr;
    bool framed = !captionUtf8.empty();
    int left = ClampToShort(framed ? int64_t{x} : int64_t{x} + 1);
    int top = ClampToShort(framed ? int64_t{y} : int64_t{y} + 1);
    int screen = DefaultScreen(display);
    w->display = display;
    w->visual = DefaultVisual(display, screen);
    w->depth = DefaultDepth(display, screen);
    w->width = width;
    w->height = height;
    XSetWindowAttributes attributes = {};
    attributes.background_pixmap = None; // painted from the bitmap only, no flicker
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = kEventMask;
    w->window = XCreateWindow(display, RootWindow(display, screen), left, top, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
    SetTitle(*w, captionUtf8);
    if (!framed)
        RemoveDecorations(*w);
    SetWindowManagerHints(*w, left, top);
    w->gc = XCreateGC(display, w->window, 0, nullptr);
    w->wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    w->numLockMask = NumLockMask(display);
    OpenInputContext(*w);
    XFlush(display);
    return w;
}

void SetXWindowPixels(XWindowRecord* w, GdiPixels pixels)
{
    DropImage(*w);
    w->pixels = pixels;
    w->image = WrapPixels(*w);
}

void ShowXWindow(XWindowRecord* w)
{
    XMapRaised(w->display, w->window);
    XFlush(w->display);
    // Focus can only go to a viewable window; a window manager maps it in
    // its own time.
    bool viewable = WaitUntilExposed(*w, 2000) || WindowIsViewable(*w);
    AskForActivation(*w);
    if (viewable)
        XSetInputFocus(w->display, w->window, RevertToParent, CurrentTime);
    XRaiseWindow(w->display, w->window);
    XFlush(w->display);
}

bool NextXWindowEvent(XWindowRecord* w, SurfaceEvent& event)
{
    PaintPending(*w);
    while (XPending(w->display) > 0) {
        XEvent raw;
        XNextEvent(w->display, &raw);
        if (XFilterEvent(&raw, None))
            continue;
        event = SurfaceEvent{};
        if (TranslateEvent(*w, raw, event))
            return true;
    }
    return false;
}

void InvalidateXWindow(XWindowRecord* w, const RECT* area)
{
    RECT wanted = area ? *area : RECT{0, 0, INT32_MAX, INT32_MAX};
    if (wanted.left >= wanted.right || wanted.top >= wanted.bottom)
        return;
    {
        std::lock_guard<std::mutex> hold(w->pendingLock);
        if (!w->pending) {
            w->pendingArea = wanted;
            w->pending = true;
        } else {
            RECT& pending = w->pendingArea;
            pending.left = std::min(pending.left, wanted.left);
            pending.top = std::min(pending.top, wanted.top);
            pending.right = std::max(pending.right, wanted.right);
            pending.bottom = std::max(pending.bottom, wanted.bottom);
        }
    }
    WakeXWindow(w);
}

void WakeXWindow(XWindowRecord* w)
{
    if (!w || w->wakeFd < 0)
        return;
    uint64_t one = 1;
    while (write(w->wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WaitForXWindowEvent(XWindowRecord* w, int timeoutMs)
{
    // Events that Xlib has already read sit in its queue, not on the socket.
    if (XPending(w->display) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(w->display), POLLIN, 0}, {w->wakeFd, POLLIN, 0}};
    int count = w->wakeFd >= 0 ? 2 : 1;
    if (poll(fds, count, timeoutMs) > 0 && count == 2 && (fds[1].revents & POLLIN)) {
        uint64_t drained;
        while (read(w->wakeFd, &drained, sizeof drained) < 0 && errno == EINTR) {
        }
    }
}

void DestroyXWindow(XWindowRecord* w)
{
    if (!w)
        return;
    DropImage(*w);
    if (w->inputContext)
        XDestroyIC(w->inputContext);
    if (w->inputMethod)
        XCloseIM(w->inputMethod);
    XFreeGC(w->display, w->gc);
    if (w->wakeFd >= 0)
        close(w->wakeFd);
    if (!w->gone)
        XDestroyWindow(w->display, w->window);
    XFlush(w->display);
    delete w;
}

unsigned long XWindowIdOf(const XWindowRecord* w)
{
    return w ? w->window : 0;
}
