#pragma once
// What a conversion checks before it reads anything: that its output would
// not replace one of its own source files. The wording itself lives in
// imageio/failure_reasons.h; the size and memory checks come from the plan
// (conversion_plan.h).
#include "anaglyph/conversion.h"

// False when the conversion may go on. True when it is refused before any
// work, with result filled in: the output would replace the source, or the
// right view's file of a pair, itself.
bool RefuseSameFile(const ConversionRequest& request, ConversionResult& result);
