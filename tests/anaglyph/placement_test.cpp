#include "anaglyph/placement.h"

#include <gtest/gtest.h>

#include "host/targets.h"
#include "tests/anaglyph/pictures.h"

TEST(Placement, CornersForEachFitMode)
{
    struct Case {
        const char* name;
        int32_t mode, wt, ht, wp, hp;
        PlacementCorners expected;
    };
    const Case cases[] = {
        {"fit to height", 0, 1920, 1080, 640, 480, {0, 0, 639, 479, 0, 0, 1440, 1080}},
        {"stretch", 1, 1920, 1080, 640, 480, {0, 0, 639, 479, 0, 0, 1920, 1080}},
        {"inside, wide target", 2, 1920, 1080, 640, 480, {0, 0, 639, 479, 240, 0, 1680, 1080}},
        {"inside, anaglyph", 2, 1920, 1080, 320, 480, {0, 0, 319, 479, 600, 0, 1320, 1080}},
        {"inside, tie takes rows", 2, 1920, 1080, 1920, 1080, {0, 0, 1919, 1079, 0, 0, 1920, 1080}},
        {"inside, tall target", 2, 600, 800, 800, 600, {0, 0, 799, 599, 0, 175, 600, 625}},
        {"crop rows", 3, 1920, 1080, 640, 480, {0, 60, 639, 419, 0, 0, 1920, 1080}},
        {"crop columns", 3, 600, 800, 800, 600, {175, 0, 624, 599, 0, 0, 600, 800}},
    };
    for (const Case& c : cases) {
        PlacementCorners got{};
        ASSERT_TRUE(fPlacementCorners(c.mode, c.wt, c.ht, c.wp, c.hp, got)) << c.name;
        const float* g = &got.sx1;
        const float* e = &c.expected.sx1;
        for (int i = 0; i < 8; ++i)
            EXPECT_NEAR(g[i], e[i], 1e-3) << c.name << " corner value " << i;
    }
    PlacementCorners unused{};
    EXPECT_FALSE(fPlacementCorners(5, 100, 100, 10, 10, unused));
    EXPECT_FALSE(fPlacementCorners(2, 0, 0, 10, 10, unused)); // a target without pixels
}

namespace {

// A 4 x 2 memory bitmap filled with grey, left selected.
uint32_t GreyTarget(int32_t width, int32_t height)
{
    uint32_t target = CreateMemoryBitmap(width, height);
    SelectTarget(target, 0, false);
    ClearTarget(0x808080, 0);
    return target;
}

std::string TargetPixels(uint32_t target)
{
    SelectTarget(target, 0, false);
    return ReadPixels();
}

void End(uint32_t target)
{
    SelectTarget(target, 0, false);
    EndMemoryBitmap();
}

} // namespace

TEST(Placement, DrawsAPictureOfTheTargetsOwnSizeOverEverything)
{
    std::string file = sgtest::WritePng("own-size.png", 4, 2, [](int32_t x, int32_t y) {
        return static_cast<uint32_t>(0x102030 + x * 0x10 + y * 0x1000);
    });
    uint32_t target = GreyTarget(4, 2);
    std::string loaded = fGDIp_DrawFile(target, 0, file, 0, 255);
    int32_t w = -1, h = -1;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 0); // the thread is left without a target
    std::string drawn = TargetPixels(target);
    for (int32_t y = 0; y < 2; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            uint32_t expected = static_cast<uint32_t>(0x102030 + x * 0x10 + y * 0x1000);
            EXPECT_EQ(sgtest::PixelAt(drawn, x, y), expected) << x << "," << y; // no red background
            EXPECT_EQ(sgtest::PixelAt(loaded, x, y), expected);                 // the loaded picture
        }
    End(target);
}

TEST(Placement, OtherModeShowsOnlyTheBackgroundAndAMissingFileChangesNothing)
{
    std::string file = sgtest::WritePng("white.png", 2, 2, [](int32_t, int32_t) { return 0xFFFFFFu; });
    uint32_t target = GreyTarget(3, 3);
    EXPECT_EQ(fDrawFile(target, 0, file, 5, 0x0000FF), 1);
    std::string drawn = TargetPixels(target);
    for (int32_t i = 0; i < 9; ++i)
        EXPECT_EQ(sgtest::PixelAt(drawn, i % 3, i / 3), 0x00FF0000u); // pure red background only

    SelectTarget(target, 0, false);
    ClearTarget(0x808080, 0);
    EXPECT_EQ(fDrawFile(target, 0, sgtest::PictureFolder() + "/missing.png", 2, 0), 0);
    std::string untouched = fGDIp_DrawFile(target, 0, sgtest::PictureFolder() + "/missing.png", 2, 0);
    EXPECT_EQ(untouched, TargetPixels(target)); // the target's own pixels come back
    EXPECT_EQ(sgtest::PixelAt(untouched, 1, 1), 0x00808080u);
    End(target);
}

TEST(Placement, FitInsideCentresBetweenBars)
{
    std::string file = sgtest::WritePng("tall.png", 2, 4, [](int32_t, int32_t) { return 0xFFFFFFu; });
    uint32_t target = GreyTarget(8, 4);
    fDrawFile(target, 0, file, 2, 0);
    std::string drawn = TargetPixels(target);
    // 2 x 4 into 8 x 4: X0 = round((8 - 2) / 2) = 3; columns 3..5 (inclusive
    // corners) are picture, the rest black.
    for (int32_t x = 0; x < 8; ++x) {
        uint32_t expected = x >= 3 && x <= 5 ? 0x00FFFFFFu : 0u;
        EXPECT_EQ(sgtest::PixelAt(drawn, x, 2), expected) << "column " << x;
    }
    End(target);
}
