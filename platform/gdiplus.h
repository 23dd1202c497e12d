#pragma once
// GDI+ on this port: the flat calls the program makes, with GDI+'s meaning.
// Images hold 32-bit BGRA pixels; a picture loaded from a file reads only its
// header until its pixels are first needed. Every call made while no start
// is in force fails with GdiplusNotInitialized.
#include <cstdint>

#include "platform/wintypes.h"

enum Status : int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};
using GpStatus = Status;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using CLSID = GUID;

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
    void* NotificationHook;
    void* NotificationUnhook;
};

// Opaque objects; callers hold pointers only.
struct GpImage;
using GpBitmap = GpImage;
struct GpGraphics;
using HPALETTE = uint32_t;
using ARGB = uint32_t;

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    const WCHAR* CodecName;
    const WCHAR* DllName;
    const WCHAR* FormatDescription;
    const WCHAR* FilenameExtension;
    const WCHAR* MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

struct EncoderParameters;
using GetThumbnailImageAbort = BOOL (*)(void* data);

// Start-up. The token (never 0) names one start; starts are counted, and
// the objects still alive are released when the last start ends.
Status GdiplusStartup(uint32_t* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(uint32_t token);

Status GdipLoadImageFromFile(const WCHAR* fileName, GpImage** image);
// Copies the bitmap's pixels into a new opaque (32bppRGB) picture.
Status GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** image);
Status GdipGetImageWidth(GpImage* image, UINT* width);
Status GdipGetImageHeight(GpImage* image, UINT* height);
Status GdipGetImageDimension(GpImage* image, float* width, float* height);
// A new picture of thumbWidth x thumbHeight (0 means 120) scaled from the
// whole picture.
Status GdipGetImageThumbnail(GpImage* image, UINT thumbWidth, UINT thumbHeight, GpImage** thumbnail,
                             GetThumbnailImageAbort callback, void* callbackData);
Status GdipBitmapGetPixel(GpBitmap* bitmap, int x, int y, ARGB* colour);
// Port-only: the bitmap that GdipDrawImageRectI paints when it draws an
// opaque picture at its own size onto a new black bitmap, made by handing
// the bitmap the picture's own pixels instead of copying them. The picture
// keeps its size but not its pixels (one loaded from a file decodes afresh
// if drawn again). InvalidParameter for a picture with alpha (draw that one
// instead).
Status GdipCreateHBITMAPTakingPixels(GpImage* image, HBITMAP* bitmap);
Status GdipDisposeImage(GpImage* image);

// A graphics object on one of our GDI device contexts. Drawing scales
// bilinearly and blends source-over, clipped to the DC's bitmap.
Status GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
Status GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width, int height);
Status GdipDeleteGraphics(GpGraphics* graphics);

// The encoders: image/bmp, image/jpeg, image/gif, image/tiff, image/png, in
// that order. The list is count records followed by the texts they address.
Status GdipGetImageEncodersSize(UINT* count, UINT* size);
Status GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);
// Saves atomically with the encoder named by its CLSID; no parameters are
// supported beyond each encoder's defaults.
Status GdipSaveImageToFile(GpImage* image, const WCHAR* fileName, const CLSID* encoder,
                           const EncoderParameters* parameters);

// Test hook: the next GdiplusStartup fails (with GenericError) and clears
// the switch.
void FailNextGdiplusStartup();
