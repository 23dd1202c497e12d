// The parts of the measurement that need no feature matching: its memory,
// and what a fit means for a point and for the user. They stay in the
// program, which loads the matching (and OpenCV) only when a pair is measured.
#include "anaglyph/pair_measurement.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "anaglyph/pair_frame.h"

int64_t PairMeasurementBytes(int32_t width, int32_t height)
{
    // A full-size grey copy of each view in turn, the two reduced grey
    // views with the detector's pyramid (about a third more) and its
    // working images, and the descriptors.
    int64_t full = int64_t{width} * height;
    int64_t reduced = std::min<int64_t>(full, kMeasureMaxArea);
    return 2 * full + reduced * 2 * 4 + int64_t{kMeasureFeatures} * 2 * 64;
}

void MapRightPoint(const VerticalFit& fit, int32_t width, int32_t height, double x, double y, double& mappedX,
                   double& mappedY)
{
    const Normaliser norm(width, height);
    double u = (x - norm.cx) / norm.n, v = (y - norm.cy) / norm.n;
    double w = 1 + fit.g * u + fit.k * v;
    mappedX = (fit.q * u - fit.p * v) / w * norm.n + norm.cx;
    mappedY = (fit.p * u + fit.q * v + fit.t) / w * norm.n + norm.cy;
}

FitFigures FiguresOf(const VerticalFit& fit, int32_t width, int32_t height)
{
    const Normaliser norm(width, height);
    FitFigures f;
    f.rollDegrees = std::atan2(fit.p, fit.q) * 180 / std::numbers::pi;
    f.zoomPercent = (std::hypot(fit.p, fit.q) - 1) * 100;
    f.offsetRows = fit.t * norm.n;
    // The vertical scale at u is about s / w(u): the edges differ by g times
    // the width in normalised units.
    f.keystonePercent = -fit.g * (width / norm.n) * 100;
    f.tiltPercent = -fit.k * (height / norm.n) * 100;
    return f;
}
