#pragma once
// One process-wide id space for every handle of the platform layer (GDI
// objects, windows, threads): a new id is never 0 and never reused.
#include "platform/wintypes.h"

HANDLE NewHandleId();
