#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "base/pixel_string.h"
#include "host/targets.h"
#include "imageio/imageio.h"
#include "imageio/gdiplus_codecs.h"
#include "platform/text.h"

namespace {

constexpr const char* kExtensions = ".DIB.EMF.GIF.JPG.JPEG.PNG.TIF.TIFF.WMF.BMP.ICO.";

struct MimeRow {
    const char* extension;
    const char* mimeType;
};

constexpr MimeRow kMimeTypes[] = {
    {"BMP", "image/bmp"},   {"EMF", "image/x-emf"}, {"GIF", "image/gif"},   {"ICO", "image/x-icon"},
    {"JPG", "image/jpeg"},  {"JPEG", "image/jpeg"}, {"PNG", "image/png"},   {"TIF", "image/tiff"},
    {"TIFF", "image/tiff"}, {"WMF", "image/x-wmf"},
};

std::string TrimBlanks(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string MimeTypeOf(const std::string& extension)
{
    for (const MimeRow& row : kMimeTypes) {
        if (extension == row.extension)
            return row.mimeType;
    }
    return std::string();
}

} // namespace

int32_t fGDIp_EncoderClsid(const std::string& mimeType, CLSID& clsid)
{
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    if (size == 0)
        return -1;
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[size]);
    if (!buffer)
        return -1;
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(buffer.get());
    GdipGetImageEncoders(count, size, encoders);
    for (UINT i = 0; i < count; ++i) {
        if (fWide2Str(encoders[i].MimeType) == mimeType) {
            fCopyBytes(&clsid, &encoders[i].Clsid, sizeof(CLSID));
            return static_cast<int32_t>(i + 1);
        }
    }
    return 0;
}

std::string fSaveMimeType(const std::string& fileName)
{
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    // ".jpg" becomes ".JPG.": with a dot at both ends and none inside, it
    // matches only a whole entry of the list.
    std::string candidate = CharUpperA(fileName.substr(dot)) + ".";
    if (std::string_view(kExtensions).find(candidate) == std::string_view::npos)
        return std::string();
    size_t first = candidate.find_first_not_of('.');
    size_t last = candidate.find_last_not_of('.');
    std::string extension = first == std::string::npos ? std::string() : candidate.substr(first, last - first + 1);
    return MimeTypeOf(extension);
}

int32_t fGDIp_SaveImage(std::string fileName, GpImage* picture)
{
    UseCodecsForGdiplus(); // whoever started GDI+
    if (fileName.empty())
        return -1;
    std::string mimeType = fSaveMimeType(fileName);
    if (mimeType.empty())
        return 0;
    CLSID clsid;
    std::memset(&clsid, 0, sizeof clsid);
    fGDIp_EncoderClsid(mimeType, clsid);
    std::u16string wide = fStr2Wide(fileName);
    return GdipSaveImageToFile(picture, wide.c_str(), &clsid, nullptr);
}

int32_t fGDIp_SaveBitmap(std::string& pixels, std::string& fileName)
{
    int32_t status = -1;
    fileName = TrimBlanks(fileName);
    // A header that claims more pixels than the string holds is refused:
    // no bitmap is made, nothing is read past the string's end.
    uint32_t bitmap = 0;
    if (PixelsFit(pixels))
        bitmap = CreateMemoryBitmap(PixelWidth(pixels), PixelHeight(pixels));
    SelectTarget(bitmap, 0, false);
    if (bitmap != 0)
        WritePixels(pixels);
    if (bitmap != 0) {
        uint32_t token = fGDIp_Startup();
        GpBitmap* picture = nullptr;
        // Without a start or a picture there is nothing to save.
        if (token != 0 && GdipCreateBitmapFromHBITMAP(bitmap, 0, &picture) == Ok) {
            status = fGDIp_SaveImage(fileName, picture);
            GdipDisposeImage(picture);
        }
        fGDIp_Shutdown(token);
    }
    SelectTarget(bitmap, 0, false);
    EndMemoryBitmap();
    return status;
}
