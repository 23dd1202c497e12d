// GetDIBits and SetDIBits for 32-bit top-down BI_RGB pixels, the only DIB
// layout the program uses. The header must describe the bitmap's own size;
// rows are counted from the top and the buffer holds exactly the rows moved.
#include <cstring>

#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

bool HeaderMatches(const BITMAPINFOHEADER& header, const Bitmap& bitmap)
{
    return header.biSize >= sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 && header.biBitCount == 32 &&
           header.biCompression == BI_RGB && header.biWidth == bitmap.width && header.biHeight == -bitmap.height;
}

// The rows start .. start + lines - 1 that exist: how many (0 when none
// do), where the first begins and how many pixels they hold.
struct RowRange {
    int rows = 0;
    uint32_t* first = nullptr;
    size_t pixels = 0;
};

RowRange RowsInRange(UINT start, UINT lines, Bitmap& bitmap)
{
    int64_t end = static_cast<int64_t>(start) + lines;
    if (end > bitmap.height)
        end = bitmap.height;
    if (end <= start)
        return {};
    size_t width = static_cast<size_t>(bitmap.width);
    int rows = static_cast<int>(end - start);
    return {rows, bitmap.bits.get() + start * width, rows * width};
}

// Copies pixels with their fourth byte cleared: it carries nothing here, and
// whatever another layer left in it must not reach a reader.
// The caller's buffer need not be 4-byte aligned, hence the byte copies.
void CopyMasked(void* __restrict to, const void* __restrict from, size_t count)
{
    auto* out = static_cast<uint8_t*>(to);
    auto* in = static_cast<const uint8_t*>(from);
    for (size_t i = 0; i < count; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, in + 4 * i, 4);
        pixel &= kColourMask;
        std::memcpy(out + 4 * i, &pixel, 4);
    }
}

void FillHeader(BITMAPINFOHEADER& header, const Bitmap& bitmap)
{
    header = BITMAPINFOHEADER{};
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = bitmap.width;
    header.biHeight = -bitmap.height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(4 * static_cast<uint64_t>(bitmap.width) * bitmap.height);
}

} // namespace

// With bits == nullptr the header is filled in from the bitmap instead.
int GetDIBits(HDC dc, HBITMAP bitmapId, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage)
{
    auto held = LockGdi();
    Bitmap* bitmap = FindBitmap(bitmapId);
    if (!FindDc(dc) || !bitmap || !info || usage != DIB_RGB_COLORS)
        return 0;
    if (!bits) {
        FillHeader(info->bmiHeader, *bitmap);
        return bitmap->height;
    }
    if (!HeaderMatches(info->bmiHeader, *bitmap))
        return 0;
    RowRange range = RowsInRange(start, lines, *bitmap);
    if (range.rows > 0)
        CopyMasked(bits, range.first, range.pixels);
    return range.rows;
}

int SetDIBits(HDC dc, HBITMAP bitmapId, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage)
{
    auto held = LockGdi();
    Bitmap* bitmap = FindBitmap(bitmapId);
    if (!FindDc(dc) || !bitmap || !bits || !info || usage != DIB_RGB_COLORS)
        return 0;
    if (!HeaderMatches(info->bmiHeader, *bitmap))
        return 0;
    RowRange range = RowsInRange(start, lines, *bitmap);
    if (range.rows > 0)
        CopyMasked(range.first, bits, range.pixels);
    return range.rows;
}
