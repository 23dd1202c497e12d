#pragma once
// What a conversion checks before it starts, and the reasons it gives when a
// step fails. The wording itself lives in imageio/failure_reasons.h.
#include "anaglyph/conversion.h"

// The memory a conversion takes, in multiples of the source picture's own
// pixel bytes (width x height x 4): the decoded picture, an odd width's
// resampled right view, and the encoder's rows and output.
constexpr double kConversionBufferShare = 2.0;

// False when the conversion may go on. True when it is refused before any
// work, with result filled in: the output would replace the source (or the
// right view's file) itself, the picture is too small to split, or the
// system has not the memory the conversion needs.
bool RefuseBeforeConverting(const ConversionRequest& request, ConversionResult& result);

// Fills result with why the source could not be read (status and reason).
void ExplainSourceFailure(const std::string& sourcePath, ConversionResult& result);

// Fills result with why the anaglyph could not be written.
void ExplainOutputFailure(const ConversionRequest& request, ConversionResult& result);
