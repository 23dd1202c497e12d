#include "tests/host/services_x.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace sgtest {
namespace {

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

struct Connection {
    Display* display;
    Connection() : display(XOpenDisplay(nullptr)) {}
    ~Connection()
    {
        if (display)
            XCloseDisplay(display);
    }
};

} // namespace

std::string Xdotool(const std::string& arguments)
{
    std::string command = "xdotool " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    char buffer[256];
    size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    pclose(pipe);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

unsigned long WaitForTitle(const std::string& title)
{
    unsigned long found = 0;
    WaitUntil(
        [&] {
            NudgeWindowManager();
            std::string ids = Xdotool("search --onlyvisible --name " + Quoted("^" + title + "$"));
            found = ids.empty() ? 0 : std::strtoul(ids.c_str(), nullptr, 10);
            return found != 0;
        },
        15000);
    return found;
}

void DriveWindow(unsigned long window, const std::vector<std::string>& steps)
{
    std::string id = std::to_string(window);
    Xdotool("windowactivate --sync " + id);
    Xdotool("windowfocus --sync " + id);
    for (const std::string& step : steps) {
        if (step.rfind("key:", 0) == 0)
            Xdotool("key --clearmodifiers " + Quoted(step.substr(4)));
        else if (step.rfind("type:", 0) == 0)
            Xdotool("type --clearmodifiers --delay 20 " + Quoted(step.substr(5)));
        else if (step.rfind("sleep:", 0) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(step.c_str() + 6)));
    }
}

std::vector<long> PropertyLongs(unsigned long window, const char* property)
{
    Connection x;
    std::vector<long> values;
    if (!x.display)
        return values;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x.display, window, XInternAtom(x.display, property, False), 0, 1024, False,
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
    Connection x;
    if (!x.display)
        return names;
    for (long atom : PropertyLongs(window, property)) {
        char* name = XGetAtomName(x.display, static_cast<Atom>(atom));
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

bool WaitUntil(const std::function<bool()>& test, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (test())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return test();
}

std::vector<int> ScreenGeometry(unsigned long window)
{
    Connection x;
    XWindowAttributes attributes = {};
    if (!x.display || !XGetWindowAttributes(x.display, window, &attributes))
        return {};
    int left = 0, top = 0;
    Window child = None;
    XTranslateCoordinates(x.display, window, DefaultRootWindow(x.display), 0, 0, &left, &top, &child);
    return {left, top, attributes.width, attributes.height};
}

bool WindowExists(unsigned long window)
{
    Connection x;
    XWindowAttributes attributes = {};
    return x.display && XGetWindowAttributes(x.display, window, &attributes) && attributes.map_state == IsViewable;
}

void NudgeWindowManager()
{
    Connection x;
    if (!x.display)
        return;
    long stamp = 1;
    XChangeProperty(x.display, DefaultRootWindow(x.display), XInternAtom(x.display, "_SG_TEST_NUDGE", False),
                    XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&stamp), 1);
    XSync(x.display, False);
}

} // namespace sgtest
