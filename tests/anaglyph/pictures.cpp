#include "tests/anaglyph/pictures.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "base/pixel_string.h"
#include "imageio/codecs/codec.h"
#include "tests/support/temp_folder.h"

namespace sgtest {

std::string PictureFolder()
{
    static const TempFolder folder("sg-anaglyph"); // removed at exit
    return folder.path;
}

std::string WritePng(const std::string& name, int32_t width, int32_t height,
                     const std::function<uint32_t(int32_t, int32_t)>& colour)
{
    std::vector<uint32_t> bgra(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            bgra[static_cast<size_t>(y) * width + x] = 0xFF000000u | colour(x, y);
    std::string path = PictureFolder() + "/" + name;
    EncodePictureFile(path, PictureFormat::Png, bgra.data(), width, height, false);
    return path;
}

std::string Pixels(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& colour)
{
    std::string pixels = MakePixelString(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint32_t value = colour(x, y);
            std::memcpy(PixelData(pixels) + 4 * (static_cast<size_t>(y) * width + x), &value, 4);
        }
    return pixels;
}

uint32_t PixelAt(const std::string& pixels, int32_t x, int32_t y)
{
    uint32_t value = 0;
    std::memcpy(&value, PixelData(pixels) + 4 * (static_cast<size_t>(y) * PixelWidth(pixels) + x), 4);
    return value;
}

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace sgtest
