#pragma once
// Looking at windows from a test through the tests' own X connection.
// Window ids are plain numbers here, so that this header needs no Xlib.
#include <functional>
#include <string>
#include <vector>

namespace sgtest {

// Polls every 10 ms for up to timeoutMs; whether test came true.
bool WaitUntil(const std::function<bool()>& test, int timeoutMs = 3000);
// A property of 32-bit items, and an atom list as names.
std::vector<long> PropertyLongs(unsigned long window, const char* property);
std::vector<std::string> PropertyAtoms(unsigned long window, const char* property);
bool HasAtom(unsigned long window, const char* property, const char* atom);
// The window's client area on the screen: x, y, width, height; empty when
// the window is gone.
std::vector<int> ScreenGeometry(unsigned long window);
// The window exists and is viewable.
bool WindowShown(unsigned long window);
// Left, right, top, bottom of the frame the window manager put around it;
// empty while it has none.
std::vector<long> FrameExtents(unsigned long window);

} // namespace sgtest
