#pragma once
// The stereo split: a side-by-side picture file cut into its left and right
// views, two pixel strings of half the width (rounded half to even) and the
// full height.
#include <cstdint>
#include <string>

// Returns 1 when the picture was read and drawn, 0 when it could not be
// (then the views are empty for a picture whose size cannot be probed, or
// hold the undrawn bitmap's content). The thread has no graphic target after.
int32_t fSplitStereo(const std::string& sourcePath, std::string& leftView, std::string& rightView);

// The number at the start of text: leading blanks skipped, read up to the
// first character that cannot continue a number, 0 when there is none.
double fLeadingNumber(const std::string& text);
