#pragma once
// Looking at the graphic window from outside, as the user's X server sees
// it: finding it, reading screen pixels, pressing keys with XTest, closing it
// the way a window manager does.
#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>

namespace wintest {

// The calling thread's own test connection, opened on first use.
Display* TestDisplay();
// The program's top-level window (WM_CLASS "stereoglass"), 0 when none.
Window FindGraphicWindow();
// Polls until the window shows up or is gone; the window or 0.
Window WaitForGraphicWindow(int timeoutMs = 3000);
bool WaitUntilNoGraphicWindow(int timeoutMs = 3000);
// The window's client area on the root window.
void ClientArea(Window window, int& x, int& y, int& width, int& height);
// The screen's pixel as 0x00RRGGBB.
uint32_t ScreenPixel(int x, int y);
bool WaitForScreenPixel(int x, int y, uint32_t rgb, int timeoutMs = 3000);
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 3000);
// Presses and releases the key of a keysym, with modifier keysyms held.
void PressKey(unsigned long keysym, unsigned long modifier = 0);
void PressKeycode(unsigned keycode);
// The WM_DELETE_WINDOW message a window manager sends for its close button.
void SendDeleteWindow(Window window);
void Pause(int milliseconds);

} // namespace wintest
