// TIFF through libtiff: the first page through its RGBA interface, and 8-bit
// RGB(A) files with deflate compression. libtiff works on our own I/O
// procedures, over memory or over an open file.
#include "imageio/codecs/formats.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/os.h"

namespace codecs {
namespace {

// What libtiff reads from: bytes in memory, or a file read at offsets (fd
// >= 0). When writing, the bytes go to out.
struct Source {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    int fd = -1;
    std::string* out = nullptr;
    uint64_t pos = 0;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t length)
{
    auto* s = static_cast<Source*>(handle);
    if (length <= 0)
        return 0;
    if (s->out) {
        uint64_t n = s->pos < s->out->size() ? std::min<uint64_t>(uint64_t(length), s->out->size() - s->pos) : 0;
        std::memcpy(buffer, s->out->data() + s->pos, size_t(n));
        s->pos += n;
        return tmsize_t(n);
    }
    if (s->fd >= 0) {
        int64_t n = OsReadAt(s->fd, buffer, int64_t(length), int64_t(s->pos));
        if (n < 0)
            return -1;
        s->pos += uint64_t(n);
        return tmsize_t(n);
    }
    uint64_t n = s->pos < s->size ? std::min<uint64_t>(uint64_t(length), s->size - s->pos) : 0;
    std::memcpy(buffer, s->data + s->pos, size_t(n));
    s->pos += n;
    return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t length)
{
    auto* s = static_cast<Source*>(handle);
    if (!s->out || length < 0)
        return -1;
    size_t end = size_t(s->pos) + size_t(length);
    if (s->out->size() < end)
        s->out->resize(end);
    std::memcpy(s->out->data() + s->pos, buffer, size_t(length));
    s->pos = end;
    return length;
}

uint64_t SizeOf(const Source& s)
{
    if (s.out)
        return s.out->size();
    if (s.fd >= 0) {
        OsFileInfo info;
        return OsFileStat(s.fd, info) != 0 || info.size < 0 ? 0 : uint64_t(info.size);
    }
    return s.size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<Source*>(handle);
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : SizeOf(*s);
    uint64_t to = base + offset;
    // Far beyond the end: refuse, so a damaged offset cannot grow the output.
    if (to < base || to > (uint64_t(1) << 40))
        return toff_t(-1);
    s->pos = to;
    return to;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return SizeOf(*static_cast<Source*>(handle)); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int Quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffFile {
    TIFF* tif = nullptr;
    TiffFile(Source& source, const char* mode)
    {
        // libtiff prints through its global handlers unless told otherwise.
        static std::once_flag silenced;
        std::call_once(silenced, [] {
            TIFFSetErrorHandler(nullptr);
            TIFFSetWarningHandler(nullptr);
        });
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (!options)
            return;
        TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
        // Allocations for a damaged file stay bounded; the largest honest
        // one is a single uncompressed strip of the largest picture.
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxPicturePixels) * 8);
        tif = TIFFClientOpenExt("picture", mode, &source, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                                UnmapProc, options);
        TIFFOpenOptionsFree(options);
    }
    ~TiffFile()
    {
        if (tif)
            TIFFClose(tif);
    }
    TiffFile(const TiffFile&) = delete;
    TiffFile& operator=(const TiffFile&) = delete;
};

CodecResult ReadSize(TIFF* tif, PictureHeader& header)
{
    uint32_t width = 0, height = 0;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height))
        return kCodecCorrupt;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return kCodecTooLarge;
    header.width = int32_t(width);
    header.height = int32_t(height);
    return kCodecOk;
}

// Whether every strip (or tile) lies inside the file's size bytes: one that
// starts or ends beyond the end cannot hold its image data, and a file that
// claims a large picture without its data is refused before the picture's
// buffer is allocated.
bool StrilesInside(TIFF* tif, uint64_t size)
{
    uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (count == 0)
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t offset = TIFFGetStrileOffset(tif, i), bytes = TIFFGetStrileByteCount(tif, i);
        if (offset > size || bytes > size - offset)
            return false;
    }
    return true;
}

// The size, checked, and the strips or tiles inside the file.
CodecResult ReadCheckedSize(TIFF* tif, const Source& source, PictureHeader& header)
{
    CodecResult result = ReadSize(tif, header);
    if (result == kCodecOk)
        result = CheckPictureSize(header.width, header.height);
    if (result == kCodecOk && !StrilesInside(tif, SizeOf(source)))
        result = kCodecCorrupt;
    return result;
}

// libtiff's raster holds R, G, B, A bytes with the colour premultiplied by
// alpha; pictures hold B, G, R, A with straight alpha.
void RasterToBgra(uint32_t* pixels, int64_t count)
{
    for (int64_t i = 0; i < count; ++i) {
        uint32_t v = pixels[i];
        uint32_t a = v >> 24, r = v & 0xFF, g = v >> 8 & 0xFF, b = v >> 16 & 0xFF;
        if (a == 0) {
            r = g = b = 0;
        } else if (a < 255) {
            r = std::min(255u, (r * 255 + a / 2) / a);
            g = std::min(255u, (g * 255 + a / 2) / a);
            b = std::min(255u, (b * 255 + a / 2) / a);
        }
        pixels[i] = a << 24 | r << 16 | g << 8 | b;
    }
}

// The name of a sample layout or compression the RGBA interface does not
// read; "" when it reads it.
std::string VariantOf(TIFF* tif)
{
    char message[1024];
    if (TIFFRGBAImageOK(tif, message))
        return std::string();
    uint16_t bits = 1, compression = COMPRESSION_NONE, photometric = 0, samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        return "TIFF without a colour interpretation";
    if (!TIFFIsCODECConfigured(compression))
        return "TIFF with compression " + std::to_string(compression);
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16)
        return std::to_string(bits) + "-bit TIFF";
    return "TIFF with colour interpretation " + std::to_string(photometric) + " and " + std::to_string(samples) +
           " samples a pixel";
}

CodecResult DecodeFrom(Source& source, Picture& picture)
{
    TiffFile file(source, source.fd >= 0 ? "rm" : "r");
    if (!file.tif)
        return kCodecCorrupt;
    PictureHeader header;
    CodecResult result = ReadSize(file.tif, header);
    if (result == kCodecOk)
        result = CheckPictureSize(header.width, header.height);
    if (result != kCodecOk)
        return result;
    if (!VariantOf(file.tif).empty())
        return kCodecUnsupportedVariant; // a sample layout the RGBA interface does not read
    if (!StrilesInside(file.tif, SizeOf(source)))
        return kCodecCorrupt;
    result = AllocatePicture(picture, header.width, header.height);
    if (result != kCodecOk)
        return result;
    // Stop at the first damaged strip or tile: libtiff reports a cut-short
    // file as an error, so it is refused rather than shown in part.
    if (!TIFFReadRGBAImageOriented(file.tif, uint32_t(header.width), uint32_t(header.height), picture.pixels.get(),
                                   ORIENTATION_TOPLEFT, 1))
        return kCodecCorrupt;
    int64_t count = int64_t(header.width) * header.height;
    RasterToBgra(picture.pixels.get(), count);
    picture.hasAlpha = AnyTranslucent(picture.pixels.get(), count);
    return kCodecOk;
}

} // namespace

std::string TiffFileVariant(int fd)
{
    Source source;
    source.fd = fd;
    TiffFile file(source, "rm");
    return file.tif ? VariantOf(file.tif) : std::string();
}

CodecResult ProbeTiff(const uint8_t* data, size_t size, PictureHeader& header)
{
    Source source;
    source.data = data;
    source.size = size;
    TiffFile file(source, "r");
    return file.tif ? ReadCheckedSize(file.tif, source, header) : kCodecCorrupt;
}

CodecResult ProbeTiffFile(int fd, PictureHeader& header)
{
    Source source;
    source.fd = fd;
    TiffFile file(source, "rm");
    return file.tif ? ReadCheckedSize(file.tif, source, header) : kCodecCorrupt;
}

CodecResult DecodeTiff(const uint8_t* data, size_t size, Picture& picture)
{
    Source source;
    source.data = data;
    source.size = size;
    return DecodeFrom(source, picture);
}

CodecResult DecodeTiffFile(int fd, Picture& picture)
{
    Source source;
    source.fd = fd;
    return DecodeFrom(source, picture);
}

CodecResult EncodeTiff(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha)
{
    Source source;
    source.out = &out;
    TiffFile file(source, "w");
    TIFF* tif = file.tif;
    if (!tif)
        return kCodecWriteFailed;
    int channels = withAlpha ? 4 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, channels);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (withAlpha) {
        const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[size_t(width) * 4]);
    if (!row)
        return kCodecOutOfMemory;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* in = pixels + size_t(y) * size_t(width);
        uint8_t* o = row.get();
        for (int32_t x = 0; x < width; ++x) {
            uint32_t p = in[x];
            *o++ = uint8_t(p >> 16);
            *o++ = uint8_t(p >> 8);
            *o++ = uint8_t(p);
            if (withAlpha)
                *o++ = uint8_t(p >> 24);
        }
        if (TIFFWriteScanline(tif, row.get(), uint32_t(y), 0) < 0)
            return kCodecWriteFailed;
    }
    if (!TIFFFlush(tif))
        return kCodecWriteFailed;
    return kCodecOk;
}

} // namespace codecs
