#pragma once
// Shared pieces of the image I/O tests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/targets.h"
#include "imageio/imageio.h"
#include "tests/platform/gdiplus_files.h"

namespace sgtest {

struct GdiplusRunning {
    uint32_t token = fGDIp_Startup();
    GdiplusRunning() { EXPECT_NE(token, 0u); }
    ~GdiplusRunning() { fGDIp_Shutdown(token); }
};

// The pixels (0x00RRGGBB) of the current graphic target.
inline std::vector<uint32_t> TargetPixels(int32_t& width, int32_t& height)
{
    std::string pixels = ReadPixels();
    width = height = 0;
    if (pixels.size() < 8)
        return {};
    std::memcpy(&width, pixels.data(), 4);
    std::memcpy(&height, pixels.data() + 4, 4);
    std::vector<uint32_t> out((pixels.size() - 8) / 4);
    std::memcpy(out.data(), pixels.data() + 8, out.size() * 4);
    for (uint32_t& p : out)
        p &= 0x00FFFFFF;
    return out;
}

// A pixel string of w x h from 0xAARRGGBB values (the fourth byte made 0).
inline std::string PixelStringOf(const std::vector<uint32_t>& pixels, int32_t w, int32_t h)
{
    std::string out(8 + pixels.size() * 4, '\0');
    std::memcpy(out.data(), &w, 4);
    std::memcpy(out.data() + 4, &h, 4);
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t p = pixels[i] & 0x00FFFFFF;
        std::memcpy(out.data() + 8 + 4 * i, &p, 4);
    }
    return out;
}

} // namespace sgtest
