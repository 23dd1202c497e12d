#pragma once
// Small picture files for the GDI+ and image I/O tests, in a private
// temporary folder that is removed with its contents.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imageio/codecs/codec.h"
#include "tests/support/temp_folder.h"

namespace sgtest {

// Distinct opaque colours: 0xFFRRGGBB.
inline std::vector<uint32_t> Pattern(int32_t w, int32_t h)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            pixels[static_cast<size_t>(y) * w + x] =
                0xFF000000u | uint32_t(x * 37 & 255) << 16 | uint32_t(y * 53 & 255) << 8 | uint32_t((x ^ y) * 11 & 255);
    return pixels;
}

inline bool WritePicture(const std::string& path, PictureFormat format, const std::vector<uint32_t>& pixels, int32_t w,
                         int32_t h, bool alpha = false)
{
    return EncodePictureFile(path, format, pixels.data(), w, h, alpha) == kCodecOk;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

inline std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

} // namespace sgtest
