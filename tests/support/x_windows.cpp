#include "tests/support/x_windows.h"

#include <chrono>
#include <thread>

#include "tests/support/x_display.h"

namespace sgtest {

bool WaitUntil(const std::function<bool()>& test, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (test())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return test();
}

std::vector<long> PropertyLongs(unsigned long window, const char* property)
{
    Display* display = TestDisplay();
    std::vector<long> values;
    if (!display)
        return values;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 1024, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        const long* items = reinterpret_cast<const long*>(data);
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

std::vector<std::string> PropertyAtoms(unsigned long window, const char* property)
{
    std::vector<std::string> names;
    for (long atom : PropertyLongs(window, property)) {
        char* name = XGetAtomName(TestDisplay(), static_cast<Atom>(atom));
        if (name) {
            names.push_back(name);
            XFree(name);
        }
    }
    return names;
}

bool HasAtom(unsigned long window, const char* property, const char* atom)
{
    for (const std::string& name : PropertyAtoms(window, property)) {
        if (name == atom)
            return true;
    }
    return false;
}

std::vector<int> ScreenGeometry(unsigned long window)
{
    Display* display = TestDisplay();
    XWindowAttributes attributes = {};
    if (!display || !XGetWindowAttributes(display, window, &attributes))
        return {};
    int left = 0, top = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &left, &top, &child);
    return {left, top, attributes.width, attributes.height};
}

bool WindowShown(unsigned long window)
{
    Display* display = TestDisplay();
    XWindowAttributes attributes = {};
    return display && XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

std::vector<long> FrameExtents(unsigned long window)
{
    std::vector<long> extents = PropertyLongs(window, "_NET_FRAME_EXTENTS");
    return extents.size() == 4 ? extents : std::vector<long>();
}

} // namespace sgtest
