#pragma once
// Mixing two views into an anaglyph for a pair of glasses. Each output pixel
// is clamp(ML x left + MR x right) for the method's two 3 x 3 matrices; the
// fourth byte of the inputs is ignored and written as 0.
#include <string>

#include "anaglyph/anaglyph_method.h"
#include "base/image.h"

// Where a method's matrices work.
enum class MixSpace {
    Stored,        // on the stored 0..255 values, rounded to the nearest
    LinearLight,   // on exact sRGB-decoded values, clamped to 0..1, then sRGB-encoded
    BrightenedRed, // stored values; red then becomes 255 * (red / 255)^(1 / 1.5)
};

// One row of the method table. Rows of a matrix are output R, G, B; its
// columns input r, g, b.
struct MixMatrices {
    Glasses glasses;
    MixMethod method;
    MixSpace space;
    double left[3][3];
    double right[3][3];
};

// The table's row for a method; null when the method is not made for the
// glasses (optimised is red/cyan only).
const MixMatrices* FindMixMatrices(AnaglyphMethod method);

// "" when the method can be mixed, else one sentence saying why not.
std::string MixMethodRefusal(AnaglyphMethod method);

// left, right and out have the same size; out may be either input's pixels
// (each output pixel depends only on the same pixel of the two views). False
// when the sizes differ or the method is refused by MixMethodRefusal.
bool MixViews(ImageView left, ImageView right, AnaglyphMethod method, ImageView out);
