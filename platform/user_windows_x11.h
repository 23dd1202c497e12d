#pragma once
// The handle table behind the USER window calls, for other parts of the
// platform layer that create X windows of their own.
#include <X11/Xlib.h>

#include "platform/wintypes.h"

// The handle for an X window: the one it was given before, or a new one.
HWND HandleForXWindow(Window window);
// The X window behind a handle; None when the handle names no X window.
Window XWindowForHandle(HWND handle);
