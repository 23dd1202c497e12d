#include "base/image.h"

#include <sys/mman.h>

#include <cstring>

namespace {

// Buffers from this size up are aligned to 2 MiB and offered to the kernel
// as huge-page candidates: a fresh process then pays one page fault per
// 2 MiB instead of one per 4 KiB when it first touches the pixels.
constexpr size_t kHugePage = size_t{2} << 20;

} // namespace

int64_t ImageBytes(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxImagePixels || height > kMaxImagePixels)
        return -1;
    if (width * height > kMaxImagePixels)
        return -1;
    return width * height * 4;
}

bool AllocateImage(Image& image, int32_t width, int32_t height, bool zeroFilled)
{
    image = Image{};
    int64_t bytes = ImageBytes(width, height);
    if (bytes < 0)
        return false;
    size_t size = static_cast<size_t>(bytes);
    void* block = nullptr;
    if (size >= kHugePage) {
        size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
        block = std::aligned_alloc(kHugePage, rounded);
        if (block)
            madvise(block, rounded, MADV_HUGEPAGE);
    } else {
        block = std::malloc(size);
    }
    if (!block)
        return false;
    if (zeroFilled)
        std::memset(block, 0, size);
    image.pixels.reset(static_cast<uint32_t*>(block));
    image.width = width;
    image.height = height;
    return true;
}
