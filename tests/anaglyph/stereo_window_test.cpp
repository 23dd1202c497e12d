#include "anaglyph/stereo_window.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// A pair 40 pixels wide with three marked points, each at its own
// separation: in front of the screen (-3), on it (0) and behind it (+5).
struct MarkedPair {
    static constexpr int32_t kWidth = 40, kHeight = 3;
    struct Point {
        uint32_t mark;
        int32_t leftX, separation;
    };
    static constexpr Point kPoints[] = {{1, 10, -3}, {2, 20, 0}, {3, 28, 5}};
    std::vector<uint32_t> left = std::vector<uint32_t>(kWidth * kHeight);
    std::vector<uint32_t> right = std::vector<uint32_t>(kWidth * kHeight);

    MarkedPair()
    {
        for (const Point& p : kPoints) {
            left[kWidth + p.leftX] = p.mark;
            right[kWidth + p.leftX + p.separation] = p.mark;
        }
    }
    ImageView LeftView() { return {left.data(), kWidth, kHeight, kWidth}; }
    ImageView RightView() { return {right.data(), kWidth, kHeight, kWidth}; }
};

int32_t FindMark(ImageView view, uint32_t mark)
{
    for (int32_t x = 0; x < view.width; ++x)
        if (view.Row(1)[x] == mark)
            return x;
    return -1;
}

} // namespace

TEST(StereoWindow, EverySeparationGrowsByTheShiftAndTheViewsNarrow)
{
    for (int32_t shift : {0, 1, 4, -2, -6}) {
        MarkedPair pair;
        ImageView left = pair.LeftView(), right = pair.RightView();
        std::string error;
        ASSERT_TRUE(ShiftStereoWindow(left, right, shift, error)) << error;
        const int32_t width = MarkedPair::kWidth - (shift < 0 ? -shift : shift);
        EXPECT_EQ(left.width, width) << shift;
        EXPECT_EQ(right.width, width) << shift;
        EXPECT_EQ(left.height, MarkedPair::kHeight);
        EXPECT_EQ(left.stride, MarkedPair::kWidth) << "a window onto the same pixels";
        EXPECT_TRUE(left.pixels >= pair.left.data() && left.pixels < pair.left.data() + MarkedPair::kWidth);
        for (const MarkedPair::Point& p : MarkedPair::kPoints) {
            int32_t xl = FindMark(left, p.mark), xr = FindMark(right, p.mark);
            ASSERT_GE(xl, 0) << "shift " << shift << " mark " << p.mark;
            ASSERT_GE(xr, 0) << "shift " << shift << " mark " << p.mark;
            EXPECT_EQ(xr - xl, p.separation + shift) << "shift " << shift << " mark " << p.mark;
        }
    }
}

TEST(StereoWindow, RefusesAShiftAsWideAsTheViews)
{
    for (int32_t shift : {40, -40, 1000, INT_MIN, INT_MAX}) {
        MarkedPair pair;
        ImageView left = pair.LeftView(), right = pair.RightView();
        std::string error;
        EXPECT_FALSE(ShiftStereoWindow(left, right, shift, error)) << shift;
        EXPECT_NE(error.find("40 pixels wide"), std::string::npos) << error;
        EXPECT_EQ(left.width, MarkedPair::kWidth) << "views untouched";
        EXPECT_EQ(right.pixels, pair.right.data());
    }
}
