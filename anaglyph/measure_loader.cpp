// The program's side of the measuring library: MeasurePair, forwarded to
// libstereoglass-measure.so, which is loaded on the first measurement. The
// library is found through the program's RUNPATH (the build tree, or
// lib/stereoglass beside the installed program). When it cannot be loaded
// the measurement says why in its problem, and the steps that need it leave
// the views as they are with that reason in their note.
#include "anaglyph/measure_module.h"

#include "platform/private_calls.h"

namespace {

PrivateCalls<MeasureCalls> gMeasure(kMeasureLibraryName, kMeasureCallsSymbol, kMeasureCallsVersion);

} // namespace

PairMeasurement MeasurePair(ImageView left, ImageView right, bool toFullSize)
{
    if (const MeasureCalls* calls = gMeasure.Get())
        return calls->measurePair(left, right, toFullSize);
    PairMeasurement m;
    m.width = left.width;
    m.height = left.height;
    m.problem = "the measuring library cannot be loaded (" + gMeasure.Error() + ")";
    return m;
}

void RefineAtFullSize(PairMeasurement& m, ImageView left, ImageView right, int32_t reach)
{
    if (const MeasureCalls* calls = gMeasure.Get())
        calls->refineAtFullSize(m, left, right, reach);
}

void ReadyPairMeasurement() { gMeasure.Get(); }
