// The alignment's bilinear warp against a reference computed in doubles,
// on a small real picture and on the views' degenerate shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "anaglyph/perspective_warp.h"
#include "imageio/codecs/codec.h"
#include "tests/anaglyph/pictures.h"

namespace {

// Bilinear in doubles, edges replicated: what the warp approximates.
uint32_t Reference(ImageView source, const double m[9], double x, double y)
{
    const double z = m[6] * x + m[7] * y + m[8];
    const double sx = std::clamp((m[0] * x + m[1] * y + m[2]) / z, 0.0, double(source.width - 1));
    const double sy = std::clamp((m[3] * x + m[4] * y + m[5]) / z, 0.0, double(source.height - 1));
    const int32_t x0 = int32_t(sx), y0 = int32_t(sy);
    const int32_t x1 = std::min(x0 + 1, source.width - 1), y1 = std::min(y0 + 1, source.height - 1);
    const double fx = sx - x0, fy = sy - y0;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        auto c = [&](int32_t px, int32_t py) { return double((source.Row(py)[px] >> shift) & 0xFF); };
        double v = (c(x0, y0) * (1 - fx) + c(x1, y0) * fx) * (1 - fy) + (c(x0, y1) * (1 - fx) + c(x1, y1) * fx) * fy;
        out |= uint32_t(std::lround(v)) << shift;
    }
    return out;
}

int LargestChannelDifference(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

// A target pixel of (x, y) reads the source at this matrix's image of it.
struct Case {
    const char* what;
    int32_t sourceWidth, sourceHeight; // 0: the picture's
    int32_t targetWidth, targetHeight;
    double rollDegrees, zoom, dx, dy, keystone;
    // The largest channel difference from the reference allowed: weights in
    // 1/128 of a pixel put a sharp edge a level or two off.
    int most;
};

} // namespace

TEST(PerspectiveWarp, FollowsTheExactBilinearOnEveryShape)
{
    Picture picture;
    ASSERT_EQ(DecodePictureFile(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", picture), kCodecOk);
    const Case cases[] = {
        {"whole-pixel move copies exactly", 0, 0, 300, 400, 0, 1, 7, -3, 0, 0},
        {"roll, zoom and keystone", 0, 0, 522, 720, 1.5, 1.02, 3.3, -11.7, 0.01, 2},
        {"reads past every edge", 0, 0, 522, 720, -4, 0.9, -40.2, 30.6, -0.02, 2},
        {"odd widths leave no tail", 0, 0, 37, 5, 0.7, 1.01, 0.25, 0.5, 0.005, 2},
        {"source one pixel wide", 1, 50, 3, 40, 2, 1, 0.3, 0.4, 0, 2},
        {"source one pixel high", 60, 1, 61, 2, -2, 1, 0.3, 0.4, 0, 2},
        {"source one pixel", 1, 1, 4, 4, 0, 1, 0.5, 0.5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ImageView full = picture.View();
        ImageView source = full.Crop(0, 0, c.sourceWidth ? c.sourceWidth : 522, c.sourceHeight ? c.sourceHeight : 720);
        const double a = c.rollDegrees * std::numbers::pi / 180;
        const double m[9] = {c.zoom * std::cos(a), -c.zoom * std::sin(a), c.dx, c.zoom * std::sin(a),
                             c.zoom * std::cos(a), c.dy, c.keystone / 522, 0, 1};
        Image target;
        ASSERT_TRUE(AllocateImage(target, c.targetWidth, c.targetHeight, true));
        WarpPerspectiveBilinear(source, m, target.View());
        int most = 0;
        for (int32_t y = 0; y < c.targetHeight; ++y)
            for (int32_t x = 0; x < c.targetWidth; ++x)
                most = std::max(most, LargestChannelDifference(target.View().Row(y)[x], Reference(source, m, x, y)));
        EXPECT_LE(most, c.most);
    }
}

// Written over the view itself, the warp must give the very pixels it gives
// into a buffer of its own: whichever way the rows are read (from above or
// below, more or fewer than are written, across the two bands' meeting).
TEST(PerspectiveWarp, InPlaceGivesTheSamePixelsAsIntoABufferOfItsOwn)
{
    Picture picture;
    ASSERT_EQ(DecodePictureFile(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", picture), kCodecOk);
    struct InPlace {
        const char* what;
        int32_t targetWidth, targetHeight;
        double rollDegrees, zoom, dx, dy, keystone;
    };
    const InPlace cases[] = {
        {"roll, zoomed in", 480, 660, 1.5, 0.95, 12, 20, 0.01},
        {"zoomed out, read from above", 500, 600, -1, 1.08, 5, -40, 0},
        {"read from far below", 522, 500, 0.5, 1, 0, 200, -0.02},
        {"read from far above", 522, 500, -0.5, 1, 0, -150, 0.02},
        {"steep roll", 400, 500, 8, 1, 60, 40, 0},
        {"a few rows", 522, 3, 0.2, 1, 0.5, 0.5, 0},
    };
    const ImageView full = picture.View().Crop(522, 0, 522, 720);
    for (const InPlace& c : cases)
        for (int parts : {1, 2}) {
            SCOPED_TRACE(std::string(c.what) + ", parts " + std::to_string(parts));
            const double a = c.rollDegrees * std::numbers::pi / 180;
            const double m[9] = {c.zoom * std::cos(a), -c.zoom * std::sin(a), c.dx, c.zoom * std::sin(a),
                                 c.zoom * std::cos(a), c.dy, c.keystone / 522, 0, 1};
            Image expected, view;
            ASSERT_TRUE(AllocateImage(expected, c.targetWidth, c.targetHeight));
            WarpPerspectiveBilinear(full, m, expected.View());
            // The view inside a wider picture, as a side-by-side file's right view is.
            ASSERT_TRUE(AllocateImage(view, 2 * full.width, full.height));
            for (int32_t y = 0; y < full.height; ++y)
                std::copy(full.Row(y), full.Row(y) + full.width, view.View().Row(y) + full.width);
            ImageView result;
            ASSERT_TRUE(WarpPerspectiveInPlace(view.View().Crop(full.width, 0, full.width, full.height), m,
                                               c.targetWidth, c.targetHeight, result, parts));
            ASSERT_EQ(result.width, c.targetWidth);
            ASSERT_EQ(result.height, c.targetHeight);
            int32_t wrong = 0;
            for (int32_t y = 0; y < c.targetHeight; ++y)
                wrong += !std::equal(result.Row(y), result.Row(y) + c.targetWidth, expected.View().Row(y));
            EXPECT_EQ(wrong, 0) << "rows differ";
        }
    ImageView result;
    Image small;
    ASSERT_TRUE(AllocateImage(small, 10, 10));
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    EXPECT_FALSE(WarpPerspectiveInPlace(small.View(), identity, 11, 10, result)) << "a target wider than the view";
}
