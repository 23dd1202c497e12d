#pragma once
// Mixing two views into an anaglyph for a pair of glasses. Each output pixel
// is clamp(ML x left + MR x right) for the method's two 3 x 3 matrices; the
// fourth byte of the inputs is ignored and written as 0.
#include "anaglyph/anaglyph_method.h"
#include "base/image.h"

// left, right and out have the same size; out may be either input's pixels
// (each output pixel depends only on the same pixel of the two views). False
// when the sizes differ.
bool MixViews(ImageView left, ImageView right, AnaglyphMethod method, ImageView out);
