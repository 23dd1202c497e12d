// The GDI+ substitute's picture loads and saves, and the clipboard's
// pictures, through the codecs of the table of formats.
#include "imageio/gdiplus_codecs.h"

#include "imageio/codecs/codec.h"
#include "imageio/imageio.h"
#include "platform/picture_codecs.h"

namespace {

Status StatusOf(CodecResult result)
{
    switch (result) {
    case kCodecOk:
        return Ok;
    case kCodecNotFound:
        return FileNotFound;
    case kCodecAccessDenied:
        return AccessDenied;
    case kCodecUnknownFormat:
    case kCodecUnsupportedVariant:
        return UnknownImageFormat;
    case kCodecTooSmall:
        return InvalidParameter;
    case kCodecDiskFull:
        return Win32Error;
    case kCodecCorrupt:
        return GenericError;
    case kCodecTooLarge:
        return ValueOverflow;
    case kCodecOutOfMemory:
        return OutOfMemory;
    case kCodecWriteFailed:
        return Win32Error;
    }
    return GenericError;
}

Status ProbeFile(const std::string& path, int32_t& width, int32_t& height)
{
    PictureHeader header;
    CodecResult result = ProbePictureFile(path, header);
    width = header.width;
    height = header.height;
    return StatusOf(result);
}

Status DecodeFile(const std::string& path, Image& picture)
{
    CodecResult result;
    if (!TakePrefetchedPicture(path, picture, result))
        result = DecodePictureFile(path, picture);
    return StatusOf(result);
}

bool DecodeBytes(const uint8_t* data, size_t size, Image& picture)
{
    return DecodePictureBytes(data, size, picture) == kCodecOk;
}

Status EncodeFile(const std::string& path, std::u16string_view mimeType, const uint32_t* pixels, int32_t width,
                  int32_t height, bool withAlpha)
{
    PictureFormat format;
    if (!PictureFormatForMimeType(fWide2Str(std::u16string(mimeType).c_str()), format))
        return UnknownImageFormat;
    return StatusOf(EncodePictureFile(path, format, pixels, width, height, withAlpha));
}

constexpr PictureCodecCalls kCalls = {ProbeFile, DecodeFile, DecodeBytes, EncodeFile};

// A program that has this file (the shared library has every file) gets the
// codecs before main.
[[maybe_unused]] const bool kInstalledAtStart = (UsePictureCodecs(&kCalls), true);

} // namespace

void UseCodecsForGdiplus() { UsePictureCodecs(&kCalls); }
