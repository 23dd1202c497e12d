#pragma once
// The graphic window: a top-level window whose client area is a drawing
// surface showing a target bitmap, run by a window thread of its own, and the
// wait for the user's key.
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

constexpr int32_t kShowGraphicWindow = 0x40; // option: show, raise and focus the window

// Starts the window thread, waits for its window and returns the top-level
// window's handle (0 on failure). With an empty caption the window has no
// title bar; its client area is width x height, where (x, y) is the frame's
// corner just outside it. The new window becomes the calling thread's target
// when it has none.
HWND CreateGraphicWindow(const std::u16string& caption, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t options);

// Asks the window's thread to show, raise and focus a window made without
// kShowGraphicWindow, or to close a window; both return at once, before it
// is done, and false when no open window has that handle. A closed window's
// thread ends as after the user's close.
bool ShowGraphicWindow(HWND frame);
bool CloseGraphicWindow(HWND frame);

// Waits for a key in the window that is the calling thread's target. Returns
// the character, or NUL and the scan code for a function or cursor key; ""
// when the window is closed, the time runs out or there is no target.
// allowedKeys "" allows every key; a key not allowed beeps. timeoutMs 0 waits
// without end; a longer or negative timeout is cut to 3,590,000 ms.
std::u16string WaitForKey(const std::u16string& allowedKeys, int32_t timeoutMs);

// The wait's clock: milliseconds within the local hour, 0..3,599,999.
int32_t TimeInHourMs();
// The deadline within the hour for a timeout starting now (0 = none).
int32_t KeyWaitDeadline(int32_t nowInHour, int32_t timeoutMs);
// Whether a wait with that deadline and timeout is over at nowInHour; the
// clock wraps at the full hour.
bool KeyWaitExpired(int32_t deadline, int32_t nowInHour, int32_t timeoutMs);

// What a key wait waits for: a key stored, a window closed or gone. The
// window threads count each such event; a waiter reads the count before it
// looks at the windows and then sleeps until the count moves on.
uint64_t WindowEventCount();
void NotifyWindowEvent();
// Returns when the count is no longer seen, or after timeoutMs (-1: no
// time limit).
void WaitForWindowEvent(uint64_t seen, int32_t timeoutMs);
