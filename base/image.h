#pragma once
// A picture in memory as a typed value. Pixels are 32-bit, bytes blue,
// green, red and a fourth byte (alpha where the picture has one), so a pixel
// read as a little-endian value is 0xAARRGGBB. Rows run top to bottom,
// `stride` pixels apart.
#include <cstdint>
#include <cstdlib>
#include <memory>

// A window onto pixels owned elsewhere: a whole picture, a view of a stereo
// pair, a band of rows. Copying a view copies no pixels.
struct ImageView {
    uint32_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int64_t stride = 0; // pixels from the start of one row to the next

    uint32_t* Row(int32_t y) const { return pixels + int64_t{y} * stride; }
    // The part (x, y, width, height); the caller keeps it inside this view.
    ImageView Crop(int32_t x, int32_t y, int32_t cropWidth, int32_t cropHeight) const
    {
        return {Row(y) + x, cropWidth, cropHeight, stride};
    }
    bool Empty() const { return width <= 0 || height <= 0 || !pixels; }
};

struct PixelFree {
    void operator()(uint32_t* p) const { std::free(p); }
};
using PixelBuffer = std::unique_ptr<uint32_t[], PixelFree>;

// A picture that owns its pixels, rows exactly width pixels apart.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    bool hasAlpha = false; // false: every fourth byte is 0xFF (decoded) or ignored
    PixelBuffer pixels;    // width x height, not zero-filled unless asked

    ImageView View() const { return {pixels.get(), width, height, width}; }
};

// The most pixels one image may hold; larger sizes are refused before
// anything is allocated.
constexpr int64_t kMaxImagePixels = int64_t{1} << 28;

// width x height x 4 in 64-bit arithmetic; -1 when either size is below 1 or
// the picture would hold more than kMaxImagePixels.
int64_t ImageBytes(int64_t width, int64_t height);

// size bytes for pixels, freed with std::free (PixelFree), in ordinary
// pages: huge pages were tried and cost more than they saved, since a fresh
// 2-MiB page can take milliseconds to fault in on a virtual machine whose
// host reclaims free memory. nullptr when memory is short.
uint32_t* AllocatePixelMemory(size_t size, bool zeroFilled);

// Sets the size and allocates the pixels. False (and the image left empty)
// when the size is refused by ImageBytes or memory is short.
bool AllocateImage(Image& image, int32_t width, int32_t height, bool zeroFilled = false);
