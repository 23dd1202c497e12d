#include "anaglyph/view_adjustment.h"

#include <cstdlib>

#include "anaglyph/stereo_window.h"
#include "anaglyph/vertical_alignment.h"

namespace {

bool AlignWanted(const ConversionOptions& options) { return options.align; }

// The alignment cuts rows (never more than the views have) and measures on
// copies reduced to at most 512 pixels a side: a few such buffers of
// complex numbers.
bool PlanAlign(const ConversionOptions&, ViewSize&, int64_t& memory, std::string&)
{
    constexpr int64_t kReducedSide = 512;
    memory = 6 * kReducedSide * kReducedSide * 16;
    return true;
}

bool RunAlign(const ConversionOptions&, ImageView& left, ImageView& right, std::string& notes, std::string&)
{
    AlignViewsVertically(left, right, notes);
    return true;
}

bool ShiftWanted(const ConversionOptions& options) { return options.shift != 0; }

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

bool RunShift(const ConversionOptions& options, ImageView& left, ImageView& right, std::string&,
              std::string& problem)
{
    return ShiftStereoWindow(left, right, options.shift, problem);
}

// The eyes are already exchanged, if asked, by the stereo source. Before
// the shift: the alignment measures the views as they were shot.
constexpr ViewStep kViewSteps[] = {
    {"align", AlignWanted, PlanAlign, RunAlign},
    {"shift", ShiftWanted, PlanShift, RunShift},
};

} // namespace

std::span<const ViewStep> ViewSteps() { return kViewSteps; }

bool AdjustViews(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                 std::string& error)
{
    for (const ViewStep& step : ViewSteps())
        if (step.wanted(options) && !step.run(options, left, right, notes, error))
            return false;
    return true;
}
