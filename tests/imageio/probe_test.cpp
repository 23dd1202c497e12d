#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/imageio/imageio_support.h"

namespace {

using namespace sgtest;

// How the stereo split reads the text: the number at the start, and the
// number after the "x".
void Parse(const std::string& text, long& width, long& height)
{
    width = std::strtol(text.c_str(), nullptr, 10);
    size_t x = text.find('x');
    height = x == std::string::npos ? -1 : std::strtol(text.c_str() + x + 1, nullptr, 10);
}

TEST(ImageioProbe, SizeTextForPictures)
{
    TempFolder folder;
    struct Case {
        int32_t w, h;
        const char* text;
    } cases[] = {
        {640, 480, "  640 x   480"},
        {3840, 1080, " 3840 x  1080"},
        {1, 1, "    1 x     1"},
        {100000, 1, "100000 x     1"},
        {1, 123456, "    1 x 123456"},
    };
    for (const Case& c : cases) {
        std::string name = folder / (std::to_string(c.w) + "x" + std::to_string(c.h) + ".png");
        std::vector<uint32_t> pixels(static_cast<size_t>(c.w) * c.h, 0xFF204060u);
        ASSERT_TRUE(WritePicture(name, PictureFormat::Png, pixels, c.w, c.h));
        std::string text = fGDIp_ImageSize(name);
        EXPECT_EQ(text, c.text);
        long w = 0, h = 0;
        Parse(text, w, h);
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
    }
    std::string jps = fGDIp_ImageSize(SG_TEST_DATA_DIR "/figure-sbs.jps");
    EXPECT_EQ(jps, " 1044 x   720") << "chosen by content, not by the .jps extension";
}

TEST(ImageioProbe, FailureGivesTwoZeros)
{
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / "text.png", "no picture here"));
    const std::string zeros = "    0 x     0";
    EXPECT_EQ(fGDIp_ImageSize(folder / "missing.jpg"), zeros);
    EXPECT_EQ(fGDIp_ImageSize(""), zeros);
    EXPECT_EQ(fGDIp_ImageSize(folder / "text.png"), zeros);
    EXPECT_EQ(fGDIp_ImageSize(folder.path), zeros);
    FailNextGdiplusStartup();
    EXPECT_EQ(fGDIp_ImageSize(SG_TEST_DATA_DIR "/figure-sbs.jps"), zeros);
    // Each probe ends its own start: nothing is left running.
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
}

} // namespace
