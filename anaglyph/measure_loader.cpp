// The program's side of the measuring library: MeasurePair, forwarded to
// libstereoglass-measure.so, which is loaded on the first measurement. The
// library is found through the program's RUNPATH (the build tree, or
// lib/stereoglass beside the installed program). When it cannot be loaded
// the measurement says why in its problem, and the steps that need it leave
// the views as they are with that reason in their note.
#include "anaglyph/measure_module.h"

#include <atomic>
#include <mutex>

#include "platform/os.h"

namespace {

std::once_flag gLoadOnce;
const MeasureCalls* gCalls = nullptr;
std::string gLoadError;
std::atomic<bool> gLoaded{false};

void LoadMeasureLibrary()
{
    void* entry = OsLibrarySymbol(kMeasureLibraryName, kMeasureCallsSymbol, gLoadError);
    const MeasureCalls* calls = entry ? reinterpret_cast<const MeasureCalls* (*)()>(entry)() : nullptr;
    if (entry && !calls)
        gLoadError = std::string(kMeasureLibraryName) + ": no " + kMeasureCallsSymbol;
    else if (calls && calls->version != kMeasureCallsVersion)
        gLoadError = std::string(kMeasureLibraryName) + ": built for another version of the program";
    else
        gCalls = calls;
    gLoaded.store(gCalls != nullptr, std::memory_order_release);
}

} // namespace

const MeasureCalls* LoadedMeasure()
{
    std::call_once(gLoadOnce, LoadMeasureLibrary);
    return gCalls;
}

std::string MeasureLoadError()
{
    LoadedMeasure();
    return gLoadError;
}

bool MeasureLoaded()
{
    return gLoaded.load(std::memory_order_acquire);
}

PairMeasurement MeasurePair(ImageView left, ImageView right, bool toFullSize)
{
    if (const MeasureCalls* calls = LoadedMeasure())
        return calls->measurePair(left, right, toFullSize);
    PairMeasurement m;
    m.width = left.width;
    m.height = left.height;
    m.problem = "the measuring library cannot be loaded (" + gLoadError + ")";
    return m;
}

void RefineAtFullSize(PairMeasurement& m, ImageView left, ImageView right, int32_t reach)
{
    if (const MeasureCalls* calls = LoadedMeasure())
        calls->refineAtFullSize(m, left, right, reach);
}

void ReadyPairMeasurement() { LoadedMeasure(); }
