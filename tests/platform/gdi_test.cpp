#include "platform/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "platform/handles.h"

namespace {

using Pixels = std::vector<uint32_t>;

BITMAPINFO TopDown(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

// A memory DC with its own bitmap, filled with the given pixels.
struct Surface {
    HDC dc = 0;
    HBITMAP bitmap = 0;
    HGDIOBJ previous = 0;
    int width = 0, height = 0;

    Surface(int w, int h, const Pixels& pixels = {}) : width(w), height(h)
    {
        HDC screen = GetDC(0);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(0, screen);
        previous = SelectObject(dc, bitmap);
        if (!pixels.empty())
            Write(pixels);
    }
    ~Surface()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Write(const Pixels& pixels)
    {
        BITMAPINFO info = TopDown(width, height);
        EXPECT_EQ(SetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
    }
    Pixels Read() const
    {
        Pixels pixels(static_cast<size_t>(width) * height);
        BITMAPINFO info = TopDown(width, height);
        EXPECT_EQ(GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS), height);
        return pixels;
    }
};

// Channel values chosen so that no average falls on a half.
constexpr uint32_t A = 0x0A1F00, B = 0x14FF64, C = 0xC8011E, D = 0x6679FE;

struct StretchCase {
    const char* name;
    int mode;
    int sourceWidth, sourceHeight;
    Pixels source;
    int sx, sy, sw, sh, dw, dh;
    Pixels expected;
};

TEST(GdiStretchBlt, ModesOnTinyBitmaps)
{
    const StretchCase cases[] = {
        {"halftone 4->2 averages pairs", HALFTONE, 4, 1, {A, B, C, D}, 0, 0, 4, 1, 2, 1, {0x0F8F32, 0x973D8E}},
        {"halftone 4->5 replicates the last pixel", HALFTONE, 4, 1, {A, B, C, D}, 0, 0, 4, 1, 5, 1, {A, B, C, D, D}},
        // (2a + b) / 3 and (b + 2c) / 3 per channel.
        {"halftone 3->2 weighs by area", HALFTONE, 3, 1, {A, B, C}, 0, 0, 3, 1, 2, 1, {0x0D6A21, 0x8C5635}},
        {"halftone 1->3 repeats", HALFTONE, 1, 1, {B}, 0, 0, 1, 1, 3, 1, {B, B, B}},
        {"equal sizes copy exactly", HALFTONE, 3, 1, {A, B, C}, 0, 0, 3, 1, 3, 1, {A, B, C}},
        {"whole rows from row 1 copy as a block", HALFTONE, 2, 3, {A, B, C, D, B, A}, 0, 1, 2, 2, 2, 2, {C, D, B, A}},
        {"one column past the edge reads the edge", HALFTONE, 3, 1, {A, B, C}, 1, 0, 3, 1, 3, 1, {B, C, C}},
        {"one pixel larger copies 1:1 then repeats", HALFTONE, 3, 2, {A, B, C, D, A, B}, 0, 0, 3, 2, 4, 3,
         {A, B, C, C, D, A, B, B, D, A, B, B}},
        {"rectangle left of the bitmap reads the left edge", HALFTONE, 2, 1, {A, B}, -3, 0, 2, 1, 2, 1, {A, A}},
        {"halftone 2x2->1x1 averages all four", HALFTONE, 2, 2, {A, B, C, D}, 0, 0, 2, 2, 1, 1, {0x536660}},
        {"halftone 3->2 down a column", HALFTONE, 1, 3, {A, B, C}, 0, 0, 1, 3, 1, 2, {0x0D6A21, 0x8C5635}},
        {"coloroncolor 4->2 takes the centre pixel", COLORONCOLOR, 4, 1, {A, B, C, D}, 0, 0, 4, 1, 2, 1, {B, D}},
        {"coloroncolor 3->2", COLORONCOLOR, 3, 1, {A, B, C}, 0, 0, 3, 1, 2, 1, {A, C}},
        {"coloroncolor 4->5", COLORONCOLOR, 4, 1, {A, B, C, D}, 0, 0, 4, 1, 5, 1, {A, B, C, D, D}},
        {"blackonwhite ANDs", BLACKONWHITE, 4, 1, {A, B, C, D}, 0, 0, 4, 1, 2, 1, {A & B, C & D}},
        {"whiteonblack ORs", WHITEONBLACK, 2, 2, {A, B, C, D}, 0, 0, 2, 2, 1, 1, {A | B | C | D}},
    };
    for (const StretchCase& c : cases) {
        SCOPED_TRACE(c.name);
        Surface source(c.sourceWidth, c.sourceHeight, c.source);
        Surface dest(c.dw, c.dh);
        SetStretchBltMode(dest.dc, c.mode);
        EXPECT_TRUE(StretchBlt(dest.dc, 0, 0, c.dw, c.dh, source.dc, c.sx, c.sy, c.sw, c.sh, SRCCOPY));
        EXPECT_EQ(dest.Read(), c.expected);
    }
}

// The exact area-weighted average of a shrinking HALFTONE blit, computed
// the slow way: every source pixel's overlap with the destination pixel.
uint32_t ExactAverage(const Surface& source, const Pixels& pixels, const int rect[4], int dw, int dh, int dx, int dy)
{
    const int sx = rect[0], sy = rect[1], sw = rect[2], sh = rect[3];
    auto overlap = [](int d, int nd, int r, int ns) { // in 1/(nd) source pixels
        int64_t lo = std::max<int64_t>(int64_t{d} * ns, int64_t{r} * nd);
        int64_t hi = std::min<int64_t>(int64_t{d + 1} * ns, int64_t{r + 1} * nd);
        return static_cast<double>(std::max<int64_t>(0, hi - lo));
    };
    double sums[3] = {};
    for (int q = 0; q < sh; ++q)
        for (int r = 0; r < sw; ++r) {
            double w = overlap(dx, dw, r, sw) * overlap(dy, dh, q, sh);
            int x = std::clamp(sx + r, 0, source.width - 1), y = std::clamp(sy + q, 0, source.height - 1);
            uint32_t p = pixels[static_cast<size_t>(y) * source.width + x];
            for (int c = 0; c < 3; ++c)
                sums[c] += w * ((p >> (8 * c)) & 0xFF);
        }
    uint32_t result = 0;
    for (int c = 0; c < 3; ++c)
        result |= static_cast<uint32_t>(sums[c] / (double(sw) * sh) + 0.5) << (8 * c);
    return result;
}

TEST(GdiStretchBlt, HalftoneShrinkMatchesTheExactAverage)
{
    struct Case {
        int width, height; // source bitmap
        int rect[4];       // source rectangle x, y, width, height
        int dw, dh;
    };
    const Case cases[] = {
        {37, 23, {0, 0, 37, 23}, 10, 7},  {37, 23, {0, 0, 37, 23}, 36, 22}, {40, 9, {-3, 2, 40, 9}, 13, 2},
        {17, 31, {0, 0, 17, 31}, 17, 5},  {64, 3, {5, 0, 59, 3}, 5, 3},     {33, 8, {0, 0, 33, 8}, 2, 1},
        {50, 50, {-20, 30, 45, 41}, 9, 4}, {3, 3, {0, 0, 3, 3}, 1, 1}, {5, 4, {0, 0, 5, 4}, 2, 3},
    };
    uint32_t seed = 12345;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " -> " << c.dw << "x" << c.dh);
        Pixels pixels(static_cast<size_t>(c.width) * c.height);
        for (uint32_t& p : pixels)
            p = (seed = seed * 1103515245 + 12345) >> 8 & 0xFFFFFF;
        Surface source(c.width, c.height, pixels);
        Surface dest(c.dw, c.dh);
        SetStretchBltMode(dest.dc, HALFTONE);
        ASSERT_TRUE(StretchBlt(dest.dc, 0, 0, c.dw, c.dh, source.dc, c.rect[0], c.rect[1], c.rect[2], c.rect[3],
                               SRCCOPY));
        Pixels result = dest.Read();
        for (int y = 0; y < c.dh; ++y)
            for (int x = 0; x < c.dw; ++x) {
                uint32_t got = result[static_cast<size_t>(y) * c.dw + x];
                uint32_t want = ExactAverage(source, pixels, c.rect, c.dw, c.dh, x, y);
                for (int ch = 0; ch < 3; ++ch)
                    ASSERT_NEAR(int((got >> (8 * ch)) & 0xFF), int((want >> (8 * ch)) & 0xFF), 1)
                        << "pixel " << x << "," << y;
            }
    }
}

TEST(GdiStretchBlt, EveryRasterOperationOfTheMixTable)
{
    constexpr uint32_t S = 0x00F0CC33, Dst = 0x00AA55FF;
    struct Case {
        DWORD rop;
        uint32_t expected;
    };
    const Case cases[] = {
        {SRCCOPY, S},
        {NOTSRCERASE, ~(S | Dst) & 0xFFFFFF},
        {NOTSRCCOPY, ~S & 0xFFFFFF},
        {SRCERASE, S & ~Dst & 0xFFFFFF},
        {SRCINVERT, S ^ Dst},
        {SRCAND, S & Dst},
        {MERGEPAINT, (~S | Dst) & 0xFFFFFF},
        {SRCPAINT, S | Dst},
    };
    Surface source(2, 2, Pixels(4, S));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rop);
        for (bool stretch : {false, true}) {
            Surface dest(2, 2, Pixels(4, Dst));
            SetStretchBltMode(dest.dc, HALFTONE);
            EXPECT_TRUE(StretchBlt(dest.dc, 0, 0, 2, 2, source.dc, 0, 0, stretch ? 1 : 2, 2, c.rop));
            EXPECT_EQ(dest.Read(), Pixels(4, c.expected));
        }
    }
    Surface dest(2, 2, Pixels(4, Dst));
    EXPECT_FALSE(StretchBlt(dest.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 2, 0x00F00021)); // PATCOPY: not supported
    EXPECT_EQ(dest.Read(), Pixels(4, Dst));
}

TEST(GdiStretchBlt, ClipsTheDestinationAndRefusesMirroring)
{
    Surface source(2, 2, {A, B, C, D});
    Surface dest(3, 3, Pixels(9, 0));
    EXPECT_TRUE(BitBlt(dest.dc, 2, 2, 2, 2, source.dc, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dest.dc, -1, -1, 2, 2, source.dc, 0, 0, SRCCOPY));
    // Default mode BLACKONWHITE: the column ANDs A with B and C with D; rows
    // 0..2 lie in the lower half of the two-million-row rectangle.
    EXPECT_TRUE(StretchBlt(dest.dc, 1, -1000000, 1, 2000000, source.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(dest.Read(), (Pixels{D, C & D, 0, 0, C & D, 0, 0, C & D, A}));
    EXPECT_FALSE(StretchBlt(dest.dc, 2, 0, -2, 2, source.dc, 0, 0, 2, 2, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dest.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, -2, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dest.dc, 0, 0, 0, 2, source.dc, 0, 0, 2, 2, SRCCOPY));
}

TEST(GdiStretchBlt, ExtremeRectanglesStayInsideTheBitmaps)
{
    Surface source(3, 2, {A, B, C, D, A, B});
    Surface dest(2, 2);
    SetStretchBltMode(dest.dc, HALFTONE);
    // A source far wider than the bitmap: almost all of it reads the edges.
    EXPECT_TRUE(StretchBlt(dest.dc, 0, 0, 2, 2, source.dc, -1000000000, 0, 2000000000, 2, SRCCOPY));
    EXPECT_EQ(dest.Read(), (Pixels{A, C, D, B}));
    EXPECT_TRUE(StretchBlt(dest.dc, 0, 0, 2, 2, source.dc, INT32_MAX - 1, INT32_MIN, 2, 2, SRCCOPY));
    EXPECT_EQ(dest.Read(), (Pixels{C, C, C, C}));
    SetStretchBltMode(dest.dc, BLACKONWHITE);
    EXPECT_TRUE(StretchBlt(dest.dc, 0, 0, 1, 1, source.dc, -5, -5, INT32_MAX, INT32_MAX, SRCCOPY));
}

TEST(GdiStretchBlt, DrawingABitmapOntoItselfReadsTheOldPixels)
{
    Surface surface(4, 1, {A, B, C, D});
    EXPECT_TRUE(BitBlt(surface.dc, 1, 0, 3, 1, surface.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(surface.Read(), (Pixels{A, A, B, C}));
    SetStretchBltMode(surface.dc, HALFTONE);
    EXPECT_TRUE(StretchBlt(surface.dc, 0, 0, 4, 1, surface.dc, 2, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(surface.Read(), (Pixels{B, B, C, C}));
}

TEST(GdiBitmaps, RefuseSizesThatAreNotPositiveOrOver2GiB)
{
    HDC screen = GetDC(0);
    const int sizes[][2] = {{0, 5}, {5, 0}, {-1, 5}, {65536, 65536}, {1, (1 << 29) + 1}, {INT32_MAX, INT32_MAX}};
    for (const auto& size : sizes)
        EXPECT_EQ(CreateCompatibleBitmap(screen, size[0], size[1]), 0u) << size[0] << " x " << size[1];
    EXPECT_EQ(CreateCompatibleBitmap(0, 2, 2), 0u); // no DC
    HBITMAP ok = CreateCompatibleBitmap(screen, 3, 2);
    EXPECT_NE(ok, 0u);
    GdiPixels pixels = GdiBitmapPixels(ok);
    EXPECT_EQ(pixels.width, 3);
    EXPECT_EQ(pixels.height, 2);
    EXPECT_NE(pixels.bits, nullptr);
    EXPECT_TRUE(DeleteObject(ok));
    EXPECT_EQ(GdiBitmapPixels(ok).bits, nullptr);
    ReleaseDC(0, screen);
}

TEST(GdiBitmaps, SelectionTracksOneDCPerBitmap)
{
    HDC screen = GetDC(0);
    HDC first = CreateCompatibleDC(screen);
    HDC second = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 2, 2);
    HGDIOBJ stock = SelectObject(first, bitmap);
    EXPECT_NE(stock, 0u);
    EXPECT_EQ(GetCurrentObject(first, OBJ_BITMAP), bitmap);
    EXPECT_EQ(SelectObject(second, bitmap), 0u); // already in another DC
    EXPECT_FALSE(DeleteObject(bitmap));          // still selected
    EXPECT_EQ(GdiDCPixels(first).width, 2);
    EXPECT_EQ(SelectObject(first, stock), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(screen, stock), 0u); // the screen DC holds no bitmap
    EXPECT_EQ(GdiDCPixels(screen).bits, nullptr);
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_FALSE(DeleteDC(second));
    EXPECT_EQ(ReleaseDC(0, screen), 1);
}

TEST(GdiDIBits, RoundTripClearsTheFourthByteAndChecksTheHeader)
{
    Surface surface(2, 3);
    const Pixels written = {0xFF102030, 0x01405060, 0x00708090, 0x80A0B0C0, 0x00D0E0F0, 0x7F000001};
    surface.Write(written);
    Pixels expected = written;
    for (uint32_t& pixel : expected)
        pixel &= 0xFFFFFF;
    EXPECT_EQ(surface.Read(), expected);

    Pixels rows(6, 0xDEAD);
    BITMAPINFO info = TopDown(2, 3);
    EXPECT_EQ(GetDIBits(surface.dc, surface.bitmap, 1, 5, rows.data(), &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(rows, (Pixels{expected[2], expected[3], expected[4], expected[5], 0xDEAD, 0xDEAD}));
    EXPECT_EQ(GetDIBits(surface.dc, surface.bitmap, 3, 1, rows.data(), &info, DIB_RGB_COLORS), 0);

    struct Bad {
        const char* name;
        BITMAPINFOHEADER header;
    };
    const Bad bad[] = {
        {"bottom-up", {40, 2, 3, 1, 32, BI_RGB, 0, 0, 0, 0, 0}},
        {"other width", {40, 3, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0}},
        {"other height", {40, 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}},
        {"24 bits", {40, 2, -3, 1, 24, BI_RGB, 0, 0, 0, 0, 0}},
        {"short header", {12, 2, -3, 1, 32, BI_RGB, 0, 0, 0, 0, 0}},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        BITMAPINFO header = {b.header, {}};
        EXPECT_EQ(GetDIBits(surface.dc, surface.bitmap, 0, 3, rows.data(), &header, DIB_RGB_COLORS), 0);
        EXPECT_EQ(SetDIBits(surface.dc, surface.bitmap, 0, 3, rows.data(), &header, DIB_RGB_COLORS), 0);
    }
    EXPECT_EQ(surface.Read(), expected);

    BITMAPINFO filled = {};
    EXPECT_EQ(GetDIBits(surface.dc, surface.bitmap, 0, 3, nullptr, &filled, DIB_RGB_COLORS), 3);
    EXPECT_EQ(filled.bmiHeader.biWidth, 2);
    EXPECT_EQ(filled.bmiHeader.biHeight, -3);
    EXPECT_EQ(filled.bmiHeader.biSizeImage, 24u);
}

TEST(GdiFillRect, SolidHatchAndNullBrushes)
{
    Surface surface(9, 2, Pixels(18, 0x123456));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT left = {-5, -5, 2, 9};
    EXPECT_TRUE(FillRect(surface.dc, &left, red));
    RECT all = {0, 0, 9, 2};
    EXPECT_TRUE(FillRect(surface.dc, &all, GetStockObject(NULL_BRUSH)));
    Pixels pixels = surface.Read();
    EXPECT_EQ(pixels[0], 0xFF0000u);
    EXPECT_EQ(pixels[10], 0xFF0000u);
    EXPECT_EQ(pixels[2], 0x123456u);

    HBRUSH cross = CreateHatchBrush(HS_CROSS, RGB(0, 0, 255));
    SetBkColor(surface.dc, RGB(0, 255, 0));
    SetBrushOrgEx(surface.dc, 1, 0, nullptr);
    EXPECT_TRUE(FillRect(surface.dc, &all, cross));
    pixels = surface.Read();
    EXPECT_EQ(pixels[0], 0x0000FFu);  // row 0 is a line
    EXPECT_EQ(pixels[10], 0x0000FFu); // column 1 is a line (origin 1)
    EXPECT_EQ(pixels[11], 0x00FF00u); // background in opaque mode
    EXPECT_EQ(pixels[18 - 9 + 8], 0x00FF00u);

    SetBkMode(surface.dc, TRANSPARENT);
    EXPECT_TRUE(FillRect(surface.dc, &all, red));
    EXPECT_TRUE(FillRect(surface.dc, &all, cross));
    pixels = surface.Read();
    EXPECT_EQ(pixels[11], 0xFF0000u); // transparent: the red stays
    EXPECT_EQ(CreateHatchBrush(6, 0), 0u);
    DeleteObject(red);
    DeleteObject(cross);
}

TEST(GdiDCState, SettersReturnThePreviousValue)
{
    Surface surface(1, 1);
    EXPECT_EQ(SetStretchBltMode(surface.dc, HALFTONE), BLACKONWHITE);
    EXPECT_EQ(SetStretchBltMode(surface.dc, 9), 0);
    EXPECT_EQ(SetStretchBltMode(surface.dc, COLORONCOLOR), HALFTONE);
    EXPECT_EQ(SetTextColor(surface.dc, 0x123), 0u);
    EXPECT_EQ(SetTextColor(surface.dc, 0), 0x123u);
    EXPECT_EQ(SetBkMode(surface.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextAlign(surface.dc, TA_UPDATECP), 0u);
    POINT previous = {};
    EXPECT_TRUE(MoveToEx(surface.dc, 4, 5, nullptr));
    EXPECT_TRUE(MoveToEx(surface.dc, 0, 0, &previous));
    EXPECT_EQ(previous.x, 4);
    EXPECT_EQ(previous.y, 5);
    EXPECT_EQ(SetStretchBltMode(0, HALFTONE), 0);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(240, 240, 240));
}

TEST(Handles, NeverZeroNeverRepeated)
{
    std::set<HANDLE> seen;
    for (int i = 0; i < 1000; ++i) {
        HANDLE id = NewHandleId();
        EXPECT_NE(id, 0u);
        EXPECT_TRUE(seen.insert(id).second);
    }
}

} // namespace
