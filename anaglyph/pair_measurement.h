#pragma once
// What the two views of a pair tell about each other: points matched between
// reduced grey copies of the views (OpenCV's ORB), and a robust fit of how
// the right view must move so that every matched point lies on the same row
// in both views. The alignment (view_alignment.h) and the automatic stereo
// window (auto_window.h) both work from one measurement.
#include <cstdint>
#include <string>
#include <vector>

#include "base/image.h"

// One scene point seen in both views, in full-resolution pixels of each view.
struct PointPair {
    double xl = 0, yl = 0;
    double xr = 0, yr = 0;
};

// How the right view maps onto the left, in coordinates centred on the view
// and divided by half its longer side (u, v):
//   u' = (q u - p v) / w,  v' = (p u + q v + t) / w,  w = 1 + g u + k v.
// p and q hold the roll and the zoom (q = s cos(roll), p = s sin(roll)), t the
// vertical offset, g the keystone of cameras toed in (the vertical scale
// changing across the width) and k that of cameras tilted differently (it
// changing down the height). No horizontal offset: that is the picture's
// depth and stays as it is.
struct VerticalFit {
    double p = 0, q = 1, t = 0, g = 0, k = 0;
};

// The fit's figures as the user reads them.
struct FitFigures {
    double rollDegrees = 0;   // the right view is turned this much (clockwise positive)
    double zoomPercent = 0;   // and scaled by 1 + this / 100
    double offsetRows = 0;    // and moved down this many rows
    double keystonePercent = 0; // vertical scale at the right edge against the left edge, minus 1
    double tiltPercent = 0;     // vertical scale at the bottom against the top, minus 1
};

// Residual vertical disparity (|row in the left view - row in the right|)
// over the reliable matches, in full-resolution pixels.
struct Disparity {
    double median = 0;
    double p90 = 0;
};

struct PairMeasurement {
    // Why no reliable fit was found ("" when one was): too small, too flat,
    // too few matches that agree.
    std::string problem;
    int32_t width = 0, height = 0;  // the views' size
    double pixelsPerReduced = 1;    // full-resolution pixels per pixel of the reduced views
    int32_t candidateMatches = 0;   // descriptor matches before the fit
    std::vector<PointPair> matches; // those that agree with the fit
    // Every agreeing match, placed to a fraction of a reduced pixel: more
    // of the scene than matches, for measuring its depth.
    std::vector<PointPair> depthMatches;
    VerticalFit fit;
    Disparity before, after;        // over matches, uncorrected and corrected
};

// The reduced views' longer side and area: enough detail to place a point
// to a fraction of a full pixel once hundreds of matches are fitted, small
// enough to detect and match in tens of milliseconds.
constexpr int32_t kMeasureMaxSide = 768;
constexpr int64_t kMeasureMaxArea = 768 * 576;
// For the stereo window alone, which places the nearest part to a few
// pixels and needs no full-size refinement, smaller reduced views do.
constexpr int32_t kWindowMeasureMaxSide = 512;
constexpr int64_t kWindowMeasureMaxArea = 512 * 384;
// The most features the detector keeps in each view.
constexpr int32_t kMeasureFeatures = 1000;

// The memory MeasurePair takes for views of this size, at most: the reduced
// colour and grey copies of both views and the matcher's tables.
int64_t PairMeasurementBytes(int32_t width, int32_t height);

// Matches the views (of the same size) and fits. toFullSize: each agreeing
// match is placed to a fraction of a full-resolution pixel (what the
// alignment needs); else matches stay where the reduced views put them
// (enough for the stereo window). Never fails: what it could not find is in
// problem.
PairMeasurement MeasurePair(ImageView left, ImageView right, bool toFullSize = true);

// Makes MeasurePair ready to be called at once: where the measurement is a
// library loaded on first use (the program), loads it; where it is linked
// in, nothing.
void ReadyPairMeasurement();

// A measurement made on reduced copies of left and right (and given in
// their pixels) with its depth matches placed again to a fraction of a
// full-resolution pixel, searched for within reach pixels, and the rows
// fitted again on them, as MeasurePair's toFullSize places its matches. A measurement with a
// problem stays as it is; one whose matches no longer agree gets one.
void RefineAtFullSize(PairMeasurement& m, ImageView left, ImageView right, int32_t reach);

// Where the fit puts a right-view point (full-resolution pixels), in the left
// view's frame.
void MapRightPoint(const VerticalFit& fit, int32_t width, int32_t height, double x, double y, double& mappedX,
                   double& mappedY);

FitFigures FiguresOf(const VerticalFit& fit, int32_t width, int32_t height);
