#include "imageio/animated_gif.h"

#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

// The histogram's cells: 5 bits of each channel.
constexpr int kCellBits = 5;
constexpr int kCells = 1 << (3 * kCellBits);

int CellOf(uint32_t pixel)
{
    uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
    return int((r >> 3) << 10 | (g >> 3) << 5 | (b >> 3));
}

struct Cell {
    uint64_t count = 0;
    uint64_t sum[3] = {0, 0, 0}; // r, g, b of the pixels in it
    int coordinate[3] = {0, 0, 0};
};

struct Box {
    std::vector<const Cell*> cells;
    uint64_t pixels = 0;
    int widest = 0; // channel
    int range = 0;
};

void Measure(Box& box)
{
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    box.pixels = 0;
    for (const Cell* cell : box.cells) {
        box.pixels += cell->count;
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], cell->coordinate[c]);
            high[c] = std::max(high[c], cell->coordinate[c]);
        }
    }
    box.range = -1;
    for (int c = 0; c < 3; ++c) {
        if (high[c] - low[c] > box.range) {
            box.range = high[c] - low[c];
            box.widest = c;
        }
    }
}

// The box most worth splitting: the most pixels spread over the widest
// range; -1 when none holds two cells.
int BoxToSplit(const std::vector<Box>& boxes)
{
    int best = -1;
    double bestScore = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (boxes[i].cells.size() < 2)
            continue;
        double score = double(boxes[i].pixels) * double(boxes[i].range + 1);
        if (best < 0 || score > bestScore) {
            best = int(i);
            bestScore = score;
        }
    }
    return best;
}

void Split(std::vector<Box>& boxes, int which)
{
    Box& box = boxes[size_t(which)];
    const int c = box.widest;
    std::sort(box.cells.begin(), box.cells.end(), [c](const Cell* a, const Cell* b) {
        return a->coordinate[c] < b->coordinate[c];
    });
    // The first cell past half the pixels; each side keeps a cell.
    uint64_t seen = 0;
    size_t cut = 1;
    for (; cut < box.cells.size(); ++cut) {
        seen += box.cells[cut - 1]->count;
        if (seen * 2 >= box.pixels)
            break;
    }
    cut = std::min(cut, box.cells.size() - 1);
    Box upper;
    upper.cells.assign(box.cells.begin() + long(cut), box.cells.end());
    box.cells.resize(cut);
    Measure(box);
    Measure(upper);
    boxes.push_back(std::move(upper));
}

int WriteToString(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(length));
    return length;
}

// The nearest palette colour of every cell of 6 bits a channel, worked out
// when first asked for.
class NearestColour {
public:
    explicit NearestColour(const GifPalette& palette) : palette_(palette), index_(size_t(1) << 18, -1) {}

    GifPixelType Of(uint32_t pixel)
    {
        uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
        size_t key = size_t(r >> 2) << 12 | size_t(g >> 2) << 6 | size_t(b >> 2);
        int16_t& found = index_[key];
        if (found < 0)
            found = Search(int(r & ~3u) + 2, int(g & ~3u) + 2, int(b & ~3u) + 2);
        return GifPixelType(found);
    }

private:
    int16_t Search(int r, int g, int b) const
    {
        int best = 0;
        int bestDistance = 1 << 30;
        for (int i = 0; i < palette_.count; ++i) {
            int dr = r - palette_.rgb[i][0], dg = g - palette_.rgb[i][1], db = b - palette_.rgb[i][2];
            int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
        return int16_t(best);
    }

    const GifPalette& palette_;
    std::vector<int16_t> index_;
};

} // namespace

GifPalette ChooseSharedPalette(const ImageView* frames, size_t count)
{
    std::vector<Cell> cells(kCells);
    for (int i = 0; i < kCells; ++i) {
        cells[size_t(i)].coordinate[0] = i >> 10;
        cells[size_t(i)].coordinate[1] = i >> 5 & 31;
        cells[size_t(i)].coordinate[2] = i & 31;
    }
    for (size_t f = 0; f < count; ++f) {
        const ImageView& frame = frames[f];
        for (int32_t y = 0; y < frame.height; ++y) {
            const uint32_t* row = frame.Row(y);
            for (int32_t x = 0; x < frame.width; ++x) {
                Cell& cell = cells[size_t(CellOf(row[x]))];
                ++cell.count;
                cell.sum[0] += row[x] >> 16 & 0xFF;
                cell.sum[1] += row[x] >> 8 & 0xFF;
                cell.sum[2] += row[x] & 0xFF;
            }
        }
    }
    std::vector<Box> boxes(1);
    for (const Cell& cell : cells) {
        if (cell.count > 0)
            boxes[0].cells.push_back(&cell);
    }
    GifPalette palette;
    if (boxes[0].cells.empty()) {
        palette.count = 1;
        return palette;
    }
    Measure(boxes[0]);
    while (boxes.size() < 256) {
        int which = BoxToSplit(boxes);
        if (which < 0)
            break;
        Split(boxes, which);
    }
    palette.count = int32_t(boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) {
        uint64_t sum[3] = {0, 0, 0};
        for (const Cell* cell : boxes[i].cells) {
            for (int c = 0; c < 3; ++c)
                sum[c] += cell->sum[c];
        }
        for (int c = 0; c < 3; ++c)
            palette.rgb[i][c] = uint8_t((sum[c] + boxes[i].pixels / 2) / boxes[i].pixels);
    }
    return palette;
}

CodecResult EncodeLoopingGif(std::string& out, const ImageView* frames, size_t count, int32_t delayMs,
                             const GifPalette& palette)
{
    out.clear();
    if (count == 0 || palette.count < 1 || palette.count > 256)
        return kCodecWriteFailed;
    const int32_t width = frames[0].width, height = frames[0].height;
    for (size_t f = 0; f < count; ++f) {
        if (frames[f].width != width || frames[f].height != height || !frames[f].pixels)
            return kCodecWriteFailed;
    }
    // GIF sides are 16-bit.
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        return kCodecTooLarge;
    std::unique_ptr<GifPixelType[]> line(new (std::nothrow) GifPixelType[size_t(width)]);
    if (!line)
        return kCodecOutOfMemory;

    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteToString, &error);
    if (!gif)
        return kCodecOutOfMemory;
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    bool ok = map != nullptr;
    if (ok) {
        for (int i = 0; i < 256; ++i) {
            const uint8_t* c = palette.rgb[i < palette.count ? i : 0];
            map->Colors[i] = GifColorType{c[0], c[1], c[2]};
        }
    }
    EGifSetGifVersion(gif, true);
    ok = ok && EGifPutScreenDesc(gif, width, height, 8, 0, map) != GIF_ERROR;
    GifFreeMapObject(map);
    // The application extension browsers take for "loop for ever".
    static const GifByteType kLoopForever[3] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") != GIF_ERROR &&
         EGifPutExtensionBlock(gif, 3, kLoopForever) != GIF_ERROR && EGifPutExtensionTrailer(gif) != GIF_ERROR;
    const int hundredths = std::max(2, (delayMs + 5) / 10);
    NearestColour nearest(palette);
    for (size_t f = 0; ok && f < count; ++f) {
        // Each frame replaces the last (disposal 1: left in place, then
        // covered whole), shown for the delay.
        const GifByteType control[4] = {0x04, GifByteType(hundredths & 0xFF), GifByteType(hundredths >> 8 & 0xFF),
                                        0};
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_ERROR &&
             EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) != GIF_ERROR;
        for (int32_t y = 0; ok && y < height; ++y) {
            const uint32_t* row = frames[f].Row(y);
            for (int32_t x = 0; x < width; ++x)
                line[size_t(x)] = nearest.Of(row[x]);
            ok = EGifPutLine(gif, line.get(), width) != GIF_ERROR;
        }
    }
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        ok = false;
    if (!ok) {
        out.clear();
        return kCodecWriteFailed;
    }
    return kCodecOk;
}
