#pragma once
// The USER window calls that act on other top-level windows by their title:
// finding a window, reading and changing its frame style, maximising it.
// A window handle is an id from the platform's one handle space, given to an
// X window the first time it is named here; the X window id itself is not
// used as a handle, since both are small integers and could name two things.
#include "platform/wintypes.h"

constexpr int GWL_STYLE = -16;

constexpr LONG WS_MAXIMIZEBOX = 0x00010000;
constexpr LONG WS_MINIMIZEBOX = 0x00020000;
constexpr LONG WS_THICKFRAME = 0x00040000;
constexpr LONG WS_SYSMENU = 0x00080000;
constexpr LONG WS_CAPTION = 0x00C00000;
constexpr LONG WS_MAXIMIZE = 0x01000000;
constexpr LONG WS_VISIBLE = 0x10000000;

constexpr int SW_MAXIMIZE = 3;

// The first shown top-level window whose title is windowName (compared
// without regard to case, as USER does); className, when given, must equal
// the class part of WM_CLASS. 0 when there is none or no display.
HWND FindWindowA(const char* className, const char* windowName);
// The same search among this process's own windows only (_NET_WM_PID), so
// that another program's window of that title is never touched.
HWND FindOwnWindowA(const char* windowName);

// GWL_STYLE only. The style is read from the window's state: WS_VISIBLE,
// WS_CAPTION, WS_SYSMENU (the close function), WS_THICKFRAME, the boxes and
// WS_MAXIMIZE. 0 for anything else.
LONG GetWindowLongA(HWND window, int index);
// GWL_STYLE only; returns the previous style. Of the bits, WS_SYSMENU is the
// one acted on: clearing it removes the close function and the window menu
// (_MOTIF_WM_HINTS), setting it gives them back.
LONG SetWindowLongA(HWND window, int index, LONG value);

// SW_MAXIMIZE only: asks the window manager to maximise the window
// (_NET_WM_STATE); without one, moves and resizes it over the work area.
// Returns whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
