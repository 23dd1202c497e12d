#include "platform/clipboard.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/gdi.h"
#include "tests/platform/gdiplus_clipboard.h"
#include "tests/platform/gdiplus_files.h"
#include "tests/support/xserver.h"

namespace {

using namespace sgtest;

TEST(Clipboard, CannotOpenWithoutADisplayOrAnOwner)
{
    SG_REQUIRE_X();
    std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    EXPECT_FALSE(OpenClipboard(0));
    setenv("DISPLAY", display.c_str(), 1);
    ASSERT_TRUE(ClearClipboardOwner());
    EXPECT_FALSE(OpenClipboard(0)) << "nobody owns the clipboard";
}

TEST(Clipboard, TextIsNoBitmapAndEmptyingLeavesNoOwner)
{
    SG_REQUIRE_X();
    ASSERT_TRUE(OfferClipboard("some text", ""));
    ASSERT_TRUE(OpenClipboard(0));
    EXPECT_FALSE(OpenClipboard(0)) << "already open";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetClipboardData(CF_BITMAP), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(ClipboardReadable(""));
    EXPECT_FALSE(CloseClipboard());
}

TEST(Clipboard, ReadsTheOfferedPicture)
{
    SG_REQUIRE_X();
    TempFolder folder;
    auto pixels = Pattern(7, 5);
    struct Case {
        const char* mime;
        const char* file;
        PictureFormat format;
    } cases[] = {{"image/png", "c.png", PictureFormat::Png}, {"image/bmp", "c.bmp", PictureFormat::Bmp}};
    for (const Case& c : cases) {
        ASSERT_TRUE(WritePicture(folder / c.file, c.format, pixels, 7, 5));
        ASSERT_TRUE(OfferClipboardFile(folder / c.file, c.mime)) << c.mime;
        ASSERT_TRUE(OpenClipboard(0));
        HANDLE bitmap = GetClipboardData(CF_BITMAP);
        ASSERT_NE(bitmap, 0u) << c.mime;
        EXPECT_EQ(GetClipboardData(CF_BITMAP), bitmap) << "the clipboard keeps one bitmap";
        GdiPixels got = GdiBitmapPixels(bitmap);
        ASSERT_EQ(got.width, 7);
        ASSERT_EQ(got.height, 5);
        for (int i = 0; i < 35; ++i)
            EXPECT_EQ(got.bits[i] & 0xFFFFFF, pixels[i] & 0xFFFFFF) << c.mime << " pixel " << i;
        EXPECT_TRUE(EmptyClipboard());
        EXPECT_EQ(GdiBitmapPixels(bitmap).bits, nullptr) << "emptying frees the clipboard's bitmap";
        CloseClipboard();
        EXPECT_FALSE(ClipboardReadable(c.mime));
    }
}

TEST(Clipboard, ReadsALargePictureInChunks)
{
    SG_REQUIRE_X();
    // Larger than one request: the owner sends it incrementally.
    ASSERT_TRUE(OfferClipboardFile(SG_TEST_DATA_DIR "/treetrunk-sbs-rgba.png", "image/png"));
    ASSERT_TRUE(OpenClipboard(0));
    HANDLE bitmap = GetClipboardData(CF_BITMAP);
    ASSERT_NE(bitmap, 0u);
    EXPECT_EQ(GdiBitmapPixels(bitmap).width, 1404);
    EXPECT_EQ(GdiBitmapPixels(bitmap).height, 702);
    EmptyClipboard();
    CloseClipboard();
}

} // namespace
