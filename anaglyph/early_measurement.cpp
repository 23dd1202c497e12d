#include "anaglyph/early_measurement.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "imageio/codecs/codec.h"

namespace {

// A reduced view's pixel centre x (of a view reduced by scale) in the full
// view's pixels.
double ToFull(double x, double scale) { return (x + 0.5) * scale - 0.5; }

void ScalePoints(std::vector<PointPair>& points, double sx, double sy)
{
    for (PointPair& p : points)
        p = {ToFull(p.xl, sx), ToFull(p.yl, sy), ToFull(p.xr, sx), ToFull(p.yr, sy)};
}

// The fit is made in coordinates centred on the view and divided by half
// its longer side, which a whole scale leaves as they are; the places and
// the disparities in pixels grow by the scale.
void ToFullViews(PairMeasurement& m, int32_t viewWidth, int32_t viewHeight)
{
    if (m.width == viewWidth && m.height == viewHeight)
        return;
    const double sx = double(viewWidth) / m.width, sy = double(viewHeight) / m.height;
    ScalePoints(m.matches, sx, sy);
    ScalePoints(m.depthMatches, sx, sy);
    m.pixelsPerReduced *= sx;
    m.before = {m.before.median * sy, m.before.p90 * sy};
    m.after = {m.after.median * sy, m.after.p90 * sy};
    m.width = viewWidth;
    m.height = viewHeight;
}

} // namespace

int32_t EarlyMeasureLeastSide(bool forAlignment)
{
    return forAlignment ? kMeasureMaxSide * 4 / 3 : kWindowMeasureMaxSide * 3 / 4;
}

void PlaceAtFullSize(PairMeasurement& m, double scale, ImageView left, ImageView right)
{
    // As MeasurePair searches around a match placed on the detector's
    // reduced views: within half their factor and a pixel.
    if (scale > 1)
        RefineAtFullSize(m, left, right, int32_t(m.pixelsPerReduced / 2) + 1);
}

int64_t EarlyMeasurementBytes(int32_t width, int32_t height, bool forAlignment)
{
    // The decoder's scales are n/8: the smallest that keeps the least side.
    const int64_t viewLong = std::max(width / 2, height);
    const int64_t eighths = std::clamp<int64_t>((8 * int64_t{EarlyMeasureLeastSide(forAlignment)} + viewLong - 1) /
                                                    std::max<int64_t>(1, viewLong),
                                                1, 8);
    const int64_t picture = ImageBytes((width * eighths + 7) / 8, (height * eighths + 7) / 8);
    const int64_t measured = PairMeasurementBytes(int32_t((width / 2 * eighths + 7) / 8), int32_t((height * eighths + 7) / 8));
    return picture < 0 || measured < 0 ? -1 : picture + measured;
}

PairMeasurement MeasureReducedDecode(const uint8_t* data, size_t size, int32_t viewWidth, int32_t viewHeight,
                                     bool exchanged, bool forAlignment, double& scale)
{
    scale = 1;
    // The picture's longer side that keeps the view's longer side at the
    // least wanted: the views lie side by side.
    const int64_t viewLong = std::max(viewWidth, viewHeight), pictureLong = std::max(2 * viewWidth, viewHeight);
    const int32_t least = int32_t((int64_t{EarlyMeasureLeastSide(forAlignment)} * pictureLong + viewLong - 1) / viewLong);
    Picture picture;
    PairMeasurement m;
    if (DecodePictureBytesReduced(data, size, least, picture) != kCodecOk || picture.width < 2) {
        m.width = viewWidth;
        m.height = viewHeight;
        m.problem = "the picture could not be decoded to measure it";
        return m;
    }
    const int32_t half = picture.width / 2;
    ImageView all = picture.View();
    ImageView left = all.Crop(0, 0, half, all.height), right = all.Crop(picture.width - half, 0, half, all.height);
    if (exchanged)
        std::swap(left, right);
    m = MeasurePair(left, right, forAlignment);
    scale = double(viewWidth) / half;
    ToFullViews(m, viewWidth, viewHeight);
    return m;
}
