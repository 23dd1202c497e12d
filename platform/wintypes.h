#pragma once
// The plain Windows types that the program's routines are written against.
// Every handle is a 32-bit id; 0 means none. GDI objects, windows and threads
// share one id space (platform/handles.h), so an id never names two things.
#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using BOOL = int32_t;
using WCHAR = char16_t;
using COLORREF = uint32_t; // 0x00BBGGRR, red in the low byte

using HANDLE = uint32_t;
using HGDIOBJ = uint32_t;
using HDC = uint32_t;
using HBITMAP = uint32_t;
using HBRUSH = uint32_t;
using HWND = uint32_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct RECT {
    LONG left, top, right, bottom;
};

struct POINT {
    LONG x, y;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
