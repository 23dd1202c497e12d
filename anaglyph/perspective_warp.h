#pragma once
// Bilinear resampling of a 4-byte-per-pixel view through a perspective map,
// the one warp --align makes, into a buffer of its own or into the view's
// own rows. Fixed-point weights (1/128 of a pixel), source
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

// The same warp written over the view itself: the width x height target
// goes to the view's top or bottom rows (result), each view row saved to a
// small ring of rows before it is written over while later rows still read
// it, so the warp needs a few hundred rows rather than a second view. The
// pixels are those WarpPerspectiveBilinear makes. parts: bands worked on at
// once (at most two; 0: one a core). False, the view untouched, when the
// target does not fit in the view or the saved rows find no memory.
bool WarpPerspectiveInPlace(ImageView view, const double m[9], int32_t width, int32_t height, ImageView& result,
                            int parts = 0);

// Target rows top .. top + target.height - 1 of the warp WarpPerspectiveBilinear
// makes, written to target's rows 0 .. target.height - 1: the same pixels,
// a band at a time (one thread).
void WarpPerspectiveRows(ImageView source, const double m[9], int32_t top, ImageView target);

// The source rows that target rows [from, to) of width pixels read, first
// and last, in a source of sourceHeight rows.
void WarpRowsRead(const double m[9], int32_t width, int32_t from, int32_t to, int32_t sourceHeight, int32_t& first,
                  int32_t& last);
