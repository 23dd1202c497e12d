// Format sniffing and the in-memory entry points of the codec layer.
#include "imageio/codecs/formats.h"

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
    for (const PictureFormatRow& row : PictureFormats())
        if (row.sniff(data, size))
            return row.format;
    return PictureFormat::Unknown;
}

CodecResult ProbeFormat(PictureFormat format, const uint8_t* data, size_t size, PictureHeader& found)
{
    found.format = format;
    const PictureFormatRow* row = FindPictureFormat(format);
    CodecResult result = row ? row->probe(data, size, found) : kCodecUnknownFormat;
    if (result == kCodecOk)
        result = CheckPictureSize(found.width, found.height);
    return result;
}

} // namespace codecs

using namespace codecs;

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
    const PictureFormatRow* row = FindPictureFormat(SniffFormat(data, size));
    CodecResult result = row ? row->decode(data, size, picture) : kCodecUnknownFormat;
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

bool PictureFormatForMimeType(const std::string& mimeType, PictureFormat& format)
{
    for (const PictureFormatRow& row : PictureFormats()) {
        if (row.encode && mimeType == row.mimeType) {
            format = row.format;
            return true;
        }
    }
    return false;
}

bool PictureFormatForFileName(const std::string& fileName, PictureFormat& format)
{
    size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
        return false;
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension.empty() || extension.find(' ') != std::string::npos)
        return false;
    for (const PictureFormatRow& row : PictureFormats()) {
        std::string names = std::string(" ") + row.extensions + " ";
        if (row.encode && names.find(" " + extension + " ") != std::string::npos) {
            format = row.format;
            return true;
        }
    }
    return false;
}

CodecResult EncodePictureBytes(std::string& out, PictureFormat format, const uint32_t* pixels, int32_t width,
                               int32_t height, bool withAlpha)
{
    out.clear();
    if (CheckPictureSize(width, height) != kCodecOk)
        return kCodecTooLarge;
    if (!pixels)
        return kCodecWriteFailed;
    const PictureFormatRow* row = FindPictureFormat(format);
    CodecResult result = row && row->encode ? row->encode(out, pixels, width, height, withAlpha) : kCodecWriteFailed;
    if (result != kCodecOk)
        out.clear();
    return result;
}
