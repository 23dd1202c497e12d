#include "anaglyph/view_adjustment.h"

#include "anaglyph/stereo_window.h"
#include "anaglyph/vertical_alignment.h"

bool AdjustViews(const ConversionOptions& options, ImageView& left, ImageView& right, std::string& notes,
                 std::string& error)
{
    // The eyes are already exchanged, if asked, by the stereo source.
    // Before the shift: the alignment measures the views as they were shot.
    if (options.align)
        AlignViewsVertically(left, right, notes);
    if (options.shift != 0 && !ShiftStereoWindow(left, right, options.shift, error))
        return false;
    return true;
}
