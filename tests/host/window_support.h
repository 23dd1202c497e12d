#pragma once
// Looking at the graphic window from outside, as the user's X server sees
// it: finding it, reading screen pixels, pressing keys with XTest, closing it
// the way a window manager does.
#include <gtest/gtest.h>
// gtest before Xlib, whose macros (None, Bool) clash with it.
#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>

#include "host/target_record.h"
#include "tests/support/x_display.h"
#include "tests/support/x_windows.h"

namespace wintest {

using sgtest::TestDisplay;
using sgtest::WaitUntil;
// The program's top-level window (WM_CLASS "stereoglass"), 0 when none.
Window FindGraphicWindow();
// Polls until the window shows up or is gone; the window or 0.
Window WaitForGraphicWindow(int timeoutMs = 3000);
bool WaitUntilNoGraphicWindow(int timeoutMs = 3000);
// The screen's pixel as 0x00RRGGBB.
uint32_t ScreenPixel(int x, int y);
bool WaitForScreenPixel(int x, int y, uint32_t rgb, int timeoutMs = 3000);
// Presses and releases the key of a keysym, with modifier keysyms held.
void PressKey(unsigned long keysym, unsigned long modifier = 0);
void PressKeycode(unsigned keycode);
// The WM_DELETE_WINDOW message a window manager sends for its close button.
void SendDeleteWindow(Window window);
void Pause(int milliseconds);

// The drawing record of the window's surface; nullptr when it has none.
TargetRecord* SurfaceOf(HWND frame);
// Waits until the window has the keyboard focus.
bool WaitForFocus(HWND frame);
// What an endless wait for any key gives when, 200 ms into it, another
// thread closes the window with close.
std::u16string WaitForKeyWhileClosing(const std::function<void()>& close);

// Keeps the window of a test in window_ and, after the test, closes
// whatever graphic window is left and selects no target. SetUp of the
// fixtures sets started_ once the X server (and window manager) runs.
class GraphicWindowFixture : public ::testing::Test {
protected:
    void TearDown() override;
    bool started_ = false;
    Window window_ = 0;
};

} // namespace wintest
