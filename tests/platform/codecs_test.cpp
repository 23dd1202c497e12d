#include "platform/codecs/codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<uint32_t> Gradient(int32_t w, int32_t h, bool alpha)
{
    std::vector<uint32_t> px(size_t(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t a = alpha ? uint32_t((x * 255) / (w > 1 ? w - 1 : 1)) : 255;
            px[size_t(y) * w + x] = a << 24 | uint32_t(x * 7 & 255) << 16 | uint32_t(y * 5 & 255) << 8 | uint32_t((x + y) & 255);
        }
    return px;
}

TEST(Codecs, JpegAndPngRoundTrip)
{
    auto px = Gradient(37, 21, false);
    for (EncodeFormat f : {EncodeFormat::Jpeg, EncodeFormat::Png}) {
        std::string bytes;
        ASSERT_EQ(EncodePictureBytes(bytes, f, px.data(), 37, 21, false), kCodecOk);
        Picture pic;
        ASSERT_EQ(DecodePictureBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), pic), kCodecOk);
        EXPECT_EQ(pic.width, 37);
        EXPECT_EQ(pic.height, 21);
    }
}

} // namespace
