#pragma once
// --shift auto: the stereo window placed at the nearest part of the scene.
// The horizontal separations of the matched points (x in the right view
// minus x in the left) are measured; a low percentile of the picture's
// parts, so that one stray match does not decide, is taken as the nearest
// part and moved to zero separation, and the views are cut as --shift does.
#include <string>

#include "anaglyph/pair_measurement.h"
#include "anaglyph/view_alignment.h"
#include "anaglyph/view_step.h"
#include "base/image.h"

// The picture is cut into this many columns of square-ish cells; a cell
// with this many matches is one part of the scene at its median separation.
constexpr int32_t kWindowCells = 16;
constexpr size_t kLeastCellMatches = 3;
// The share of the parts taken to lie in front of the nearest part.
constexpr double kNearestPercentile = 0.02;
constexpr double kFarthestPercentile = 0.98;
// Depth ranges wider than this share of the width are hard to fuse.
constexpr double kComfortableDepthShare = 1.0 / 30;

// Views of width x height come out no wider and as high; the measurement
// is the only memory it takes (nothing when the alignment measured already).
ViewStepPlan PlanAutoWindow(int32_t width, int32_t height);

struct WindowOutcome {
    bool placed = false;
    int32_t shift = 0;         // what was added to every separation
    double nearest = 0;        // separations before the shift, in pixels
    double farthest = 0;
    double depthShare = 0;     // (farthest - nearest) / width
};

// Places the window on views that measured describes; aligned tells what
// the alignment did to them since (nullptr or not applied: nothing). One
// line naming the file is appended to notes. False, with the reason in
// error, only when the shift cannot be made (ShiftStereoWindow's).
bool PlaceAutoWindow(const std::string& name, const PairMeasurement& measured, const AlignmentOutcome* aligned,
                     ImageView& left, ImageView& right, std::string& notes, std::string& error,
                     WindowOutcome* outcome = nullptr);
