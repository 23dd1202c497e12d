#pragma once
// --align: the right view is warped once so that every point lies on the
// same row as in the left view (roll, zoom, vertical offset and keystone
// removed, horizontal disparity kept), then both views are cut to the
// largest rectangle they both cover. Only the right view moves: the left
// keeps its own pixels, unresampled, and the right view's new pixels
// take the place of its old ones. When the pair gives no reliable answer, or correcting
// would not make it better, the views are left as they are and the note
// says why.
#include <string>

#include "anaglyph/pair_measurement.h"
#include "anaglyph/view_step.h"
#include "base/image.h"

// Views of width x height: the aligned views are at most that size; the
// memory it takes is the measurement and at most one view (the warp is
// written over the right view's own rows, saving a few hundred of them as
// it goes, and needs a view of its own only when the two views share
// memory).
ViewStepPlan PlanViewAlignment(int32_t width, int32_t height);

struct AlignmentOutcome {
    bool applied = false;
    FitFigures figures;     // the correction given to the right view
    double keptShare = 1;   // of the views' area
    int32_t x = 0, y = 0;   // where the kept rectangle starts in the left view
};

// What the alignment of views of a given size will do, decided from the
// measurement before any pixel is warped: when applied, the kept
// rectangle's size (outcome.x, outcome.y place it in the left view), the
// map from its pixels to the right view's (WarpPerspectiveBilinear's m) and
// the note to give once the views are aligned.
struct AlignmentDecision {
    AlignmentOutcome outcome;
    int32_t width = 0, height = 0;
    double fromKept[9] = {};
    std::string note;
};

// Decides it; when the views are to be left as they are, the note saying
// why is appended to notes and outcome.applied stays false.
void DecideAlignment(const std::string& name, const PairMeasurement& measured, int32_t width, int32_t height,
                     std::string& notes, AlignmentDecision& decision);

// Aligns left and right by measured (MeasurePair on these views). On
// success the right view's pixels are written over with the aligned ones,
// or, when the views share memory, the views point into warped, which then
// owns the right view's new pixels; one line naming the file (name) is appended to notes. Returns
// "" or, when memory for the warped view is short, the reason.
std::string AlignViews(const std::string& name, const PairMeasurement& measured, ImageView& left, ImageView& right,
                       Image& warped, std::string& notes, AlignmentOutcome* outcome = nullptr);
