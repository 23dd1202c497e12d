#pragma once
// The process around one run: the display and platform checks, COM on the
// main thread, the main flow, and the exit code.
#include <cstdint>

#include "anaglyph/conversion.h"

// Returns the process exit code: 255 without an X display or on a platform
// this program does not support, otherwise the main flow's (0).
int32_t fStartUp();

// The same with the conversion's options and, when request.sourcePath is
// given, that picture converted and shown without the dialog.
int32_t fStartUp(const ConversionRequest& request);
