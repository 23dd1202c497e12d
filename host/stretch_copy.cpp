// StretchCopy: scale a rectangle of one target onto a rectangle of the
// thread's target with StretchBlt. Both rectangles are given by two corners
// that belong to them, so (x1, y1)-(x2, y2) is x2 - x1 + 1 pixels wide.
#include "base/rounding.h"
#include "host/target_record.h"
#include "host/targets.h"
#include "host/thread_state.h"
#include "platform/gdi.h"

namespace {

DWORD RasterOperation(int32_t mixCode)
{
    switch (mixCode) {
    case 2:
        return NOTSRCERASE;
    case 4:
        return NOTSRCCOPY;
    case 5:
        return SRCERASE;
    case 7:
        return SRCINVERT;
    case 9:
        return SRCAND;
    case 12:
        return MERGEPAINT;
    case 15:
        return SRCPAINT;
    default: // 0, 1, 3, 6, 8, 10, 11, 13, 14 and every code outside 0..15
        return SRCCOPY;
    }
}

// Inclusive corners to a start and a length; false when the length does not
// fit a 32-bit int.
bool Span(float from, float to, int32_t& start, int32_t& length)
{
    start = RoundEven(from);
    int64_t extent = int64_t{RoundEven(to)} - start + 1;
    if (extent < INT32_MIN || extent > INT32_MAX)
        return false;
    length = static_cast<int32_t>(extent);
    return true;
}

} // namespace

void StretchCopy(uint32_t sourceHandle, int32_t sourceControlId, float x1, float y1, float x2, float y2, float x3,
                 float y3, float x4, float y4, int32_t mixCode, int32_t stretchMode)
{
    // The lock is taken before the source is looked up, so that no other
    // thread can remove it while it is read.
    LockDrawing();
    TargetRecord* source = ResolveTarget(sourceHandle, sourceControlId);
    TargetRecord* dest = FindTarget(ThisThreadState().target);
    if (!source || !dest) {
        UnlockDrawing();
        return;
    }
    int32_t sx, sy, sw, sh, dx, dy, dw, dh;
    bool sizes = Span(x1, x2, sx, sw) && Span(y1, y2, sy, sh) && Span(x3, x4, dx, dw) && Span(y3, y4, dy, dh);
    int oldMode = stretchMode != 0 ? SetStretchBltMode(dest->memoryDC, stretchMode) : 0;
    if (sizes)
        StretchBlt(dest->memoryDC, dx, dy, dw, dh, source->memoryDC, sx, sy, sw, sh, RasterOperation(mixCode));
    if (stretchMode != 0) {
        SetStretchBltMode(dest->memoryDC, oldMode);
        SetBrushOrgEx(dest->memoryDC, 0, 0, nullptr);
    }
    MarkDrawn(*dest);
    UnlockDrawing();
}
