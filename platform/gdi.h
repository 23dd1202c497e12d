#pragma once
// GDI on this port: in-memory 32-bit top-down BGRX surfaces, device contexts
// as records, brushes; all named by 32-bit ids. Only the calls the program
// makes, with the meaning it relies on.
#include "platform/wintypes.h"

// Raster operations (StretchBlt, BitBlt).
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD SRCPAINT = 0x00EE0086;

// Stretch modes.
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// Hatch styles.
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;

// System colours.
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_BTNFACE = 15;

// Background modes, text alignment, object types, DIB usage.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT OBJ_BRUSH = 2;
constexpr UINT OBJ_BITMAP = 7;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD BI_RGB = 0;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

HDC GetDC(HWND window); // only NULL: a screen DC that needs no display
int ReleaseDC(HWND window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
// 0 when the 64-bit byte count 4 x width x height is not positive or over 2 GiB.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Port-only: a bitmap that takes over bits (top-down 0x00RRGGBB rows of
// exactly width pixels, from malloc), so that pixels just made become a
// bitmap without a second buffer. 0, with bits freed, when the size is
// refused as CreateCompatibleBitmap refuses it.
HBITMAP CreateBitmapTakingPixels(int width, int height, uint32_t* bits);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object); // returns the previous object of that kind
BOOL DeleteObject(HGDIOBJ object);
BOOL DeleteDC(HDC dc);
HGDIOBJ GetCurrentObject(HDC dc, UINT type);

HBRUSH CreateSolidBrush(COLORREF colour);
HBRUSH CreateHatchBrush(int style, COLORREF colour);
HGDIOBJ GetStockObject(int object);
COLORREF GetSysColor(int index);

int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                DWORD rop);
int SetStretchBltMode(HDC dc, int mode); // returns the previous mode, 0 on failure
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
UINT SetTextAlign(HDC dc, UINT align);

// 32-bit top-down BI_RGB only; return the number of rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
              UINT usage);

// Port-only access to a bitmap's pixels for the GDI+ substitute and the window
// painter: top-down BGRX rows of exactly width pixels. {0, 0, nullptr} when
// the id names no bitmap (or the DC holds none).
struct GdiPixels {
    int32_t width;
    int32_t height;
    uint32_t* bits;
};
GdiPixels GdiBitmapPixels(HBITMAP bitmap);
GdiPixels GdiDCPixels(HDC dc);
