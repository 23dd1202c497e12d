#pragma once
// Every stereo layout, cut from one decoded picture.
#include "anaglyph/stereo_layout.h"
#include "anaglyph/stereo_split.h"

// Cuts picture into its two views as layout says:
// - SideBySide: SplitSideBySide exactly; Cross: the same with the views
//   exchanged.
// - OverUnder / UnderOver: the side-by-side geometry along the other axis
//   (top = left eye, resp. right eye); an odd height is resampled as an odd
//   width is, so the cut equals side by side of the transposed picture,
//   transposed back.
// - HalfSideBySide / HalfOverUnder: side by side resp. over/under, each view
//   then stretched back to twice its width resp. height.
// Auto is cut as SideBySide: the caller resolves what the file says first.
// False when the picture is too small for the cut or memory is short.
bool SplitByLayout(ImageView picture, StereoLayout layout, StereoViews& views);
