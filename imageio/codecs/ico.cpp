// Icons and cursors: the largest entry of the directory, stored either as a
// DIB with its AND mask or as a complete PNG file.
#include "imageio/codecs/formats.h"

#include <algorithm>
#include <cstring>

namespace codecs {
namespace {

struct Entry {
    const uint8_t* data = nullptr;
    size_t size = 0;     // the bytes there are, at most as many as declared
    uint64_t declared = 0; // the bytes the directory gives it
};

bool IsPng(const Entry& e) { return e.size >= 8 && std::memcmp(e.data, "\x89PNG\r\n\x1A\n", 8) == 0; }

// The entry with the most pixels by the directory (0 stands for 256), the
// deeper one on a tie. Its byte count is trusted only as far as the data
// goes: the decoders find out whether what is there is enough.
CodecResult LargestEntry(const uint8_t* data, size_t size, Entry& best)
{
    unsigned count = Le16(data + 4);
    if (count == 0 || size < 6 + size_t(count) * 16)
        return kCodecCorrupt;
    uint64_t bestArea = 0;
    unsigned bestDepth = 0;
    const uint8_t* chosen = nullptr;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* e = data + 6 + size_t(i) * 16;
        uint64_t area = uint64_t(e[0] ? e[0] : 256) * (e[1] ? e[1] : 256);
        unsigned depth = Le16(e + 6);
        if (chosen && (area < bestArea || (area == bestArea && depth <= bestDepth)))
            continue;
        chosen = e;
        bestArea = area;
        bestDepth = depth;
    }
    uint32_t bytes = Le32(chosen + 8), offset = Le32(chosen + 12);
    if (offset >= size)
        return kCodecCorrupt;
    best.data = data + offset;
    best.size = std::min<size_t>(bytes, size - offset);
    best.declared = bytes;
    return kCodecOk;
}

} // namespace

uint64_t IcoBytesNeeded(const uint8_t* data, size_t size)
{
    unsigned count = size >= 6 ? Le16(data + 4) : 0;
    if (count == 0 || size < 6 + size_t(count) * 16)
        return 0;
    uint64_t end = 6 + uint64_t(count) * 16;
    for (unsigned i = 0; i < count; ++i) {
        const uint8_t* e = data + 6 + size_t(i) * 16;
        end = std::max<uint64_t>(end, uint64_t(Le32(e + 12)) + Le32(e + 8));
    }
    return end;
}

bool IcoDataPlausible(const uint8_t* data, size_t size, uint64_t fileSize)
{
    Entry entry;
    if (size < 6 || LargestEntry(data, size, entry) != kCodecOk)
        return true; // the decoder finds out
    // Only an entry whose bytes (as many as the file has) are all here can
    // be judged.
    if (entry.size != entry.declared && size < fileSize)
        return true;
    if (IsPng(entry))
        return WalkPngChunks(entry.data, entry.size).imageData;
    uint64_t needed = IconDibBytesNeeded(entry.data, entry.size);
    return needed == 0 || needed <= entry.size;
}

CodecResult ProbeIco(const uint8_t* data, size_t size, PictureHeader& header)
{
    Entry entry;
    CodecResult result = LargestEntry(data, size, entry);
    if (result != kCodecOk)
        return result;
    return IsPng(entry) ? ProbePng(entry.data, entry.size, header) : ProbeIconDib(entry.data, entry.size, header);
}

std::string IcoVariant(const uint8_t* data, size_t size)
{
    Entry entry;
    if (LargestEntry(data, size, entry) != kCodecOk || IsPng(entry))
        return std::string();
    return IconDibVariant(entry.data, entry.size);
}

CodecResult DecodeIco(const uint8_t* data, size_t size, Picture& picture)
{
    Entry entry;
    CodecResult result = LargestEntry(data, size, entry);
    if (result != kCodecOk)
        return result;
    return IsPng(entry) ? DecodePng(entry.data, entry.size, picture) : DecodeIconDib(entry.data, entry.size, picture);
}

} // namespace codecs
