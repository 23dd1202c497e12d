#include "anaglyph/vertical_alignment.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A photo-like grey texture: pseudo-random values smoothed by a box blur.
struct Scene {
    int32_t width, height;
    std::vector<int32_t> values;
};

uint32_t Next(uint32_t& state) { return state = state * 1664525u + 1013904223u; }

Scene MakeScene(int32_t width, int32_t height, uint32_t seed)
{
    Scene noise{width, height, std::vector<int32_t>(size_t(width) * height)};
    for (int32_t& v : noise.values)
        v = (Next(seed) >> 24) & 0xFF;
    Scene scene = noise;
    const int32_t r = 2;
    for (int32_t y = r; y < height - r; ++y)
        for (int32_t x = r; x < width - r; ++x) {
            int32_t sum = 0;
            for (int32_t dy = -r; dy <= r; ++dy)
                for (int32_t dx = -r; dx <= r; ++dx)
                    sum += noise.values[size_t(y + dy) * width + x + dx];
            scene.values[size_t(y) * width + x] = sum / ((2 * r + 1) * (2 * r + 1));
        }
    return scene;
}

// A view of the scene whose pixel (x, y) is scene (x0 + x, y0 + y), with
// its own noise of +-8.
Image ViewOf(const Scene& scene, int32_t x0, int32_t y0, int32_t width, int32_t height, uint32_t seed)
{
    Image view;
    EXPECT_TRUE(AllocateImage(view, width, height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            int32_t v = scene.values[size_t(y0 + y) * scene.width + x0 + x] + int32_t(Next(seed) >> 28) - 8;
            uint32_t g = static_cast<uint32_t>(std::clamp(v, 0, 255));
            view.View().Row(y)[x] = 0xFF000000u | (g << 16) | (g << 8) | g;
        }
    return view;
}

struct Pair {
    Image left, right;
};

// The right view's content sits `down` rows lower and `across` columns
// further right than the left view's.
Pair ShiftedPair(int32_t width, int32_t height, int32_t down, int32_t across)
{
    const int32_t margin = 40;
    Scene scene = MakeScene(width + 2 * margin, height + 2 * margin, 7);
    return {ViewOf(scene, margin, margin, width, height, 1),
            ViewOf(scene, margin - across, margin - down, width, height, 2)};
}

} // namespace

TEST(VerticalAlignment, FindsTheOffsetAndCutsOnlyRows)
{
    struct Case {
        int32_t width, height, down, across;
    };
    // The larger pictures are reduced before the transform.
    const Case cases[] = {{240, 200, 7, 12}, {1100, 800, 7, 12}, {300, 260, -5, -20}, {1300, 700, 0, 0},
                          {240, 200, 0, 9}};
    for (const Case& c : cases) {
        Pair pair = ShiftedPair(c.width, c.height, c.down, c.across);
        ImageView left = pair.left.View(), right = pair.right.View();
        VerticalOffset offset = EstimateVerticalOffset(left, right);
        ASSERT_TRUE(offset.sure) << c.width << " " << c.down << ": confidence " << offset.confidence;
        EXPECT_NEAR(offset.rows, c.down, 1) << c.width;
        EXPECT_NEAR(offset.columns, c.across, 1) << c.width;

        std::string notes;
        AlignViewsVertically(left, right, notes);
        EXPECT_EQ(left.height, c.height - std::abs(offset.rows)) << notes;
        EXPECT_EQ(right.height, left.height);
        EXPECT_EQ(left.width, c.width) << "columns are depth and stay";
        EXPECT_NE(notes.find("confidence"), std::string::npos) << notes;
        VerticalOffset after = EstimateVerticalOffset(left, right);
        EXPECT_TRUE(after.sure);
        EXPECT_EQ(after.rows, 0) << c.width << " " << notes;
        EXPECT_NEAR(after.columns, c.across, 1) << "the horizontal offset is kept";
    }
}

TEST(VerticalAlignment, NotSureLeavesTheViewsAlone)
{
    Image flatLeft, flatRight;
    ASSERT_TRUE(AllocateImage(flatLeft, 200, 150));
    ASSERT_TRUE(AllocateImage(flatRight, 200, 150));
    for (int32_t i = 0; i < 200 * 150; ++i)
        flatLeft.pixels[i] = flatRight.pixels[i] = 0xFF808080u;
    // Two unrelated textures match nowhere in particular.
    Scene a = MakeScene(300, 200, 11), b = MakeScene(300, 200, 12);
    Image unrelatedLeft = ViewOf(a, 0, 0, 300, 200, 1), unrelatedRight = ViewOf(b, 0, 0, 300, 200, 2);
    struct Case {
        const char* name;
        ImageView left, right;
    };
    const Case cases[] = {{"flat", flatLeft.View(), flatRight.View()},
                          {"unrelated", unrelatedLeft.View(), unrelatedRight.View()}};
    for (const Case& c : cases) {
        ImageView left = c.left, right = c.right;
        VerticalOffset offset = EstimateVerticalOffset(left, right);
        EXPECT_FALSE(offset.sure) << c.name << ": " << offset.rows << " confidence " << offset.confidence;
        std::string notes;
        AlignViewsVertically(left, right, notes);
        EXPECT_NE(notes.find("not sure"), std::string::npos) << c.name << ": " << notes;
        EXPECT_EQ(left.pixels, c.left.pixels);
        EXPECT_EQ(left.height, c.left.height);
        EXPECT_EQ(right.height, c.right.height);
    }
}

TEST(VerticalAlignment, RemovingCutsTheTopOfOneViewAndTheBottomOfTheOther)
{
    Image image;
    ASSERT_TRUE(AllocateImage(image, 4, 10));
    for (int32_t rows : {3, -3, 0}) {
        ImageView left = image.View(), right = image.View();
        ASSERT_TRUE(RemoveVerticalOffset(left, right, rows));
        EXPECT_EQ(left.height, 10 - std::abs(rows));
        // Row 0 of the left view and row 0 of the right show the same point:
        // the right view's row is `rows` further down.
        EXPECT_EQ(right.pixels - left.pixels, int64_t{rows} * 4) << rows;
    }
    ImageView left = image.View(), right = image.View();
    EXPECT_FALSE(RemoveVerticalOffset(left, right, 10));
    EXPECT_FALSE(RemoveVerticalOffset(left, right, INT32_MIN));
    EXPECT_EQ(left.height, 10);
}
