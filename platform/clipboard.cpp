// The CLIPBOARD selection, read and emptied through a connection of our own
// that lives from OpenClipboard to CloseClipboard.
#include "platform/clipboard.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/picture_codecs.h"
#include "platform/x11_threads.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAnswerTime = std::chrono::milliseconds(1000);
// Pictures on the clipboard larger than this are not read.
constexpr size_t kMaxTransfer = size_t{512} << 20;

struct Clipboard {
    std::mutex lock;
    bool open = false;
    Display* display = nullptr;
    Window window = 0;
    Atom clipboard = 0;
    Atom property = 0;
    HBITMAP bitmap = 0; // the picture handed out, the clipboard's own
};

Clipboard& TheClipboard()
{
    static Clipboard* clipboard = new Clipboard;
    return *clipboard;
}

Atom Intern(Display* d, const char* name)
{
    return XInternAtom(d, name, False);
}

// Waits for an event of the given type for our window, up to the deadline.
// accept() may pass over events that do not concern us.
template <typename Accept>
bool WaitForEvent(Display* d, Window w, int type, XEvent& event, Clock::time_point deadline, Accept accept)
{
    for (;;) {
        while (XCheckTypedWindowEvent(d, w, type, &event)) {
            if (accept(event))
                return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd = {ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left < 20 ? left : 20));
    }
}

// Reads the whole property; false when it cannot be read or the
// data would grow beyond kMaxTransfer.
bool ReadProperty(Clipboard& c, std::string& data, Atom& type, int& format)
{
    long offset = 0;
    for (;;) {
        unsigned char* chunk = nullptr;
        unsigned long count = 0, after = 0;
        if (XGetWindowProperty(c.display, c.window, c.property, offset, 1 << 20, False, AnyPropertyType, &type,
                               &format, &count, &after, &chunk) != Success)
            return false;
        // Format 32 arrives as an array of longs on the client side.
        size_t unit = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
        size_t bytes = count * unit;
        bool fits = data.size() + bytes <= kMaxTransfer;
        if (fits && chunk)
            data.append(reinterpret_cast<const char*>(chunk), bytes);
        if (chunk)
            XFree(chunk);
        if (!fits)
            return false;
        if (after == 0 || format == 0)
            break;
        offset += static_cast<long>(count * static_cast<unsigned long>(format) / 32);
    }
    return true;
}

// An INCR transfer: the owner sends chunks, each announced by a new value of
// the property, until an empty one.
bool ReadIncremental(Clipboard& c, std::string& data)
{
    // Drop the notices so far (the INCR property itself); the owner sends
    // its first chunk only after it sees our delete.
    XSync(c.display, False);
    XEvent stale;
    while (XCheckTypedWindowEvent(c.display, c.window, PropertyNotify, &stale)) {
    }
    XDeleteProperty(c.display, c.window, c.property);
    XFlush(c.display);
    data.clear();
    for (;;) {
        XEvent event;
        auto isNewChunk = [&](const XEvent& e) {
            return e.xproperty.atom == c.property && e.xproperty.state == PropertyNewValue;
        };
        if (!WaitForEvent(c.display, c.window, PropertyNotify, event, Clock::now() + kAnswerTime, isNewChunk))
            return false;
        std::string chunk;
        Atom type = 0;
        int format = 0;
        if (!ReadProperty(c, chunk, type, format) || data.size() + chunk.size() > kMaxTransfer)
            return false;
        XDeleteProperty(c.display, c.window, c.property); // asks for the next chunk
        XFlush(c.display);
        if (chunk.empty())
            return true;
        data += chunk;
    }
}

// Asks the owner to convert the selection to target and reads the answer.
bool ReadSelection(Clipboard& c, Atom target, std::string& data, Atom& type)
{
    data.clear();
    XDeleteProperty(c.display, c.window, c.property);
    XConvertSelection(c.display, c.clipboard, target, c.property, c.window, CurrentTime);
    XFlush(c.display);
    XEvent event;
    auto isAnswer = [&](const XEvent& e) { return e.xselection.selection == c.clipboard; };
    if (!WaitForEvent(c.display, c.window, SelectionNotify, event, Clock::now() + kAnswerTime, isAnswer))
        return false;
    if (event.xselection.property == None)
        return false; // refused
    int format = 0;
    if (!ReadProperty(c, data, type, format))
        return false;
    if (type == Intern(c.display, "INCR"))
        return ReadIncremental(c, data);
    XDeleteProperty(c.display, c.window, c.property);
    return true;
}

// The best picture target the owner offers: PNG, then BMP; None if neither.
Atom ChoosePictureTarget(Clipboard& c)
{
    std::string list;
    Atom type = 0;
    if (!ReadSelection(c, Intern(c.display, "TARGETS"), list, type) || type != XA_ATOM)
        return None;
    std::vector<Atom> offered(list.size() / sizeof(long));
    for (size_t i = 0; i < offered.size(); ++i) {
        long value = 0;
        std::memcpy(&value, list.data() + i * sizeof(long), sizeof(long));
        offered[i] = static_cast<Atom>(value);
    }
    for (const char* name : {"image/png", "image/bmp"}) {
        Atom wanted = Intern(c.display, name);
        for (Atom a : offered) {
            if (a == wanted)
                return wanted;
        }
    }
    return None;
}

HBITMAP MakeBitmap(const Image& picture)
{
    HDC screen = GetDC(0);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, picture.width, picture.height);
    ReleaseDC(0, screen);
    GdiPixels target = GdiBitmapPixels(bitmap);
    if (!target.bits || target.width != picture.width || target.height != picture.height) {
        if (bitmap)
            DeleteObject(bitmap);
        return 0;
    }
    // A GDI bitmap has no alpha; its fourth byte is 0.
    size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    for (size_t i = 0; i < count; ++i)
        target.bits[i] = picture.pixels[i] & 0x00FFFFFFu;
    return bitmap;
}

void DropBitmap(Clipboard& c)
{
    if (c.bitmap)
        DeleteObject(c.bitmap);
    c.bitmap = 0;
}

// A server timestamp, from a zero-length append to a property of our window.
Time ServerTime(Clipboard& c)
{
    Atom stamp = Intern(c.display, "SG_TIMESTAMP");
    XChangeProperty(c.display, c.window, stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(c.display);
    XEvent event;
    auto isStamp = [&](const XEvent& e) { return e.xproperty.atom == stamp; };
    if (!WaitForEvent(c.display, c.window, PropertyNotify, event, Clock::now() + kAnswerTime, isStamp))
        return CurrentTime;
    return event.xproperty.time;
}

// X errors caused by our own requests (a requestor window that has gone) are
// not fatal; errors on other connections go to the handler that was there.
XErrorHandler g_previousHandler = nullptr;
Display* g_ourDisplay = nullptr;

int IgnoreOurErrors(Display* d, XErrorEvent* error)
{
    if (d == g_ourDisplay || !g_previousHandler)
        return 0;
    return g_previousHandler(d, error);
}

void Refuse(Clipboard& c, const XSelectionRequestEvent& request)
{
    XEvent answer = {};
    answer.xselection.type = SelectionNotify;
    answer.xselection.display = c.display;
    answer.xselection.requestor = request.requestor;
    answer.xselection.selection = request.selection;
    answer.xselection.target = request.target;
    answer.xselection.property = None;
    answer.xselection.time = request.time;
    XSendEvent(c.display, request.requestor, False, NoEventMask, &answer);
}

} // namespace

BOOL OpenClipboard(HWND)
{
    Clipboard& c = TheClipboard();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.open)
        return FALSE;
    InitXThreads();
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return FALSE;
    Atom clipboard = Intern(d, "CLIPBOARD");
    if (XGetSelectionOwner(d, clipboard) == None) {
        XCloseDisplay(d);
        return FALSE;
    }
    c.display = d;
    c.clipboard = clipboard;
    c.property = Intern(d, "SG_CLIPBOARD");
    c.window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(d, c.window, PropertyChangeMask);
    c.open = true;
    return TRUE;
}

HANDLE GetClipboardData(UINT format)
{
    Clipboard& c = TheClipboard();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.open || format != CF_BITMAP)
        return 0;
    if (c.bitmap)
        return c.bitmap;
    Atom target = ChoosePictureTarget(c);
    if (target == None)
        return 0;
    std::string data;
    Atom type = 0;
    if (!ReadSelection(c, target, data, type) || data.empty())
        return 0;
    Image picture;
    if (!PictureCodecs().decodeBytes(reinterpret_cast<const uint8_t*>(data.data()), data.size(), picture))
        return 0;
    std::string().swap(data);
    c.bitmap = MakeBitmap(picture);
    return c.bitmap;
}

BOOL EmptyClipboard()
{
    Clipboard& c = TheClipboard();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.open)
        return FALSE;
    DropBitmap(c);
    Time now = ServerTime(c);
    XSetSelectionOwner(c.display, c.clipboard, c.window, now);
    XSync(c.display, False);
    // Whoever asks while we own the selection is refused; then we let go,
    // and the clipboard has no owner and no content.
    g_ourDisplay = c.display;
    g_previousHandler = XSetErrorHandler(IgnoreOurErrors);
    XEvent event;
    while (XCheckTypedWindowEvent(c.display, c.window, SelectionRequest, &event))
        Refuse(c, event.xselectionrequest);
    XSetSelectionOwner(c.display, c.clipboard, None, now);
    XSync(c.display, False);
    XSetErrorHandler(g_previousHandler);
    g_previousHandler = nullptr;
    g_ourDisplay = nullptr;
    return TRUE;
}

BOOL CloseClipboard()
{
    Clipboard& c = TheClipboard();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!c.open)
        return FALSE;
    DropBitmap(c);
    XDestroyWindow(c.display, c.window);
    XCloseDisplay(c.display);
    c.display = nullptr;
    c.window = 0;
    c.open = false;
    return TRUE;
}
