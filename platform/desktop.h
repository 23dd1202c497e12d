#pragma once
// The screen as the program sees it: the primary screen's rectangle (the
// port's GetWindowRect(GetDesktopWindow())) and the work area.
#include "platform/wintypes.h"

constexpr UINT SPI_GETWORKAREA = 0x0030;

// The primary screen from (0, 0): the XRandR primary output's size, or the
// whole X screen when no output is primary. FALSE without a display.
BOOL GetPrimaryScreenRect(RECT* rect);

// The primary output where it lies on the X screen: the primary RandR
// monitor, else the primary output's CRTC, else the whole X screen. FALSE
// without a display.
BOOL GetPrimaryOutputRect(RECT* rect);

// SPI_GETWORKAREA only: the window manager's work area (_NET_WORKAREA of the
// current desktop), or the whole X screen when it announces none.
BOOL SystemParametersInfoW(UINT action, UINT param, void* data, UINT winIni);
