// The table of formats: one row per format, with its names, its content
// sniff and the functions of its codec file.
#include "imageio/codecs/formats.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace codecs {
namespace {

bool Starts(const uint8_t* data, size_t size, const char* magic, size_t n)
{
    return size >= n && std::memcmp(data, magic, n) == 0;
}

bool SniffJpeg(const uint8_t* data, size_t size) { return Starts(data, size, "\xFF\xD8\xFF", 3); }
bool SniffPng(const uint8_t* data, size_t size) { return Starts(data, size, "\x89PNG\r\n\x1A\n", 8); }
bool SniffGif(const uint8_t* data, size_t size)
{
    return Starts(data, size, "GIF87a", 6) || Starts(data, size, "GIF89a", 6);
}
bool SniffTiff(const uint8_t* data, size_t size)
{
    return Starts(data, size, "II*\0", 4) || Starts(data, size, "MM\0*", 4) || Starts(data, size, "II+\0", 4) ||
           Starts(data, size, "MM\0+", 4);
}
bool SniffBmp(const uint8_t* data, size_t size) { return Starts(data, size, "BM", 2); }
// Icons (type 1) and cursors (type 2) with at least one entry.
bool SniffIco(const uint8_t* data, size_t size)
{
    return size >= 6 && data[0] == 0 && data[1] == 0 && (data[2] == 1 || data[2] == 2) && data[3] == 0 &&
           Le16(data + 4) > 0;
}

CodecResult EncodeJpegRow(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool)
{
    return EncodeJpeg(out, pixels, width, height);
}

// A PNG up to IEND; none without image data.
CodecResult PngExtent(const PictureFileHead& file, uint64_t& length)
{
    PngChunks chunks = WalkPngChunks(FileByteReader(file.fd), file.fileSize);
    if (!chunks.imageData)
        return kCodecCorrupt;
    length = chunks.ended ? chunks.end : file.fileSize;
    return kCodecOk;
}

// An uncompressed BMP's pixels must all be in the file.
CodecResult BmpExtent(const PictureFileHead& file, uint64_t& length)
{
    uint64_t needed = BmpBytesNeeded(file.data, file.size, file.fileSize);
    if (needed > file.fileSize)
        return kCodecCorrupt;
    length = needed ? needed : file.fileSize;
    return kCodecOk;
}

CodecResult IcoExtent(const PictureFileHead& file, uint64_t& length)
{
    if (!IcoDataPlausible(file.data, file.size, file.fileSize))
        return kCodecCorrupt;
    uint64_t needed = IcoBytesNeeded(file.data, file.size);
    length = needed ? needed : file.fileSize;
    return kCodecOk;
}

CodecResult GifExtent(const PictureFileHead& file, uint64_t& length)
{
    if (!GifFirstFrameHasData(file.data, file.size, file.size >= file.fileSize))
        return kCodecCorrupt;
    length = file.fileSize;
    return kCodecOk;
}

constexpr int64_t kAnySide = INT32_MAX;

} // namespace
} // namespace codecs

using namespace codecs;

// The order is the order of sniffing. JPEG is judged by its probe, TIFF by
// libtiff, so neither needs an extent.
namespace {

const PictureFormatRow kPictureFormats[] = {
    {PictureFormat::Jpeg, "JPEG", "jpg jpeg jpe jfif", "image/jpeg", SniffJpeg, ProbeJpeg, DecodeJpeg,
     EncodeJpegRow, JpegVariant, nullptr, nullptr, nullptr, nullptr, true, kKeepsExif | kKeepsIcc, kMaxJpegSide},
    {PictureFormat::Png, "PNG", "png", "image/png", SniffPng, ProbePng, DecodePng, EncodePng, nullptr, nullptr,
     nullptr, nullptr, PngExtent, false, kKeepsExif | kKeepsIcc, kAnySide},
    {PictureFormat::Gif, "GIF", "gif", "image/gif", SniffGif, ProbeGif, DecodeGif, EncodeGif, nullptr, nullptr,
     nullptr, nullptr, GifExtent, true, kKeepsNoMetadata, 65535},
    {PictureFormat::Tiff, "TIFF", "tif tiff", "image/tiff", SniffTiff, ProbeTiff, DecodeTiff, EncodeTiff, nullptr,
     ProbeTiffFile, DecodeTiffFile, TiffFileVariant, nullptr, true, kKeepsNoMetadata, kAnySide},
    {PictureFormat::Bmp, "BMP", "bmp dib rle", "image/bmp", SniffBmp, ProbeBmp, DecodeBmp, EncodeBmp, BmpVariant,
     nullptr, nullptr, nullptr, BmpExtent, false, kKeepsNoMetadata, kAnySide},
    {PictureFormat::Ico, "ICO", "ico", "image/x-icon", SniffIco, ProbeIco, DecodeIco, nullptr, IcoVariant, nullptr,
     nullptr, nullptr, IcoExtent, true, kKeepsNoMetadata, 256},
};

} // namespace

std::span<const PictureFormatRow> PictureFormats() { return kPictureFormats; }

const PictureFormatRow* FindPictureFormat(PictureFormat format)
{
    for (const PictureFormatRow& row : PictureFormats())
        if (row.format == format)
            return &row;
    return nullptr;
}

namespace {

// "a, b, c or d".
std::string Listed(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " or " : ", ";
        text += items[i];
    }
    return text;
}

} // namespace

std::string PictureFormatNames(bool writtenOnly)
{
    std::vector<std::string> names;
    for (const PictureFormatRow& row : PictureFormats())
        if (!writtenOnly || row.encode)
            names.push_back(row.name);
    return Listed(names);
}

std::string WrittenExtensionList()
{
    std::vector<std::string> names;
    for (const PictureFormatRow& row : PictureFormats()) {
        if (!row.encode)
            continue;
        std::string_view all = row.extensions;
        while (!all.empty()) {
            size_t space = all.find(' ');
            names.push_back("." + std::string(all.substr(0, space)));
            all = space == std::string_view::npos ? std::string_view() : all.substr(space + 1);
        }
    }
    return Listed(names);
}
