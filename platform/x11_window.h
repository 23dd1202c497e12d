#pragma once
// A top-level X window that shows a GDI bitmap: the USER side of the graphic
// window. The window belongs to the thread that creates it (it talks to the
// server over that thread's own connection); every call but
// InvalidateXWindow is made on that thread. Expose and invalidated areas are
// painted from the bitmap's pixels inside NextXWindowEvent; what remains for
// the caller are keys, focus, size changes and the user's close.
#include <cstdint>
#include <string>

#include "platform/gdi.h"

struct XWindowRecord;

enum class SurfaceEventType { Key, GainedFocus, LostFocus, Resize, Close };

struct SurfaceEvent {
    SurfaceEventType type = SurfaceEventType::Key;
    // Key: the key's PC set-1 scan code and extended flag (0 for a key with
    // no such code), whether it is a system key (Alt held without Ctrl, or
    // F10), the NumLock and Shift states, and the UTF-16 code units it typed.
    uint8_t scanCode = 0;
    bool extended = false;
    bool systemKey = false;
    bool numLock = false;
    bool shift = false;
    int32_t textLength = 0;
    char16_t text[16] = {};
    // Resize: the new client size.
    int32_t width = 0;
    int32_t height = 0;
};

// A hidden window whose client area is width x height (1..32767). With an
// empty caption it has no decorations and its client area starts one pixel
// inside (x, y), where a one-pixel frame border would end; with a caption the
// window manager's frame is placed at (x, y). nullptr without a display.
XWindowRecord* CreateXWindow(const std::string& captionUtf8, int32_t x, int32_t y, int32_t width, int32_t height);
// The pixels that painting shows from now on; they must stay valid until the
// next call or DestroyXWindow. They are read without any lock.
void SetXWindowPixels(XWindowRecord* window, GdiPixels pixels);
// Maps and raises the window and gives it the keyboard focus.
void ShowXWindow(XWindowRecord* window);
// Paints what is due and takes the next event for the caller; false when
// there is none waiting.
bool NextXWindowEvent(XWindowRecord* window, SurfaceEvent& event);
// Asks for the area (nullptr = the whole window) to be painted again from the
// pixels on the window's next NextXWindowEvent. Safe from any thread.
void InvalidateXWindow(XWindowRecord* window, const RECT* area);
// Wakes the window's thread from WaitForXWindowEvent. Safe from any thread.
void WakeXWindow(XWindowRecord* window);
// Blocks until an X event arrives for the thread's connection, a wake-up
// is sent, or timeoutMs passes (-1: no time limit). Returns at once when
// events are already queued.
void WaitForXWindowEvent(XWindowRecord* window, int timeoutMs);
// Destroys the window (unless the server already did) and frees the record.
void DestroyXWindow(XWindowRecord* window);
// The X window id, for tests that look at the window from outside.
unsigned long XWindowIdOf(const XWindowRecord* window);
