#pragma once
// The anaglyph of a side-by-side JPEG, band by band: one thread decodes
// bands of rows into a small ring while the other mixes each band and feeds
// the encoder, so a picture takes about the time of its slower half rather
// than the sum. Only the bands in flight, the file's bytes and the encoded
// output are in memory. The bytes written are those of the whole-view path
// (the same decoder and encoder settings, the same metadata).
// --align and --shift auto measure the pair from a reduced decode of the
// same bytes (early_measurement.h) while the decoder runs; then the
// mixing side writes the output band by band, warping the right view's
// rows of each band (the alignment keeps the whole decoded picture, since
// a warped row reads rows above and below it) or cutting them (the window).
#include <cstdint>

#include "anaglyph/conversion.h"
#include "anaglyph/conversion_plan.h"
#include "anaglyph/stereo_source.h"

// Whether the planned conversion can go band by band: an anaglyph written
// as JPEG, from one JPEG picture (not CMYK) cut side by side or crossed
// with an even width, at full size; any view step (the alignment, the
// window, the shift).
// memory: what the bands in flight and the decoder take.
bool StreamsByBands(const ConversionRequest& request, const StereoSource& source, const ConversionPlan& plan,
                    int64_t& memory);

// Runs a conversion planned to go by bands (ConversionPath::Bands).
ConversionResult StreamAnaglyph(const ConversionRequest& request, StereoSource& source, const ConversionPlan& plan);
