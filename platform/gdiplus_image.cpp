// GDI+ pictures: loading (header first, pixels on first use), copies of GDI
// bitmaps, sizes, thumbnails and release.
#include <cstring>
#include <new>
#include <string_view>

#include "platform/gdi.h"
#include "platform/gdi_internal.h"
#include "platform/gdiplus_objects.h"
#include "platform/gdiplus_scale.h"
#include "platform/text.h"

namespace {

Status Register(GpImage* image, GpImage** out)
{
    AddImage(image);
    *out = image;
    return Ok;
}

} // namespace

Status EnsurePixels(GpImage& image)
{
    if (image.pixels)
        return Ok;
    if (image.decodeStatus != Ok)
        return image.decodeStatus;
    Image picture;
    Status result = PictureCodecs().decodeFile(image.path, picture);
    if (result == Ok && (picture.width != image.width || picture.height != image.height || !picture.pixels))
        result = GenericError; // the file changed since its header was read
    if (result != Ok) {
        image.decodeStatus = result;
        return image.decodeStatus;
    }
    image.pixels = std::move(picture.pixels);
    image.hasAlpha = picture.hasAlpha;
    return Ok;
}

Status GdipLoadImageFromFile(const WCHAR* fileName, GpImage** image)
{
    if (!image)
        return InvalidParameter;
    *image = nullptr;
    if (!GdiplusStarted())
        return GdiplusNotInitialized;
    if (!fileName)
        return InvalidParameter;
    std::string path = NarrowWide(std::u16string_view(fileName, static_cast<size_t>(lstrlenW(fileName))));
    int32_t width = 0, height = 0;
    Status result = PictureCodecs().probeFile(path, width, height);
    if (result != Ok)
        return result;
    if (width <= 0 || height <= 0 || int64_t{width} * height > kMaxImagePixels)
        return ValueOverflow;
    GpImage* loaded = new (std::nothrow) GpImage;
    if (!loaded)
        return OutOfMemory;
    loaded->width = width;
    loaded->height = height;
    loaded->path = std::move(path);
    return Register(loaded, image);
}

Status GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** image)
{
    if (!image)
        return InvalidParameter;
    *image = nullptr;
    if (!GdiplusStarted())
        return GdiplusNotInitialized;
    GpImage* copy = new (std::nothrow) GpImage;
    if (!copy)
        return OutOfMemory;
    {
        // The bitmap is read under the GDI lock: another thread may draw
        // into it, or delete it, meanwhile.
        auto held = gdi::LockGdi();
        gdi::Bitmap* source = gdi::FindBitmap(bitmap);
        if (!source || !source->bits) {
            delete copy;
            return InvalidParameter;
        }
        PixelBuffer pixels = AllocatePixels(source->width, source->height);
        if (!pixels) {
            delete copy;
            return OutOfMemory;
        }
        // A GDI bitmap has no alpha: the fourth byte is ignored.
        size_t count = static_cast<size_t>(source->width) * static_cast<size_t>(source->height);
        for (size_t i = 0; i < count; ++i)
            pixels[i] = source->bits[i] | 0xFF000000u;
        copy->width = source->width;
        copy->height = source->height;
        copy->pixels = std::move(pixels);
    }
    return Register(copy, image);
}

Status GdipCreateHBITMAPTakingPixels(GpImage* image, HBITMAP* bitmap)
{
    if (!bitmap)
        return InvalidParameter;
    *bitmap = 0;
    Status status = CheckImage(image);
    if (status == Ok)
        status = EnsurePixels(*image);
    if (status != Ok)
        return status;
    if (image->hasAlpha)
        return InvalidParameter;
    // What the drawing would leave: the colour, over black, with the fourth
    // byte clear.
    size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    uint32_t* bits = image->pixels.get();
    for (size_t i = 0; i < count; ++i)
        bits[i] &= 0x00FFFFFFu;
    *bitmap = ::CreateBitmapTakingPixels(image->width, image->height, image->pixels.release());
    return *bitmap != 0 ? Ok : OutOfMemory;
}

Status GdipGetImageWidth(GpImage* image, UINT* width)
{
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (!width)
        return InvalidParameter;
    *width = static_cast<UINT>(image->width);
    return Ok;
}

Status GdipGetImageHeight(GpImage* image, UINT* height)
{
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (!height)
        return InvalidParameter;
    *height = static_cast<UINT>(image->height);
    return Ok;
}

Status GdipGetImageDimension(GpImage* image, float* width, float* height)
{
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (!width || !height)
        return InvalidParameter;
    *width = static_cast<float>(image->width);
    *height = static_cast<float>(image->height);
    return Ok;
}

Status GdipGetImageThumbnail(GpImage* image, UINT thumbWidth, UINT thumbHeight, GpImage** thumbnail,
                             GetThumbnailImageAbort, void*)
{
    if (!thumbnail)
        return InvalidParameter;
    *thumbnail = nullptr;
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (thumbWidth == 0)
        thumbWidth = 120;
    if (thumbHeight == 0)
        thumbHeight = 120;
    if (thumbWidth > INT32_MAX || thumbHeight > INT32_MAX)
        return ValueOverflow;
    status = EnsurePixels(*image);
    if (status != Ok)
        return status;
    int32_t w = static_cast<int32_t>(thumbWidth), h = static_cast<int32_t>(thumbHeight);
    PixelBuffer pixels = AllocatePixels(w, h);
    if (!pixels)
        return OutOfMemory;
    GpImage* scaled = new (std::nothrow) GpImage;
    if (!scaled)
        return OutOfMemory;
    ScaleSource source = {image->pixels.get(), image->width, image->height, image->hasAlpha};
    ScaleTarget target = {pixels.get(), w, h};
    ScaleInto(source, target, {0, 0, w, h}, ScaleMode::Replace);
    scaled->width = w;
    scaled->height = h;
    scaled->hasAlpha = image->hasAlpha;
    scaled->pixels = std::move(pixels);
    return Register(scaled, thumbnail);
}

Status GdipBitmapGetPixel(GpBitmap* bitmap, int x, int y, ARGB* colour)
{
    Status status = CheckImage(bitmap);
    if (status != Ok)
        return status;
    if (!colour || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height)
        return InvalidParameter;
    status = EnsurePixels(*bitmap);
    if (status != Ok)
        return status;
    // BGRA in memory is 0xAARRGGBB as a little-endian value, as ARGB is.
    *colour = bitmap->pixels[static_cast<size_t>(y) * static_cast<size_t>(bitmap->width) + static_cast<size_t>(x)];
    return Ok;
}

Status GdipDisposeImage(GpImage* image)
{
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (!RemoveImage(image))
        return InvalidParameter;
    delete image;
    return Ok;
}
