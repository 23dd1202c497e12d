// The entry of libstereoglass-measure.so: the table of its calls. Linked with
// a version script that keeps every other symbol local, so that the
// library's own calls bind to its own functions and not to the program's
// forwarders of the same names.
#include "anaglyph/measure_module.h"

extern "C" const MeasureCalls* sg_measure_calls()
{
    static const MeasureCalls calls = {
        kMeasureCallsVersion,
        MeasurePair,
        RefineAtFullSize,
    };
    return &calls;
}
