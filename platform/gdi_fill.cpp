// FillRect with solid, hatch and null brushes.
#include <algorithm>

#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

// Whether cell (x, y) of the 8 x 8 hatch pattern is a line pixel.
bool HatchLine(int style, int x, int y)
{
    switch (style) {
    case HS_HORIZONTAL:
        return y == 0;
    case HS_VERTICAL:
        return x == 0;
    case HS_FDIAGONAL: // top left to bottom right
        return x == y;
    case HS_BDIAGONAL: // bottom left to top right
        return x + y == 7;
    case HS_CROSS:
        return x == 0 || y == 0;
    case HS_DIAGCROSS:
        return x == y || x + y == 7;
    default:
        return false;
    }
}

int PatternCell(int64_t position, int32_t origin) { return static_cast<int>(((position - origin) % 8 + 8) % 8); }

void FillHatch(Bitmap& bitmap, const RECT& area, const Brush& brush, const Dc& dc)
{
    uint32_t background = PixelFromColour(dc.bkColour);
    bool opaque = dc.bkMode == OPAQUE;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint32_t* row = bitmap.bits.get() + static_cast<size_t>(y) * static_cast<size_t>(bitmap.width);
        int py = PatternCell(y, dc.brushOrigin.y);
        for (int32_t x = area.left; x < area.right; ++x) {
            if (HatchLine(brush.hatch, PatternCell(x, dc.brushOrigin.x), py))
                row[x] = brush.pixel;
            else if (opaque)
                row[x] = background;
        }
    }
}

void FillSolid(Bitmap& bitmap, const RECT& area, uint32_t pixel)
{
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint32_t* row = bitmap.bits.get() + static_cast<size_t>(y) * static_cast<size_t>(bitmap.width);
        std::fill(row + area.left, row + area.right, pixel);
    }
}

} // namespace

// Fills left..right-1 x top..bottom-1, clipped to the DC's bitmap.
int FillRect(HDC dcId, const RECT* rect, HBRUSH brushId)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    Bitmap* bitmap = DcBitmap(dcId);
    Brush* brush = FindBrush(brushId);
    if (!dc || !bitmap || !brush || !rect)
        return 0;
    RECT area = {std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, bitmap->width),
                 std::min(rect->bottom, bitmap->height)};
    if (area.left >= area.right || area.top >= area.bottom || brush->kind == BrushKind::Null)
        return 1;
    if (brush->kind == BrushKind::Hatch)
        FillHatch(*bitmap, area, *brush, *dc);
    else
        FillSolid(*bitmap, area, brush->pixel & kColourMask);
    return 1;
}
