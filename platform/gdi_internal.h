#pragma once
// Object tables shared by the GDI substitute's source files. Every function
// here expects the caller to hold the lock from LockGdi().
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/gdi.h"

namespace gdi {

struct FreeDeleter {
    void operator()(void* memory) const { std::free(memory); }
};

struct Bitmap {
    int32_t width = 0;
    int32_t height = 0;
    std::unique_ptr<uint32_t[], FreeDeleter> bits; // top-down rows, 0x00RRGGBB
    HDC selectedIn = 0;                            // a bitmap sits in one DC at most
    bool stock = false;
};

enum class BrushKind { Solid, Hatch, Null };

struct Brush {
    BrushKind kind = BrushKind::Solid;
    uint32_t pixel = 0; // 0x00RRGGBB
    int hatch = 0;
    bool stock = false;
};

struct Dc {
    bool screen = false; // GetDC(NULL): no bitmap behind it
    HBITMAP bitmap = 0;
    HBRUSH brush = 0;
    POINT brushOrigin = {0, 0};
    int stretchMode = BLACKONWHITE;
    COLORREF textColour = 0;
    COLORREF bkColour = 0xFFFFFF;
    int bkMode = OPAQUE;
    UINT textAlign = 0;
    POINT position = {0, 0};
};

std::unique_lock<std::mutex> LockGdi();
Bitmap* FindBitmap(HBITMAP handle);
Brush* FindBrush(HBRUSH handle);
Dc* FindDc(HDC handle);
// The bitmap selected into a DC; nullptr for a screen DC or an unknown id.
Bitmap* DcBitmap(HDC handle);

// COLORREF 0x00BBGGRR to a stored pixel 0x00RRGGBB.
inline uint32_t PixelFromColour(COLORREF colour)
{
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

constexpr uint32_t kColourMask = 0x00FFFFFF; // the fourth byte of a stored pixel reads as 0

} // namespace gdi
