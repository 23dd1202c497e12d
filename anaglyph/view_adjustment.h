#pragma once
// The changes the conversion's options make to the two views between the
// stereo source (which has already exchanged the eyes for --swap) and the
// mix, in this order: the alignment (--align), then the stereo window
// (--shift N or --shift auto). Both measure the pair once between them.
// The shift only narrows the views' windows; the alignment warps the right
// view into a buffer of its own, which the caller keeps while the views are
// used.
#include <string>

#include "anaglyph/conversion.h"
#include "base/image.h"

// False, with the reason in error, when the views cannot take the options
// (a shift as wide as the views, no memory for the aligned view); notes
// gets the lines for the user, each naming the file (sourceName).
bool AdjustViews(const ConversionOptions& options, const std::string& sourceName, ImageView& left, ImageView& right,
                 Image& ownedRight, std::string& notes, std::string& error);
