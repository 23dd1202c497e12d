#pragma once
// The matching of a pair (pair_measurement.h, OpenCV's detector and matcher)
// is built as a private shared library, libstereoglass-measure.so, that the
// program loads only when it first measures a pair. OpenCV's core pulls in
// libGLX and libX11, so a run that neither aligns nor places the window by
// the pair never maps them. This table is the one entry of that library.
#include <cstdint>
#include <string>

#include "anaglyph/pair_measurement.h"

// Raised whenever a row is added, removed or changes its signature: a
// library of another build is refused rather than called wrongly.
constexpr uint32_t kMeasureCallsVersion = 2;

struct MeasureCalls {
    uint32_t version;
    PairMeasurement (*measurePair)(ImageView left, ImageView right, bool toFullSize);
    void (*refineAtFullSize)(PairMeasurement& m, ImageView left, ImageView right, int32_t reach);
};

// The library's file name and its one exported symbol.
constexpr const char* kMeasureLibraryName = "libstereoglass-measure.so";
constexpr const char* kMeasureCallsSymbol = "sg_measure_calls";
extern "C" const MeasureCalls* sg_measure_calls();

