// GIF through giflib: the first frame of a file, and one-frame files with a
// fixed palette and ordered dithering.
#include "imageio/codecs/formats.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace codecs {
namespace {

int ReadFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    return int(ReadMemory(*static_cast<MemoryReader*>(gif->UserData), out, size_t(length < 0 ? 0 : length)));
}

int WriteToString(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(length));
    return length;
}

struct GifReadFile {
    GifFileType* gif;
    explicit GifReadFile(GifFileType* g) : gif(g) {}
    ~GifReadFile()
    {
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
    GifReadFile(const GifReadFile&) = delete;
    GifReadFile& operator=(const GifReadFile&) = delete;
};

// Skips an extension block, noting the transparent index of a graphic
// control extension; -1 when there is none.
bool ReadExtension(GifFileType* gif, int& transparent)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
        transparent = (block[1] & 1) ? block[4] : -1;
    while (block)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    return true;
}

// The frame's rows in file order; interlaced frames store every 8th row
// from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
int64_t RowOfLine(int64_t line, int64_t height, bool interlaced)
{
    if (!interlaced)
        return line;
    const int64_t starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        int64_t rows = height > starts[pass] ? (height - starts[pass] + steps[pass] - 1) / steps[pass] : 0;
        if (line < rows)
            return starts[pass] + line * steps[pass];
        line -= rows;
    }
    return -1;
}

CodecResult ReadFrame(GifFileType* gif, int transparent, Picture& picture)
{
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    uint32_t colors[256];
    for (int i = 0; i < 256; ++i) // without a colour table: grey levels
        colors[i] = map ? 0xFF000000u : 0xFF000000u | uint32_t(i) * 0x010101u;
    for (int i = 0; map && i < std::min(map->ColorCount, 256); ++i) {
        const GifColorType& c = map->Colors[i];
        colors[i] = 0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    }
    if (transparent >= 0)
        colors[transparent] = 0;

    int64_t width = picture.width, height = picture.height;
    if (frame.Width < 1 || frame.Height < 1 || frame.Left < 0 || frame.Top < 0)
        return kCodecCorrupt;
    bool covers = frame.Left == 0 && frame.Top == 0 && frame.Width >= width && frame.Height >= height;
    if (!covers) // outside the first frame the picture is transparent
        std::memset(picture.pixels.get(), 0, size_t(width * height) * 4);
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[size_t(frame.Width)]);
    if (!line)
        return kCodecOutOfMemory;
    for (int64_t i = 0; i < frame.Height; ++i) {
        if (DGifGetLine(gif, line.get(), frame.Width) == GIF_ERROR)
            return kCodecCorrupt; // cut short or damaged: refused, as libgif reports it as an error
        int64_t y = frame.Top + RowOfLine(i, frame.Height, frame.Interlace);
        if (y < 0 || y >= height)
            continue;
        uint32_t* out = picture.pixels.get() + y * width;
        int64_t count = std::min<int64_t>(frame.Width, width - frame.Left);
        for (int64_t x = 0; x < count; ++x)
            out[frame.Left + x] = colors[line[size_t(x)]];
    }
    picture.hasAlpha = AnyTranslucent(picture.pixels.get(), width * height);
    return kCodecOk;
}

// The palette: 6 levels of red, 7 of green, 6 of blue, then the transparent
// entry.
constexpr int kRedLevels = 6, kGreenLevels = 7, kBlueLevels = 6;
constexpr int kTransparentIndex = kRedLevels * kGreenLevels * kBlueLevels;

const uint8_t kBayer8[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

// Level of a channel value with levels steps, pushed up by threshold (0 to
// 254): a value on a level keeps it, others spread between the two nearest.
unsigned Quantize(unsigned value, unsigned levels, unsigned threshold) { return (value * (levels - 1) + threshold) / 255; }

uint8_t LevelValue(int k, int levels) { return uint8_t((k * 255 + (levels - 1) / 2) / (levels - 1)); }

ColorMapObject* MakePalette()
{
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    if (!map)
        return nullptr;
    std::memset(map->Colors, 0, sizeof(GifColorType) * 256);
    for (int r = 0; r < kRedLevels; ++r)
        for (int g = 0; g < kGreenLevels; ++g)
            for (int b = 0; b < kBlueLevels; ++b) {
                GifColorType& c = map->Colors[(r * kGreenLevels + g) * kBlueLevels + b];
                c.Red = LevelValue(r, kRedLevels);
                c.Green = LevelValue(g, kGreenLevels);
                c.Blue = LevelValue(b, kBlueLevels);
            }
    return map;
}

void IndexRow(const uint32_t* row, int32_t width, int32_t y, bool withAlpha, GifPixelType* out)
{
    for (int32_t x = 0; x < width; ++x) {
        uint32_t p = row[x];
        if (withAlpha && (p >> 24) < 128) {
            out[x] = kTransparentIndex;
            continue;
        }
        unsigned t = (kBayer8[y & 7][x & 7] * 2u + 1) * 255 / 128;
        unsigned r = Quantize(p >> 16 & 0xFF, kRedLevels, t);
        unsigned g = Quantize(p >> 8 & 0xFF, kGreenLevels, t);
        unsigned b = Quantize(p & 0xFF, kBlueLevels, t);
        out[x] = GifPixelType((r * kGreenLevels + g) * kBlueLevels + b);
    }
}

bool WriteFrame(GifFileType* gif, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha)
{
    ColorMapObject* map = MakePalette();
    if (!map)
        return false;
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    GifFreeMapObject(map);
    if (ok && withAlpha) {
        const GifByteType control[4] = {1, 0, 0, kTransparentIndex}; // transparent flag, no delay
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_ERROR;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[size_t(width)]);
    if (!line)
        return false;
    for (int32_t y = 0; ok && y < height; ++y) {
        IndexRow(pixels + size_t(y) * size_t(width), width, y, withAlpha, line.get());
        ok = EGifPutLine(gif, line.get(), width) != GIF_ERROR;
    }
    return ok;
}

} // namespace

bool GifFirstFrameHasData(const uint8_t* data, size_t size, bool whole)
{
    if (size < 13)
        return true;
    size_t pos = 13;
    if (data[10] & 0x80)
        pos += size_t(3) << ((data[10] & 7) + 1); // the global colour table
    while (pos < size) {
        if (data[pos] == 0x21) { // an extension: its label, then sub-blocks
            pos += 2;
            while (pos < size && data[pos] != 0)
                pos += 1 + size_t(data[pos]);
            pos += 1;
        } else if (data[pos] == 0x2C) { // the first frame
            if (size - pos < 10)
                return !whole;
            uint8_t flags = data[pos + 9];
            pos += 10;
            if (flags & 0x80)
                pos += size_t(3) << ((flags & 7) + 1);
            pos += 1; // the LZW code size
            return pos < size ? data[pos] != 0 : !whole;
        } else {
            return true; // the trailer, or damage: the decoder finds out
        }
    }
    return !whole;
}

CodecResult ProbeGif(const uint8_t* data, size_t size, PictureHeader& header)
{
    if (size < 10)
        return kCodecCorrupt;
    header.width = Le16(data + 6);
    header.height = Le16(data + 8);
    return kCodecOk;
}

CodecResult DecodeGif(const uint8_t* data, size_t size, Picture& picture)
{
    MemoryReader reader{data, size, 0};
    int error = 0;
    GifReadFile file(DGifOpen(&reader, ReadFromMemory, &error));
    if (!file.gif)
        return kCodecCorrupt;
    GifFileType* gif = file.gif;
    CodecResult result = CheckPictureSize(gif->SWidth, gif->SHeight);
    if (result != kCodecOk)
        return result;
    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR)
            return kCodecCorrupt;
        if (type == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif, transparent))
                return kCodecCorrupt;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                return kCodecCorrupt;
            // The frame's first data sub-block follows: with none (the
            // file ends, or an empty block) there is no image data, and the
            // screen's buffer is never allocated.
            if (reader.pos >= reader.size || data[reader.pos] == 0)
                return kCodecCorrupt;
            result = AllocatePicture(picture, gif->SWidth, gif->SHeight);
            return result == kCodecOk ? ReadFrame(gif, transparent, picture) : result;
        } else {
            return kCodecCorrupt; // the file ends without a frame
        }
    }
}

CodecResult EncodeGif(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha)
{
    if (width > 65535 || height > 65535)
        return kCodecTooLarge;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToString, &error);
    if (!gif)
        return kCodecOutOfMemory;
    bool ok = WriteFrame(gif, pixels, width, height, withAlpha);
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        ok = false;
    return ok ? kCodecOk : kCodecWriteFailed;
}

} // namespace codecs
