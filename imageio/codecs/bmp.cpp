// Our own BMP reader and writer. Every length and offset read from the file
// is checked against the bytes actually present before it is used.
#include "imageio/codecs/formats.h"

#include <algorithm>
#include <cstring>

namespace codecs {
namespace {

enum : uint32_t { kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6 };

struct Dib {
    int64_t width = 0;
    int64_t height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kBiRgb;
    uint32_t masks[4] = {}; // red, green, blue, alpha
    size_t paletteStart = 0; // offsets inside the DIB
    size_t paletteStored = 0;
    int paletteEntry = 4;
};

bool ValidBitCount(int bpp) { return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

// Reads the information header (and the bit masks that follow it) of a DIB.
CodecResult ParseDibHeader(const uint8_t* dib, size_t size, Dib& d)
{
    if (size < 4)
        return kCodecCorrupt;
    uint32_t headerSize = Le32(dib);
    if (headerSize == 12) { // OS/2 1.x: 16-bit sizes, 3-byte palette entries
        if (size < 12)
            return kCodecCorrupt;
        d.width = Le16(dib + 4);
        d.height = Le16(dib + 6);
        d.bpp = Le16(dib + 10);
        d.paletteEntry = 3;
    } else {
        if (headerSize < 16 || headerSize > size || headerSize > 4096)
            return kCodecCorrupt;
        d.width = int32_t(Le32(dib + 4));
        int64_t height = int32_t(Le32(dib + 8));
        d.topDown = height < 0;
        d.height = height < 0 ? -height : height;
        d.bpp = Le16(dib + 14);
        d.compression = headerSize >= 20 ? Le32(dib + 16) : kBiRgb;
        uint32_t colorsUsed = headerSize >= 36 ? Le32(dib + 32) : 0;
        bool windowsHeader = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize >= 108;
        // OS/2 2.x headers reuse compression 3 and 4 for Huffman and RLE24.
        if (!windowsHeader && d.compression >= kBiBitfields)
            return kCodecUnsupportedVariant;
        d.paletteStart = headerSize;
        if (d.compression == kBiBitfields || d.compression == kBiAlphaBitfields) {
            if (d.bpp != 16 && d.bpp != 32)
                return kCodecCorrupt;
            int count = d.compression == kBiAlphaBitfields ? 4 : 3;
            size_t at = 40;
            if (headerSize == 40) // the masks follow the header
                d.paletteStart += size_t(count) * 4;
            else if (headerSize >= 56)
                count = 4;
            if (at + size_t(count) * 4 > size)
                return kCodecCorrupt;
            for (int i = 0; i < count; ++i)
                d.masks[i] = Le32(dib + at + size_t(i) * 4);
        } else if (d.compression == kBiRle8 || d.compression == kBiRle4) {
            if (d.bpp != (d.compression == kBiRle8 ? 8 : 4))
                return kCodecCorrupt;
        } else if (d.compression != kBiRgb) {
            return kCodecUnsupportedVariant; // embedded JPEG or PNG, ...
        }
        d.paletteStored = colorsUsed;
    }
    if (!ValidBitCount(d.bpp))
        return kCodecCorrupt;
    if (d.bpp <= 8 && d.paletteStored == 0)
        d.paletteStored = size_t(1) << d.bpp;
    if (d.paletteStart == 0)
        d.paletteStart = headerSize;
    if (d.compression == kBiRgb && d.bpp == 16) {
        d.masks[0] = 0x7C00;
        d.masks[1] = 0x03E0;
        d.masks[2] = 0x001F;
    } else if (d.compression == kBiRgb && d.bpp == 32) {
        d.masks[0] = 0xFF0000;
        d.masks[1] = 0xFF00;
        d.masks[2] = 0xFF;
        d.masks[3] = 0xFF000000; // the reserved byte; alpha only if any is set
    }
    return CheckPictureSize(d.width, d.height);
}

// Pixels of a palette-based DIB; entries missing from the file are black.
void ReadPalette(const uint8_t* dib, size_t size, const Dib& d, uint32_t palette[256])
{
    for (int i = 0; i < 256; ++i)
        palette[i] = 0xFF000000u;
    size_t avail = d.paletteStart < size ? (size - d.paletteStart) / size_t(d.paletteEntry) : 0;
    size_t count = std::min<size_t>({d.paletteStored, avail, 256});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = dib + d.paletteStart + i * size_t(d.paletteEntry);
        palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
    }
}

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;
};

Channel MakeChannel(uint32_t mask)
{
    Channel c;
    c.mask = mask;
    if (mask) {
        c.shift = __builtin_ctz(mask);
        c.max = mask >> c.shift;
    }
    return c;
}

uint32_t Scale(uint32_t value, const Channel& c, uint32_t absent)
{
    if (!c.mask)
        return absent;
    uint64_t v = (value & c.mask) >> c.shift;
    return uint32_t((v * 255 + c.max / 2) / c.max);
}

uint32_t* RowOf(Picture& picture, const Dib& d, int64_t fileRow)
{
    int64_t y = d.topDown ? fileRow : d.height - 1 - fileRow;
    return picture.pixels.get() + y * d.width;
}

// The bytes an uncompressed DIB's pixels take: the padding of the last row
// may be missing, the pixels may not.
uint64_t UncompressedBytes(const Dib& d)
{
    int64_t stride = (d.width * d.bpp + 31) / 32 * 4;
    int64_t lastRow = (d.width * d.bpp + 7) / 8;
    return uint64_t(stride * (d.height - 1) + lastRow);
}

bool Compressed(const Dib& d) { return d.compression == kBiRle4 || d.compression == kBiRle8; }

CodecResult DecodeUncompressed(const Dib& d, const uint32_t* palette, const uint8_t* bits, size_t avail, Picture& picture)
{
    int64_t stride = (d.width * d.bpp + 31) / 32 * 4;
    if (avail < UncompressedBytes(d))
        return kCodecCorrupt;
    Channel ch[4] = {MakeChannel(d.masks[0]), MakeChannel(d.masks[1]), MakeChannel(d.masks[2]), MakeChannel(d.masks[3])};
    uint32_t alphaSeen = 0;
    for (int64_t r = 0; r < d.height; ++r) {
        const uint8_t* in = bits + r * stride;
        uint32_t* out = RowOf(picture, d, r);
        for (int64_t x = 0; x < d.width; ++x) {
            uint32_t v;
            switch (d.bpp) {
            case 1: case 2: case 4: case 8: {
                int64_t bit = x * d.bpp;
                unsigned shift = unsigned(8 - d.bpp - bit % 8);
                v = palette[(in[bit / 8] >> shift) & ((1u << d.bpp) - 1)];
                break;
            }
            case 24:
                v = 0xFF000000u | uint32_t(in[x * 3 + 2]) << 16 | uint32_t(in[x * 3 + 1]) << 8 | in[x * 3];
                break;
            default: {
                uint32_t raw = d.bpp == 16 ? Le16(in + x * 2) : Le32(in + x * 4);
                uint32_t a = Scale(raw, ch[3], 255);
                alphaSeen |= raw & d.masks[3];
                v = a << 24 | Scale(raw, ch[0], 0) << 16 | Scale(raw, ch[1], 0) << 8 | Scale(raw, ch[2], 0);
            }
            }
            out[x] = v;
        }
    }
    int64_t count = d.width * d.height;
    // An alpha channel that is zero throughout was never written: the
    // picture is opaque (the usual case for 32-bit BI_RGB files).
    if (d.masks[3] && !alphaSeen)
        for (int64_t i = 0; i < count; ++i)
            picture.pixels[i] |= 0xFF000000u;
    else if (d.masks[3])
        picture.hasAlpha = AnyTranslucent(picture.pixels.get(), count);
    return kCodecOk;
}

// RLE4 and RLE8. Pixels that the stream skips (deltas, early line or bitmap
// ends) stay transparent.
CodecResult DecodeRle(const Dib& d, const uint32_t* palette, const uint8_t* bits, size_t avail, Picture& picture)
{
    int64_t count = d.width * d.height;
    std::memset(picture.pixels.get(), 0, size_t(count) * 4);
    bool rle4 = d.compression == kBiRle4;
    int64_t x = 0, row = 0;
    size_t pos = 0;
    auto put = [&](unsigned index) {
        if (x < d.width && row < d.height)
            RowOf(picture, d, row)[x] = palette[index & 0xFF];
        ++x;
    };
    while (row < d.height) {
        if (avail - pos < 2)
            return kCodecCorrupt; // the stream ends before the picture does
        unsigned n = bits[pos], value = bits[pos + 1];
        pos += 2;
        if (n > 0) {
            for (unsigned i = 0; i < n; ++i)
                put(rle4 ? (i % 2 ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (avail - pos < 2)
                return kCodecCorrupt;
            x += bits[pos];
            row += bits[pos + 1];
            pos += 2;
        } else {
            size_t bytes = rle4 ? (value + 1) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t(1);
            if (avail - pos < bytes)
                return kCodecCorrupt;
            for (unsigned i = 0; i < value; ++i)
                put(rle4 ? (i % 2 ? bits[pos + i / 2] & 0x0F : bits[pos + i / 2] >> 4) : bits[pos + i]);
            pos += std::min(padded, avail - pos);
        }
    }
    picture.hasAlpha = AnyTranslucent(picture.pixels.get(), count);
    return kCodecOk;
}

CodecResult DecodeDib(const uint8_t* dib, size_t size, const Dib& d, const uint8_t* bits, size_t avail, Picture& picture)
{
    // Pixels that cannot all be there are refused before the picture's
    // buffer is allocated.
    if (!Compressed(d) && avail < UncompressedBytes(d))
        return kCodecCorrupt;
    uint32_t palette[256];
    if (d.bpp <= 8)
        ReadPalette(dib, size, d, palette);
    CodecResult result = AllocatePicture(picture, int32_t(d.width), int32_t(d.height));
    if (result != kCodecOk)
        return result;
    if (d.compression == kBiRle4 || d.compression == kBiRle8)
        return DecodeRle(d, palette, bits, avail, picture);
    return DecodeUncompressed(d, palette, bits, avail, picture);
}

constexpr size_t kFileHeader = 14;

// The name of a DIB's compression that is not read; "" for one that is.
std::string DibVariant(const uint8_t* dib, size_t size, bool icon)
{
    if (size < 20 || Le32(dib) < 20)
        return std::string();
    uint32_t headerSize = Le32(dib);
    uint32_t compression = Le32(dib + 16);
    bool windowsHeader = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize >= 108;
    std::string kind = icon ? "icon" : "BMP";
    if (icon && (compression == kBiRle4 || compression == kBiRle8))
        return "RLE-compressed " + kind;
    if (!windowsHeader && compression == 3)
        return "Huffman-coded " + kind;
    if (!windowsHeader && compression == 4)
        return "24-bit RLE " + kind;
    if (windowsHeader && compression == 4)
        return "JPEG-compressed " + kind;
    if (windowsHeader && compression == 5)
        return "PNG-compressed " + kind;
    if (compression > kBiAlphaBitfields || (!windowsHeader && compression >= kBiBitfields))
        return kind + " with compression " + std::to_string(compression);
    return std::string();
}

void Put16(std::string& out, uint32_t v) { out.append({char(v), char(v >> 8)}); }
void Put32(std::string& out, uint32_t v) { out.append({char(v), char(v >> 8), char(v >> 16), char(v >> 24)}); }

} // namespace

std::string BmpVariant(const uint8_t* data, size_t size)
{
    return size > kFileHeader ? DibVariant(data + kFileHeader, size - kFileHeader, false) : std::string();
}

std::string IconDibVariant(const uint8_t* data, size_t size)
{
    return DibVariant(data, size, true);
}

CodecResult ProbeBmp(const uint8_t* data, size_t size, PictureHeader& header)
{
    if (size < kFileHeader)
        return kCodecCorrupt;
    Dib d;
    CodecResult result = ParseDibHeader(data + kFileHeader, size - kFileHeader, d);
    if (result != kCodecOk)
        return result;
    header.width = int32_t(d.width);
    header.height = int32_t(d.height);
    return kCodecOk;
}

// Where a BMP's pixels start inside its DIB: where the file header says;
// writers that leave the offset at 0 (or point into the header) put them
// after the palette. fileSize is the whole file's.
static uint64_t PixelStart(const uint8_t* data, const Dib& d, uint64_t fileSize)
{
    uint32_t offset = Le32(data + 10);
    uint64_t start = d.paletteStart + (d.bpp <= 8 ? d.paletteStored * size_t(d.paletteEntry) : 0);
    if (offset >= kFileHeader + d.paletteStart && offset < fileSize)
        start = offset - kFileHeader;
    return start;
}

uint64_t BmpBytesNeeded(const uint8_t* data, size_t size, uint64_t fileSize)
{
    Dib d;
    if (size < kFileHeader || ParseDibHeader(data + kFileHeader, size - kFileHeader, d) != kCodecOk || Compressed(d))
        return 0;
    return kFileHeader + PixelStart(data, d, fileSize) + UncompressedBytes(d);
}

CodecResult DecodeBmp(const uint8_t* data, size_t size, Picture& picture)
{
    if (size < kFileHeader)
        return kCodecCorrupt;
    const uint8_t* dib = data + kFileHeader;
    size_t dibSize = size - kFileHeader;
    Dib d;
    CodecResult result = ParseDibHeader(dib, dibSize, d);
    if (result != kCodecOk)
        return result;
    size_t start = size_t(PixelStart(data, d, size));
    if (start >= dibSize)
        return kCodecCorrupt;
    return DecodeDib(dib, dibSize, d, dib + start, dibSize - start, picture);
}

CodecResult ProbeIconDib(const uint8_t* data, size_t size, PictureHeader& header)
{
    Dib d;
    CodecResult result = ParseDibHeader(data, size, d);
    if (result != kCodecOk)
        return result;
    header.width = int32_t(d.width);
    header.height = int32_t(d.height / 2);
    return CheckPictureSize(header.width, header.height);
}

uint64_t IconDibBytesNeeded(const uint8_t* data, size_t size)
{
    Dib d;
    if (ParseDibHeader(data, size, d) != kCodecOk || Compressed(d))
        return 0;
    d.height /= 2;
    if (d.height < 1)
        return 0;
    return d.paletteStart + (d.bpp <= 8 ? d.paletteStored * size_t(d.paletteEntry) : 0) + UncompressedBytes(d);
}

CodecResult DecodeIconDib(const uint8_t* data, size_t size, Picture& picture)
{
    Dib d;
    CodecResult result = ParseDibHeader(data, size, d);
    if (result != kCodecOk)
        return result;
    if (d.compression == kBiRle4 || d.compression == kBiRle8)
        return kCodecUnsupportedVariant;
    d.height /= 2; // the colour rows, then as many rows of the AND mask
    result = CheckPictureSize(d.width, d.height);
    if (result != kCodecOk)
        return result;
    size_t start = d.paletteStart + (d.bpp <= 8 ? d.paletteStored * size_t(d.paletteEntry) : 0);
    if (start >= size)
        return kCodecCorrupt;
    result = DecodeDib(data, size, d, data + start, size - start, picture);
    if (result != kCodecOk || picture.hasAlpha)
        return result;
    // Without an alpha channel the AND mask marks the transparent pixels (1
    // bits). Icons that leave the mask out are shown opaque.
    uint64_t colorStride = uint64_t((d.width * d.bpp + 31) / 32 * 4);
    uint64_t maskStride = uint64_t((d.width + 31) / 32 * 4);
    uint64_t maskStart = start + colorStride * uint64_t(d.height);
    if (maskStart > size || size - maskStart < maskStride * uint64_t(d.height))
        return kCodecOk;
    const uint8_t* mask = data + maskStart;
    for (int64_t r = 0; r < d.height; ++r) {
        uint32_t* out = RowOf(picture, d, r);
        const uint8_t* bitsRow = mask + uint64_t(r) * maskStride;
        for (int64_t x = 0; x < d.width; ++x)
            if (bitsRow[x / 8] & (0x80 >> (x % 8))) {
                out[x] = 0;
                picture.hasAlpha = true;
            }
    }
    return kCodecOk;
}

CodecResult EncodeBmp(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha)
{
    // 32 bits a pixel, rows bottom-up. With alpha a version 4 header names
    // the alpha channel through its bit masks; without, a plain header and
    // an opaque fourth byte.
    uint32_t infoSize = withAlpha ? 108 : 40;
    uint64_t pixelBytes = uint64_t(width) * uint64_t(height) * 4;
    uint64_t fileSize = kFileHeader + infoSize + pixelBytes;
    if (fileSize > 0xFFFFFFFFu)
        return kCodecTooLarge;
    out.reserve(size_t(fileSize));
    out.append("BM");
    Put32(out, uint32_t(fileSize));
    Put32(out, 0);
    Put32(out, kFileHeader + infoSize);
    Put32(out, infoSize);
    Put32(out, uint32_t(width));
    Put32(out, uint32_t(height));
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, withAlpha ? kBiBitfields : kBiRgb);
    Put32(out, uint32_t(pixelBytes));
    Put32(out, 2835); // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    if (withAlpha) {
        Put32(out, 0x00FF0000);
        Put32(out, 0x0000FF00);
        Put32(out, 0x000000FF);
        Put32(out, 0xFF000000);
        out.append("BGRs", 4); // LCS_sRGB, little-endian
        out.append(48, '\0');  // endpoints and gamma, unused for sRGB
    }
    size_t rowBytes = size_t(width) * 4;
    size_t at = out.size();
    out.resize(size_t(fileSize));
    for (int32_t y = height - 1; y >= 0; --y, at += rowBytes) {
        const uint32_t* row = pixels + size_t(y) * size_t(width);
        char* dst = out.data() + at;
        std::memcpy(dst, row, rowBytes);
        if (!withAlpha)
            for (size_t x = 3; x < rowBytes; x += 4)
                dst[x] = char(0xFF);
    }
    return kCodecOk;
}

} // namespace codecs
