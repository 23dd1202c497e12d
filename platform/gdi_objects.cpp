// GDI object tables: bitmaps, brushes and device contexts by id, their
// creation, selection and deletion.
#include <unordered_map>

#include "base/pixel_string.h"
#include "base/image.h"
#include "platform/gdi_internal.h"
#include "platform/handles.h"

namespace gdi {
namespace {

struct Tables {
    std::mutex lock;
    std::unordered_map<HBITMAP, Bitmap> bitmaps;
    std::unordered_map<HBRUSH, Brush> brushes;
    std::unordered_map<HDC, Dc> dcs;
    bool stockMade = false;
    HBITMAP defaultBitmap = 0; // 1 x 1, what a new memory DC holds
    HBRUSH whiteBrush = 0;
    HBRUSH blackBrush = 0;
    HBRUSH nullBrush = 0;
};

// Never destroyed: other threads may still draw while the process exits.
Tables& TheTables()
{
    static Tables* tables = new Tables;
    return *tables;
}

HBRUSH AddBrush(Tables& t, Brush brush)
{
    HBRUSH id = NewHandleId();
    if (id != 0)
        t.brushes.emplace(id, brush);
    return id;
}

HBITMAP AddBitmapOf(Tables& t, int32_t width, int32_t height, bool stock, uint32_t* bits)
{
    Bitmap bitmap;
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bits.reset(bits);
    bitmap.stock = stock;
    HBITMAP id = NewHandleId();
    if (id != 0)
        t.bitmaps.emplace(id, std::move(bitmap));
    return id;
}

HBITMAP AddBitmap(Tables& t, int32_t width, int32_t height, bool stock)
{
    // A defined (black) start.
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    uint32_t* bits = AllocatePixelMemory(count * sizeof(uint32_t), true);
    return bits ? AddBitmapOf(t, width, height, stock, bits) : 0;
}

void MakeStock(Tables& t)
{
    t.stockMade = true;
    t.defaultBitmap = AddBitmap(t, 1, 1, true);
    t.whiteBrush = AddBrush(t, Brush{BrushKind::Solid, 0xFFFFFF, 0, true});
    t.blackBrush = AddBrush(t, Brush{BrushKind::Solid, 0, 0, true});
    t.nullBrush = AddBrush(t, Brush{BrushKind::Null, 0, 0, true});
}

HDC AddDc(Tables& t, bool screen)
{
    Dc dc;
    dc.screen = screen;
    dc.bitmap = screen ? 0 : t.defaultBitmap;
    dc.brush = t.whiteBrush;
    HDC id = NewHandleId();
    if (id != 0)
        t.dcs.emplace(id, dc);
    return id;
}

HGDIOBJ SelectBitmap(HDC dcId, Dc& dc, HBITMAP bitmapId, Bitmap& bitmap)
{
    if (dc.screen)
        return 0;
    if (dc.bitmap == bitmapId)
        return bitmapId;
    if (!bitmap.stock && bitmap.selectedIn != 0)
        return 0; // already held by another DC
    HBITMAP previous = dc.bitmap;
    if (Bitmap* old = FindBitmap(previous); old && !old->stock)
        old->selectedIn = 0;
    if (!bitmap.stock)
        bitmap.selectedIn = dcId;
    dc.bitmap = bitmapId;
    return previous;
}

GdiPixels PixelsOf(const Bitmap* bitmap)
{
    if (!bitmap)
        return {0, 0, nullptr};
    return {bitmap->width, bitmap->height, bitmap->bits.get()};
}

} // namespace

std::unique_lock<std::mutex> LockGdi()
{
    Tables& t = TheTables();
    std::unique_lock<std::mutex> held(t.lock);
    if (!t.stockMade)
        MakeStock(t);
    return held;
}

Bitmap* FindBitmap(HBITMAP handle)
{
    auto& bitmaps = TheTables().bitmaps;
    auto it = bitmaps.find(handle);
    return it == bitmaps.end() ? nullptr : &it->second;
}

Brush* FindBrush(HBRUSH handle)
{
    auto& brushes = TheTables().brushes;
    auto it = brushes.find(handle);
    return it == brushes.end() ? nullptr : &it->second;
}

Dc* FindDc(HDC handle)
{
    auto& dcs = TheTables().dcs;
    auto it = dcs.find(handle);
    return it == dcs.end() ? nullptr : &it->second;
}

Bitmap* DcBitmap(HDC handle)
{
    Dc* dc = FindDc(handle);
    return dc ? FindBitmap(dc->bitmap) : nullptr;
}

} // namespace gdi

using namespace gdi;

HDC GetDC(HWND window)
{
    if (window != 0)
        return 0;
    auto held = LockGdi();
    return AddDc(TheTables(), true);
}

int ReleaseDC(HWND window, HDC dc)
{
    auto held = LockGdi();
    Dc* found = FindDc(dc);
    if (window != 0 || !found || !found->screen)
        return 0;
    TheTables().dcs.erase(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC dc)
{
    auto held = LockGdi();
    if (dc != 0 && !FindDc(dc))
        return 0;
    return AddDc(TheTables(), false);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    if (width <= 0 || height <= 0)
        return 0;
    int64_t bytes = PixelStringLength(width, height) - 8; // 4 x width x height, checked in 64 bits
    if (bytes <= 0 || bytes > kMaxPixelBytes)
        return 0;
    auto held = LockGdi();
    if (!FindDc(dc))
        return 0;
    return AddBitmap(TheTables(), width, height, false);
}

HBITMAP CreateBitmapTakingPixels(int width, int height, uint32_t* bits)
{
    int64_t bytes = width > 0 && height > 0 ? PixelStringLength(width, height) - 8 : -1;
    if (!bits || bytes <= 0 || bytes > kMaxPixelBytes) {
        std::free(bits);
        return 0;
    }
    auto held = LockGdi();
    return AddBitmapOf(TheTables(), width, height, false, bits);
}

HGDIOBJ SelectObject(HDC dcId, HGDIOBJ object)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    if (!dc)
        return 0;
    if (Bitmap* bitmap = FindBitmap(object))
        return SelectBitmap(dcId, *dc, object, *bitmap);
    if (FindBrush(object)) {
        HBRUSH previous = dc->brush;
        dc->brush = object;
        return previous;
    }
    return 0;
}

BOOL DeleteObject(HGDIOBJ object)
{
    auto held = LockGdi();
    Tables& t = TheTables();
    if (Bitmap* bitmap = FindBitmap(object)) {
        if (bitmap->stock)
            return TRUE;
        if (bitmap->selectedIn != 0)
            return FALSE; // still in a DC: deleting it would leave the DC dangling
        t.bitmaps.erase(object);
        return TRUE;
    }
    if (Brush* brush = FindBrush(object)) {
        if (!brush->stock)
            t.brushes.erase(object);
        return TRUE;
    }
    return FALSE;
}

BOOL DeleteDC(HDC dcId)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    if (!dc)
        return FALSE;
    if (Bitmap* bitmap = FindBitmap(dc->bitmap); bitmap && !bitmap->stock)
        bitmap->selectedIn = 0;
    TheTables().dcs.erase(dcId);
    return TRUE;
}

HGDIOBJ GetCurrentObject(HDC dcId, UINT type)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    if (!dc)
        return 0;
    if (type == OBJ_BITMAP)
        return dc->bitmap;
    if (type == OBJ_BRUSH)
        return dc->brush;
    return 0;
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto held = LockGdi();
    return AddBrush(TheTables(), Brush{BrushKind::Solid, PixelFromColour(colour), 0, false});
}

HBRUSH CreateHatchBrush(int style, COLORREF colour)
{
    if (style < HS_HORIZONTAL || style > HS_DIAGCROSS)
        return 0;
    auto held = LockGdi();
    return AddBrush(TheTables(), Brush{BrushKind::Hatch, PixelFromColour(colour), style, false});
}

HGDIOBJ GetStockObject(int object)
{
    auto held = LockGdi();
    Tables& t = TheTables();
    switch (object) {
    case WHITE_BRUSH:
        return t.whiteBrush;
    case BLACK_BRUSH:
        return t.blackBrush;
    case NULL_BRUSH:
        return t.nullBrush;
    default:
        return 0;
    }
}

COLORREF GetSysColor(int index)
{
    switch (index) {
    case COLOR_WINDOWTEXT:
        return RGB(0, 0, 0);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    default:
        return 0;
    }
}

GdiPixels GdiBitmapPixels(HBITMAP handle)
{
    auto held = LockGdi();
    return PixelsOf(FindBitmap(handle));
}

GdiPixels GdiDCPixels(HDC dc)
{
    auto held = LockGdi();
    return PixelsOf(DcBitmap(dc));
}
