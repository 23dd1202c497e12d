#include "base/image.h"

#include <cstdlib>
#include <cstring>

int64_t ImageBytes(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxImagePixels || height > kMaxImagePixels)
        return -1;
    if (width * height > kMaxImagePixels)
        return -1;
    return width * height * 4;
}

uint32_t* AllocatePixelMemory(size_t size, bool zeroFilled)
{
    void* block = std::malloc(size);
    if (block && zeroFilled)
        std::memset(block, 0, size);
    return static_cast<uint32_t*>(block);
}

bool AllocateImage(Image& image, int32_t width, int32_t height, bool zeroFilled)
{
    image = Image{};
    int64_t bytes = ImageBytes(width, height);
    if (bytes < 0)
        return false;
    image.pixels.reset(AllocatePixelMemory(static_cast<size_t>(bytes), zeroFilled));
    if (!image.pixels)
        return false;
    image.width = width;
    image.height = height;
    return true;
}
