#pragma once
// The pair measured from its own reduced decode: a side-by-side JPEG's
// picture decoded again at one of the decoder's reduced scales (a DCT-scaled
// decode, a fraction of the full decode's work), cut into its two views and
// measured, so that the measurement runs on one core while the other decodes
// the picture at full size. The measurement comes back in the full views'
// pixels, as MeasurePair on them would give it. A picture too small to
// reduce is decoded at full size, and then measures exactly as its full
// views do.
#include <cstddef>
#include <cstdint>

#include "anaglyph/pair_measurement.h"

// The longer side a view keeps at least in the reduced decode: a third more
// than the detector's reduced side for the alignment, whose matches are
// placed again at full size once the picture is decoded (PlaceAtFullSize);
// three quarters of the stereo window's, which places the nearest part to
// a few pixels.
int32_t EarlyMeasureLeastSide(bool forAlignment);

// The most memory the reduced decode and the measurement take for a
// side-by-side picture of width x height.
int64_t EarlyMeasurementBytes(int32_t width, int32_t height, bool forAlignment);

// Measures the views of the side-by-side JPEG in data (the views viewWidth x
// viewHeight, the right view first when exchanged); scale: full-size pixels
// per pixel of the reduced decode (1 when decoded at full size). Never
// fails: a decode that fails leaves the reason in problem.
PairMeasurement MeasureReducedDecode(const uint8_t* data, size_t size, int32_t viewWidth, int32_t viewHeight,
                                     bool exchanged, bool forAlignment, double& scale);

// For the alignment, once the full views are decoded: the measurement's
// matches placed again on them to a fraction of a pixel and the rows fitted
// again (nothing when it was measured at full size).
void PlaceAtFullSize(PairMeasurement& m, double scale, ImageView left, ImageView right);
