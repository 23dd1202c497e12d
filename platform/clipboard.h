#pragma once
// The clipboard on this port: the X11 CLIPBOARD selection. Only bitmaps are
// read (offered as image/png or image/bmp); emptying takes ownership with
// nothing to offer and lets go again.
#include "platform/wintypes.h"

constexpr UINT CF_BITMAP = 2;

// FALSE without a display, when the clipboard has no owner, or while it is
// already open. The owner window is not used.
BOOL OpenClipboard(HWND owner);
// The clipboard's picture as a GDI bitmap that stays the clipboard's: it is
// deleted by EmptyClipboard or CloseClipboard. 0 when no picture is offered,
// it cannot be read within about a second, or the format is not CF_BITMAP.
HANDLE GetClipboardData(UINT format);
BOOL EmptyClipboard();
BOOL CloseClipboard();
