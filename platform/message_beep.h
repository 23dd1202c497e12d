#pragma once
// MessageBeep on this port: the X server's bell, at its default volume for
// every sound type. FALSE without a display.
#include "platform/wintypes.h"

BOOL MessageBeep(UINT type);
