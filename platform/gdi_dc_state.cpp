// The plain settings a device context keeps: stretch mode, brush origin,
// current position, text and background colours and modes.
#include "platform/gdi_internal.h"

using namespace gdi;

namespace {

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// Stores value into the DC field picked by member; returns the old value, or
// failure when the DC is unknown.
template <typename T>
T Exchange(HDC dcId, T Dc::*member, T value, T failure)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    if (!dc)
        return failure;
    T previous = dc->*member;
    dc->*member = value;
    return previous;
}

BOOL ExchangePoint(HDC dcId, POINT Dc::*member, int x, int y, POINT* previous)
{
    auto held = LockGdi();
    Dc* dc = FindDc(dcId);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->*member;
    dc->*member = POINT{x, y};
    return TRUE;
}

} // namespace

int SetStretchBltMode(HDC dc, int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    return Exchange(dc, &Dc::stretchMode, mode, 0);
}

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous) { return ExchangePoint(dc, &Dc::brushOrigin, x, y, previous); }

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) { return ExchangePoint(dc, &Dc::position, x, y, previous); }

COLORREF SetTextColor(HDC dc, COLORREF colour) { return Exchange(dc, &Dc::textColour, colour, CLR_INVALID); }

COLORREF SetBkColor(HDC dc, COLORREF colour) { return Exchange(dc, &Dc::bkColour, colour, CLR_INVALID); }

int SetBkMode(HDC dc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return Exchange(dc, &Dc::bkMode, mode, 0);
}

UINT SetTextAlign(HDC dc, UINT align) { return Exchange(dc, &Dc::textAlign, align, GDI_ERROR); }
