#pragma once
// The two views of a stereo pair, and the side-by-side cut that every other
// layout is built from.
#include "base/image.h"

// Two views of the same size. A view is a window onto the decoded picture
// where its pixels are that picture's own; where they had to be made (a
// resampled half, a separate frame, a stretched half view) they live in
// `owned`.
struct StereoViews {
    ImageView left;
    ImageView right;
    Image owned[2];
};

// Side by side, left half = left eye, with the program's long-standing
// geometry: both views are round-half-even(W / 2) wide; the left view is the
// first columns of the picture; the right view of an even width is the
// second half as it is, and of an odd width the columns from W / 2 on,
// resampled onto the view's width as the halftone stretch does it.
// False when the picture is narrower than 2 pixels.
bool SplitSideBySide(ImageView picture, StereoViews& views);
