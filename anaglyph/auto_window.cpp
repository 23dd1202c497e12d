#include "anaglyph/auto_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "anaglyph/stereo_window.h"

namespace {

double Percentile(std::vector<double> values, double share)
{
    size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + long(at), values.end());
    return values[at];
}

} // namespace

ViewStepPlan PlanAutoWindow(int32_t width, int32_t height)
{
    ViewStepPlan plan;
    plan.width = width;
    plan.height = height;
    plan.memoryBytes = PairMeasurementBytes(width, height);
    return plan;
}

bool PlaceAutoWindow(const std::string& name, const PairMeasurement& measured, const AlignmentOutcome* aligned,
                     ImageView& left, ImageView& right, std::string& notes, std::string& error,
                     WindowOutcome* outcome)
{
    const std::string quoted = "\"" + name + "\"";
    if (!measured.problem.empty() || measured.depthMatches.empty()) {
        notes += quoted + " stereo window: " +
                 (measured.problem.empty() ? std::string("no matches") : measured.problem) +
                 "; the window is left where it was shot.\n";
        return true;
    }
    // A crop moves both views alike and leaves separations as they are;
    // the warp moves the right view's points.
    const bool warped = aligned && aligned->applied;
    // The picture's parts: a grid of cells over the measured views, each
    // with the median separation of its matches. A part seen by many
    // matches counts once, and a lone stray match decides nothing.
    const int32_t columns = kWindowCells;
    const int32_t rows = std::max(1, int32_t(std::lround(double(kWindowCells) * measured.height / measured.width)));
    std::vector<std::vector<double>> cells(size_t(columns) * size_t(rows));
    for (const PointPair& m : measured.depthMatches) {
        double x = m.xr, y = m.yr;
        if (warped)
            MapRightPoint(measured.fit, measured.width, measured.height, m.xr, m.yr, x, y);
        int32_t cx = std::clamp(int32_t(m.xl * columns / measured.width), 0, columns - 1);
        int32_t cy = std::clamp(int32_t(m.yl * rows / measured.height), 0, rows - 1);
        cells[size_t(cy) * size_t(columns) + size_t(cx)].push_back(x - m.xl);
    }
    std::vector<double> parts;
    for (std::vector<double>& cell : cells)
        if (cell.size() >= kLeastCellMatches)
            parts.push_back(Percentile(cell, 0.5));
    if (parts.empty()) {
        notes += quoted + " stereo window: the matches lie too scattered to place it; the window is left where it "
                          "was shot.\n";
        return true;
    }
    WindowOutcome done;
    done.nearest = Percentile(parts, kNearestPercentile);
    done.farthest = Percentile(parts, kFarthestPercentile);
    done.depthShare = (done.farthest - done.nearest) / double(left.width);
    const double shift = std::round(-done.nearest);
    if (std::abs(shift) >= double(left.width)) {
        error = "the nearest part of the scene lies " + std::to_string(int64_t(shift)) +
                " pixels from the window, more than the views are wide";
        return false;
    }
    done.shift = int32_t(shift);
    if (done.shift != 0 && !ShiftStereoWindow(left, right, done.shift, error))
        return false;
    done.placed = true;
    char line[400];
    std::snprintf(line, sizeof line,
                  " stereo window: the nearest part (the lowest %.0f %% of %zu parts, %zu matches) sat %.1f px %s the "
                  "window; "
                  "shifted by %+d px. Depth range %.1f %% of the width%s.\n",
                  kNearestPercentile * 100, parts.size(), measured.depthMatches.size(), std::abs(done.nearest),
                  done.nearest <= 0 ? "in front of" : "behind", done.shift, done.depthShare * 100,
                  done.depthShare > kComfortableDepthShare
                      ? ": more than 1/30 of the width, hard to view comfortably"
                      : "");
    notes += quoted + line;
    if (outcome)
        *outcome = done;
    return true;
}
