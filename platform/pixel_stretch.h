#pragma once
// StretchBlt's scaling (SRCCOPY) between two pixel areas that are not GDI
// bitmaps: the conversion path cuts and resamples its views with exactly the
// arithmetic the drawing targets use, without making a bitmap for them.
#include "base/image.h"

// Source rectangle (sx, sy, sw, sh) onto destination rectangle (x, y, width,
// height), clipped to dest; source pixels outside the source read as the
// nearest edge pixel. mode is a stretch mode (HALFTONE = 4). The two areas
// must not overlap. False for an empty rectangle or when memory is short.
bool StretchPixels(ImageView source, int sx, int sy, int sw, int sh, ImageView dest, int x, int y, int width,
                   int height, int mode);
