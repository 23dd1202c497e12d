#include "anaglyph/split.h"

#include <gtest/gtest.h>

#include "base/pixel_string.h"
#include "host/targets.h"
#include "tests/anaglyph/pictures.h"

TEST(Split, LeadingNumberParse)
{
    struct Case {
        std::string text;
        double value;
    };
    const Case cases[] = {
        {"  640 x   480", 640}, {"   480", 480}, {"", 0}, {"x", 0}, {"  12.5abc", 12.5},
        {"100000 x 3", 100000}, {"-7", -7}, {"  \t5", 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(fLeadingNumber(c.text), c.value) << "'" << c.text << "'";
}

TEST(Split, EvenWidthCutsExactlyInHalf)
{
    // Each column has its own colour, so a shifted or doubled column shows.
    auto colour = [](int32_t x, int32_t y) { return static_cast<uint32_t>((x << 8) | (y & 0xFF) | 0x10000); };
    std::string file = sgtest::WritePng("columns.png", 64, 6, colour);
    std::string left, right;
    ASSERT_EQ(fSplitStereo(file, left, right), 1);
    ASSERT_EQ(PixelWidth(left), 32);
    ASSERT_EQ(PixelHeight(left), 6);
    ASSERT_EQ(PixelWidth(right), 32);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            ASSERT_EQ(sgtest::PixelAt(left, x, y), colour(x, y)) << x << "," << y;
            ASSERT_EQ(sgtest::PixelAt(right, x, y), colour(32 + x, y)) << x << "," << y;
        }
    int32_t w = -1, h = -1;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 0);
}

TEST(Split, HalvesKeepTheirColoursAndOddWidthsRoundToEven)
{
    struct Case {
        int32_t width, half;
    };
    const Case cases[] = {{640, 320}, {101, 50}, {103, 52}, {959, 480}};
    for (const Case& c : cases) {
        std::string file = sgtest::WritePng("halves.png", c.width, 4, [&](int32_t x, int32_t) {
            return x < c.width / 2 ? 0xFF0000u : x > c.width / 2 ? 0x0000FFu : 0xFF00FFu;
        });
        std::string left, right;
        ASSERT_EQ(fSplitStereo(file, left, right), 1);
        EXPECT_EQ(PixelWidth(left), c.half) << c.width;
        EXPECT_EQ(PixelWidth(right), c.half) << c.width;
        EXPECT_EQ(sgtest::PixelAt(left, 0, 0), 0x00FF0000u);
        EXPECT_EQ(sgtest::PixelAt(right, c.half - 1, 3), 0x000000FFu);
    }
}

TEST(Split, NotAPictureGivesTwoEmptyViews)
{
    std::string path = sgtest::PictureFolder() + "/notes.png";
    FILE* file = std::fopen(path.c_str(), "w");
    std::fputs("not a picture", file);
    std::fclose(file);
    std::string left = "old", right = "old";
    EXPECT_EQ(fSplitStereo(path, left, right), 0);
    EXPECT_EQ(left, "");
    EXPECT_EQ(right, "");
    EXPECT_EQ(fSplitStereo(sgtest::PictureFolder() + "/missing.jpg", left, right), 0);
}
