// The entry of libstereoglass-desktop.so: the table of its calls. Linked with
// a version script that keeps every other symbol local, so that the
// library's own calls bind to its own functions and not to the program's
// forwarders of the same names.
#include "platform/desktop_module.h"

#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/display.h"
#include "platform/message_beep.h"
#include "platform/user_windows.h"
#include "platform/x11_window.h"

extern "C" const DesktopCalls* sg_desktop_calls()
{
    static const DesktopCalls calls = {
        kDesktopCallsVersion,
        GetPrimaryScreenRect,
        GetPrimaryOutputRect,
        SystemParametersInfoW,
        ShowOpenFileDialog,
        MessageBoxW,
        ShowBusyUntil,
        FindWindowA,
        FindOwnWindowA,
        GetWindowLongA,
        SetWindowLongA,
        ShowWindow,
        DisplayAvailable,
        OpenClipboard,
        GetClipboardData,
        EmptyClipboard,
        CloseClipboard,
        MessageBeep,
        CreateXWindow,
        SetXWindowPixels,
        ShowXWindow,
        NextXWindowEvent,
        InvalidateXWindow,
        WakeXWindow,
        WaitForXWindowEvent,
        DestroyXWindow,
        XWindowIdOf,
    };
    return &calls;
}
