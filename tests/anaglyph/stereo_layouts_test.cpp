#include "anaglyph/stereo_layouts.h"

#include <array>

#include <gtest/gtest.h>

namespace {

Image MakeImage(int32_t width, int32_t height, uint32_t (*colour)(int32_t, int32_t, int32_t, int32_t))
{
    Image image;
    EXPECT_TRUE(AllocateImage(image, width, height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            image.View().Row(y)[x] = 0xFF000000u | colour(x, y, width, height);
    return image;
}

Image Transposed(ImageView view)
{
    Image image;
    EXPECT_TRUE(AllocateImage(image, view.height, view.width));
    for (int32_t y = 0; y < view.height; ++y)
        for (int32_t x = 0; x < view.width; ++x)
            image.View().Row(x)[y] = view.Row(y)[x];
    return image;
}

bool SamePixels(ImageView a, ImageView b)
{
    if (a.width != b.width || a.height != b.height)
        return false;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            if (a.Row(y)[x] != b.Row(y)[x])
                return false;
    return true;
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

// Quadrants: red top left, green top right, blue bottom left, white bottom
// right.
uint32_t Quadrants(int32_t x, int32_t y, int32_t width, int32_t height)
{
    bool rightHalf = x >= width / 2, bottomHalf = y >= height / 2;
    return bottomHalf ? (rightHalf ? kWhite : kBlue) : (rightHalf ? kGreen : kRed);
}

// A hash of the position: a shifted, doubled or mirrored pixel shows.
uint32_t Scatter(int32_t x, int32_t y, int32_t, int32_t)
{
    uint32_t h = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    return (h ^ h >> 13) & 0xFFFFFF;
}

// The colour near the middle of each quarter of a view: top left, top
// right, bottom left, bottom right.
std::array<uint32_t, 4> QuarterColours(ImageView view)
{
    auto at = [&](int32_t fx, int32_t fy) {
        return view.Row(view.height * fy / 4)[view.width * fx / 4] & 0xFFFFFF;
    };
    return {at(1, 1), at(3, 1), at(1, 3), at(3, 3)};
}

TEST(StereoLayouts, EachLayoutCutsItsViews)
{
    struct Case {
        StereoLayout layout;
        int32_t width, height; // of each view
        std::array<uint32_t, 4> left, right;
    };
    const Case cases[] = {
        {StereoLayout::SideBySide, 8, 12, {kRed, kRed, kBlue, kBlue}, {kGreen, kGreen, kWhite, kWhite}},
        {StereoLayout::Auto, 8, 12, {kRed, kRed, kBlue, kBlue}, {kGreen, kGreen, kWhite, kWhite}},
        {StereoLayout::Cross, 8, 12, {kGreen, kGreen, kWhite, kWhite}, {kRed, kRed, kBlue, kBlue}},
        {StereoLayout::OverUnder, 16, 6, {kRed, kGreen, kRed, kGreen}, {kBlue, kWhite, kBlue, kWhite}},
        {StereoLayout::UnderOver, 16, 6, {kBlue, kWhite, kBlue, kWhite}, {kRed, kGreen, kRed, kGreen}},
        {StereoLayout::HalfSideBySide, 16, 12, {kRed, kRed, kBlue, kBlue}, {kGreen, kGreen, kWhite, kWhite}},
        {StereoLayout::HalfOverUnder, 16, 12, {kRed, kGreen, kRed, kGreen}, {kBlue, kWhite, kBlue, kWhite}},
    };
    Image picture = MakeImage(16, 12, Quadrants);
    for (const Case& c : cases) {
        SCOPED_TRACE(StereoLayoutName(c.layout));
        StereoViews views;
        ASSERT_TRUE(SplitByLayout(picture.View(), c.layout, views));
        EXPECT_EQ(views.left.width, c.width);
        EXPECT_EQ(views.left.height, c.height);
        EXPECT_EQ(views.right.width, c.width);
        EXPECT_EQ(views.right.height, c.height);
        EXPECT_EQ(QuarterColours(views.left), c.left);
        EXPECT_EQ(QuarterColours(views.right), c.right);
    }
}

TEST(StereoLayouts, SideBySideIsTheLongStandingCutExactly)
{
    for (int32_t width : {16, 17, 19}) {
        Image picture = MakeImage(width, 5, Scatter);
        StereoViews byLayout, direct;
        ASSERT_TRUE(SplitByLayout(picture.View(), StereoLayout::SideBySide, byLayout));
        ASSERT_TRUE(SplitSideBySide(picture.View(), direct));
        EXPECT_TRUE(SamePixels(byLayout.left, direct.left));
        EXPECT_TRUE(SamePixels(byLayout.right, direct.right));
    }
}

TEST(StereoLayouts, OverUnderIsSideBySideOfTheTransposedPicture)
{
    const std::pair<StereoLayout, StereoLayout> pairs[] = {
        {StereoLayout::OverUnder, StereoLayout::SideBySide},
        {StereoLayout::HalfOverUnder, StereoLayout::HalfSideBySide},
    };
    for (auto [overUnder, sideBySide] : pairs)
        for (auto [width, height] : {std::pair{9, 7}, {10, 11}, {13, 5}, {6, 8}, {4, 3}}) {
            SCOPED_TRACE(StereoLayoutName(overUnder) + " " + std::to_string(width) + "x" + std::to_string(height));
            Image picture = MakeImage(width, height, Scatter);
            Image turned = Transposed(picture.View());
            StereoViews cut, turnedCut;
            ASSERT_TRUE(SplitByLayout(picture.View(), overUnder, cut));
            ASSERT_TRUE(SplitByLayout(turned.View(), sideBySide, turnedCut));
            EXPECT_TRUE(SamePixels(cut.left, Transposed(turnedCut.left).View()));
            EXPECT_TRUE(SamePixels(cut.right, Transposed(turnedCut.right).View()));
        }
}

TEST(StereoLayouts, TooSmallToCut)
{
    Image column = MakeImage(1, 6, Scatter);
    Image row = MakeImage(6, 1, Scatter);
    StereoViews views;
    EXPECT_FALSE(SplitByLayout(column.View(), StereoLayout::SideBySide, views));
    EXPECT_FALSE(SplitByLayout(column.View(), StereoLayout::HalfSideBySide, views));
    EXPECT_FALSE(SplitByLayout(row.View(), StereoLayout::OverUnder, views));
    EXPECT_TRUE(SplitByLayout(column.View(), StereoLayout::UnderOver, views));
}

} // namespace
