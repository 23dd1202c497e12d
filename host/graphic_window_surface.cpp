#include "host/graphic_window_surface.h"

#include <algorithm>
#include <new>

#include "platform/gdi.h"
#include "platform/handles.h"

namespace {

void FillBackground(HDC dc, int32_t width, int32_t height, HBRUSH brush)
{
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
}

// The memory DC with a new bitmap, filled; false (nothing left behind) when
// either cannot be made.
bool MakeBitmap(TargetRecord& record)
{
    HDC screen = GetDC(0);
    record.memoryDC = CreateCompatibleDC(screen);
    record.bitmap = record.memoryDC ? CreateCompatibleBitmap(screen, record.width, record.height) : 0;
    ReleaseDC(0, screen);
    if (!record.bitmap) {
        DeleteDC(record.memoryDC);
        record.memoryDC = 0;
        return false;
    }
    record.previousBitmap = SelectObject(record.memoryDC, record.bitmap);
    FillBackground(record.memoryDC, record.width, record.height, record.backgroundBrush);
    SetTextColor(record.memoryDC, record.foreground);
    SetBkColor(record.memoryDC, record.background);
    SetBkMode(record.memoryDC, OPAQUE);
    SetTextAlign(record.memoryDC, TA_UPDATECP);
    return true;
}

} // namespace

TargetRecord* NewSurfaceRecord(int32_t width, int32_t height)
{
    auto* record = new (std::nothrow) TargetRecord;
    if (!record)
        return nullptr;
    record->kind = TargetKind::WindowSurface;
    record->width = width;
    record->height = height;
    record->foreground = GetSysColor(COLOR_WINDOWTEXT);
    record->background = GetSysColor(COLOR_BTNFACE);
    record->backgroundBrush = CreateSolidBrush(record->background);
    record->batchRefresh = true;
    record->deferredRefresh = false;
    if (!record->backgroundBrush || !MakeBitmap(*record)) {
        DeleteObject(record->backgroundBrush);
        delete record;
        return nullptr;
    }
    record->handle = NewHandleId();
    return record;
}

bool ResizeSurface(TargetRecord& record, int32_t width, int32_t height)
{
    HBITMAP bitmap = CreateCompatibleBitmap(record.memoryDC, width, height);
    HDC scratch = bitmap ? CreateCompatibleDC(record.memoryDC) : 0;
    if (!scratch) {
        DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ before = SelectObject(scratch, bitmap);
    FillBackground(scratch, width, height, record.backgroundBrush);
    BitBlt(scratch, 0, 0, std::min(width, record.width), std::min(height, record.height), record.memoryDC, 0, 0,
           SRCCOPY);
    SelectObject(scratch, before);
    DeleteDC(scratch);
    HGDIOBJ old = SelectObject(record.memoryDC, bitmap);
    DeleteObject(old);
    record.bitmap = bitmap;
    record.width = width;
    record.height = height;
    record.dirty = {0, 0, width, height};
    record.isDirty = true;
    return true;
}

void FreeSurfaceObjects(TargetRecord& record)
{
    if (record.memoryDC && record.previousBitmap)
        SelectObject(record.memoryDC, record.previousBitmap);
    DeleteObject(record.bitmap);
    DeleteDC(record.memoryDC);
    DeleteObject(record.backgroundBrush);
    record.bitmap = 0;
    record.memoryDC = 0;
    record.backgroundBrush = 0;
    record.previousBitmap = 0;
}
