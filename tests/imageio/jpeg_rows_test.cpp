// JPEG by bands of rows: the pixels the whole-picture decoder gives and the
// bytes the whole-picture encoder writes, for every shape of file the
// conversion meets (subsampled, grey, progressive, cut short, odd sizes)
// and the quality where the encoder changes its transform; and the echo,
// which decodes the bytes as the writer makes them.
#include "imageio/codecs/jpeg_rows.h"
#include "imageio/codecs/jpeg_echo.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <vector>

#include "imageio/codecs/formats.h"
#include "tests/imageio/codecs_fixtures.h"

namespace {

using namespace fixtures;

Pixels Pattern(int width, int height)
{
    Pixels pixels(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[size_t(y) * size_t(width) + size_t(x)] =
                0xFF000000u | uint32_t((x * 37 + y * 11) & 255) << 16 | uint32_t((x * y) & 255) << 8 |
                uint32_t((255 - x * 5 + y * 3) & 255);
    return pixels;
}

struct RowsCase {
    const char* name;
    int width, height, subsamp, flags;
    double keep; // the share of the file's bytes kept (a file cut short)
};

class JpegRowsDecode : public ::testing::TestWithParam<RowsCase> {};

TEST_P(JpegRowsDecode, GivesTheWholeDecodersPixels)
{
    const RowsCase& c = GetParam();
    Pixels source = Pattern(c.width, c.height);
    std::string jpeg = MakeJpeg(source.data(), c.width, c.height, TJPF_BGRX, c.subsamp, c.flags);
    jpeg.resize(size_t(double(jpeg.size()) * c.keep));
    Picture whole;
    ASSERT_EQ(codecs::DecodeJpeg(Bytes(jpeg), jpeg.size(), whole), kCodecOk);

    JpegRowReader* reader = nullptr;
    int32_t width = 0, height = 0;
    ASSERT_EQ(StartJpegRows(Bytes(jpeg), jpeg.size(), reader, width, height), kCodecOk);
    ASSERT_EQ(width, c.width);
    ASSERT_EQ(height, c.height);
    // Bands of an awkward height, wider rows than the picture.
    const int32_t band = 7, stride = width + 3;
    std::vector<uint32_t> rows(size_t(stride) * band);
    for (int32_t top = 0; top < height; top += band) {
        const int32_t count = height - top < band ? height - top : band;
        ASSERT_EQ(ReadJpegRows(reader, ImageView{rows.data(), width, count, stride}), kCodecOk);
        for (int32_t y = 0; y < count; ++y)
            for (int32_t x = 0; x < width; ++x)
                ASSERT_EQ(rows[size_t(y) * size_t(stride) + size_t(x)], whole.View().Row(top + y)[x])
                    << c.name << " at " << x << "," << top + y;
    }
    EXPECT_EQ(FinishJpegRows(reader), kCodecOk);
    EndJpegRows(reader);
}

INSTANTIATE_TEST_SUITE_P(Shapes, JpegRowsDecode,
                         ::testing::Values(RowsCase{"444", 40, 24, TJSAMP_444, 0, 1.0},
                                           RowsCase{"420 odd size", 37, 29, TJSAMP_420, 0, 1.0},
                                           RowsCase{"422", 48, 16, TJSAMP_422, 0, 1.0},
                                           RowsCase{"grey", 33, 20, TJSAMP_GRAY, 0, 1.0},
                                           RowsCase{"progressive", 45, 31, TJSAMP_420, TJFLAG_PROGRESSIVE, 1.0},
                                           RowsCase{"cut short", 64, 64, TJSAMP_420, 0, 0.6}),
                         [](const auto& param) {
                             std::string name = param.param.name;
                             for (char& ch : name)
                                 if (ch == ' ')
                                     ch = '_';
                             return name;
                         });

TEST(JpegRows, CmykAndDamagedHeadsAreLeftToTheWholeDecoder)
{
    std::vector<uint8_t> cmyk(16 * 16 * 4, 0x40);
    std::string jpeg = MakeJpeg(cmyk.data(), 16, 16, TJPF_CMYK, TJSAMP_444, 0);
    int32_t width = 0, height = 0;
    int64_t work = 0;
    EXPECT_NE(ProbeJpegRows(Bytes(jpeg), jpeg.size(), width, height, work), kCodecOk);
    Pixels source = Pattern(16, 16);
    std::string head = MakeJpeg(source.data(), 16, 16, TJPF_BGRX, TJSAMP_444, 0).substr(0, 40);
    EXPECT_NE(ProbeJpegRows(Bytes(head), head.size(), width, height, work), kCodecOk);
    std::string png = "\x89PNG\r\n\x1a\n";
    EXPECT_NE(ProbeJpegRows(Bytes(png), png.size(), width, height, work), kCodecOk);
}

struct WriteCase {
    int width, height, quality;
};

class JpegRowsEncode : public ::testing::TestWithParam<WriteCase> {};

TEST_P(JpegRowsEncode, WritesTheWholeEncodersBytes)
{
    const WriteCase& c = GetParam();
    const int32_t stride = c.width + 5;
    Pixels pixels = Pattern(stride, c.height);
    unsigned char* whole = nullptr;
    unsigned long wholeSize = 0;
    ASSERT_EQ(codecs::EncodeJpegBuffer(pixels.data(), c.width, c.height, stride, c.quality, &whole, &wholeSize),
              kCodecOk);
    std::string expected(reinterpret_cast<const char*>(whole), wholeSize);
    codecs::FreeJpegBuffer(whole);

    JpegRowWriter* writer = nullptr;
    ASSERT_EQ(StartJpegWriter(c.width, c.height, c.quality, writer), kCodecOk);
    JpegEcho* echo = StartJpegEcho();
    ASSERT_NE(echo, nullptr);
    WatchJpegWriter(writer, EchoJpegBytes, echo);
    for (int32_t top = 0; top < c.height; top += 5) {
        const int32_t count = c.height - top < 5 ? c.height - top : 5;
        ASSERT_EQ(WriteJpegRows(writer, ImageView{pixels.data() + size_t(top) * size_t(stride), c.width, count, stride}),
                  kCodecOk);
    }
    std::string bytes;
    ASSERT_EQ(FinishJpegWriter(writer, bytes), kCodecOk);
    EndJpegWriter(writer);
    EXPECT_TRUE(bytes == expected) << c.width << "x" << c.height << " q" << c.quality << ": " << bytes.size()
                                   << " bytes, whole " << expected.size();

    // The echo saw every byte: its picture is the whole decoder's.
    Picture echoed, decoded;
    ASSERT_EQ(FinishJpegEcho(echo, echoed), kCodecOk);
    EndJpegEcho(echo);
    ASSERT_EQ(codecs::DecodeJpeg(Bytes(bytes), bytes.size(), decoded), kCodecOk);
    ASSERT_EQ(echoed.width, decoded.width);
    ASSERT_EQ(echoed.height, decoded.height);
    EXPECT_EQ(std::vector<uint32_t>(echoed.pixels.get(), echoed.pixels.get() + size_t(c.width) * size_t(c.height)),
              std::vector<uint32_t>(decoded.pixels.get(), decoded.pixels.get() + size_t(c.width) * size_t(c.height)));
}

TEST(JpegEcho, BytesThatStopShortGiveNoPicture)
{
    Pixels pixels = Pattern(64, 48);
    std::string jpeg = MakeJpeg(pixels.data(), 64, 48, TJPF_BGRX, TJSAMP_444, 0);
    for (size_t keep : {size_t(0), size_t(2), jpeg.size() / 2, jpeg.size() - 2}) {
        JpegEcho* echo = StartJpegEcho();
        ASSERT_NE(echo, nullptr);
        EchoJpegBytes(echo, Bytes(jpeg), keep);
        Picture picture;
        EXPECT_NE(FinishJpegEcho(echo, picture), kCodecOk) << keep << " of " << jpeg.size() << " bytes";
        EXPECT_EQ(picture.pixels, nullptr);
        EndJpegEcho(echo);
    }
    // Ended before any byte came (a conversion that failed): no wait, no picture.
    EndJpegEcho(StartJpegEcho());
}

// 95 and 96 straddle the change of transform; the large one outgrows the
// first block of the writer's memory.
INSTANTIATE_TEST_SUITE_P(Qualities, JpegRowsEncode,
                         ::testing::Values(WriteCase{1, 1, 95}, WriteCase{37, 21, 50}, WriteCase{37, 21, 95},
                                           WriteCase{37, 21, 96}, WriteCase{40, 24, 100},
                                           WriteCase{300, 200, 100}));

TEST(JpegRows, RefusesWhatTheWholeEncoderRefuses)
{
    JpegRowWriter* writer = nullptr;
    EXPECT_NE(StartJpegWriter(kMaxJpegSide + 1, 8, 95, writer), kCodecOk);
    EXPECT_NE(StartJpegWriter(8, 8, 0, writer), kCodecOk);
    EXPECT_NE(StartJpegWriter(0, 8, 95, writer), kCodecOk);
    EXPECT_EQ(writer, nullptr);
}

} // namespace
