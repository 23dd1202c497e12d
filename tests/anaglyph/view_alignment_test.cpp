// --align and --shift auto on a small real pair (the figure sample, whose
// views are level) given known distortions, and on pairs they must leave
// alone.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <numbers>

#include "anaglyph/auto_window.h"
#include "anaglyph/conversion.h"
#include "anaglyph/view_alignment.h"
#include "imageio/codecs/codec.h"
#include "tests/anaglyph/pictures.h"

namespace {

struct Pair {
    Image left, right;
};

Image Copy(ImageView view)
{
    Image image;
    EXPECT_TRUE(AllocateImage(image, view.width, view.height));
    for (int32_t y = 0; y < view.height; ++y)
        std::copy(view.Row(y), view.Row(y) + view.width, image.View().Row(y));
    return image;
}

const Picture& Figure()
{
    static Picture picture = [] {
        Picture p;
        EXPECT_EQ(DecodePictureFile(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", p), kCodecOk);
        return p;
    }();
    return picture;
}

ImageView FigureView(int side) { return Figure().View().Crop(side * 522, 0, 522, 720); }

cv::Mat Wrap(const Image& image)
{
    return cv::Mat(image.height, image.width, CV_8UC4, image.pixels.get(), size_t(image.width) * 4);
}

// The distortion given to the right view, about its centre.
struct Distortion {
    double rollDegrees, zoom, offsetRows, keystone;
};

cv::Matx33d DistortionMatrix(const Distortion& d, int32_t width, int32_t height)
{
    const double cx = (width - 1) / 2.0, cy = (height - 1) / 2.0, n = std::max(width, height) / 2.0;
    const double a = d.rollDegrees * std::numbers::pi / 180;
    const cv::Matx33d toUnit(1 / n, 0, -cx / n, 0, 1 / n, -cy / n, 0, 0, 1);
    const cv::Matx33d model(d.zoom * std::cos(a), -d.zoom * std::sin(a), 0, d.zoom * std::sin(a),
                            d.zoom * std::cos(a), d.offsetRows / n, d.keystone / (width / n), 0, 1);
    return toUnit.inv() * model * toUnit;
}

// The figure pair with the right view distorted, both cut to their inner
// part so that no empty border is left.
Pair DistortedFigure(const Distortion& d)
{
    Image right = Copy(FigureView(1)), warped;
    EXPECT_TRUE(AllocateImage(warped, right.width, right.height));
    cv::Mat target = Wrap(warped);
    cv::warpPerspective(Wrap(right), target, cv::Mat(DistortionMatrix(d, right.width, right.height)), target.size(),
                        cv::INTER_LANCZOS4);
    const int32_t mx = 40, my = 56;
    ImageView inner = FigureView(0).Crop(mx, my, 522 - 2 * mx, 720 - 2 * my);
    return {Copy(inner), Copy(warped.View().Crop(mx, my, 522 - 2 * mx, 720 - 2 * my))};
}

} // namespace

TEST(ViewAlignment, KnownRollZoomOffsetAndKeystoneAreFoundAndRemoved)
{
    const Distortion cases[] = {
        {1.5, 1.03, 0, 0},
        {-1.0, 1.0, 9, 0.02},
        {0.4, 0.97, -6, -0.015},
    };
    for (const Distortion& d : cases) {
        const std::string name = "roll " + std::to_string(d.rollDegrees) + ", offset " + std::to_string(d.offsetRows);
        Pair pair = DistortedFigure(d);
        ImageView left = pair.left.View(), right = pair.right.View();
        PairMeasurement measured = MeasurePair(left, right);
        ASSERT_EQ(measured.problem, "") << name;
        EXPECT_GT(measured.before.p90, 2.0) << name;

        Image warped;
        std::string notes;
        AlignmentOutcome outcome;
        ASSERT_EQ(AlignViews("pair.jps", measured, left, right, warped, notes, &outcome), "") << name;
        ASSERT_TRUE(outcome.applied) << name << ": " << notes;
        // The correction undoes the distortion: the opposite roll, the
        // inverse zoom, the opposite offset (the distortion's roll moves the
        // centre nowhere), the keystone's opposite.
        EXPECT_NEAR(outcome.figures.rollDegrees, -d.rollDegrees, 0.1) << name << ": " << notes;
        EXPECT_NEAR(outcome.figures.zoomPercent, (1 / d.zoom - 1) * 100, 0.3) << name << ": " << notes;
        EXPECT_NEAR(outcome.figures.offsetRows, -d.offsetRows / d.zoom, 1.0) << name << ": " << notes;
        EXPECT_NEAR(outcome.figures.keystonePercent, d.keystone * 100, 0.6) << name << ": " << notes;
        EXPECT_GT(outcome.keptShare, 0.8) << name;
        EXPECT_EQ(notes.rfind("\"pair.jps\" aligned: the right view turned ", 0), 0u) << notes;
        EXPECT_NE(notes.find("% of the picture kept"), std::string::npos) << notes;

        // Measured afresh, the aligned views are level; their depth stays.
        ASSERT_EQ(left.width, right.width);
        ASSERT_EQ(left.height, right.height);
        EXPECT_TRUE(right.pixels >= pair.right.pixels.get() &&
                    right.pixels < pair.right.pixels.get() + int64_t{pair.right.width} * pair.right.height)
            << "the aligned pixels are written over the right view's own";
        EXPECT_FALSE(warped.pixels) << "no second view is made";
        PairMeasurement after = MeasurePair(left, right);
        ASSERT_EQ(after.problem, "") << name;
        EXPECT_LT(after.before.median, 0.35) << name;
        EXPECT_LT(after.before.p90, 1.0) << name;
    }
}

TEST(ViewAlignment, PairsWithoutAReliableAnswerAreLeftAloneAndSaySo)
{
    Image flat;
    ASSERT_TRUE(AllocateImage(flat, 300, 200));
    std::fill(flat.pixels.get(), flat.pixels.get() + 300 * 200, 0xFF808080u);
    // 16 x 5000 reduces to a width of nothing: refused before any match.
    Image tall;
    ASSERT_TRUE(AllocateImage(tall, 16, 5000));
    for (int32_t y = 0; y < 5000; ++y)
        std::copy(FigureView(0).Row(y % 720), FigureView(0).Row(y % 720) + 16, tall.View().Row(y));
    Image wide = Copy(FigureView(0).Crop(0, 0, 500, 16));
    Image tiny = Copy(FigureView(0).Crop(0, 0, 3, 2));
    // Unrelated: two different parts of the picture.
    Image top = Copy(FigureView(0).Crop(0, 0, 400, 300)), bottom = Copy(FigureView(1).Crop(100, 400, 400, 300));
    struct Case {
        const char* name;
        ImageView left, right;
        const char* why;
    };
    const Case cases[] = {
        {"level", FigureView(0), FigureView(1), "the pair is level already"},
        {"flat", flat.View(), flat.View(), "too little detail"},
        {"16 wide", tall.View(), tall.View(), "too small to measure (16 x 5000 pixels)"},
        {"16 high", wide.View(), wide.View(), "too small to measure (500 x 16 pixels)"},
        {"tiny", tiny.View(), tiny.View(), "too small"},
        {"unrelated", top.View(), bottom.View(), "agree"},
    };
    for (const Case& c : cases) {
        ImageView left = c.left, right = c.right;
        Image warped;
        std::string notes;
        AlignmentOutcome outcome;
        ASSERT_EQ(AlignViews("a.png", MeasurePair(left, right), left, right, warped, notes, &outcome), "") << c.name;
        EXPECT_FALSE(outcome.applied) << c.name;
        EXPECT_NE(notes.find(c.why), std::string::npos) << c.name << ": " << notes;
        EXPECT_EQ(notes.rfind("\"a.png\" alignment: ", 0), 0u) << notes;
        EXPECT_NE(notes.find("the views are left as they are"), std::string::npos) << notes;
        EXPECT_EQ(left.pixels, c.left.pixels) << c.name;
        EXPECT_EQ(right.pixels, c.right.pixels) << c.name;
        EXPECT_EQ(left.width, c.left.width) << c.name;
        EXPECT_EQ(left.height, c.left.height) << c.name;
        EXPECT_FALSE(warped.pixels) << c.name;
    }
}

// A background at one separation and a near square at another: the window
// goes to the square, whatever the background.
TEST(AutoWindow, TheNearestPartGoesToTheWindow)
{
    struct Case {
        int32_t background, nearest; // separations, x right - x left
        bool warns;
    };
    const Case cases[] = {{6, -10, true}, {12, 4, false}, {-3, -8, false}};
    const int32_t width = 400, height = 300, margin = 40;
    for (const Case& c : cases) {
        Image left, right;
        ASSERT_TRUE(AllocateImage(left, width, height));
        ASSERT_TRUE(AllocateImage(right, width, height));
        ImageView scene = FigureView(0), object = FigureView(1).Crop(200, 380, 140, 140);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                left.View().Row(y)[x] = scene.Row(y + 100)[x + margin];
                right.View().Row(y)[x] = scene.Row(y + 100)[x + margin - c.background];
            }
        for (int32_t y = 0; y < 140; ++y)
            for (int32_t x = 0; x < 140; ++x) {
                left.View().Row(y + 80)[x + 130] = object.Row(y)[x];
                right.View().Row(y + 80)[x + 130 + c.nearest] = object.Row(y)[x];
            }
        ImageView l = left.View(), r = right.View();
        std::string notes, error;
        WindowOutcome outcome;
        ASSERT_TRUE(PlaceAutoWindow("p.png", MeasurePair(l, r), nullptr, l, r, notes, error, &outcome)) << error;
        ASSERT_TRUE(outcome.placed) << notes;
        EXPECT_NEAR(outcome.shift, -c.nearest, 1) << notes;
        EXPECT_EQ(l.width, width - std::abs(outcome.shift));
        EXPECT_NEAR(outcome.depthShare, double(c.background - c.nearest) / width, 0.01) << notes;
        EXPECT_EQ(notes.rfind("\"p.png\" stereo window: ", 0), 0u) << notes;
        EXPECT_EQ(notes.find("more than 1/30 of the width") != std::string::npos, c.warns) << notes;
    }

    // Nothing to measure: left where it was shot, said so.
    Image flat;
    ASSERT_TRUE(AllocateImage(flat, 200, 100));
    std::fill(flat.pixels.get(), flat.pixels.get() + 200 * 100, 0xFF404040u);
    ImageView l = flat.View(), r = flat.View();
    std::string notes, error;
    ASSERT_TRUE(PlaceAutoWindow("f.png", MeasurePair(l, r), nullptr, l, r, notes, error));
    EXPECT_NE(notes.find("left where it was shot"), std::string::npos) << notes;
    EXPECT_EQ(l.width, 200);
}

// Through the whole conversion: with neither option the views are cut
// exactly as before; with both, the notes come in order and name the file.
TEST(ViewAlignment, TheConversionAlignsThenPlacesTheWindow)
{
    Pair pair = DistortedFigure({1.0, 1.02, 7, 0.01});
    const int32_t w = pair.left.width, h = pair.left.height;
    std::string source = sgtest::WritePng("distorted.png", 2 * w, h, [&](int32_t x, int32_t y) {
        return (x < w ? pair.left.View().Row(y)[x] : pair.right.View().Row(y)[x - w]) & 0xFFFFFFu;
    });
    ConversionRequest request;
    request.sourcePath = source;
    request.outputPath = sgtest::PictureFolder() + "/distorted_anaglyph.png";
    request.options.align = true;
    request.options.autoShift = true;
    request.options.shift = 50; // unused: auto decides
    ConversionResult result = ConvertPicture(request);
    ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
    const std::string quoted = "\"" + source + "\"";
    size_t aligned = result.notes.find(quoted + " aligned:"), window = result.notes.find(quoted + " stereo window:");
    ASSERT_NE(aligned, std::string::npos) << result.notes;
    ASSERT_NE(window, std::string::npos) << result.notes;
    EXPECT_LT(aligned, window);
    Picture out;
    ASSERT_EQ(DecodePictureFile(request.outputPath, out), kCodecOk);
    EXPECT_LT(out.width, w);
    EXPECT_GT(int64_t{out.width} * out.height, int64_t{w} * h * 8 / 10);
}

// The aligned pixels are written over the right view's own where it shares
// no pixel with the left (the halves of a side-by-side picture, row by row
// interleaved), into a buffer of the step's own where the views overlap;
// either way the left view keeps its pixels and the right gets the same.
TEST(ViewAlignment, TheRightViewIsWrittenOverOnlyWhereItIsItsOwn)
{
    Pair pair = DistortedFigure({1.0, 1.02, 7, 0.01});
    const int32_t w = pair.left.width, h = pair.left.height;
    // Aligned on copies of their own: the step writes over the right one.
    Image leftAlone = Copy(pair.left.View()), rightAlone = Copy(pair.right.View());
    ImageView expectedLeft = leftAlone.View(), expectedRight = rightAlone.View();
    Image ownBuffer;
    std::string notes;
    ASSERT_EQ(AlignViews("a.png", MeasurePair(expectedLeft, expectedRight), expectedLeft, expectedRight, ownBuffer,
                         notes),
              "");
    struct Case {
        const char* what;
        int32_t rightStarts; // the right view's first column in the picture
        bool inPlace;
    };
    const Case cases[] = {{"side by side", w, true}, {"overlapping by 16 columns", w - 16, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image picture, leftCopy;
        ASSERT_TRUE(AllocateImage(picture, c.rightStarts + w, h));
        for (int32_t y = 0; y < h; ++y) {
            std::copy(pair.right.View().Row(y), pair.right.View().Row(y) + w, picture.View().Row(y) + c.rightStarts);
            // The overlap holds the right view's pixels, as both views then read it.
            std::copy(pair.left.View().Row(y), pair.left.View().Row(y) + std::min(w, c.rightStarts),
                      picture.View().Row(y));
        }
        ImageView left = picture.View().Crop(0, 0, w, h), right = picture.View().Crop(c.rightStarts, 0, w, h);
        leftCopy = Copy(left);
        const PairMeasurement measured = MeasurePair(left, right);
        Image warped;
        AlignmentOutcome outcome;
        std::string lines;
        ASSERT_EQ(AlignViews("a.png", measured, left, right, warped, lines, &outcome), "");
        ASSERT_TRUE(outcome.applied) << lines;
        EXPECT_EQ(bool(warped.pixels), !c.inPlace);
        for (int32_t y = 0; y < h; ++y)
            ASSERT_TRUE(std::equal(leftCopy.View().Row(y), leftCopy.View().Row(y) + w, picture.View().Row(y)))
                << "the left view's row " << y << " was written over";
        if (c.inPlace) {
            ASSERT_EQ(right.width, expectedRight.width);
            ASSERT_EQ(right.height, expectedRight.height);
            for (int32_t y = 0; y < right.height; ++y)
                ASSERT_TRUE(std::equal(right.Row(y), right.Row(y) + right.width, expectedRight.Row(y))) << y;
        }
    }
}
