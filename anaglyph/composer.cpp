#include "anaglyph/composer.h"

#include <cstring>

#include "base/pixel_string.h"
#include "imageio/imageio.h"

namespace {

// A pixel read as a signed 32-bit value v gives blue = v mod 256,
// green = (v div 256) mod 256, red = (v div 65536) mod 256, each clamped to
// 0..255. For v >= 0 those are its bytes 0, 1 and 2; for v < 0 every
// component is 0 or below and clamps to 0. So a channel mask on the
// non-negative pixels computes the same thing without dividing.
inline uint32_t KeepMasked(uint32_t pixel, uint32_t mask)
{
    return static_cast<int32_t>(pixel) >= 0 ? pixel & mask : 0;
}

constexpr uint32_t kRedMask = 0x00FF0000;
constexpr uint32_t kGreenBlueMask = 0x0000FFFF;

} // namespace

void fKeepChannelsInPlace(std::string& pixels, int32_t viewIndex)
{
    if (!PixelsFit(pixels))
        return;
    uint32_t mask = viewIndex == 1 ? kGreenBlueMask : kRedMask;
    int64_t count = PixelCount(pixels);
    uint8_t* data = PixelData(pixels);
    for (int64_t i = 0; i < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, data + 4 * i, 4);
        pixel = KeepMasked(pixel, mask);
        std::memcpy(data + 4 * i, &pixel, 4);
    }
}

std::string fKeepChannels(std::string& pixels, const int32_t& viewIndex)
{
    fKeepChannelsInPlace(pixels, viewIndex);
    return pixels;
}

void fMixChannelsInPlace(const std::string& redView, const std::string& cyanView, std::string& output)
{
    int64_t count = PixelsFit(redView) ? PixelCount(redView) : 0;
    if (HoldsPixels(cyanView, count) && HoldsPixels(output, count)) {
        const uint8_t* red = PixelData(redView);
        const uint8_t* cyan = PixelData(cyanView);
        uint8_t* out = PixelData(output);
        for (int64_t i = 0; i < count; ++i) {
            uint32_t r, c;
            std::memcpy(&r, red + 4 * i, 4);
            std::memcpy(&c, cyan + 4 * i, 4); // read before the write: out may be cyan
            uint32_t pixel = KeepMasked(r, kRedMask) | KeepMasked(c, kGreenBlueMask);
            std::memcpy(out + 4 * i, &pixel, 4);
        }
    }
}

int32_t fMixAnaglyphInPlace(const std::string& outputBase, const std::string& redView, const std::string& cyanView,
                            std::string& output)
{
    fMixChannelsInPlace(redView, cyanView, output);
    std::string fileName = outputBase + ".jpg";
    return fGDIp_SaveBitmap(output, fileName);
}

std::string fMixAnaglyph(const std::string& outputBase, const std::string& redView, const std::string& cyanView,
                         const std::string& outputPixels, int32_t* saveStatus)
{
    // The views are only read, so they need no private copies; the output is
    // a copy of its own.
    std::string output = outputPixels;
    int32_t status = fMixAnaglyphInPlace(outputBase, redView, cyanView, output);
    if (saveStatus)
        *saveStatus = status;
    return output;
}
