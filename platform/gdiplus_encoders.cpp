// The GDI+ encoder list and saving a picture with one of its encoders.
#include <cstring>
#include <string_view>

#include "platform/gdiplus_objects.h"
#include "platform/text.h"

namespace {

struct Encoder {
    CLSID clsid;
    GUID format;
    std::u16string_view name;
    std::u16string_view description;
    std::u16string_view extensions;
    std::u16string_view mimeType;
};

// Flags: encoder, decoder, supports bitmaps, built in.
constexpr DWORD kCodecFlags = 0x00010007;

// The built-in codecs' CLSIDs differ only in the first field, and so do the
// GUIDs of their image formats.
constexpr CLSID BuiltInCodec(uint32_t first)
{
    return {first, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

constexpr GUID ImageFormat(uint32_t first)
{
    return {first, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

constexpr Encoder kEncoders[] = {
    {BuiltInCodec(0x557CF400), ImageFormat(0xB96B3CAB),
     u"Built-in BMP Codec", u"BMP", u"*.BMP;*.DIB;*.RLE", u"image/bmp"},
    {BuiltInCodec(0x557CF401), ImageFormat(0xB96B3CAE),
     u"Built-in JPEG Codec", u"JPEG", u"*.JPG;*.JPEG;*.JPE;*.JFIF", u"image/jpeg"},
    {BuiltInCodec(0x557CF402), ImageFormat(0xB96B3CB0),
     u"Built-in GIF Codec", u"GIF", u"*.GIF", u"image/gif"},
    {BuiltInCodec(0x557CF405), ImageFormat(0xB96B3CB1),
     u"Built-in TIFF Codec", u"TIFF", u"*.TIF;*.TIFF", u"image/tiff"},
    {BuiltInCodec(0x557CF406), ImageFormat(0xB96B3CAF),
     u"Built-in PNG Codec", u"PNG", u"*.PNG", u"image/png"},
};
constexpr UINT kEncoderCount = sizeof(kEncoders) / sizeof(kEncoders[0]);

size_t TextBytes(std::u16string_view text)
{
    return (text.size() + 1) * sizeof(WCHAR);
}

UINT ListSize()
{
    size_t size = kEncoderCount * sizeof(ImageCodecInfo);
    for (const Encoder& e : kEncoders)
        size += TextBytes(e.name) + TextBytes(e.description) + TextBytes(e.extensions) + TextBytes(e.mimeType);
    return static_cast<UINT>(size);
}

// Copies text with its NUL to *cursor and moves the cursor past it.
const WCHAR* PutText(std::u16string_view text, unsigned char*& cursor)
{
    auto* start = reinterpret_cast<WCHAR*>(cursor);
    std::memcpy(cursor, text.data(), text.size() * sizeof(WCHAR));
    start[text.size()] = 0;
    cursor += TextBytes(text);
    return start;
}

} // namespace

Status GdipGetImageEncodersSize(UINT* count, UINT* size)
{
    if (!count || !size)
        return InvalidParameter;
    if (!GdiplusStarted())
        return GdiplusNotInitialized;
    *count = kEncoderCount;
    *size = ListSize();
    return Ok;
}

Status GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders)
{
    if (!GdiplusStarted())
        return GdiplusNotInitialized;
    if (!encoders || count != kEncoderCount)
        return InvalidParameter;
    if (size < ListSize())
        return InsufficientBuffer;
    auto* cursor = reinterpret_cast<unsigned char*>(encoders + kEncoderCount);
    for (UINT i = 0; i < kEncoderCount; ++i) {
        const Encoder& e = kEncoders[i];
        ImageCodecInfo& info = encoders[i];
        info.Clsid = e.clsid;
        info.FormatID = e.format;
        info.CodecName = PutText(e.name, cursor);
        info.DllName = nullptr;
        info.FormatDescription = PutText(e.description, cursor);
        info.FilenameExtension = PutText(e.extensions, cursor);
        info.MimeType = PutText(e.mimeType, cursor);
        info.Flags = kCodecFlags;
        info.Version = 1;
        info.SigCount = 0;
        info.SigSize = 0;
        info.SigPattern = nullptr;
        info.SigMask = nullptr;
    }
    return Ok;
}

Status GdipSaveImageToFile(GpImage* image, const WCHAR* fileName, const CLSID* encoder,
                           const EncoderParameters* parameters)
{
    Status status = CheckImage(image);
    if (status != Ok)
        return status;
    if (!fileName || !encoder)
        return InvalidParameter;
    if (parameters)
        return NotImplemented;
    const Encoder* chosen = nullptr;
    for (const Encoder& e : kEncoders) {
        if (std::memcmp(&e.clsid, encoder, sizeof(CLSID)) == 0)
            chosen = &e;
    }
    if (!chosen)
        return UnknownImageFormat;
    std::string path = NarrowWide(std::u16string_view(fileName, static_cast<size_t>(lstrlenW(fileName))));
    if (path.empty())
        return InvalidParameter;
    status = EnsurePixels(*image);
    if (status != Ok)
        return status;
    return PictureCodecs().encodeFile(path, chosen->mimeType, image->pixels.get(), image->width, image->height,
                                      image->hasAlpha);
}
