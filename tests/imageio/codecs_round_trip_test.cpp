// Every encoder's output decodes back: same size, exact pixels for the
// lossless formats, close ones for JPEG.
#include "codecs_fixtures.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdlib>

using namespace fixtures;

namespace {

// Colours on every channel level a GIF palette holds exactly (0 and 255),
// with an alpha ramp when asked; otherwise the alpha bytes are 0, as in the
// program's pixel strings, and must be ignored.
Pixels TestPicture(int w, int h, bool alpha, bool pure)
{
    Pixels px(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t r = pure ? ((x / 3) % 2) * 255u : uint32_t(x * 255 / (w - 1));
            uint32_t g = pure ? ((y / 2) % 2) * 255u : uint32_t(y * 255 / (h - 1));
            uint32_t b = pure ? (((x + y) / 4) % 2) * 255u : uint32_t((x + y) * 127 / (w + h));
            uint32_t a = alpha ? uint32_t((x + 2 * y) * 255 / (w + 2 * h - 3)) : 0;
            px[size_t(y) * size_t(w) + size_t(x)] = a << 24 | r << 16 | g << 8 | b;
        }
    return px;
}

double Psnr(const Pixels& a, const Pixels& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            double d = double(a[i] >> shift & 0xFF) - double(b[i] >> shift & 0xFF);
            sum += d * d;
        }
    double mse = sum / double(a.size() * 3);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

enum class Expect { Exact, TransparentCleared, Threshold, Psnr };

struct Case {
    const char* name;
    PictureFormat format;
    PictureFormat decodedAs;
    bool withAlpha;
    bool pure;
    Expect expect;
};

// What the decoder should give for one source pixel.
uint32_t Expected(uint32_t p, const Case& c)
{
    if (!c.withAlpha)
        return p | 0xFF000000u;
    uint32_t a = p >> 24;
    switch (c.expect) {
    case Expect::TransparentCleared: return a == 0 ? 0 : p;
    case Expect::Threshold: return a < 128 ? 0 : (p | 0xFF000000u);
    default: return p;
    }
}

TEST(CodecRoundTrip, EveryEncoderDecodesBack)
{
    const Case cases[] = {
        {"bmp", PictureFormat::Bmp, PictureFormat::Bmp, false, false, Expect::Exact},
        {"bmp alpha", PictureFormat::Bmp, PictureFormat::Bmp, true, false, Expect::Exact},
        {"png", PictureFormat::Png, PictureFormat::Png, false, false, Expect::Exact},
        {"png alpha", PictureFormat::Png, PictureFormat::Png, true, false, Expect::Exact},
        {"tiff", PictureFormat::Tiff, PictureFormat::Tiff, false, false, Expect::Exact},
        // libtiff hands out premultiplied colour: exact where opaque, near elsewhere.
        {"tiff alpha", PictureFormat::Tiff, PictureFormat::Tiff, true, false, Expect::TransparentCleared},
        {"gif", PictureFormat::Gif, PictureFormat::Gif, false, true, Expect::Exact},
        {"gif alpha", PictureFormat::Gif, PictureFormat::Gif, true, true, Expect::Threshold},
        {"jpeg", PictureFormat::Jpeg, PictureFormat::Jpeg, false, false, Expect::Psnr},
        {"jpeg ignores alpha", PictureFormat::Jpeg, PictureFormat::Jpeg, true, false, Expect::Psnr},
    };
    const int w = 61, h = 37;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pixels src = TestPicture(w, h, c.withAlpha, c.pure);
        std::string bytes;
        ASSERT_EQ(EncodePictureBytes(bytes, c.format, src.data(), w, h, c.withAlpha), kCodecOk);
        PictureHeader header;
        ASSERT_EQ(ProbePictureBytes(Bytes(bytes), bytes.size(), header), kCodecOk);
        EXPECT_EQ(header.format, c.decodedAs);
        EXPECT_EQ(header.width, w);
        EXPECT_EQ(header.height, h);
        Picture pic;
        ASSERT_EQ(DecodePictureBytes(Bytes(bytes), bytes.size(), pic), kCodecOk);
        ASSERT_EQ(pic.width, w);
        ASSERT_EQ(pic.height, h);
        Pixels got(pic.pixels.get(), pic.pixels.get() + size_t(w) * h);
        if (c.expect == Expect::Psnr) {
            Pixels want(src.size());
            for (size_t i = 0; i < src.size(); ++i)
                want[i] = src[i] | 0xFF000000u;
            EXPECT_GT(Psnr(got, want), 40.0);
            EXPECT_FALSE(pic.hasAlpha);
            for (uint32_t p : got)
                ASSERT_EQ(p >> 24, 0xFFu);
            continue;
        }
        EXPECT_EQ(pic.hasAlpha, c.withAlpha);
        int wrong = 0;
        for (size_t i = 0; i < src.size(); ++i) {
            uint32_t want = Expected(src[i], c), have = got[i];
            bool same = want == have;
            if (!same && c.expect == Expect::TransparentCleared) {
                // Within the rounding of one premultiply and back.
                uint32_t a = want >> 24;
                same = (have >> 24) == a;
                for (int s = 0; s < 24 && same; s += 8)
                    same = std::abs(int(want >> s & 0xFF) - int(have >> s & 0xFF)) <= int(128 / a + 1);
            }
            if (!same && ++wrong < 4)
                ADD_FAILURE() << "pixel " << i << std::hex << ": want " << want << " have " << have;
        }
        EXPECT_EQ(wrong, 0);
    }
}

// The saved anaglyph keeps full chroma resolution: quality 95, 4:4:4. One-pixel
// red/cyan stripes would turn grey-brown under 4:2:0.
TEST(CodecRoundTrip, JpegKeepsRedCyanStripes)
{
    const int w = 64, h = 16;
    Pixels src(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            src[size_t(y) * w + x] = x % 2 ? 0x00FF0000u : 0x0000FFFFu;
    std::string bytes;
    ASSERT_EQ(EncodePictureBytes(bytes, PictureFormat::Jpeg, src.data(), w, h, false), kCodecOk);
    tjhandle tj = tjInitDecompress();
    int jw = 0, jh = 0, subsamp = -1, colorspace = -1;
    ASSERT_EQ(tjDecompressHeader3(tj, Bytes(bytes), bytes.size(), &jw, &jh, &subsamp, &colorspace), 0);
    tjDestroy(tj);
    EXPECT_EQ(subsamp, TJSAMP_444);
    Picture pic;
    ASSERT_EQ(DecodePictureBytes(Bytes(bytes), bytes.size(), pic), kCodecOk);
    Pixels got(pic.pixels.get(), pic.pixels.get() + size_t(w) * h), want(src);
    for (auto& p : want)
        p |= 0xFF000000u;
    EXPECT_GT(Psnr(got, want), 30.0);
}

} // namespace
