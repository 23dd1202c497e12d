// Format sniffing and the in-memory entry points of the codec layer.
#include "platform/codecs/formats.h"

#include "platform/memory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace codecs {

CodecResult CheckPictureSize(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxPicturePixels || height > kMaxPicturePixels)
        return kCodecTooLarge;
    return width * height > kMaxPicturePixels ? kCodecTooLarge : kCodecOk;
}

CodecResult AllocatePicture(Picture& picture, int32_t width, int32_t height)
{
    // A large picture is refused, rather than pushed into swap, when the
    // system has not the memory for it.
    constexpr int64_t kCheckedFrom = int64_t{64} << 20;
    int64_t bytes = ImageBytes(width, height);
    std::string reason;
    if (bytes >= kCheckedFrom && !MemoryAvailableFor(bytes, reason))
        return kCodecOutOfMemory;
    // Every decoder writes every pixel, so the buffer is not cleared first.
    return AllocateImage(picture, width, height) ? kCodecOk : kCodecOutOfMemory;
}

bool AnyTranslucent(const uint32_t* pixels, int64_t count)
{
    for (int64_t i = 0; i < count; ++i)
        if (pixels[i] < 0xFF000000u)
            return true;
    return false;
}

size_t ReadMemory(MemoryReader& reader, void* out, size_t length)
{
    size_t n = std::min(length, reader.size - reader.pos);
    std::memcpy(out, reader.data + reader.pos, n);
    reader.pos += n;
    return n;
}

PictureFormat SniffFormat(const uint8_t* data, size_t size)
{
    auto starts = [&](const char* magic, size_t n) { return size >= n && std::memcmp(data, magic, n) == 0; };
    if (starts("\xFF\xD8\xFF", 3))
        return PictureFormat::Jpeg;
    if (starts("\x89PNG\r\n\x1A\n", 8))
        return PictureFormat::Png;
    if (starts("GIF87a", 6) || starts("GIF89a", 6))
        return PictureFormat::Gif;
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return PictureFormat::Tiff;
    if (starts("BM", 2))
        return PictureFormat::Bmp;
    // Icons (type 1) and cursors (type 2) with at least one entry.
    if (size >= 6 && data[0] == 0 && data[1] == 0 && (data[2] == 1 || data[2] == 2) && data[3] == 0 && Le16(data + 4) > 0)
        return PictureFormat::Ico;
    return PictureFormat::Unknown;
}

} // namespace codecs

using namespace codecs;

namespace codecs {

CodecResult ProbeFormat(PictureFormat format, const uint8_t* data, size_t size, PictureHeader& found)
{
    CodecResult result = kCodecUnknownFormat;
    found.format = format;
    switch (format) {
    case PictureFormat::Jpeg: result = ProbeJpeg(data, size, found); break;
    case PictureFormat::Png: result = ProbePng(data, size, found); break;
    case PictureFormat::Gif: result = ProbeGif(data, size, found); break;
    case PictureFormat::Tiff: result = ProbeTiff(data, size, found); break;
    case PictureFormat::Bmp: result = ProbeBmp(data, size, found); break;
    case PictureFormat::Ico: result = ProbeIco(data, size, found); break;
    case PictureFormat::Unknown: break;
    }
    if (result == kCodecOk)
        result = CheckPictureSize(found.width, found.height);
    return result;
}

} // namespace codecs

CodecResult ProbePictureBytes(const uint8_t* data, size_t size, PictureHeader& header)
{
    header = PictureHeader{};
    if (!data || size == 0)
        return kCodecCorrupt;
    PictureHeader found;
    CodecResult result = ProbeFormat(SniffFormat(data, size), data, size, found);
    if (result == kCodecOk)
        header = found;
    return result;
}

CodecResult DecodePictureBytes(const uint8_t* data, size_t size, Picture& picture)
{
    picture = Picture{};
    if (!data || size == 0)
        return kCodecCorrupt;
    CodecResult result = kCodecUnknownFormat;
    switch (SniffFormat(data, size)) {
    case PictureFormat::Jpeg: result = DecodeJpeg(data, size, picture); break;
    case PictureFormat::Png: result = DecodePng(data, size, picture); break;
    case PictureFormat::Gif: result = DecodeGif(data, size, picture); break;
    case PictureFormat::Tiff: result = DecodeTiff(data, size, picture); break;
    case PictureFormat::Bmp: result = DecodeBmp(data, size, picture); break;
    case PictureFormat::Ico: result = DecodeIco(data, size, picture); break;
    case PictureFormat::Unknown: break;
    }
    if (result != kCodecOk)
        picture = Picture{};
    return result;
}

CodecResult DecodePictureBytesReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Picture& picture)
{
    if (leastLongSide <= 0 || !data || size == 0 || SniffFormat(data, size) != PictureFormat::Jpeg)
        return DecodePictureBytes(data, size, picture);
    picture = Picture{};
    CodecResult result = DecodeJpegReduced(data, size, leastLongSide, picture);
    if (result != kCodecOk)
        picture = Picture{};
    return result;
}

bool EncodeFormatForMimeType(const std::string& mimeType, EncodeFormat& format)
{
    static constexpr struct {
        const char* mimeType;
        EncodeFormat format;
    } kFormats[] = {
        {"image/bmp", EncodeFormat::Bmp},   {"image/jpeg", EncodeFormat::Jpeg}, {"image/gif", EncodeFormat::Gif},
        {"image/tiff", EncodeFormat::Tiff}, {"image/png", EncodeFormat::Png},
    };
    for (const auto& row : kFormats) {
        if (mimeType == row.mimeType) {
            format = row.format;
            return true;
        }
    }
    return false;
}

CodecResult EncodePictureBytes(std::string& out, EncodeFormat format, const uint32_t* pixels, int32_t width,
                               int32_t height, bool withAlpha)
{
    out.clear();
    if (CheckPictureSize(width, height) != kCodecOk)
        return kCodecTooLarge;
    if (!pixels)
        return kCodecWriteFailed;
    CodecResult result = kCodecWriteFailed;
    switch (format) {
    case EncodeFormat::Bmp: result = EncodeBmp(out, pixels, width, height, withAlpha); break;
    case EncodeFormat::Jpeg: result = EncodeJpeg(out, pixels, width, height); break;
    case EncodeFormat::Gif: result = EncodeGif(out, pixels, width, height, withAlpha); break;
    case EncodeFormat::Tiff: result = EncodeTiff(out, pixels, width, height, withAlpha); break;
    case EncodeFormat::Png: result = EncodePng(out, pixels, width, height, withAlpha); break;
    }
    if (result != kCodecOk)
        out.clear();
    return result;
}
