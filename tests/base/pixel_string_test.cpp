#include "base/pixel_string.h"

#include <gtest/gtest.h>

TEST(PixelString, HeaderReadsLittleEndianAndMissingBytesAsZero)
{
    struct Case {
        std::string bytes;
        int32_t width, height;
    };
    const Case cases[] = {
        {std::string("\x02\x00\x00\x00\x01\x00\x00\x00", 8), 2, 1},
        {std::string("\x02\x01", 2), 0x102, 0},                       // short: the rest reads as 0
        {std::string("\x02\x00\x00\x00\x03", 5), 2, 3},
        {"", 0, 0},
        {std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x80", 8), -1, INT32_MIN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PixelWidth(c.bytes), c.width);
        EXPECT_EQ(PixelHeight(c.bytes), c.height);
    }
}

TEST(PixelString, LengthIsCheckedIn64Bits)
{
    EXPECT_EQ(PixelStringLength(2, 1), 16);
    EXPECT_EQ(PixelStringLength(0, 5), 8);
    EXPECT_EQ(PixelStringLength(65536, 65536), 8 + (int64_t{1} << 34)); // would wrap in 32 bits
    EXPECT_EQ(PixelStringLength(INT32_MAX, INT32_MAX), -1);             // does not fit even in 64
    EXPECT_EQ(PixelStringLength(-1, 4), -1);
    EXPECT_EQ(PixelStringLength(4, -1), -1);
}

TEST(PixelString, FitsOnlyWhenAllClaimedPixelsArePresent)
{
    std::string twoByOne = MakePixelString(2, 1);
    ASSERT_EQ(twoByOne.size(), 16u);
    EXPECT_TRUE(PixelsFit(twoByOne));
    EXPECT_FALSE(PixelsFit(twoByOne.substr(0, 15))); // one byte short
    EXPECT_TRUE(PixelsFit(twoByOne + "x"));          // extra bytes are harmless
    EXPECT_FALSE(PixelsFit(""));                     // no header at all
    EXPECT_TRUE(PixelsFit(MakePixelString(0, 0)));
    std::string negative = twoByOne;
    negative[3] = '\x80';
    EXPECT_FALSE(PixelsFit(negative));
    std::string huge = MakePixelString(0, 0);
    huge[0] = huge[1] = '\xFF'; // 65535 x 0 is fine, then claim a height too
    huge[4] = '\x10';
    EXPECT_FALSE(PixelsFit(huge));
}

TEST(PixelString, MakeRefusesNegativeAndOversizedPictures)
{
    EXPECT_EQ(MakePixelString(-1, 2), "");
    EXPECT_EQ(MakePixelString(65536, 65536), ""); // 16 GiB of pixels
    std::string s = MakePixelString(3, 2);
    EXPECT_EQ(PixelWidth(s), 3);
    EXPECT_EQ(PixelHeight(s), 2);
    EXPECT_EQ(s.size(), 8u + 24u);
}
