#pragma once
// Shrinking a picture by area: each output pixel is the mean of the source
// pixels it covers (fractions of a pixel weighed by how much is covered).
// The squeezed half views of a 3D TV pair, a wiggle's frames and the file
// manager's previews are made with it.
#include <cstdint>

#include "base/image.h"

// The size that fits width x height inside longSide on its longer side,
// keeping the aspect ratio (each side at least 1); the size itself when it
// already fits or longSide is 0 or less.
void FitInside(int32_t width, int32_t height, int32_t longSide, int32_t& fitWidth, int32_t& fitHeight);

// source shrunk (or kept) to width x height into out's pixels, an
// ImageView of exactly that size; neither side may grow. False when a side
// would grow or a size is below 1.
bool ShrinkByArea(ImageView source, ImageView out);
