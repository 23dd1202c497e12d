#include "anaglyph/composer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/pixel_string.h"
#include "imageio/codecs/codec.h"
#include "tests/anaglyph/pictures.h"

using sgtest::PixelAt;
using sgtest::Pixels;

TEST(KeepChannels, KeepsRedForEveryIndexButOneAndGreenBlueForOne)
{
    struct Case {
        int32_t viewIndex;
        uint32_t pixel, expected;
    };
    const Case cases[] = {
        {0, 0x00123456, 0x00120000},  {2, 0x00123456, 0x00120000},  {-1, 0x00123456, 0x00120000},
        {1, 0x00123456, 0x00003456},  {0, 0x7F123456, 0x00120000},  {1, 0x7F123456, 0x00003456},
        // A fourth byte of 128 or more makes the signed value negative:
        // every channel comes out at or below 0 and clamps to 0.
        {0, 0x80FFFFFF, 0x00000000},  {1, 0xFF123456, 0x00000000},
    };
    for (const Case& c : cases) {
        std::string pixels = Pixels(2, 1, [&](int32_t, int32_t) { return c.pixel; });
        std::string copy = fKeepChannels(pixels, c.viewIndex);
        EXPECT_EQ(PixelAt(pixels, 0, 0), c.expected) << std::hex << c.pixel << " index " << c.viewIndex;
        EXPECT_EQ(PixelAt(pixels, 1, 0), c.expected);
        EXPECT_EQ(copy, pixels); // the caller's string is rewritten and returned as a copy
    }
}

TEST(KeepChannels, LeavesStringsWhoseHeaderLiesUntouched)
{
    std::string shortString = Pixels(2, 2, [](int32_t, int32_t) { return 0x00FFFFFFu; });
    shortString.resize(shortString.size() - 1);
    std::string before = shortString;
    EXPECT_EQ(fKeepChannels(shortString, 0), before);
    EXPECT_EQ(shortString, before);
    std::string empty;
    EXPECT_EQ(fKeepChannels(empty, 1), "");
}

TEST(MixAnaglyph, TakesRedFromOneViewAndGreenBlueFromTheOther)
{
    struct Case {
        uint32_t red, cyan, expected;
    };
    const Case cases[] = {
        {0x00AB0000, 0x0000CDEF, 0x00ABCDEF},
        {0x00FFFFFF, 0x00000000, 0x00FF0000}, // white and black give pure red
        {0x00123456, 0x00ABCDEF, 0x0012CDEF}, // unfiltered views give the same result
    };
    std::string base = sgtest::PictureFolder() + "/mix_anaglyph";
    for (const Case& c : cases) {
        std::string red = Pixels(3, 2, [&](int32_t, int32_t) { return c.red; });
        std::string cyan = Pixels(3, 2, [&](int32_t, int32_t) { return c.cyan; });
        std::string output = cyan;
        const std::string redBefore = red, cyanBefore = cyan, outputBefore = output;
        int32_t saved = -1;
        std::string result = fMixAnaglyph(base, red, cyan, output, &saved);
        EXPECT_EQ(saved, 0);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 3; ++x)
                EXPECT_EQ(PixelAt(result, x, y), c.expected);
        EXPECT_EQ(red, redBefore);
        EXPECT_EQ(cyan, cyanBefore);
        EXPECT_EQ(output, outputBefore);

        Picture file;
        ASSERT_EQ(DecodePictureFile(base + ".jpg", file), kCodecOk);
        ASSERT_EQ(file.width, 3);
        ASSERT_EQ(file.height, 2);
        for (int32_t i = 0; i < 6; ++i)
            for (int shift : {0, 8, 16}) // within JPEG tolerance of the result
                EXPECT_NEAR(static_cast<int>((file.pixels[i] >> shift) & 0xFF),
                            static_cast<int>((c.expected >> shift) & 0xFF), 3);
    }
}

TEST(MixAnaglyph, EmptyViewsTouchNoPixelAndReportTheUnwrittenFile)
{
    std::string empty;
    int32_t saved = 0;
    std::string base = sgtest::PictureFolder() + "/empty_anaglyph";
    EXPECT_EQ(fMixAnaglyph(base, empty, empty, empty, &saved), "");
    EXPECT_NE(saved, 0);
    Picture file;
    EXPECT_NE(DecodePictureFile(base + ".jpg", file), kCodecOk);
}

TEST(MixAnaglyph, ReportsAFolderThatCannotBeWritten)
{
    std::string pixels = Pixels(2, 2, [](int32_t, int32_t) { return 0x00808080u; });
    int32_t saved = 0;
    fMixAnaglyph(sgtest::PictureFolder() + "/no/such/folder/x_anaglyph", pixels, pixels, pixels, &saved);
    EXPECT_NE(saved, 0);
}

TEST(MixAnaglyph, InPlaceMixMayWriteIntoTheCyanViewItself)
{
    std::string red = Pixels(4, 3, [](int32_t x, int32_t y) { return static_cast<uint32_t>((x * 40 + y) << 16); });
    std::string cyan = Pixels(4, 3, [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 0x1111 + y); });
    std::string expected = fMixAnaglyph(sgtest::PictureFolder() + "/copied_anaglyph", red, cyan, cyan);
    EXPECT_EQ(fMixAnaglyphInPlace(sgtest::PictureFolder() + "/aliased_anaglyph", red, cyan, cyan), 0);
    EXPECT_EQ(cyan, expected);
}
