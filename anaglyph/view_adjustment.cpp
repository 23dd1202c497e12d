#include "anaglyph/view_adjustment.h"

#include <cstdlib>

#include "anaglyph/auto_window.h"
#include "anaglyph/stereo_window.h"

namespace {

// The measurement of the pair, made once for the steps that need it; at
// full size when the alignment will warp by it.
const PairMeasurement& Measured(const ConversionOptions& options, ViewStepState& state, ImageView left,
                                ImageView right)
{
    if (!state.measured) {
        state.measurement = MeasurePair(left, right, options.align);
        state.measured = true;
    }
    return state.measurement;
}

bool TakePlan(const ViewStepPlan& planned, ViewSize& views, int64_t& memory, std::string& problem)
{
    if (planned.memoryBytes < 0) {
        problem = "views of " + std::to_string(views.width) + " x " + std::to_string(views.height) +
                  " pixels are too large to measure";
        return false;
    }
    views = ViewSize{planned.width, planned.height};
    memory = planned.memoryBytes;
    return true;
}

bool AlignWanted(const ConversionOptions& options) { return options.align; }

// The warped right view and the measurement's reduced copies; the views
// keep at most their size.
bool PlanAlign(const ConversionOptions&, ViewSize& views, int64_t& memory, std::string& problem)
{
    return TakePlan(PlanViewAlignment(int32_t(views.width), int32_t(views.height)), views, memory, problem);
}

bool RunAlign(const ConversionOptions& options, ViewStepState& state, ImageView& left, ImageView& right,
              std::string& notes, std::string& problem)
{
    const PairMeasurement& measured = Measured(options, state, left, right);
    problem = AlignViews(state.sourceName, measured, left, right, state.ownedRight, notes, &state.aligned);
    return problem.empty();
}

bool WindowWanted(const ConversionOptions& options) { return options.autoShift; }

// The measurement's reduced copies, unless the alignment made them already.
bool PlanWindow(const ConversionOptions& options, ViewSize& views, int64_t& memory, std::string& problem)
{
    if (!TakePlan(PlanAutoWindow(int32_t(views.width), int32_t(views.height)), views, memory, problem))
        return false;
    if (options.align)
        memory = 0;
    return true;
}

bool RunWindow(const ConversionOptions& options, ViewStepState& state, ImageView& left, ImageView& right,
               std::string& notes, std::string& problem)
{
    const PairMeasurement& measured = Measured(options, state, left, right);
    return PlaceAutoWindow(state.sourceName, measured, &state.aligned, left, right, notes, problem);
}

bool ShiftWanted(const ConversionOptions& options) { return !options.autoShift && options.shift != 0; }

// The shift narrows both views by |shift| pixels, copying nothing.
bool PlanShift(const ConversionOptions& options, ViewSize& views, int64_t& memory, std::string& problem)
{
    memory = 0;
    int64_t shift = std::llabs(int64_t{options.shift});
    if (views.width <= shift) {
        problem = "a shift of " + std::to_string(options.shift) + " pixels leaves nothing of views " +
                  std::to_string(views.width) + " pixels wide";
        return false;
    }
    views.width -= shift;
    return true;
}

bool RunShift(const ConversionOptions& options, ViewStepState&, ImageView& left, ImageView& right, std::string&,
              std::string& problem)
{
    return ShiftStereoWindow(left, right, options.shift, problem);
}

// The eyes are already exchanged, if asked, by the stereo source. Before
// the window: the alignment measures the views as they were shot.
constexpr ViewStep kViewSteps[] = {
    {"align", AlignWanted, PlanAlign, RunAlign},
    {"window", WindowWanted, PlanWindow, RunWindow},
    {"shift", ShiftWanted, PlanShift, RunShift},
};

} // namespace

std::span<const ViewStep> ViewSteps() { return kViewSteps; }

bool AdjustViews(const ConversionOptions& options, ViewStepState& state, ImageView& left, ImageView& right,
                 std::string& notes, std::string& error)
{
    for (const ViewStep& step : ViewSteps())
        if (step.wanted(options) && !step.run(options, state, left, right, notes, error))
            return false;
    return true;
}
