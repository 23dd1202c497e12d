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

// The longer side a view keeps in the reduced decode: twice the detector's
// reduced side for the alignment, whose matches are then placed on the
// reduced decode's pixels; the detector's side for the stereo window.
int32_t EarlyMeasureLeastSide(bool forAlignment);

// The most memory the reduced decode and the measurement take for a picture
// of width x height (the decode at full size, at most).
int64_t EarlyMeasurementBytes(int32_t width, int32_t height);

// Measures the views of the side-by-side JPEG in data (the views viewWidth x
// viewHeight, the right view first when exchanged). Never fails: a decode
// that fails leaves the reason in problem.
PairMeasurement MeasureReducedDecode(const uint8_t* data, size_t size, int32_t viewWidth, int32_t viewHeight,
                                     bool exchanged, bool forAlignment);
