#pragma once
// The GDI+ substitute's own records and the bookkeeping shared by its files.
// Platform-internal.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/gdiplus.h"
#include "platform/picture_codecs.h"

struct GpImage {
    int32_t width = 0;
    int32_t height = 0;
    bool hasAlpha = false;
    // A picture loaded from a file keeps its path until the pixels are first
    // needed; then they are decoded once, into the one buffer below.
    std::string path;
    PixelBuffer pixels; // BGRA, width x height, top-down
    Status decodeStatus = Ok;           // kept when decoding failed
};

struct GpGraphics {
    HDC dc = 0;
};

// Registry of live objects: every call checks that GDI+ is started and that
// the object it is handed is one of ours before touching it.
bool GdiplusStarted();
Status CheckImage(GpImage* image);
Status CheckGraphics(GpGraphics* graphics);
void AddImage(GpImage* image);
void AddGraphics(GpGraphics* graphics);
// False when the object was not (or no longer is) registered.
bool RemoveImage(GpImage* image);
bool RemoveGraphics(GpGraphics* graphics);

// Decodes a file-backed picture on first use.
Status EnsurePixels(GpImage& image);
// width x height pixels, not filled; nullptr when the size is not positive
// or too large.
PixelBuffer AllocatePixels(int32_t width, int32_t height);
