// PNG through libpng. libpng reports errors by longjmp, so the functions
// that call it hold no objects with destructors between setjmp and the
// calls; everything they allocate is owned by their callers.
#include "imageio/codecs/formats.h"

#include <png.h>

#include <cstring>

namespace codecs {
namespace {

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp png, png_bytep out, size_t length)
{
    if (ReadMemory(*static_cast<MemoryReader*>(png_get_io_ptr(png)), out, length) < length)
        png_error(png, "Read Error");
}

struct ReadStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ReadStruct() : png(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning))
    {
        if (png)
            info = png_create_info_struct(png);
    }
    ~ReadStruct() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;
};

struct WriteStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    WriteStruct() : png(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning))
    {
        if (png)
            info = png_create_info_struct(png);
    }
    ~WriteStruct() { png_destroy_write_struct(&png, info ? &info : nullptr); }
    WriteStruct(const WriteStruct&) = delete;
    WriteStruct& operator=(const WriteStruct&) = delete;
};

// Reads the header and sets up the transforms to 8-bit BGRA. False on any
// libpng error.
bool ReadHeader(png_structp png, png_infop info, MemoryReader* reader, uint32_t* width, uint32_t* height, bool* alpha,
                int* passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, reader, ReadFromMemory);
    // The picture size limit is ours to apply, after the header is read.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    int colorType = png_get_color_type(png, info);
    bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    *alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || trns;
    png_set_expand(png); // palette to RGB, gray below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!*alpha)
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    *passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(*width) * 4;
}

// Row by row (each pass over all rows for interlaced files, which libpng
// merges into the rows already read), so no row pointer array is needed.
bool ReadRows(png_structp png, uint32_t* pixels, uint32_t width, uint32_t height, int passes)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < height; ++y)
            png_read_row(png, reinterpret_cast<png_bytep>(pixels + size_t(y) * width), nullptr);
    // The rows are complete now; chunks after the image data (and IEND)
    // are not needed.
    return true;
}

void WriteToString(png_structp png, png_bytep data, size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void FlushNothing(png_structp) {}

bool WriteRows(png_structp png, png_infop info, std::string* out, const uint32_t* pixels, uint32_t width,
               uint32_t height, bool alpha)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, WriteToString, FlushNothing);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_set_bgr(png);
    if (!alpha)
        png_set_filler(png, 0, PNG_FILLER_AFTER); // drops the fourth byte
    for (uint32_t y = 0; y < height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(pixels + size_t(y) * width));
    png_write_end(png, nullptr);
    return true;
}

} // namespace

PngChunks WalkPngChunks(const ByteReader& read, uint64_t size)
{
    PngChunks chunks;
    uint64_t pos = 8;
    uint8_t head[8];
    while (pos <= size && size - pos >= 8 && read(pos, head, 8)) {
        uint32_t length = Be32(head);
        if (length > 0x7FFFFFFF)
            break; // damaged: what follows cannot be told
        if (std::memcmp(head + 4, "IDAT", 4) == 0 && length > 0)
            chunks.imageData = true;
        uint64_t next = pos + 12 + length;
        if (std::memcmp(head + 4, "IEND", 4) == 0) {
            chunks.ended = true;
            chunks.end = next;
            break;
        }
        pos = next;
    }
    return chunks;
}

PngChunks WalkPngChunks(const uint8_t* data, size_t size)
{
    return WalkPngChunks(
        [data, size](uint64_t offset, uint8_t* out, size_t n) {
            if (offset > size || size - offset < n)
                return false;
            std::memcpy(out, data + offset, n);
            return true;
        },
        size);
}

CodecResult ProbePng(const uint8_t* data, size_t size, PictureHeader& header)
{
    // Signature, then the IHDR chunk: length, type, width, height.
    if (size < 24)
        return kCodecCorrupt;
    if (std::memcmp(data + 12, "IHDR", 4) != 0)
        return kCodecCorrupt;
    uint32_t width = Be32(data + 16), height = Be32(data + 20);
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return kCodecCorrupt;
    header.width = int32_t(width);
    header.height = int32_t(height);
    return kCodecOk;
}

CodecResult DecodePng(const uint8_t* data, size_t size, Picture& picture)
{
    ReadStruct read;
    if (!read.png || !read.info)
        return kCodecOutOfMemory;
    MemoryReader reader{data, size, 0};
    uint32_t width = 0, height = 0;
    bool alpha = false;
    int passes = 1;
    if (!ReadHeader(read.png, read.info, &reader, &width, &height, &alpha, &passes))
        return kCodecCorrupt;
    CodecResult result = CheckPictureSize(width, height);
    // Without a byte of image data nothing can be decoded: refused before
    // the full-size buffer is allocated.
    if (result == kCodecOk && !WalkPngChunks(data, size).imageData)
        result = kCodecCorrupt;
    if (result == kCodecOk)
        result = AllocatePicture(picture, int32_t(width), int32_t(height));
    if (result != kCodecOk)
        return result;
    // A stream cut short is a libpng error ("Read Error", "Not enough image
    // data"), not a warning, so such a file is refused rather than shown in
    // part.
    if (!ReadRows(read.png, picture.pixels.get(), width, height, passes))
        return kCodecCorrupt;
    picture.hasAlpha = alpha && AnyTranslucent(picture.pixels.get(), int64_t(width) * height);
    return kCodecOk;
}

CodecResult EncodePng(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha)
{
    WriteStruct write;
    if (!write.png || !write.info)
        return kCodecOutOfMemory;
    if (!WriteRows(write.png, write.info, &out, pixels, uint32_t(width), uint32_t(height), withAlpha))
        return kCodecWriteFailed;
    return kCodecOk;
}

} // namespace codecs
