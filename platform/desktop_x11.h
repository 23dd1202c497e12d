#pragma once
// The desktop queries on a given connection, for the parts of the platform
// layer that already hold one (the dialogs, the window functions).
#include <X11/Xlib.h>

#include "platform/wintypes.h"

RECT PrimaryScreenRect(Display* display);
RECT PrimaryOutputRect(Display* display);
RECT WorkAreaRect(Display* display);
