#include <gtest/gtest.h>

#include "imageio/export.h"
#include "platform/gdi.h"
#include "tests/imageio/imageio_support.h"
#include "tests/platform/gdiplus_clipboard.h"
#include "tests/support/xserver.h"

namespace {

using namespace sgtest;

struct Box {
    int32_t left, top, right, bottom; // inclusive; left > right when empty
};

Box Find(const std::vector<uint32_t>& pixels, int32_t w, int32_t h, uint32_t colour)
{
    Box box = {w, h, -1, -1};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (pixels[size_t(y) * w + x] == colour) {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

TEST(ImageioFit, TwoDecimalRatios)
{
    struct Case {
        int32_t w, h, tw, th;
        FitRect expected;
    } cases[] = {
        {1920, 1080, 800, 600, {0, 76, 800, 448}},
        {1000, 1500, 800, 600, {199, 0, 402, 600}},
        {800, 600, 800, 600, {0, 0, 800, 600}},
        {1500, 1000, 3000, 2005, {0, 0, 3000, 2005}},
        {8, 1, 100, 100, {0, 44, 100, 12}}, // 0.125 is held as 0.12
        {1, 1000, 10, 10, {5, 0, 0, 10}},    // 0.001 is held as 0.00
    };
    for (const Case& c : cases) {
        FitRect r = fFitRect(c.w, c.h, c.tw, c.th);
        EXPECT_EQ(r.x, c.expected.x) << c.w << "x" << c.h;
        EXPECT_EQ(r.y, c.expected.y) << c.w << "x" << c.h;
        EXPECT_EQ(r.width, c.expected.width) << c.w << "x" << c.h;
        EXPECT_EQ(r.height, c.expected.height) << c.w << "x" << c.h;
    }
}

TEST(ImageioLoad, FittedPictureLandsInItsRectangle)
{
    struct Case {
        int32_t w, h, tw, th;
        Box expected;
    } cases[] = {
        {1920, 1080, 800, 600, {0, 76, 799, 523}},
        {1000, 1500, 800, 600, {199, 0, 600, 599}},
        {1500, 1000, 3000, 2005, {0, 0, 2999, 2004}},
    };
    TempFolder folder;
    GdiplusRunning gdip;
    for (const Case& c : cases) {
        std::string name = folder / "solid.png";
        ASSERT_TRUE(WritePicture(name, PictureFormat::Png,
                                 std::vector<uint32_t>(size_t(c.w) * c.h, 0xFF0000FFu), c.w, c.h));
        uint32_t target = CreateMemoryBitmap(c.tw, c.th);
        SelectTarget(target, 0, false);
        ClearTarget(RGB(0, 255, 0), 0);
        EXPECT_EQ(fGDIp_2hBMP(name, target, 1, -2), target);
        int32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = TargetPixels(w, h);
        Box blue = Find(pixels, w, h, 0x0000FF);
        EXPECT_EQ(blue.left, c.expected.left) << c.w << "x" << c.h;
        EXPECT_EQ(blue.top, c.expected.top) << c.w << "x" << c.h;
        EXPECT_EQ(blue.right, c.expected.right) << c.w << "x" << c.h;
        EXPECT_EQ(blue.bottom, c.expected.bottom) << c.w << "x" << c.h;
        if (c.expected.top > 0) {
            EXPECT_EQ(pixels[0], 0x00FF00u) << "-2 keeps the old content in the margins";
        }
        EndMemoryBitmap();
    }
}

TEST(ImageioLoad, BackgroundOfTheMargins)
{
    TempFolder folder;
    GdiplusRunning gdip;
    std::string name = folder / "wide.png";
    ASSERT_TRUE(WritePicture(name, PictureFormat::Png, std::vector<uint32_t>(40 * 10, 0xFF0000FFu), 40, 10));
    struct Case {
        int32_t background;
        uint32_t margin; // 0x00RRGGBB
    } cases[] = {{255, 0xFF0000}, {RGB(1, 2, 3), 0x010203}, {-1, 0}};
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    cases[2].margin = (face & 0xFF) << 16 | (face & 0xFF00) | (face >> 16 & 0xFF);
    for (const Case& c : cases) {
        uint32_t target = CreateMemoryBitmap(20, 20);
        SelectTarget(target, 0, false);
        ClearTarget(RGB(0, 255, 0), 0);
        ASSERT_EQ(fGDIp_2hBMP(name, target, 7, c.background), target);
        int32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = TargetPixels(w, h);
        EXPECT_EQ(pixels[0], c.margin) << c.background;
        EXPECT_EQ(pixels[19 * 20 + 19], c.margin) << c.background;
        EXPECT_EQ(pixels[10 * 20 + 10], 0x0000FFu);
        EndMemoryBitmap();
    }
}

TEST(ImageioLoad, NewBitmapHoldsThePictureAtItsOwnSize)
{
    TempFolder folder;
    GdiplusRunning gdip;
    auto pattern = Pattern(9, 7);
    ASSERT_TRUE(WritePicture(folder / "p.png", PictureFormat::Png, pattern, 9, 7));
    uint32_t bitmap = fGDIp_2hBMP(folder / "p.png", 0, 1, 255);
    ASSERT_NE(bitmap, 0u);
    std::string raw = ReadPixels();
    for (size_t i = 11; i < raw.size(); i += 4)
        ASSERT_EQ(raw[i], 0) << "the fourth byte of a pixel string stays 0";
    int32_t w = 0, h = 0;
    std::vector<uint32_t> pixels = TargetPixels(w, h); // left selected
    ASSERT_EQ(w, 9);
    ASSERT_EQ(h, 7);
    for (size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(pixels[i], pattern[i] & 0xFFFFFF) << i;
    EndMemoryBitmap();
}

TEST(ImageioLoad, FitZeroFillsTheTarget)
{
    TempFolder folder;
    GdiplusRunning gdip;
    std::vector<uint32_t> see = {0x00FF0000u, 0xFF0000FFu, 0xFF0000FFu, 0x00FF0000u};
    ASSERT_TRUE(WritePicture(folder / "a.png", PictureFormat::Png, see, 2, 2, true));
    ASSERT_TRUE(WritePicture(folder / "s.png", PictureFormat::Png, std::vector<uint32_t>(6, 0xFF0000FFu), 3, 2));
    uint32_t target = CreateMemoryBitmap(2, 2);
    SelectTarget(target, 0, false);
    ClearTarget(RGB(0, 255, 0), 0);
    ASSERT_EQ(fGDIp_2hBMP(folder / "a.png", target, 0, 0), target);
    int32_t w = 0, h = 0;
    std::vector<uint32_t> same = TargetPixels(w, h);
    EXPECT_EQ(same, (std::vector<uint32_t>{0x00FF00, 0x0000FF, 0x0000FF, 0x00FF00}))
        << "same size: drawn as it is; transparent parts keep the target";
    EndMemoryBitmap();

    target = CreateMemoryBitmap(50, 9);
    SelectTarget(target, 0, false);
    ClearTarget(RGB(0, 255, 0), 0);
    ASSERT_EQ(fGDIp_2hBMP(folder / "s.png", target, 0, 0), target);
    std::vector<uint32_t> stretched = TargetPixels(w, h);
    EXPECT_EQ(Find(stretched, w, h, 0x0000FF).left, 0);
    EXPECT_EQ(Find(stretched, w, h, 0x0000FF).right, 49);
    EXPECT_EQ(Find(stretched, w, h, 0x0000FF).bottom, 8);
    EXPECT_EQ(Find(stretched, w, h, 0x00FF00).right, -1) << "the whole target is covered";
    EndMemoryBitmap();
}

TEST(ImageioLoad, NoPictureGivesZero)
{
    TempFolder folder;
    GdiplusRunning gdip;
    std::string png = ReadBytes(SG_TEST_DATA_DIR "/bench-sbs-959.png");
    ASSERT_TRUE(WriteBytes(folder / "cut.png", png.substr(0, png.size() / 3)));
    ASSERT_TRUE(WritePicture(folder / "ok.png", PictureFormat::Png, Pattern(4, 4), 4, 4));
    uint32_t target = CreateMemoryBitmap(4, 4);
    SelectTarget(target, 0, false);
    ClearTarget(RGB(0, 255, 0), 0);
    for (const std::string& name : {folder / "missing.png", folder / "cut.png", folder.path}) {
        EXPECT_EQ(fGDIp_2hBMP(name, target, 1, 255), 0u) << name;
        EXPECT_EQ(fGDIp_2hBMP(name, 0, 0, 0), 0u) << name;
    }
    SelectTarget(target, 0, false);
    int32_t w = 0, h = 0;
    std::vector<uint32_t> pixels = TargetPixels(w, h);
    EXPECT_EQ(Find(pixels, w, h, 0x00FF00).right, 3) << "nothing was cleared or drawn";
    EXPECT_EQ(Find(pixels, w, h, 0x00FF00).bottom, 3);
    EndMemoryBitmap();
    // An unknown target: no graphics object; the picture is released.
    EXPECT_EQ(fGDIp_2hBMP(folder / "ok.png", 777777, 1, -1), 0u);
    GetTargetSize(w, h);
    EXPECT_EQ(w, 0);
}

// A file name that is not UTF-8 reaches the file system byte for byte; a
// file whose name is its "repaired" UTF-8 form is not opened instead.
TEST(ImageioLoad, NameThatIsNotUtf8IsOpenedAsItIs)
{
    TempFolder folder;
    GdiplusRunning gdip;
    ASSERT_TRUE(WritePicture(folder / "Caf\xE9.png", PictureFormat::Png, Pattern(4, 4), 4, 4));
    ASSERT_TRUE(WritePicture(folder / "Caf\xEF\xBF\xBD.png", PictureFormat::Png, Pattern(6, 6), 6, 6));
    ASSERT_NE(fGDIp_2hBMP(folder / "Caf\xE9.png", 0, 0, 0), 0u);
    int32_t w = 0, h = 0;
    GetTargetSize(w, h);
    EXPECT_EQ(w, 4) << "the other file was opened";
    EndMemoryBitmap();
    EXPECT_EQ(fGDIp_ImageSize(folder / "Caf\xE9.png"), "    4 x     4");
}

TEST(ImageioLoad, NeedsAStartMadeByTheCaller)
{
    TempFolder folder;
    ASSERT_TRUE(WritePicture(folder / "ok.png", PictureFormat::Png, Pattern(4, 4), 4, 4));
    EXPECT_EQ(fGDIp_2hBMP(folder / "ok.png", 0, 0, 0), 0u);
}

// Without a picture on the clipboard the user's copied text stays; a null
// name (the export's) touches the clipboard not at all.
TEST(ImageioClipboard, NoPictureLeavesTheClipboardAsItWas)
{
    SG_REQUIRE_X();
    GdiplusRunning gdip;
    ASSERT_TRUE(OfferClipboard("just text", ""));
    EXPECT_EQ(fGDIp_2hBMP(std::string(), 0, 0, 0), 0u);
    EXPECT_TRUE(ClipboardReadable("")) << "the text was wiped";
    EXPECT_EQ(fGDIp_2hBMP(static_cast<const char*>(nullptr), 0, 0, 0), 0u);
    EXPECT_TRUE(ClipboardReadable("")) << "the text was wiped";
    // Without an owner the clipboard cannot be opened at all.
    ASSERT_TRUE(ClearClipboardOwner());
    EXPECT_EQ(fGDIp_2hBMP(std::string(), 0, 0, 0), 0u);
}

TEST(ImageioClipboard, OfferedPictureIsLoaded)
{
    SG_REQUIRE_X();
    TempFolder folder;
    GdiplusRunning gdip;
    auto pattern = Pattern(12, 8);
    ASSERT_TRUE(WritePicture(folder / "c.png", PictureFormat::Png, pattern, 12, 8));
    ASSERT_TRUE(OfferClipboardFile(folder / "c.png", "image/png"));
    uint32_t bitmap = fGDIp_2hBMP(std::string(), 0, 0, 0);
    ASSERT_NE(bitmap, 0u);
    int32_t w = 0, h = 0;
    std::vector<uint32_t> pixels = TargetPixels(w, h);
    ASSERT_EQ(w, 12);
    ASSERT_EQ(h, 8);
    for (size_t i = 0; i < pixels.size(); ++i)
        EXPECT_EQ(pixels[i], pattern[i] & 0xFFFFFF) << i;
    EndMemoryBitmap();
    EXPECT_FALSE(ClipboardReadable("image/png")) << "emptied";
}

} // namespace
