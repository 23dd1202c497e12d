#pragma once
// The changes the conversion's options make to the two views between the
// stereo source (which has already exchanged the eyes for --swap) and the
// mix, in this order: the vertical offset removed (--align), the stereo
// window moved (--shift).
// Each only narrows the views' windows or exchanges them; no pixels move.
#include <string>

#include "anaglyph/conversion.h"
#include "base/image.h"

// False, with the reason in error, when the views cannot take the options
// (a shift as wide as the views); notes gets the lines for the user (what
// the alignment found).
bool AdjustViews(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                 std::string& error);
