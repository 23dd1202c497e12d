#pragma once
// Filling and checking the X clipboard with xclip, for tests that run under
// their own Xvfb (DISPLAY is set by SG_REQUIRE_X).
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace sgtest {

inline std::string TargetOption(const std::string& mime)
{
    return mime.empty() ? std::string() : " -t '" + mime + "'";
}

// True when the clipboard answers a request for mime ("" = text).
inline bool ClipboardReadable(const std::string& mime)
{
    std::string command = "xclip -selection clipboard -o" + TargetOption(mime) + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Waits until xclip, which serves the clipboard in the background, answers.
inline bool WaitUntilServed(const std::string& mime)
{
    for (int i = 0; i < 100; ++i) {
        if (ClipboardReadable(mime))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

inline bool OfferClipboard(const std::string& text, const std::string& mime)
{
    std::string command = "printf '%s' '" + text + "' | xclip -selection clipboard" + TargetOption(mime) +
                          " -i >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && WaitUntilServed(mime);
}

inline bool OfferClipboardFile(const std::string& path, const std::string& mime)
{
    std::string command = "xclip -selection clipboard" + TargetOption(mime) + " -i '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && WaitUntilServed(mime);
}

// Leaves the clipboard without an owner (any client may clear it).
inline bool ClearClipboardOwner()
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
    XSetSelectionOwner(d, clipboard, None, CurrentTime);
    XSync(d, False);
    bool cleared = XGetSelectionOwner(d, clipboard) == None;
    XCloseDisplay(d);
    return cleared;
}

} // namespace sgtest
