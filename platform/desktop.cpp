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

// The size of the primary output's CRTC; false when there is none.
bool PrimaryOutputSize(Display* display, LONG& width, LONG& height)
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
            width = static_cast<LONG>(crtc->width);
            height = static_cast<LONG>(crtc->height);
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
    PrimaryOutputSize(display, rect.right, rect.bottom);
    return rect;
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

BOOL SystemParametersInfoW(UINT action, UINT, void* data, UINT)
{
    Display* display = ThreadDisplay();
    if (action != SPI_GETWORKAREA || !data || !display)
        return FALSE;
    *static_cast<RECT*>(data) = WorkAreaRect(display);
    return TRUE;
}
