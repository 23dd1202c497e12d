#include "platform/message_beep.h"

#include "platform/x11_threads.h"

BOOL MessageBeep(UINT)
{
    Display* display = ThreadDisplay();
    if (!display)
        return FALSE;
    XBell(display, 0);
    XFlush(display);
    return TRUE;
}
