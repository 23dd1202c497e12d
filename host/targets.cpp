// The drawing-target operations other than StretchCopy. Each one holds the
// drawing lock for its whole work and acts on the calling thread's target,
// looked up afresh by handle, so a removed record leaves no stale pointer.
#include "host/targets.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/pixel_string.h"
#include "host/target_record.h"
#include "host/thread_state.h"
#include "platform/gdi.h"

namespace {

constexpr int kFillAttempts = 10;

TargetRecord* ThreadTarget() { return FindTarget(ThisThreadState().target); }

BITMAPINFO TopDownInfo(int32_t width, int32_t height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

HBRUSH ClearBrush(const TargetRecord& record, int32_t colour, int32_t fillStyle)
{
    if (colour == -2)
        return GetStockObject(NULL_BRUSH);
    COLORREF fill = colour == -1 ? record.background : static_cast<COLORREF>(colour);
    if (fillStyle >= 1 && fillStyle <= 6)
        return CreateHatchBrush(fillStyle - 1, fill);
    return CreateSolidBrush(fill);
}

void FreeMemoryBitmap(HDC screen, HDC dc, HBITMAP bitmap, HGDIOBJ previous)
{
    if (dc && previous)
        SelectObject(dc, previous);
    if (bitmap)
        DeleteObject(bitmap);
    if (dc)
        DeleteDC(dc);
    if (screen)
        ReleaseDC(0, screen);
}

} // namespace

void SelectTarget(uint32_t handle, int32_t controlId, bool deferredRefresh)
{
    LockDrawing();
    ThisThreadState().target = 0;
    TargetRecord* record = ResolveTarget(handle, controlId);
    if (record) {
        ThisThreadState().target = record->handle;
        record->deferredRefresh = deferredRefresh || record->kind == TargetKind::MemoryBitmap;
    }
    UnlockDrawing();
}

void RefreshTarget()
{
    LockDrawing();
    if (TargetRecord* record = ThreadTarget())
        RefreshRecord(*record, true);
    UnlockDrawing();
}

void GetTargetSize(int32_t& width, int32_t& height)
{
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    width = record ? record->width : 0;
    height = record ? record->height : 0;
    UnlockDrawing();
}

namespace {

// The memory bitmap target around given (or, when 0, a new bitmap of
// width x height), selected into a DC of its own; 0, with the bitmap
// deleted, on failure.
uint32_t MemoryBitmapTarget(int32_t width, int32_t height, HBITMAP given)
{
    LockDrawing();
    HDC screen = GetDC(0);
    HDC dc = screen ? CreateCompatibleDC(screen) : 0;
    HBITMAP bitmap = given ? given : dc ? CreateCompatibleBitmap(screen, width, height) : 0;
    HGDIOBJ previous = bitmap && dc ? SelectObject(dc, bitmap) : 0;
    COLORREF background = GetSysColor(COLOR_BTNFACE);
    HBRUSH brush = previous ? CreateSolidBrush(background) : 0;
    if (!brush) {
        FreeMemoryBitmap(screen, dc, bitmap, previous);
        UnlockDrawing();
        return 0;
    }
    auto* record = new TargetRecord;
    record->handle = bitmap;
    record->kind = TargetKind::MemoryBitmap;
    record->width = width;
    record->height = height;
    record->memoryDC = dc;
    record->bitmap = bitmap;
    record->previousBitmap = previous;
    record->foreground = GetSysColor(COLOR_WINDOWTEXT);
    record->background = background;
    record->backgroundBrush = brush;
    record->deferredRefresh = true;
    RegisterTarget(record);
    SetTextColor(dc, record->foreground);
    SetBkColor(dc, background);
    SetBkMode(dc, OPAQUE);
    ReleaseDC(0, screen);
    UnlockDrawing();
    return bitmap;
}

} // namespace

uint32_t CreateMemoryBitmap(int32_t width, int32_t height)
{
    return MemoryBitmapTarget(width, height, 0);
}

uint32_t AdoptMemoryBitmap(uint32_t bitmap, int32_t width, int32_t height)
{
    return bitmap ? MemoryBitmapTarget(width, height, bitmap) : 0;
}

void EndMemoryBitmap()
{
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    if (record && record->kind == TargetKind::MemoryBitmap) {
        RemoveTarget(record->handle);
        ThisThreadState().target = 0;
    }
    UnlockDrawing();
}

void ClearTarget(int32_t colour, int32_t fillStyle)
{
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    if (!record) {
        UnlockDrawing();
        return;
    }
    HBRUSH brush = ClearBrush(*record, colour, fillStyle);
    RECT whole = {0, 0, record->width, record->height};
    for (int attempt = 1; !FillRect(record->memoryDC, &whole, brush) && attempt < kFillAttempts; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    DeleteObject(brush);
    record->refreshSoon = true;
    MarkDrawn(*record);
    MoveToEx(record->memoryDC, 0, 0, nullptr);
    UnlockDrawing();
}

// The pixels come through a small buffer that stays in the cache, a band of
// rows at a time, so that the result is written once rather than first
// zero-filled and then overwritten.
std::string ReadPixels()
{
    constexpr size_t kBandBytes = size_t{1} << 18;
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    int64_t length = record ? PixelStringLength(record->width, record->height) : -1;
    if (length <= 8 || length - 8 > kMaxPixelBytes) {
        UnlockDrawing();
        return {};
    }
    const size_t rowBytes = 4 * static_cast<size_t>(record->width);
    const int32_t bandRows = static_cast<int32_t>(std::clamp<size_t>(kBandBytes / rowBytes, 1, INT32_MAX));
    std::string band(static_cast<size_t>(bandRows) * rowBytes, '\0');
    std::string pixels = MakePixelString(record->width, 0); // the header; its height is set below
    pixels.reserve(static_cast<size_t>(length));
    for (int i = 0; i < 4; ++i)
        pixels[4 + i] = static_cast<char>(static_cast<uint32_t>(record->height) >> (8 * i));
    BITMAPINFO info = TopDownInfo(record->width, record->height);
    HBITMAP bitmap = GetCurrentObject(record->memoryDC, OBJ_BITMAP);
    for (int32_t row = 0; row < record->height; row += bandRows) {
        int32_t rows = std::min(bandRows, record->height - row);
        if (GetDIBits(record->memoryDC, bitmap, static_cast<UINT>(row), static_cast<UINT>(rows), band.data(), &info,
                      DIB_RGB_COLORS) != rows) {
            pixels = std::string();
            break;
        }
        pixels.append(band.data(), static_cast<size_t>(rows) * rowBytes);
    }
    UnlockDrawing();
    return pixels;
}

// A string whose header does not match the target's bitmap, or that is
// shorter than its header claims, is refused and nothing is written.
void WritePixels(const std::string& pixels)
{
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    if (record && PixelsFit(pixels) && PixelWidth(pixels) == record->width &&
        PixelHeight(pixels) == record->height) {
        BITMAPINFO info = TopDownInfo(record->width, record->height);
        HBITMAP bitmap = GetCurrentObject(record->memoryDC, OBJ_BITMAP);
        if (SetDIBits(record->memoryDC, bitmap, 0, static_cast<UINT>(record->height), PixelData(pixels), &info,
                      DIB_RGB_COLORS) > 0)
            MarkDrawn(*record);
    }
    UnlockDrawing();
}

HDC GetTargetDC()
{
    LockDrawing();
    TargetRecord* record = ThreadTarget();
    HDC dc = record ? record->memoryDC : 0;
    UnlockDrawing();
    return dc;
}
