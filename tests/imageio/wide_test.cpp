#include <gtest/gtest.h>

#include <cstring>

#include "imageio/imageio.h"

namespace {

TEST(ImageioText, WideToByteString)
{
    EXPECT_EQ(fWide2Str(nullptr), "");
    EXPECT_EQ(fWide2Str(u""), "");
    std::string mime = fWide2Str(u"image/jpeg");
    EXPECT_EQ(mime.size(), 10u);
    EXPECT_EQ(mime, "image/jpeg");
    EXPECT_EQ(fWide2Str(u"Gr\u00FC\u00DFe \U0001F600"), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80");
}

TEST(ImageioText, ByteStringToWide)
{
    EXPECT_TRUE(fStr2Wide("").empty());
    EXPECT_EQ(*fStr2Wide("").c_str(), u'\0');
    std::u16string wide = fStr2Wide("C:\\pics\\\xC3\xA9t\xC3\xA9.jpg");
    EXPECT_EQ(wide, u"C:\\pics\\\u00E9t\u00E9.jpg");
    EXPECT_EQ(wide.c_str()[wide.size()], u'\0');
}

TEST(ImageioText, ByteCopyHandlesOverlapBothWays)
{
    char forward[] = "abcdefgh";
    fCopyBytes(forward + 2, forward, 5);
    EXPECT_STREQ(forward, "ababcdeh");
    char backward[] = "abcdefgh";
    fCopyBytes(backward, backward + 3, 5);
    EXPECT_STREQ(backward, "defghfgh");
    fCopyBytes(nullptr, nullptr, 0);
}

TEST(ImageioStartup, TokenOrZeroAndShutdownOfZeroDoesNothing)
{
    uint32_t token = fGDIp_Startup();
    ASSERT_NE(token, 0u);
    fGDIp_Shutdown(0);
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok) << "still started";
    fGDIp_Shutdown(token);
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
    FailNextGdiplusStartup();
    EXPECT_EQ(fGDIp_Startup(), 0u);
}

} // namespace
