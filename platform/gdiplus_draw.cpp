// GDI+ graphics objects on our GDI device contexts, and drawing into them.
#include <new>

#include "platform/gdi.h"
#include "platform/gdi_internal.h"
#include "platform/gdiplus_objects.h"
#include "platform/gdiplus_scale.h"

Status GdipCreateFromHDC(HDC dc, GpGraphics** graphics)
{
    if (!graphics)
        return InvalidParameter;
    *graphics = nullptr;
    if (!GdiplusStarted())
        return GdiplusNotInitialized;
    if (!GdiDCPixels(dc).bits)
        return OutOfMemory; // as GDI+ answers a DC it cannot draw on
    GpGraphics* made = new (std::nothrow) GpGraphics;
    if (!made)
        return OutOfMemory;
    made->dc = dc;
    AddGraphics(made);
    *graphics = made;
    return Ok;
}

Status GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width, int height)
{
    Status status = CheckGraphics(graphics);
    if (status != Ok)
        return status;
    status = CheckImage(image);
    if (status != Ok)
        return status;
    if (width < 0 || height < 0)
        return InvalidParameter;
    status = EnsurePixels(*image);
    if (status != Ok)
        return status;
    // The DC's bitmap is looked up now (it may have changed since the
    // graphics object was made) and drawn into under the GDI lock: another
    // thread may replace and free it at any time (a window's resize does),
    // or paint from it.
    auto held = gdi::LockGdi();
    gdi::Bitmap* surface = gdi::DcBitmap(graphics->dc);
    if (!surface || !surface->bits)
        return Win32Error;
    ScaleSource source = {image->pixels.get(), image->width, image->height, image->hasAlpha};
    ScaleTarget target = {surface->bits.get(), surface->width, surface->height};
    return ScaleInto(source, target, {x, y, width, height}, ScaleMode::Blend) ? Ok : OutOfMemory;
}

Status GdipDeleteGraphics(GpGraphics* graphics)
{
    Status status = CheckGraphics(graphics);
    if (status != Ok)
        return status;
    if (!RemoveGraphics(graphics))
        return InvalidParameter;
    delete graphics;
    return Ok;
}
