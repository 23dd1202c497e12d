#include "anaglyph/view_adjustment.h"

#include "anaglyph/auto_window.h"
#include "anaglyph/pair_measurement.h"
#include "anaglyph/stereo_window.h"
#include "anaglyph/view_alignment.h"

bool AdjustViews(const ConversionOptions& options, const std::string& sourceName, ImageView& left, ImageView& right,
                 Image& ownedRight, std::string& notes, std::string& error)
{
    // The eyes are already exchanged, if asked, by the stereo source.
    // Before the shift: the alignment measures the views as they were shot.
    PairMeasurement measured;
    if (options.align || options.autoShift)
        measured = MeasurePair(left, right, options.align);
    AlignmentOutcome aligned;
    if (options.align) {
        error = AlignViews(sourceName, measured, left, right, ownedRight, notes, &aligned);
        if (!error.empty())
            return false;
    }
    if (options.autoShift)
        return PlaceAutoWindow(sourceName, measured, &aligned, left, right, notes, error);
    if (options.shift != 0 && !ShiftStereoWindow(left, right, options.shift, error))
        return false;
    return true;
}
