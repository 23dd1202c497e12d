#include "anaglyph/view_adjustment.h"

#include <utility>

#include "anaglyph/stereo_window.h"
#include "anaglyph/vertical_alignment.h"

bool AdjustViews(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                 std::string& error)
{
    // Glasses worn the other way round, or a cross-eyed pair.
    if (options.swapViews)
        std::swap(left, right);
    // Before the shift: the alignment measures the views as they were shot.
    if (options.align)
        AlignViewsVertically(left, right, notes);
    if (options.shift != 0 && !ShiftStereoWindow(left, right, options.shift, error))
        return false;
    return true;
}
