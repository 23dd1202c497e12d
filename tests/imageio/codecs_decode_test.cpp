// The decoders on the variants each format allows, built with the format's
// own library or byte by byte.
#include "codecs_fixtures.h"

#include <gtest/gtest.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

using namespace fixtures;

namespace {

Picture Decode(const std::string& bytes, CodecResult want = kCodecOk)
{
    Picture pic;
    EXPECT_EQ(DecodePictureBytes(Bytes(bytes), bytes.size(), pic), want);
    if (want == kCodecOk) {
        PictureHeader header;
        EXPECT_EQ(ProbePictureBytes(Bytes(bytes), bytes.size(), header), kCodecOk);
        EXPECT_EQ(header.width, pic.width);
        EXPECT_EQ(header.height, pic.height);
    }
    return pic;
}

uint32_t At(const Picture& p, int x, int y) { return p.pixels[size_t(y) * size_t(p.width) + size_t(x)]; }

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    for (int s = 0; s < 32; s += 8)
        if (std::abs(int(a >> s & 0xFF) - int(b >> s & 0xFF)) > tolerance)
            return false;
    return true;
}

// --- JPEG -----------------------------------------------------------------

TEST(CodecDecode, JpegVariants)
{
    const int w = 24, h = 16;
    Pixels bgrx(size_t(w) * h, 0x00FF0000u); // red
    std::vector<uint8_t> gray(size_t(w) * h, 200);
    // Adobe CMYK stores inverted inks: red is C=0 M=Y=100% K=0, stored as
    // 255, 0, 0, 255.
    std::vector<uint8_t> cmyk;
    for (int i = 0; i < w * h; ++i)
        cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    struct Case {
        const char* name;
        std::string file;
        uint32_t pixel;
    };
    const Case cases[] = {
        {"baseline 4:2:0", MakeJpeg(bgrx.data(), w, h, TJPF_BGRX, TJSAMP_420, 0), 0xFFFF0000u},
        {"progressive", MakeJpeg(bgrx.data(), w, h, TJPF_BGRX, TJSAMP_444, TJFLAG_PROGRESSIVE), 0xFFFF0000u},
        {"grayscale", MakeJpeg(gray.data(), w, h, TJPF_GRAY, TJSAMP_GRAY, 0), 0xFFC8C8C8u},
        {"cmyk (ycck, adobe)", MakeJpeg(cmyk.data(), w, h, TJPF_CMYK, TJSAMP_444, 0), 0xFFFF0000u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        Picture pic = Decode(c.file);
        ASSERT_EQ(pic.width, w);
        ASSERT_EQ(pic.height, h);
        EXPECT_FALSE(pic.hasAlpha);
        EXPECT_PRED3(Near, At(pic, 5, 5), c.pixel, 4);
    }
}

// A JPEG decoded at the smallest of TurboJPEG's scales that keeps the
// longer side asked for, never above its own size; other formats whole.
TEST(CodecDecode, JpegAtAReducedScaleKeepsTheSideAsked)
{
    const int w = 400, h = 200;
    Pixels bgrx(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bgrx[size_t(y) * w + size_t(x)] = x < w / 2 ? 0x00FF0000u : 0x000000FFu; // red | blue
    const std::string jpeg = MakeJpeg(bgrx.data(), w, h, TJPF_BGRX, TJSAMP_444, 0);
    const struct {
        int32_t leastLongSide;
        int32_t width, height;
    } cases[] = {{0, 400, 200}, {50, 50, 25}, {100, 100, 50}, {101, 150, 75}, {399, 400, 200}, {5000, 400, 200}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.leastLongSide);
        Picture pic;
        ASSERT_EQ(DecodePictureBytesReduced(Bytes(jpeg), jpeg.size(), c.leastLongSide, pic), kCodecOk);
        EXPECT_EQ(pic.width, c.width);
        EXPECT_EQ(pic.height, c.height);
        EXPECT_PRED3(Near, At(pic, 2, 2), 0xFFFF0000u, 8);
        EXPECT_PRED3(Near, At(pic, pic.width - 3, pic.height - 3), 0xFF0000FFu, 8);
    }
    std::string png;
    ASSERT_EQ(EncodePictureBytes(png, PictureFormat::Png, bgrx.data(), w, h, false), kCodecOk);
    Picture whole;
    ASSERT_EQ(DecodePictureBytesReduced(Bytes(png), png.size(), 50, whole), kCodecOk);
    EXPECT_EQ(whole.width, w);
}

TEST(CodecDecode, RealSampleDecodesAndProbes)
{
    std::string path = std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps"; // a JPEG by content
    PictureHeader header;
    ASSERT_EQ(ProbePictureFile(path, header), kCodecOk);
    EXPECT_EQ(header.format, PictureFormat::Jpeg);
    EXPECT_EQ(header.width, 1044);
    EXPECT_EQ(header.height, 720);
    Picture pic;
    ASSERT_EQ(DecodePictureFile(path, pic), kCodecOk);
    EXPECT_EQ(pic.width, 1044);
    std::string rgba = std::string(SG_TEST_DATA_DIR) + "/treetrunk-sbs-rgba.png";
    ASSERT_EQ(DecodePictureFile(rgba, pic), kCodecOk);
    EXPECT_EQ(pic.width, 1404);
    EXPECT_EQ(pic.height, 702);
    EXPECT_FALSE(pic.hasAlpha); // RGBA by colour type, opaque throughout
}

// --- PNG ------------------------------------------------------------------

struct PngCase {
    const char* name;
    PngSpec spec;
};

// Samples: gray and colour samples follow the pixel position; 16-bit
// samples are 8-bit values times 257 so that any rounding gives them back.
uint32_t PngSample(int x, int y, int channel, int bitDepth)
{
    uint32_t max = bitDepth == 16 ? 255 : (1u << bitDepth) - 1;
    return uint32_t(x * 3 + y * 5 + channel * 70) % (max + 1);
}

TEST(CodecDecode, PngEveryColourTypeAndDepth)
{
    std::vector<uint8_t> palette, paletteAlpha;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {uint8_t(i * 13), uint8_t(i * 29), uint8_t(i * 47)});
    for (int i = 0; i < 6; ++i)
        paletteAlpha.push_back(uint8_t(i * 50));
    const PngCase cases[] = {
        {"gray 1", {PNG_COLOR_TYPE_GRAY, 1}},
        {"gray 2", {PNG_COLOR_TYPE_GRAY, 2}},
        {"gray 4", {PNG_COLOR_TYPE_GRAY, 4}},
        {"gray 8", {PNG_COLOR_TYPE_GRAY, 8}},
        {"gray 16", {PNG_COLOR_TYPE_GRAY, 16}},
        {"gray 8 tRNS", {PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, 20}},
        {"gray alpha 8", {PNG_COLOR_TYPE_GRAY_ALPHA, 8}},
        {"gray alpha 16", {PNG_COLOR_TYPE_GRAY_ALPHA, 16}},
        {"rgb 8", {PNG_COLOR_TYPE_RGB, 8}},
        {"rgb 16", {PNG_COLOR_TYPE_RGB, 16}},
        {"rgba 8", {PNG_COLOR_TYPE_RGBA, 8}},
        {"rgba 16 interlaced", {PNG_COLOR_TYPE_RGBA, 16, true}},
        {"palette 1", {PNG_COLOR_TYPE_PALETTE, 1, false, palette}},
        {"palette 2 tRNS", {PNG_COLOR_TYPE_PALETTE, 2, false, palette, paletteAlpha}},
        {"palette 4 tRNS interlaced", {PNG_COLOR_TYPE_PALETTE, 4, true, palette, paletteAlpha}},
        {"palette 8 tRNS", {PNG_COLOR_TYPE_PALETTE, 8, false, palette, paletteAlpha}},
    };
    const int w = 19, h = 11;
    for (const PngCase& c : cases) {
        SCOPED_TRACE(c.name);
        const PngSpec& s = c.spec;
        int channels = s.colorType == PNG_COLOR_TYPE_RGBA ? 4 : s.colorType == PNG_COLOR_TYPE_RGB ? 3
                       : s.colorType == PNG_COLOR_TYPE_GRAY_ALPHA                                   ? 2
                                                                                                    : 1;
        std::vector<std::vector<uint8_t>> rows;
        Pixels want;
        uint32_t levelScale = s.bitDepth >= 8 ? 1 : 255 / ((1u << s.bitDepth) - 1);
        for (int y = 0; y < h; ++y) {
            std::vector<uint8_t> row((size_t(w) * channels * s.bitDepth + 7) / 8);
            for (int x = 0; x < w; ++x) {
                uint32_t v[4];
                for (int ch = 0; ch < channels; ++ch) {
                    v[ch] = PngSample(x, y, ch, s.bitDepth);
                    size_t i = size_t(x) * channels + size_t(ch);
                    if (s.bitDepth == 16) {
                        uint16_t wide = uint16_t(v[ch] * 257);
                        std::memcpy(&row[i * 2], &wide, 2);
                    } else if (s.bitDepth == 8) {
                        row[i] = uint8_t(v[ch]);
                    } else {
                        size_t bit = i * size_t(s.bitDepth);
                        row[bit / 8] |= uint8_t(v[ch] << (8 - s.bitDepth - bit % 8));
                    }
                }
                uint32_t px;
                if (s.colorType == PNG_COLOR_TYPE_PALETTE) {
                    uint32_t a = v[0] < paletteAlpha.size() && !s.paletteAlpha.empty() ? paletteAlpha[v[0]] : 255;
                    px = a << 24 | uint32_t(palette[v[0] * 3]) << 16 | uint32_t(palette[v[0] * 3 + 1]) << 8 |
                         palette[v[0] * 3 + 2];
                } else if (channels <= 2) {
                    uint32_t g = v[0] * levelScale;
                    uint32_t a = channels == 2 ? v[1] : (s.trnsGray >= 0 && int(v[0]) == s.trnsGray ? 0 : 255);
                    px = a << 24 | g * 0x010101u;
                } else {
                    px = (channels == 4 ? v[3] : 255) << 24 | v[0] << 16 | v[1] << 8 | v[2];
                }
                want.push_back(px);
            }
            rows.push_back(row);
        }
        PngSpec spec = s;
        spec.palette.resize(std::min(spec.palette.size(), size_t(3) << s.bitDepth));
        spec.paletteAlpha.resize(std::min(spec.paletteAlpha.size(), size_t(1) << s.bitDepth));
        std::string file = MakePng(spec, w, h, rows);
        ASSERT_FALSE(file.empty());
        Picture pic = Decode(file);
        ASSERT_EQ(pic.width, w);
        ASSERT_EQ(pic.height, h);
        bool anyAlpha = false;
        for (uint32_t p : want)
            anyAlpha |= p < 0xFF000000u;
        EXPECT_EQ(pic.hasAlpha, anyAlpha);
        int wrong = 0;
        for (size_t i = 0; i < want.size(); ++i)
            if (pic.pixels[i] != want[i] && ++wrong < 4)
                ADD_FAILURE() << "pixel " << i << std::hex << ": want " << want[i] << " have " << pic.pixels[i];
    }
}

// --- GIF ------------------------------------------------------------------

TEST(CodecDecode, GifFirstFrameWithTransparencyAndInterlace)
{
    GifFrame f{12, 20, 2, 3, 8, 13, true, 1, {10, 20, 30, 0, 0, 0, 200, 100, 50, 1, 2, 3}, {}};
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            f.indices.push_back(uint8_t(y % 3 == 0 ? 2 : (x + y) % 3 == 1 ? 1 : 0));
    Picture pic = Decode(MakeGif(f));
    ASSERT_EQ(pic.width, 12);
    ASSERT_EQ(pic.height, 20);
    EXPECT_TRUE(pic.hasAlpha);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 12; ++x) {
            uint32_t want = 0; // outside the frame
            if (x >= 2 && x < 10 && y >= 3 && y < 16) {
                uint8_t i = f.indices[size_t(y - 3) * 8 + size_t(x - 2)];
                want = i == 1 ? 0 : i == 2 ? 0xFFC86432u : 0xFF0A141Eu;
            }
            ASSERT_EQ(At(pic, x, y), want) << x << "," << y;
        }
}

// --- TIFF -----------------------------------------------------------------

TEST(CodecDecode, TiffVariantsFirstPage)
{
    const int w = 21, h = 18;
    auto samples = [&](int n, int bits) {
        std::vector<uint8_t> d;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < n; ++c) {
                    uint8_t v = uint8_t(x * 11 + y * 7 + c * 60);
                    if (c == 3)
                        v = 255; // opaque, so premultiplication changes nothing
                    if (bits == 16) {
                        uint16_t wide = uint16_t(v * 257);
                        d.insert(d.end(), {uint8_t(wide), uint8_t(wide >> 8)});
                    } else {
                        d.push_back(v);
                    }
                }
        return d;
    };
    auto expect = [&](int x, int y, bool gray) {
        uint32_t v0 = uint8_t(x * 11 + y * 7), v1 = uint8_t(v0 + 60), v2 = uint8_t(v0 + 120);
        return gray ? 0xFF000000u | v0 * 0x010101u : 0xFF000000u | v0 << 16 | v1 << 8 | v2;
    };
    struct Case {
        const char* name;
        std::vector<TiffPage> pages;
        bool gray;
    };
    const Case cases[] = {
        {"gray 8", {{w, h, 1, 8, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, false, -1, samples(1, 8)}}, true},
        {"rgb 16 lzw", {{w, h, 3, 16, PHOTOMETRIC_RGB, COMPRESSION_LZW, false, -1, samples(3, 16)}}, false},
        {"rgba tiled deflate",
         {{w, h, 4, 8, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, true, EXTRASAMPLE_ASSOCALPHA, samples(4, 8)}},
         false},
        {"two pages: the first",
         {{w, h, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, false, -1, samples(3, 8)},
          {5, 5, 3, 8, PHOTOMETRIC_RGB, COMPRESSION_NONE, false, -1, std::vector<uint8_t>(75, 9)}},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture pic = Decode(MakeTiff(c.pages));
        ASSERT_EQ(pic.width, w);
        ASSERT_EQ(pic.height, h);
        EXPECT_FALSE(pic.hasAlpha);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(At(pic, x, y), expect(x, y, c.gray)) << x << "," << y;
    }
}

// --- BMP ------------------------------------------------------------------

// A 4 x 3 picture in every BMP layout. Colours by position.
const uint32_t kBmpColors[3][4] = {{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu},
                                   {0xFF000000u, 0xFF808080u, 0xFFFFFF00u, 0xFF00FFFFu},
                                   {0xFFFF00FFu, 0xFF102030u, 0xFF405060u, 0xFF708090u}};

std::string PaletteOf(int entries, int entryBytes)
{
    std::string p;
    for (int i = 0; i < entries; ++i) {
        uint32_t c = i < 12 ? kBmpColors[i / 4][i % 4] : 0;
        p += {char(c), char(c >> 8), char(c >> 16)};
        if (entryBytes == 4)
            p += '\0';
    }
    return p;
}

// Rows stored bottom-up (or top-down), each padded to 4 bytes.
std::string Rows(int bpp, bool topDown, uint32_t (*encode)(uint32_t color, int index))
{
    std::string bits;
    for (int r = 0; r < 3; ++r) {
        int y = topDown ? r : 2 - r;
        std::string row;
        uint32_t acc = 0;
        int accBits = 0;
        for (int x = 0; x < 4; ++x) {
            uint32_t v = encode(kBmpColors[y][x], y * 4 + x);
            if (bpp < 8) {
                acc = acc << bpp | v;
                accBits += bpp;
                if (accBits == 8) {
                    row += char(acc);
                    acc = 0;
                    accBits = 0;
                }
            } else {
                for (int b = 0; b < bpp / 8; ++b)
                    row += char(v >> (8 * b));
            }
        }
        if (accBits)
            row += char(acc << (8 - accBits));
        while (row.size() % 4)
            row += '\0';
        bits += row;
    }
    return bits;
}

uint32_t Index(uint32_t, int i) { return uint32_t(i); }
uint32_t Rgb24(uint32_t c, int) { return c & 0xFFFFFF; }
uint32_t Rgb32ZeroAlpha(uint32_t c, int) { return c & 0xFFFFFF; }
uint32_t Rgb555(uint32_t c, int) { return (c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31); }
uint32_t Rgb565(uint32_t c, int) { return (c >> 19 & 31) << 11 | (c >> 10 & 63) << 5 | (c >> 3 & 31); }
uint32_t Argb(uint32_t c, int i) { return (c & 0xFFFFFF) | uint32_t(i * 20) << 24; }

uint32_t Expand(uint32_t v, int bits) { return (v * 255 + ((1u << bits) - 1) / 2) / ((1u << bits) - 1); }
uint32_t From555(uint32_t c) { uint32_t v = Rgb555(c, 0); return 0xFF000000u | Expand(v >> 10 & 31, 5) << 16 | Expand(v >> 5 & 31, 5) << 8 | Expand(v & 31, 5); }
uint32_t From565(uint32_t c) { uint32_t v = Rgb565(c, 0); return 0xFF000000u | Expand(v >> 11 & 31, 5) << 16 | Expand(v >> 5 & 63, 6) << 8 | Expand(v & 31, 5); }

std::string Masks(std::initializer_list<uint32_t> masks)
{
    std::string s;
    for (uint32_t m : masks)
        Put32(s, m);
    return s;
}

std::string CoreHeader(int w, int h, int bpp)
{
    std::string s;
    Put32(s, 12);
    Put16(s, uint32_t(w));
    Put16(s, uint32_t(h));
    Put16(s, 1);
    Put16(s, uint32_t(bpp));
    return s;
}

TEST(CodecDecode, BmpLayouts)
{
    struct Case {
        const char* name;
        std::string file;
        uint32_t (*expect)(uint32_t color, int index);
        bool hasAlpha;
    };
    auto same = [](uint32_t c, int) { return c; };
    auto grey1 = [](uint32_t, int i) { return i % 2 ? 0xFF00FF00u : 0xFFFF0000u; };
    auto argb = [](uint32_t c, int i) { return (c & 0xFFFFFF) | uint32_t(i * 20) << 24; };
    auto i4 = [](uint32_t, int i) { return kBmpColors[(i % 4) / 4][i % 4]; };
    const Case cases[] = {
        {"1 bit", MakeBmp(InfoHeader(4, 3, 1, 0), PaletteOf(2, 4), Rows(1, false, [](uint32_t, int i) { return uint32_t(i % 2); })), grey1, false},
        {"4 bit", MakeBmp(InfoHeader(4, 3, 4, 0), PaletteOf(16, 4), Rows(4, false, Index)), same, false},
        {"4 bit, 4 colours used", MakeBmp(InfoHeader(4, 3, 4, 0, 4), PaletteOf(4, 4), Rows(4, false, [](uint32_t, int i) { return uint32_t(i % 4); })), i4, false},
        {"8 bit", MakeBmp(InfoHeader(4, 3, 8, 0), PaletteOf(256, 4), Rows(8, false, Index)), same, false},
        {"8 bit top-down", MakeBmp(InfoHeader(4, -3, 8, 0), PaletteOf(256, 4), Rows(8, true, Index)), same, false},
        {"16 bit 555", MakeBmp(InfoHeader(4, 3, 16, 0), "", Rows(16, false, Rgb555)), [](uint32_t c, int) { return From555(c); }, false},
        {"16 bit 565 bit fields", MakeBmp(InfoHeader(4, 3, 16, 3), Masks({0xF800, 0x07E0, 0x001F}), Rows(16, false, Rgb565)), [](uint32_t c, int) { return From565(c); }, false},
        {"24 bit", MakeBmp(InfoHeader(4, 3, 24, 0), "", Rows(24, false, Rgb24)), same, false},
        {"24 bit top-down", MakeBmp(InfoHeader(4, -3, 24, 0), "", Rows(24, true, Rgb24)), same, false},
        {"32 bit, reserved byte 0", MakeBmp(InfoHeader(4, 3, 32, 0), "", Rows(32, false, Rgb32ZeroAlpha)), same, false},
        {"32 bit alpha bit fields", MakeBmp(InfoHeader(4, 3, 32, 6), Masks({0xFF0000, 0xFF00, 0xFF, 0xFF000000}), Rows(32, false, Argb)), argb, true},
        {"OS/2 24 bit", MakeBmp(CoreHeader(4, 3, 24), "", Rows(24, false, Rgb24)), same, false},
        {"OS/2 8 bit", MakeBmp(CoreHeader(4, 3, 8), PaletteOf(256, 3), Rows(8, false, Index)), same, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture pic = Decode(c.file);
        ASSERT_EQ(pic.width, 4);
        ASSERT_EQ(pic.height, 3);
        EXPECT_EQ(pic.hasAlpha, c.hasAlpha);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(At(pic, x, y), c.expect(kBmpColors[y][x], y * 4 + x)) << std::hex << x << "," << y;
    }
}

TEST(CodecDecode, BmpRunLengths)
{
    // 6 x 3, bottom-up. Bottom row: a run of 3 of index 1, then an
    // absolute run 2, 3, 1; middle row: a delta 2 right, a run of 2 of
    // index 3, end of line; top row: end of bitmap, left transparent.
    const std::string rle8("\x03\x01\x00\x03\x02\x03\x01\x00\x00\x00"
                           "\x00\x02\x02\x00\x02\x03\x00\x00"
                           "\x00\x01",
                           20);
    const std::string rle4("\x03\x11\x00\x03\x23\x10\x00\x00"
                           "\x00\x02\x02\x00\x02\x33\x00\x00"
                           "\x00\x01",
                           18);
    const uint32_t c1 = kBmpColors[0][1], c2 = kBmpColors[0][2], c3 = kBmpColors[0][3];
    const uint32_t want[3][6] = {{0, 0, 0, 0, 0, 0}, {0, 0, c3, c3, 0, 0}, {c1, c1, c1, c2, c3, c1}};
    for (auto [name, file] : {std::pair{"rle8", MakeBmp(InfoHeader(6, 3, 8, 1), PaletteOf(256, 4), rle8)},
                              std::pair{"rle4", MakeBmp(InfoHeader(6, 3, 4, 2), PaletteOf(16, 4), rle4)}}) {
        SCOPED_TRACE(name);
        Picture pic = Decode(file);
        ASSERT_EQ(pic.width, 6);
        EXPECT_TRUE(pic.hasAlpha);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(At(pic, x, y), want[y][x]) << x << "," << y;
    }
}

// --- ICO ------------------------------------------------------------------

std::string IconFile(const std::vector<std::pair<int, std::string>>& entries) // (size, bytes)
{
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (auto& [side, bytes] : entries) {
        out += {char(side & 0xFF), char(side & 0xFF), 0, 0};
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, uint32_t(bytes.size()));
        Put32(out, offset);
        offset += uint32_t(bytes.size());
    }
    for (auto& e : entries)
        out += e.second;
    return out;
}

// A 24-bit icon DIB of side x side in one colour, with the AND mask's
// left column set (transparent).
std::string IconDib(int side, uint32_t color)
{
    std::string dib = InfoHeader(side, side * 2, 24, 0);
    int stride = (side * 3 + 3) / 4 * 4, maskStride = (side + 31) / 32 * 4;
    for (int y = 0; y < side; ++y) {
        std::string row;
        for (int x = 0; x < side; ++x)
            row += {char(color), char(color >> 8), char(color >> 16)};
        row.resize(size_t(stride), '\0');
        dib += row;
    }
    for (int y = 0; y < side; ++y) {
        std::string row(size_t(maskStride), '\0');
        row[0] = char(0x80);
        dib += row;
    }
    return dib;
}

TEST(CodecDecode, IconLargestEntryBmpOrPng)
{
    Pixels blue(48 * 48, 0x800000FFu);
    std::string png;
    ASSERT_EQ(EncodePictureBytes(png, PictureFormat::Png, blue.data(), 48, 48, true), kCodecOk);
    struct Case {
        const char* name;
        std::string file;
        int side;
        uint32_t inside, leftColumn;
    };
    const Case cases[] = {
        {"bmp entries, largest last", IconFile({{16, IconDib(16, 0xFF0000)}, {32, IconDib(32, 0x00FF00)}}), 32, 0xFF00FF00u, 0},
        {"png entry largest", IconFile({{32, IconDib(32, 0x00FF00)}, {48, png}}), 48, 0x800000FFu, 0x800000FFu},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture pic = Decode(c.file);
        ASSERT_EQ(pic.width, c.side);
        ASSERT_EQ(pic.height, c.side);
        EXPECT_TRUE(pic.hasAlpha);
        EXPECT_EQ(At(pic, 5, 5), c.inside);
        EXPECT_EQ(At(pic, 0, 5), c.leftColumn);
    }
}

TEST(CodecDecode, MetafilesAndOthersAreUnknown)
{
    std::string emf(88, '\0');
    emf[0] = 1;
    emf.replace(40, 4, " EMF");
    const std::string wmf("\xD7\xCD\xC6\x9A\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22);
    for (const std::string& file : {emf, wmf, std::string("plain text, not a picture")}) {
        Picture pic;
        PictureHeader header;
        EXPECT_EQ(ProbePictureBytes(Bytes(file), file.size(), header), kCodecUnknownFormat);
        EXPECT_EQ(DecodePictureBytes(Bytes(file), file.size(), pic), kCodecUnknownFormat);
        EXPECT_FALSE(pic.pixels);
    }
}

} // namespace
