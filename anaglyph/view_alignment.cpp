#include "anaglyph/view_alignment.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "anaglyph/perspective_warp.h"

namespace {

// Beyond these the fit describes two different pictures, not one scene
// seen from two places.
constexpr double kMostRollDegrees = 8;
constexpr double kMostZoomPercent = 15;
constexpr double kMostOffsetShare = 0.2;  // of the height
constexpr double kMostKeystonePercent = 15;
// Correcting must gain at least this much (full-resolution pixels) in the
// median or the 90th percentile, else the pair counts as level.
constexpr double kLeastMedianGain = 0.15;
constexpr double kLeastP90Gain = 0.3;
// A pair whose rows already agree this well is level: resampling it would
// only soften the right view.
constexpr double kLevelMedian = 0.35;
constexpr double kLevelP90 = 1.0;
// A correction that keeps less than this share of the picture is refused.
constexpr double kLeastKeptShare = 0.5;
// Candidate rows for the kept rectangle's top and bottom are this many
// apart at most: the search stays quick on very tall views.
constexpr int32_t kRowCandidates = 512;

// The right view's pixel (x, y) lands at H (x, y) in the left view's frame.
cv::Matx33d PixelHomography(const VerticalFit& fit, int32_t width, int32_t height)
{
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0, n = std::max(width, height) / 2.0;
    const cv::Matx33d toUnit(1 / n, 0, -cx / n, 0, 1 / n, -cy / n, 0, 0, 1);
    const cv::Matx33d fromUnit(n, 0, cx, 0, n, cy, 0, 0, 1);
    const cv::Matx33d model(fit.q, -fit.p, 0, fit.p, fit.q, fit.t, fit.g, fit.k, 1);
    return fromUnit * model * toUnit;
}

struct Rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// The largest axis-aligned rectangle of whole pixels inside the left view
// and inside the warped right view's outline (the convex image of the right
// view's pixel centres). For a convex outline a rectangle fits when its top
// and bottom rows fit, so each pair of candidate rows is tried once.
bool CommonRectangle(const cv::Matx33d& h, int32_t width, int32_t height, Rect& best)
{
    const double cornersX[4] = {0, double(width - 1), double(width - 1), 0};
    const double cornersY[4] = {0, 0, double(height - 1), double(height - 1)};
    double qx[4], qy[4];
    for (int i = 0; i < 4; ++i) {
        cv::Vec3d p = h * cv::Vec3d(cornersX[i], cornersY[i], 1);
        if (p[2] <= 0)
            return false; // the warp folds the view over: no outline
        qx[i] = p[0] / p[2];
        qy[i] = p[1] / p[2];
    }
    // Each row's span [first, last] inside both, or first > last.
    std::vector<int32_t> first(size_t(height), 1), last(size_t(height), 0);
    for (int32_t y = 0; y < height; ++y) {
        double low = 1e300, high = -1e300;
        for (int i = 0; i < 4; ++i) {
            int j = (i + 1) % 4;
            double y0 = qy[i], y1 = qy[j];
            if ((y < std::min(y0, y1)) || (y > std::max(y0, y1)))
                continue;
            double x = y1 == y0 ? qx[i] : qx[i] + (qx[j] - qx[i]) * (y - y0) / (y1 - y0);
            if (y1 == y0) {
                low = std::min({low, qx[i], qx[j]});
                high = std::max({high, qx[i], qx[j]});
            } else {
                low = std::min(low, x);
                high = std::max(high, x);
            }
        }
        if (low > high)
            continue;
        first[size_t(y)] = std::max<int32_t>(0, int32_t(std::ceil(low - 1e-9)));
        last[size_t(y)] = std::min<int32_t>(width - 1, int32_t(std::floor(high + 1e-9)));
    }
    const int32_t step = std::max<int32_t>(1, (height + kRowCandidates - 1) / kRowCandidates);
    std::vector<int32_t> rows;
    for (int32_t y = 0; y < height; y += step)
        rows.push_back(y);
    if (rows.back() != height - 1)
        rows.push_back(height - 1);
    int64_t bestArea = 0;
    for (size_t a = 0; a < rows.size(); ++a) {
        const int32_t top = rows[a];
        if (first[size_t(top)] > last[size_t(top)])
            continue;
        for (size_t b = a; b < rows.size(); ++b) {
            const int32_t bottom = rows[b];
            int32_t x0 = std::max(first[size_t(top)], first[size_t(bottom)]);
            int32_t x1 = std::min(last[size_t(top)], last[size_t(bottom)]);
            if (x1 < x0)
                continue;
            int64_t area = int64_t{x1 - x0 + 1} * (bottom - top + 1);
            if (area > bestArea) {
                bestArea = area;
                best = {x0, top, x1 - x0 + 1, bottom - top + 1};
            }
        }
    }
    return bestArea > 0;
}

// Whether the two views share any pixel (then neither may be written over
// while the other is still to be read). The halves of a side-by-side
// picture interleave row by row but share none; views a different number
// of pixels apart count as sharing when their spans meet at all.
bool Overlap(ImageView a, ImageView b)
{
    auto end = [](ImageView v) { return v.Row(v.height - 1) + v.width; };
    if (!(a.pixels < end(b) && b.pixels < end(a)))
        return false;
    if (a.stride != b.stride || a.stride <= 0)
        return true;
    if (b.pixels < a.pixels)
        std::swap(a, b);
    const int64_t apart = b.pixels - a.pixels, rows = apart / a.stride, columns = apart % a.stride;
    // b starts at (columns, rows) in a's frame, or at (columns - stride,
    // rows + 1) when it runs on past a row's end.
    for (int64_t shift : {int64_t{0}, a.stride}) {
        const int64_t x = columns - shift, y = rows + (shift ? 1 : 0);
        if (x < a.width && x + b.width > 0 && y < a.height && y + b.height > 0)
            return true;
    }
    return false;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

std::string LeftAlone(const std::string& name, const std::string& why)
{
    return Quoted(name) + " alignment: " + why + "; the views are left as they are.\n";
}

// Why the fit is not to be trusted, or "".
std::string Implausible(const FitFigures& f, int32_t height)
{
    char text[160] = "";
    if (std::abs(f.rollDegrees) > kMostRollDegrees)
        std::snprintf(text, sizeof text, "a roll of %.1f degrees", f.rollDegrees);
    else if (std::abs(f.zoomPercent) > kMostZoomPercent)
        std::snprintf(text, sizeof text, "a zoom of %+.1f %%", f.zoomPercent);
    else if (std::abs(f.offsetRows) > kMostOffsetShare * height)
        std::snprintf(text, sizeof text, "an offset of %.0f rows", f.offsetRows);
    else if (std::max(std::abs(f.keystonePercent), std::abs(f.tiltPercent)) > kMostKeystonePercent)
        std::snprintf(text, sizeof text, "a keystone of %.1f %%",
                      std::max(std::abs(f.keystonePercent), std::abs(f.tiltPercent)));
    return text[0] ? std::string("the matches ask for ") + text + ", more than a hand-held pair needs" : "";
}

} // namespace

ViewStepPlan PlanViewAlignment(int32_t width, int32_t height)
{
    ViewStepPlan plan;
    plan.width = width;
    plan.height = height;
    int64_t warped = ImageBytes(width, height);
    plan.memoryBytes = warped < 0 ? -1 : warped + PairMeasurementBytes(width, height);
    return plan;
}

void DecideAlignment(const std::string& name, const PairMeasurement& measured, int32_t width, int32_t height,
                     std::string& notes, AlignmentDecision& decision)
{
    decision = AlignmentDecision{};
    AlignmentOutcome& done = decision.outcome;
    if (!measured.problem.empty()) {
        notes += LeftAlone(name, measured.problem);
        return;
    }
    done.figures = FiguresOf(measured.fit, width, height);
    char line[512];
    std::string doubt = Implausible(done.figures, height);
    if (!doubt.empty()) {
        notes += LeftAlone(name, doubt);
        return;
    }
    const Disparity& before = measured.before;
    const Disparity& after = measured.after;
    const bool level = before.median <= kLevelMedian && before.p90 <= kLevelP90;
    if (level || (before.median - after.median < kLeastMedianGain && before.p90 - after.p90 < kLeastP90Gain)) {
        std::snprintf(line, sizeof line,
                      "the pair is level already (vertical disparity median %.2f px, 90th percentile %.2f px, %zu "
                      "matches)",
                      before.median, before.p90, measured.matches.size());
        notes += LeftAlone(name, line);
        return;
    }
    const cv::Matx33d h = PixelHomography(measured.fit, width, height);
    Rect kept;
    if (!CommonRectangle(h, width, height, kept)) {
        notes += LeftAlone(name, "the correction leaves no part that both views cover");
        return;
    }
    done.keptShare = double(kept.width) * kept.height / (double(width) * height);
    if (done.keptShare < kLeastKeptShare) {
        std::snprintf(line, sizeof line, "correcting would keep only %.0f %% of the picture", done.keptShare * 100);
        notes += LeftAlone(name, line);
        return;
    }
    const cv::Matx33d fromKept = h.inv() * cv::Matx33d(1, 0, kept.x, 0, 1, kept.y, 0, 0, 1);
    for (int i = 0; i < 9; ++i)
        decision.fromKept[i] = fromKept.val[i];
    decision.width = kept.width;
    decision.height = kept.height;
    const FitFigures& f = done.figures;
    std::snprintf(line, sizeof line,
                  " aligned: the right view turned %.2f degrees, zoomed %+.2f %%, moved %.1f rows %s, keystone %+.2f %% "
                  "across and %+.2f %% down; vertical disparity median %.2f -> %.2f px, 90th percentile %.2f -> %.2f px "
                  "(%zu matches); %.1f %% of the picture kept.\n",
                  f.rollDegrees, f.zoomPercent, std::abs(f.offsetRows), f.offsetRows >= 0 ? "down" : "up",
                  f.keystonePercent, f.tiltPercent, before.median, after.median, before.p90, after.p90,
                  measured.matches.size(), done.keptShare * 100);
    decision.note = Quoted(name) + line;
    done.applied = true;
    done.x = kept.x;
    done.y = kept.y;
}

std::string AlignViews(const std::string& name, const PairMeasurement& measured, ImageView& left, ImageView& right,
                       Image& warped, std::string& notes, AlignmentOutcome* outcome)
{
    if (outcome)
        *outcome = AlignmentOutcome{};
    AlignmentDecision decision;
    DecideAlignment(name, measured, left.width, left.height, notes, decision);
    if (!decision.outcome.applied)
        return "";
    const AlignmentOutcome& done = decision.outcome;
    const Rect kept{done.x, done.y, decision.width, decision.height};
    const double* fromKept = decision.fromKept;
    // Each kept pixel is read once from where it came from in the right
    // view: one resampling, of only the part that is kept. It is written
    // over the right view's own pixels where they are the right view's
    // alone, else into a buffer of the step's own.
    ImageView aligned;
    if (Overlap(left, right) || !WarpPerspectiveInPlace(right, fromKept, kept.width, kept.height, aligned)) {
        if (!AllocateImage(warped, kept.width, kept.height))
            return "there is not enough memory for the aligned right view (" + std::to_string(kept.width) + " x " +
                   std::to_string(kept.height) + " pixels)";
        WarpPerspectiveBilinear(right, fromKept, warped.View());
        aligned = warped.View();
    }
    left = left.Crop(kept.x, kept.y, kept.width, kept.height);
    right = aligned;
    notes += decision.note;
    if (outcome)
        *outcome = done;
    return "";
}
