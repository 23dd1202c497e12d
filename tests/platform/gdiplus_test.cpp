#include "platform/gdiplus.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include "platform/gdi.h"
#include "platform/text.h"
#include "tests/platform/gdiplus_files.h"

namespace {

using sgtest::Pattern;
using sgtest::TempFolder;
using sgtest::WritePicture;

struct Started {
    uint32_t token = 0;
    Started()
    {
        GdiplusStartupInput input;
        EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    }
    ~Started() { GdiplusShutdown(token); }
};

std::u16string Wide(const std::string& text)
{
    return WidenAnsi(text);
}

// A memory DC with a w x h bitmap filled with one colour (0x00RRGGBB).
struct Surface {
    HDC dc = 0;
    HBITMAP bitmap = 0;
    HGDIOBJ previous = 0;
    GdiPixels pixels{};
    Surface(int w, int h, uint32_t fill)
    {
        HDC screen = GetDC(0);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(0, screen);
        previous = SelectObject(dc, bitmap);
        pixels = GdiBitmapPixels(bitmap);
        for (int i = 0; i < w * h; ++i)
            pixels.bits[i] = fill;
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t At(int x, int y) const { return pixels.bits[y * pixels.width + x] & 0x00FFFFFF; }
};

TEST(GdiplusStartup, TokensAreCountedAndEveryCallNeedsOne)
{
    GdiplusStartupInput input;
    uint32_t first = 0, second = 0;
    UINT count = 0, size = 0;
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok) << "one start is still in force";
    GdiplusShutdown(first); // a token ends only once
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    GdiplusShutdown(second);
    EXPECT_EQ(GdipGetImageEncodersSize(&count, &size), GdiplusNotInitialized);
    GpImage* image = reinterpret_cast<GpImage*>(1);
    EXPECT_EQ(GdipLoadImageFromFile(u"" SG_TEST_DATA_DIR "/figure-sbs.jps", &image), GdiplusNotInitialized);
    EXPECT_EQ(image, nullptr);
}

TEST(GdiplusStartup, RefusesBadInputAndObeysTheFailureSwitch)
{
    uint32_t token = 7;
    GdiplusStartupInput input;
    input.GdiplusVersion = 3;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    EXPECT_EQ(token, 0u);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 1;
    FailNextGdiplusStartup();
    EXPECT_NE(GdiplusStartup(&token, &input, nullptr), Ok);
    EXPECT_EQ(token, 0u);
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok) << "the switch acts once";
    GdiplusShutdown(token);
}

TEST(GdiplusStartup, LastShutdownReleasesWhatWasLeft)
{
    GpImage* image = nullptr;
    {
        Started gdip;
        ASSERT_EQ(GdipLoadImageFromFile(u"" SG_TEST_DATA_DIR "/figure-sbs.jps", &image), Ok);
    }
    // Released by the shutdown (the leak checker watches); no longer ours.
    EXPECT_EQ(GdipDisposeImage(image), GdiplusNotInitialized);
    Started again;
    EXPECT_EQ(GdipDisposeImage(image), InvalidParameter);
}

TEST(GdiplusEncoders, ListsFiveEncodersWithTheirTextsInTheBuffer)
{
    Started gdip;
    UINT count = 0, size = 0;
    ASSERT_EQ(GdipGetImageEncodersSize(&count, &size), Ok);
    ASSERT_EQ(count, 5u);
    ASSERT_GT(size, count * sizeof(ImageCodecInfo));
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    EXPECT_EQ(GdipGetImageEncoders(count, size - 1, list), InsufficientBuffer);
    ASSERT_EQ(GdipGetImageEncoders(count, size, list), Ok);
    const char16_t* mime[] = {u"image/bmp", u"image/jpeg", u"image/gif", u"image/tiff", u"image/png"};
    std::set<uint32_t> clsids;
    for (UINT i = 0; i < count; ++i) {
        EXPECT_EQ(std::u16string(list[i].MimeType), mime[i]);
        auto text = reinterpret_cast<const unsigned char*>(list[i].MimeType);
        EXPECT_GE(text, buffer.data() + count * sizeof(ImageCodecInfo));
        EXPECT_LT(text, buffer.data() + size);
        clsids.insert(list[i].Clsid.Data1);
    }
    EXPECT_EQ(clsids.size(), 5u);
    EXPECT_EQ(list[1].Clsid.Data1, 0x557CF401u); // JPEG's fixed CLSID
    EXPECT_EQ(list[1].Clsid.Data4[7], 0x2E);
}

TEST(GdiplusLoad, ReadsTheHeaderAndDecodesOnFirstPixelUse)
{
    TempFolder folder;
    auto pixels = Pattern(3, 2);
    ASSERT_TRUE(WritePicture(folder / "p.png", PictureFormat::Png, pixels, 3, 2));
    Started gdip;
    GpImage* image = nullptr;
    ASSERT_EQ(GdipLoadImageFromFile(Wide(folder / "p.png").c_str(), &image), Ok);
    // The file goes before any pixel is used: the sizes still answer (they
    // came from the header), the pixels no longer can.
    ASSERT_EQ(unlink((folder / "p.png").c_str()), 0);
    UINT w = 0, h = 0;
    float fw = 0, fh = 0;
    EXPECT_EQ(GdipGetImageWidth(image, &w), Ok);
    EXPECT_EQ(GdipGetImageHeight(image, &h), Ok);
    EXPECT_EQ(GdipGetImageDimension(image, &fw, &fh), Ok);
    EXPECT_EQ(w, 3u);
    EXPECT_EQ(h, 2u);
    EXPECT_EQ(fw, 3.0f);
    EXPECT_EQ(fh, 2.0f);
    ARGB colour = 0;
    EXPECT_NE(GdipBitmapGetPixel(image, 0, 0, &colour), Ok);
    EXPECT_EQ(GdipDisposeImage(image), Ok);

    ASSERT_TRUE(WritePicture(folder / "p.png", PictureFormat::Png, pixels, 3, 2));
    ASSERT_EQ(GdipLoadImageFromFile(Wide(folder / "p.png").c_str(), &image), Ok);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(GdipBitmapGetPixel(image, i % 3, i / 3, &colour), Ok);
        EXPECT_EQ(colour, pixels[i]);
    }
    EXPECT_EQ(GdipBitmapGetPixel(image, 3, 0, &colour), InvalidParameter);
    EXPECT_EQ(GdipDisposeImage(image), Ok);
}

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::string Be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// A PNG whose header claims width x height, with nothing after it.
std::string PngHeaderOnly(uint32_t width, uint32_t height)
{
    std::string ihdr = "IHDR" + Be32(width) + Be32(height) + std::string("\x08\x06\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1A\n", 8) + Be32(13) + ihdr + Be32(Crc32(ihdr));
}

std::string BmpHeader(int32_t width, int32_t height)
{
    std::string info = Le32(40) + Le32(uint32_t(width)) + Le32(uint32_t(height)) + std::string("\x01\x00\x18\x00", 4) +
                       std::string(24, '\0');
    return "BM" + Le32(54) + Le32(0) + Le32(54) + info;
}

TEST(GdiplusLoad, BadInputFailsWithoutAPicture)
{
    TempFolder folder;
    std::string png = sgtest::ReadBytes(SG_TEST_DATA_DIR "/bench-sbs-959.png");
    std::string emf = Le32(1) + Le32(108) + std::string(32, '\0') + " EMF" + std::string(64, '\0');
    struct Case {
        const char* name;
        std::string bytes; // written unless it is the missing-file case
        Status expected;
    } cases[] = {
        {"missing.png", "", FileNotFound},
        {"empty.png", "", GenericError},
        {"noise.jpg", "this is no picture at all, only some text", UnknownImageFormat},
        {"cut-header.png", png.substr(0, 20), GenericError},
        {"huge.png", PngHeaderOnly(20000, 20000), ValueOverflow},
        {"huge.bmp", BmpHeader(30000, -30000), ValueOverflow},
        {"negative.bmp", BmpHeader(-5, 5), ValueOverflow},
        {"drawing.emf", emf, UnknownImageFormat},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) != "missing.png") {
            ASSERT_TRUE(sgtest::WriteBytes(folder / c.name, c.bytes));
        }
    }
    Started gdip;
    for (const Case& c : cases) {
        GpImage* image = reinterpret_cast<GpImage*>(1);
        EXPECT_EQ(GdipLoadImageFromFile(Wide(folder / c.name).c_str(), &image), c.expected) << c.name;
        EXPECT_EQ(image, nullptr) << c.name;
    }
    GpImage* image = nullptr;
    EXPECT_EQ(GdipLoadImageFromFile(u"", &image), FileNotFound);
    EXPECT_NE(GdipLoadImageFromFile(Wide(folder.path).c_str(), &image), Ok) << "a directory";
    EXPECT_EQ(GdipLoadImageFromFile(nullptr, &image), InvalidParameter);
    if (geteuid() != 0) {
        ASSERT_TRUE(WritePicture(folder / "locked.png", PictureFormat::Png, Pattern(2, 2), 2, 2));
        chmod((folder / "locked.png").c_str(), 0);
        EXPECT_EQ(GdipLoadImageFromFile(Wide(folder / "locked.png").c_str(), &image), AccessDenied);
    }
    EXPECT_EQ(image, nullptr);
}

TEST(GdiplusLoad, DataCutShortFailsWhenThePixelsAreNeeded)
{
    TempFolder folder;
    std::string png = sgtest::ReadBytes(SG_TEST_DATA_DIR "/bench-sbs-959.png");
    // Cut in its image data: the header reads, the pixels do not. (With no
    // image data at all, loading itself fails.)
    ASSERT_TRUE(sgtest::WriteBytes(folder / "cut.png", png.substr(0, png.size() / 2)));
    ASSERT_TRUE(sgtest::WriteBytes(folder / "empty.png", png.substr(0, 33))); // signature and IHDR only
    Started gdip;
    GpImage* image = nullptr;
    EXPECT_EQ(GdipLoadImageFromFile(Wide(folder / "empty.png").c_str(), &image), GenericError);
    ASSERT_EQ(GdipLoadImageFromFile(Wide(folder / "cut.png").c_str(), &image), Ok);
    Surface surface(4, 4, 0x123456);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(surface.dc, &graphics), Ok);
    EXPECT_NE(GdipDrawImageRectI(graphics, image, 0, 0, 4, 4), Ok);
    EXPECT_EQ(surface.At(0, 0), 0x123456u);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(image);
}

TEST(GdiplusBitmap, CopiesTheGdiBitmapAndIgnoresItsFourthByte)
{
    Started gdip;
    GpBitmap* image = nullptr;
    {
        Surface surface(2, 1, 0);
        surface.pixels.bits[0] = 0x00112233;
        surface.pixels.bits[1] = 0x7F445566;
        ASSERT_EQ(GdipCreateBitmapFromHBITMAP(surface.bitmap, 0, &image), Ok);
    }
    ARGB colour = 0; // the bitmap is gone; the copy stays
    ASSERT_EQ(GdipBitmapGetPixel(image, 0, 0, &colour), Ok);
    EXPECT_EQ(colour, 0xFF112233u);
    ASSERT_EQ(GdipBitmapGetPixel(image, 1, 0, &colour), Ok);
    EXPECT_EQ(colour, 0xFF445566u);
    GdipDisposeImage(image);
    EXPECT_EQ(GdipCreateBitmapFromHBITMAP(987654, 0, &image), InvalidParameter);
    EXPECT_EQ(image, nullptr);
}

// A picture made from raw BGRA pixels through a PNG file.
GpImage* PictureOf(const TempFolder& folder, const std::vector<uint32_t>& pixels, int w, int h, bool alpha)
{
    std::string path = folder / ("p" + std::to_string(w) + "x" + std::to_string(h) + (alpha ? "a" : "") + ".png");
    EXPECT_TRUE(WritePicture(path, PictureFormat::Png, pixels, w, h, alpha));
    GpImage* image = nullptr;
    EXPECT_EQ(GdipLoadImageFromFile(Wide(path).c_str(), &image), Ok);
    return image;
}

TEST(GdiplusDraw, OneToOneIsExactAndAlphaKeepsTheTarget)
{
    TempFolder folder;
    Started gdip;
    auto pixels = Pattern(5, 3);
    GpImage* opaque = PictureOf(folder, pixels, 5, 3, false);
    std::vector<uint32_t> see = {0x00FF0000, 0x80FF0000, 0xFF0000FF};
    GpImage* translucent = PictureOf(folder, see, 3, 1, true);
    Surface surface(6, 4, 0x00FF00);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(surface.dc, &graphics), Ok);
    ASSERT_EQ(GdipDrawImageRectI(graphics, opaque, 1, 1, 5, 3), Ok);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            uint32_t expected = x >= 1 && y >= 1 ? pixels[(y - 1) * 5 + (x - 1)] & 0xFFFFFF : 0x00FF00;
            EXPECT_EQ(surface.At(x, y), expected) << x << "," << y;
        }
    ASSERT_EQ(GdipDrawImageRectI(graphics, translucent, 0, 0, 3, 1), Ok);
    EXPECT_EQ(surface.At(0, 0), 0x00FF00u) << "transparent: the target shows";
    EXPECT_NEAR(double(surface.At(1, 0) >> 16), 128, 1);
    EXPECT_NEAR(double((surface.At(1, 0) >> 8) & 255), 127, 1);
    EXPECT_EQ(surface.At(2, 0), 0x0000FFu);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(opaque);
    GdipDisposeImage(translucent);
}

TEST(GdiplusDraw, TakingThePixelsGivesWhatDrawingOntoBlackGives)
{
    TempFolder folder;
    Started gdip;
    auto pixels = Pattern(5, 3);
    GpImage* opaque = PictureOf(folder, pixels, 5, 3, false);
    Surface drawn(5, 3, 0);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(drawn.dc, &graphics), Ok);
    ASSERT_EQ(GdipDrawImageRectI(graphics, opaque, 0, 0, 5, 3), Ok);

    HBITMAP taken = 0;
    ASSERT_EQ(GdipCreateHBITMAPTakingPixels(opaque, &taken), Ok);
    GdiPixels bits = GdiBitmapPixels(taken);
    ASSERT_EQ(bits.width, 5);
    ASSERT_EQ(bits.height, 3);
    for (int i = 0; i < 15; ++i) // all four bytes, the fourth clear as drawing leaves it
        EXPECT_EQ(bits.bits[i], drawn.pixels.bits[i]) << i;
    DeleteObject(taken);
    // The picture lost its pixels, not its file: drawn again it is the same.
    Surface again(5, 3, 0);
    GpGraphics* second = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(again.dc, &second), Ok);
    ASSERT_EQ(GdipDrawImageRectI(second, opaque, 0, 0, 5, 3), Ok);
    EXPECT_EQ(std::vector<uint32_t>(again.pixels.bits, again.pixels.bits + 15),
              std::vector<uint32_t>(drawn.pixels.bits, drawn.pixels.bits + 15));

    GpImage* translucent = PictureOf(folder, {0x80FF0000}, 1, 1, true);
    EXPECT_EQ(GdipCreateHBITMAPTakingPixels(translucent, &taken), InvalidParameter) << "alpha is drawn, not taken";
    EXPECT_EQ(taken, 0u);
    GdipDeleteGraphics(graphics);
    GdipDeleteGraphics(second);
    GdipDisposeImage(opaque);
    GdipDisposeImage(translucent);
}

TEST(GdiplusDraw, ScalesIntoExactlyTheRectangleAndClips)
{
    TempFolder folder;
    Started gdip;
    GpImage* solid = PictureOf(folder, std::vector<uint32_t>(6, 0xFF336699u), 3, 2, false);
    Surface surface(10, 8, 0);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(surface.dc, &graphics), Ok);
    ASSERT_EQ(GdipDrawImageRectI(graphics, solid, 2, 3, 7, 4), Ok);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 9 && y >= 3 && y < 7;
            EXPECT_EQ(surface.At(x, y), inside ? 0x336699u : 0u) << x << "," << y;
        }
    // Mostly outside the surface, on every side: only the overlap is drawn.
    ASSERT_EQ(GdipDrawImageRectI(graphics, solid, -50, -40, 200, 100), Ok);
    EXPECT_EQ(surface.At(0, 0), 0x336699u);
    EXPECT_EQ(surface.At(9, 7), 0x336699u);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(solid);
}

TEST(GdiplusDraw, BilinearEnlargementRunsBetweenTheColours)
{
    TempFolder folder;
    Started gdip;
    GpImage* two = PictureOf(folder, {0xFF000000u, 0xFFC8C8C8u}, 2, 1, false);
    Surface surface(8, 1, 0);
    GpGraphics* graphics = nullptr;
    ASSERT_EQ(GdipCreateFromHDC(surface.dc, &graphics), Ok);
    ASSERT_EQ(GdipDrawImageRectI(graphics, two, 0, 0, 8, 1), Ok);
    EXPECT_EQ(surface.At(0, 0), 0u);
    EXPECT_EQ(surface.At(7, 0), 0xC8C8C8u);
    for (int x = 1; x < 8; ++x)
        EXPECT_GE(surface.At(x, 0) & 255, surface.At(x - 1, 0) & 255);
    EXPECT_GT(surface.At(3, 0) & 255, 0u);
    EXPECT_LT(surface.At(4, 0) & 255, 200u);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(two);
}

TEST(GdiplusDraw, NeedsARealDeviceContext)
{
    Started gdip;
    GpGraphics* graphics = reinterpret_cast<GpGraphics*>(1);
    EXPECT_NE(GdipCreateFromHDC(0, &graphics), Ok);
    EXPECT_EQ(graphics, nullptr);
    EXPECT_NE(GdipCreateFromHDC(424242, &graphics), Ok);
    EXPECT_EQ(graphics, nullptr);
}

TEST(GdiplusThumbnail, ScalesTheWholePicture)
{
    TempFolder folder;
    Started gdip;
    std::vector<uint32_t> halves = {0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF0000FFu};
    GpImage* image = PictureOf(folder, halves, 4, 1, false);
    GpImage* thumb = nullptr;
    ASSERT_EQ(GdipGetImageThumbnail(image, 2, 3, &thumb, nullptr, nullptr), Ok);
    UINT w = 0, h = 0;
    GdipGetImageWidth(thumb, &w);
    GdipGetImageHeight(thumb, &h);
    EXPECT_EQ(w, 2u);
    EXPECT_EQ(h, 3u);
    ARGB left = 0, right = 0;
    GdipBitmapGetPixel(thumb, 0, 2, &left);
    GdipBitmapGetPixel(thumb, 1, 2, &right);
    EXPECT_EQ(left, 0xFFFF0000u);
    EXPECT_EQ(right, 0xFF0000FFu);
    GdipDisposeImage(thumb);
    GdipDisposeImage(image);
}

TEST(GdiplusSave, UsesTheEncoderItIsGivenAndFailsCleanly)
{
    TempFolder folder;
    Started gdip;
    auto pixels = Pattern(4, 3);
    GpImage* image = PictureOf(folder, pixels, 4, 3, false);
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<unsigned char> buffer(size);
    auto* list = reinterpret_cast<ImageCodecInfo*>(buffer.data());
    GdipGetImageEncoders(count, size, list);

    // PNG content under a name that says BMP: the encoder decides.
    ASSERT_EQ(GdipSaveImageToFile(image, Wide(folder / "out.bmp").c_str(), &list[4].Clsid, nullptr), Ok);
    EXPECT_EQ(sgtest::ReadBytes(folder / "out.bmp").substr(1, 3), "PNG");
    GpImage* back = nullptr;
    ASSERT_EQ(GdipLoadImageFromFile(Wide(folder / "out.bmp").c_str(), &back), Ok);
    ARGB colour = 0;
    GdipBitmapGetPixel(back, 3, 2, &colour);
    EXPECT_EQ(colour, pixels[11]);
    GdipDisposeImage(back);

    CLSID zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(GdipSaveImageToFile(image, Wide(folder / "z.png").c_str(), &zero, nullptr), UnknownImageFormat);
    EXPECT_FALSE(sgtest::Exists(folder / "z.png"));
    EXPECT_NE(GdipSaveImageToFile(image, Wide(folder / "no/such/dir.png").c_str(), &list[4].Clsid, nullptr), Ok);
    // A failed save leaves an existing file as it was.
    std::string before = sgtest::ReadBytes(folder / "out.bmp");
    ASSERT_EQ(mkdir((folder / "busy.png").c_str(), 0700), 0);
    EXPECT_NE(GdipSaveImageToFile(image, Wide(folder / "busy.png").c_str(), &list[1].Clsid, nullptr), Ok);
    EXPECT_EQ(sgtest::ReadBytes(folder / "out.bmp"), before);
    std::set<std::string> left; // no temporary file stays behind
    for (const auto& entry : std::filesystem::directory_iterator(folder.path))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"p4x3.png", "out.bmp", "busy.png"}));
    GdipDisposeImage(image);
}

} // namespace
