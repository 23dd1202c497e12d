#pragma once
// Bilinear resampling of a 4-byte-per-pixel view through a perspective map,
// the one warp --align makes. Fixed-point weights (1/128 of a pixel), source
// places found exactly every few pixels and stepped in between, and the rows
// cut into bands worked on at once by the processor's cores.
#include "base/image.h"

// Each target pixel (x, y) takes the source at
//   ((m[0] x + m[1] y + m[2]) / z, (m[3] x + m[4] y + m[5]) / z),
//   z = m[6] x + m[7] y + m[8],
// read bilinearly, places outside the source taken from its nearest edge.
// Every target row is written. The source is at least 1 x 1 and z stays
// positive over the target (a warp that folds the view over is refused
// before it comes here).
void WarpPerspectiveBilinear(ImageView source, const double m[9], ImageView target);
