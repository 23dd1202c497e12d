#include "base/pixel_string.h"

#include <limits>

namespace {

int32_t ReadInt32At(const std::string& bytes, size_t offset)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
        uint8_t byte = offset + i < bytes.size() ? static_cast<uint8_t>(bytes[offset + i]) : 0;
        value |= static_cast<uint32_t>(byte) << (8 * i);
    }
    return static_cast<int32_t>(value);
}

void WriteInt32At(std::string& bytes, size_t offset, int32_t value)
{
    uint32_t bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

} // namespace

int32_t PixelWidth(const std::string& pixels) { return ReadInt32At(pixels, 0); }

int32_t PixelHeight(const std::string& pixels) { return ReadInt32At(pixels, 4); }

int64_t PixelStringLength(int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return -1;
    // Both factors are below 2^31, so their product fits; four times it may not.
    int64_t count = static_cast<int64_t>(width) * static_cast<int64_t>(height);
    if (count > (std::numeric_limits<int64_t>::max() - 8) / 4)
        return -1;
    return 8 + 4 * count;
}

bool HoldsPixels(const std::string& pixels, int64_t count)
{
    return count >= 0 && pixels.size() >= 8 && static_cast<uint64_t>(count) <= (pixels.size() - 8) / 4;
}

int64_t PixelCount(const std::string& pixels)
{
    return static_cast<int64_t>(PixelWidth(pixels)) * PixelHeight(pixels);
}

bool PixelsFit(const std::string& pixels)
{
    return PixelWidth(pixels) >= 0 && PixelHeight(pixels) >= 0 && HoldsPixels(pixels, PixelCount(pixels));
}

std::string MakePixelString(int32_t width, int32_t height)
{
    int64_t length = PixelStringLength(width, height);
    if (length < 8 || length - 8 > kMaxPixelBytes)
        return {};
    std::string pixels(static_cast<size_t>(length), '\0');
    WriteInt32At(pixels, 0, width);
    WriteInt32At(pixels, 4, height);
    return pixels;
}
