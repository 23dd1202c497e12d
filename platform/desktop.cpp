#include "platform/desktop.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

#include "platform/desktop_x11.h"
#include "platform/x11_threads.h"

namespace {

RECT WholeScreen(Display* display)
{
    int screen = DefaultScreen(display);
    return {0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

// The primary output's CRTC; false when there is none.
bool PrimaryOutputCrtc(Display* display, RECT& rect)
{
    int eventBase = 0, errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase))
        return false;
    Window root = DefaultRootWindow(display);
    RROutput primary = XRRGetOutputPrimary(display, root);
    if (primary == None)
        return false;
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (!resources)
        return false;
    bool found = false;
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, primary);
    if (output && output->crtc != None) {
        XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc);
        if (crtc && crtc->width > 0 && crtc->height > 0) {
            rect = {crtc->x, crtc->y, static_cast<LONG>(crtc->x + static_cast<LONG>(crtc->width)),
                    static_cast<LONG>(crtc->y + static_cast<LONG>(crtc->height))};
            found = true;
        }
        if (crtc)
            XRRFreeCrtcInfo(crtc);
    }
    if (output)
        XRRFreeOutputInfo(output);
    XRRFreeScreenResources(resources);
    return found;
}

// The monitor marked primary (RandR 1.5); false when none is.
bool PrimaryMonitor(Display* display, RECT& rect)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        major * 100 + minor < 105)
        return false;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    bool found = false;
    for (int i = 0; monitors && i < count && !found; ++i) {
        const XRRMonitorInfo& m = monitors[i];
        if (m.primary && m.width > 0 && m.height > 0) {
            rect = {m.x, m.y, m.x + m.width, m.y + m.height};
            found = true;
        }
    }
    if (monitors)
        XRRFreeMonitors(monitors);
    return found;
}

long CardinalAt(Display* display, Window window, const char* name, long index, long count, long* values)
{
    Atom property = XInternAtom(display, name, False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, index, count, False, XA_CARDINAL, &type, &format, &items,
                           &after, &data) != Success)
        return 0;
    long got = 0;
    if (data && format == 32) {
        const long* cells = reinterpret_cast<const long*>(data);
        for (; got < static_cast<long>(items) && got < count; ++got)
            values[got] = cells[got];
    }
    if (data)
        XFree(data);
    return got;
}

} // namespace

RECT PrimaryScreenRect(Display* display)
{
    RECT rect = WholeScreen(display);
    RECT crtc;
    if (PrimaryOutputCrtc(display, crtc)) {
        rect.right = crtc.right - crtc.left;
        rect.bottom = crtc.bottom - crtc.top;
    }
    return rect;
}

RECT PrimaryOutputRect(Display* display)
{
    RECT rect;
    if (PrimaryMonitor(display, rect) || PrimaryOutputCrtc(display, rect))
        return rect;
    return WholeScreen(display);
}

RECT WorkAreaRect(Display* display)
{
    Window root = DefaultRootWindow(display);
    long desktop = 0;
    if (CardinalAt(display, root, "_NET_CURRENT_DESKTOP", 0, 1, &desktop) != 1 || desktop < 0 || desktop > 1024)
        desktop = 0;
    long area[4] = {};
    if (CardinalAt(display, root, "_NET_WORKAREA", desktop * 4, 4, area) != 4 || area[2] <= 0 || area[3] <= 0)
        return WholeScreen(display);
    return {static_cast<LONG>(area[0]), static_cast<LONG>(area[1]), static_cast<LONG>(area[0] + area[2]),
            static_cast<LONG>(area[1] + area[3])};
}

BOOL GetPrimaryScreenRect(RECT* rect)
{
    Display* display = ThreadDisplay();
    if (!rect || !display)
        return FALSE;
    *rect = PrimaryScreenRect(display);
    return TRUE;
}

BOOL GetPrimaryOutputRect(RECT* rect)
{
    Display* display = ThreadDisplay();
    if (!rect || !display)
        return FALSE;
    *rect = PrimaryOutputRect(display);
    return TRUE;
}

BOOL SystemParametersInfoW(UINT action, UINT, void* data, UINT)
{
    Display* display = ThreadDisplay();
    if (action != SPI_GETWORKAREA || !data || !display)
        return FALSE;
    *static_cast<RECT*>(data) = WorkAreaRect(display);
    return TRUE;
}
