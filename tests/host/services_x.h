#pragma once
// Looking at and driving other windows from a test, through the X server
// only: xdotool for finding, focusing and typing, Xlib for properties.
#include <functional>
#include <string>
#include <vector>

namespace sgtest {

// xdotool with the given arguments (shell words); its output, "" on failure.
std::string Xdotool(const std::string& arguments);
// The first shown window titled exactly title, waited for up to 15 s; 0 if
// none came.
unsigned long WaitForTitle(const std::string& title);
// Focuses the window, then sends each step: "key:ctrl+l", "type:text".
void DriveWindow(unsigned long window, const std::vector<std::string>& steps);
// A property of 32-bit items, and an atom list as names.
std::vector<long> PropertyLongs(unsigned long window, const char* property);
std::vector<std::string> PropertyAtoms(unsigned long window, const char* property);
bool HasAtom(unsigned long window, const char* property, const char* atom);
// Polls every 20 ms for up to timeoutMs.
bool WaitUntil(const std::function<bool()>& test, int timeoutMs);
// The window's client area on the screen: x, y, width, height.
std::vector<int> ScreenGeometry(unsigned long window);
bool WindowExists(unsigned long window);
// openbox, just started, may leave a window's map request unanswered until
// its next event; a change of a root property gives it one.
void NudgeWindowManager();

} // namespace sgtest
