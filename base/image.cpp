#include "base/image.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Buffers from this size up are aligned to 2 MiB and offered to the kernel
// as huge-page candidates: a fresh process then pays one page fault per
// 2 MiB instead of one per 4 KiB when it first touches the pixels.
constexpr size_t kHugePage = size_t{2} << 20;

std::atomic<LargeBlockAdvice> gLargeBlockAdvice{nullptr};

} // namespace

int64_t ImageBytes(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxImagePixels || height > kMaxImagePixels)
        return -1;
    if (width * height > kMaxImagePixels)
        return -1;
    return width * height * 4;
}

void SetLargeBlockAdvice(LargeBlockAdvice advice)
{
    gLargeBlockAdvice.store(advice, std::memory_order_relaxed);
}

uint32_t* AllocatePixelMemory(size_t size, bool zeroFilled)
{
    void* block = nullptr;
    if (size >= kHugePage) {
        size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        block = std::aligned_alloc(kHugePage, rounded);
        LargeBlockAdvice advice = gLargeBlockAdvice.load(std::memory_order_relaxed);
        if (block && advice)
            advice(block, rounded);
    } else {
        block = std::malloc(size);
    }
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
