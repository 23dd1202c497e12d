#include "imageio/multi_picture.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <cstring>
#include <vector>

#include "imageio/codecs/codec.h"
#include "imageio/leia_pair.h"

namespace {

uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool StartsPicture(const uint8_t* data, size_t size, size_t at)
{
    return at < size && size - at >= 4 && data[at] == 0xFF && data[at + 1] == 0xD8;
}

bool IsStandalone(uint8_t marker) { return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01; }

// Calls visit(marker, payloadOffset, payloadSize) for each marker segment of
// the picture starting at start, up to and including its first SOS, until
// visit returns false. Stops quietly at anything malformed.
template <class Visit>
void WalkPictureHead(const uint8_t* data, size_t size, size_t start, Visit visit)
{
    if (!StartsPicture(data, size, start))
        return;
    size_t pos = start + 2;
    while (pos < size && data[pos] == 0xFF) {
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return;
        uint8_t marker = data[pos++];
        if (IsStandalone(marker))
            continue;
        if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || size - pos < 2)
            return;
        size_t length = Be16(data + pos);
        if (length < 2 || size - pos < length)
            return;
        if (!visit(marker, pos + 2, length - 2) || marker == 0xDA)
            return;
        pos += length;
    }
}

size_t SkipZeros(const uint8_t* data, size_t size, size_t at)
{
    while (at < size && data[at] == 0)
        ++at;
    return at;
}

// A TIFF-structured block (the MPF segment's payload after "MPF\0"): all
// offsets count from its start, and every read stays inside it.
struct TiffBlock {
    const uint8_t* base = nullptr;
    size_t size = 0;
    size_t absolute = 0; // where base lies in the file
    bool bigEndian = false;

    bool U16(size_t at, uint16_t& value) const
    {
        if (at > size || size - at < 2)
            return false;
        const uint8_t* p = base + at;
        value = bigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
        return true;
    }
    bool U32(size_t at, uint32_t& value) const
    {
        if (at > size || size - at < 4)
            return false;
        const uint8_t* p = base + at;
        value = bigEndian ? Be32(p) : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        return true;
    }
};

// The most zero padding skipped before a picture an index entry names.
constexpr size_t kMostPaddingBefore = size_t(1) << 20;
// The most marker segments walked in a picture's head to find its MPF
// segment, which cameras write among its first few.
constexpr size_t kMostHeadSegments = 1024;

// The MPF block of the picture starting at start, with its byte order read
// from the TIFF header; false when the picture has none or its header is
// not a TIFF header.
bool FindMpfBlock(const uint8_t* data, size_t size, size_t start, TiffBlock& block, bool& present)
{
    present = false;
    size_t segments = 0;
    WalkPictureHead(data, size, start, [&](uint8_t marker, size_t payload, size_t payloadSize) {
        if (marker != 0xE2 || payloadSize < 4 || std::memcmp(data + payload, "MPF\0", 4) != 0)
            return ++segments < kMostHeadSegments;
        present = true;
        block.base = data + payload + 4;
        block.size = payloadSize - 4;
        block.absolute = payload + 4;
        return false;
    });
    if (!present || block.size < 8)
        return false;
    if (std::memcmp(block.base, "II*\0", 4) == 0)
        block.bigEndian = false;
    else if (std::memcmp(block.base, "MM\0*", 4) == 0)
        block.bigEndian = true;
    else
        return false;
    return true;
}

struct IfdEntry {
    uint32_t count = 0;
    uint32_t value = 0; // the value itself when it fits in four bytes, else its offset
};

// Looks tag up in the IFD at ifd; next is the following IFD's offset (0 for
// none).
bool FindTag(const TiffBlock& block, uint32_t ifd, uint16_t tag, IfdEntry& entry, uint32_t* next = nullptr)
{
    uint16_t count = 0;
    if (!block.U16(ifd, count))
        return false;
    bool found = false;
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = size_t(ifd) + 2 + size_t(i) * 12;
        uint16_t entryTag = 0, type = 0;
        if (!block.U16(at, entryTag) || !block.U16(at + 2, type) || !block.U32(at + 4, entry.count))
            return false;
        if (entryTag != tag)
            continue;
        // A SHORT in the value field sits in its first two bytes.
        if (type == 3 && entry.count == 1) {
            uint16_t shortValue = 0;
            if (!block.U16(at + 8, shortValue))
                return false;
            entry.value = shortValue;
        } else if (!block.U32(at + 8, entry.value)) {
            return false;
        }
        found = true;
        break;
    }
    if (next) {
        *next = 0;
        block.U32(size_t(ifd) + 2 + size_t(count) * 12, *next);
    }
    return found;
}

// The individual number (MP attribute B101) of the picture at start: in its
// first IFD, or for the first picture in the IFD after the index. -1 when
// it has none.
int64_t IndividualNumber(const uint8_t* data, size_t size, size_t start)
{
    TiffBlock block;
    bool present = false;
    uint32_t ifd = 0;
    if (!FindMpfBlock(data, size, start, block, present) || !block.U32(4, ifd))
        return -1;
    IfdEntry entry;
    uint32_t next = 0;
    if (FindTag(block, ifd, 0xB101, entry, &next))
        return entry.value;
    if (next != 0 && next != ifd && FindTag(block, next, 0xB101, entry))
        return entry.value;
    return -1;
}

constexpr uint32_t kDisparityView = 0x020002;
constexpr const char* kUnreadableIndex =
    "has a multi-picture index that could not be read, so it was read as one picture.\n";

struct View {
    size_t number = 0; // among the index's stereo views, from 1
    ByteRange picture;
    int64_t individual = -1;
};

StereoFrames Damaged(std::string problem)
{
    StereoFrames frames;
    frames.found = FrameSearch::Damaged;
    frames.origin = "multi-picture index";
    frames.problem = std::move(problem);
    return frames;
}

StereoFrames SingleWithNote(std::string note)
{
    StereoFrames frames;
    frames.problem = std::move(note);
    return frames;
}

// At most this many entries of an index are looked at: cameras write two
// to a few dozen, and a crafted index of thousands costs no more than this.
constexpr size_t kMostIndexEntries = 64;

// The entries of an index: where its table lies and how many entries it
// has; false when the index cannot be read.
bool IndexEntries(const TiffBlock& block, size_t& table, size_t& count)
{
    uint32_t ifd = 0;
    IfdEntry entries;
    if (!block.U32(4, ifd) || !FindTag(block, ifd, 0xB002, entries) || entries.count == 0 ||
        entries.count % 16 != 0 || entries.value > block.size || block.size - entries.value < entries.count)
        return false;
    table = entries.value;
    count = entries.count / 16;
    return true;
}

// The ends of the pictures of a file, each found once: index entries that
// name the same picture do not scan it again.
class PictureEnds {
public:
    PictureEnds(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t End(size_t start)
    {
        for (const auto& known : ends_)
            if (known.first == start)
                return known.second;
        ends_.emplace_back(start, JpegPictureEnd(data_, size_, start));
        return ends_.back().second;
    }

private:
    const uint8_t* data_;
    size_t size_;
    std::vector<std::pair<size_t, size_t>> ends_;
};

StereoFrames FromIndex(const uint8_t* data, size_t size, const TiffBlock& block)
{
    size_t table = 0, count = 0;
    if (!IndexEntries(block, table, count))
        return SingleWithNote(kUnreadableIndex);
    const std::string beyond = count > kMostIndexEntries ? "has a multi-picture index of " + std::to_string(count) +
                                                               " entries; only the first " +
                                                               std::to_string(kMostIndexEntries) + " were read.\n"
                                                         : "";
    std::vector<View> views;
    for (size_t i = 0; i < std::min(count, kMostIndexEntries); ++i) {
        size_t at = table + i * 16;
        uint32_t attribute = 0, length = 0, offset = 0;
        if (!block.U32(at, attribute) || !block.U32(at + 4, length) || !block.U32(at + 8, offset))
            return SingleWithNote(kUnreadableIndex);
        // The image data format (bits 24-26) must be JPEG (0).
        if ((attribute & 0x00FFFFFF) != kDisparityView || (attribute >> 24 & 7) != 0)
            continue;
        const std::string name = "Stereo view " + std::to_string(views.size() + 1);
        // Offsets count from the MPF block of the first picture; the first
        // picture itself has offset 0.
        size_t start = offset == 0 ? 0 : block.absolute + offset;
        if (offset > size || start > size || size - start < length)
            return Damaged(name + " lies past the end of the file (a picture is missing or cut short).");
        // Zero padding before a picture is skipped, but not without end.
        size_t end = std::min(start + length, start + kMostPaddingBefore);
        start = SkipZeros(data, end, start);
        if (!StartsPicture(data, size, start))
            return Damaged(name + " is not a complete JPEG picture.");
        views.push_back({views.size() + 1, {start, 0}, -1});
    }
    if (views.empty())
        return SingleWithNote(beyond); // previews of one picture: an ordinary photo
    if (views.size() < 2)
        return Damaged("The multi-picture index names only one stereo view; the second picture is missing.");
    bool numbered = true;
    for (View& view : views) {
        view.individual = IndividualNumber(data, size, view.picture.offset);
        numbered = numbered && view.individual >= 0;
    }
    if (numbered)
        std::stable_sort(views.begin(), views.end(),
                         [](const View& a, const View& b) { return a.individual < b.individual; });
    // Only the two views used are scanned to their ends.
    PictureEnds ends(data, size);
    for (View* view : {&views[0], &views[1]}) {
        const size_t pictureEnd = ends.End(view->picture.offset);
        if (pictureEnd == 0)
            return Damaged("Stereo view " + std::to_string(view->number) + " is not a complete JPEG picture.");
        view->picture.size = pictureEnd - view->picture.offset;
    }
    const ByteRange& left = views[0].picture;
    const ByteRange& right = views[1].picture;
    if (left.offset < right.offset + right.size && right.offset < left.offset + left.size)
        return Damaged("Its two stereo views overlap in the file.");
    StereoFrames frames;
    frames.found = FrameSearch::StereoPair;
    frames.origin = "multi-picture index";
    frames.frames[0] = left;
    frames.frames[1] = right;
    frames.problem = beyond;
    if (views.size() > 2)
        frames.problem += "holds " + std::to_string(views.size()) + " stereo views; the first two were used.\n";
    return frames;
}

StereoFrames FromConcatenation(const uint8_t* data, size_t size)
{
    // Said of a file whose further pictures are not a pair with its first.
    const StereoFrames unused =
        SingleWithNote("holds further pictures after its first, which were not used; it was read as one picture.\n");
    size_t firstEnd = JpegPictureEnd(data, size, 0);
    if (firstEnd == 0)
        return {};
    size_t second = SkipZeros(data, size, firstEnd);
    if (second >= size)
        return {};
    size_t secondEnd = JpegPictureEnd(data, size, second);
    if (secondEnd == 0)
        return {};
    if (SkipZeros(data, size, secondEnd) != size)
        return unused;
    PictureHeader left, right;
    if (ProbePictureBytes(data, firstEnd, left) != kCodecOk ||
        ProbePictureBytes(data + second, secondEnd - second, right) != kCodecOk)
        return {};
    if (left.width != right.width || left.height != right.height)
        return unused;
    StereoFrames frames;
    frames.found = FrameSearch::StereoPair;
    frames.origin = "two pictures back to back";
    frames.frames[0] = {0, firstEnd};
    frames.frames[1] = {second, secondEnd - second};
    return frames;
}

} // namespace

size_t JpegPictureEnd(const uint8_t* data, size_t size, size_t start)
{
    if (!StartsPicture(data, size, start))
        return 0;
    size_t pos = start + 2;
    bool inScan = false;
    while (pos < size) {
        if (inScan) {
            // Entropy-coded data: 0xFF is followed by a stuffed 0x00, a
            // restart marker or fill bytes, or else starts the next marker.
            const void* mark = std::memchr(data + pos, 0xFF, size - pos);
            if (!mark)
                return 0;
            pos = size_t(static_cast<const uint8_t*>(mark) - data);
            if (size - pos < 2)
                return 0;
            uint8_t next = data[pos + 1];
            if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
                pos += 2;
                continue;
            }
            inScan = false;
        }
        if (data[pos] != 0xFF)
            return 0;
        while (pos < size && data[pos] == 0xFF)
            ++pos;
        if (pos >= size)
            return 0;
        uint8_t marker = data[pos++];
        if (marker == 0xD9)
            return pos;
        if (marker == 0x00 || marker == 0xD8)
            return 0;
        if (IsStandalone(marker))
            continue;
        if (size - pos < 2)
            return 0;
        size_t length = Be16(data + pos);
        if (length < 2 || size - pos < length)
            return 0;
        pos += length;
        inScan = marker == 0xDA;
    }
    return 0;
}

size_t JpegStructureEnd(const uint8_t* data, size_t size)
{
    size_t end = JpegPictureEnd(data, size, 0);
    TiffBlock block;
    bool present = false;
    size_t table = 0, count = 0;
    if (end == 0)
        return 0;
    if (!FindMpfBlock(data, size, 0, block, present)) {
        if (present)
            return end;
        // A second picture right after the first (past zero padding) may
        // make a pair: it is part of the structure.
        const size_t second = SkipZeros(data, size, end);
        if (!StartsPicture(data, size, second))
            return end;
        return JpegPictureEnd(data, size, second);
    }
    if (!IndexEntries(block, table, count))
        return end;
    for (size_t i = 0; i < std::min(count, kMostIndexEntries); ++i) {
        uint32_t length = 0, offset = 0;
        if (!block.U32(table + i * 16 + 4, length) || !block.U32(table + i * 16 + 8, offset))
            break;
        const uint64_t entryEnd = (offset == 0 ? 0 : uint64_t(block.absolute) + offset) + length;
        end = size_t(std::max<uint64_t>(end, std::min<uint64_t>(entryEnd, SIZE_MAX)));
    }
    return end;
}

size_t JpegHeadEnd(const uint8_t* data, size_t size)
{
    size_t end = size;
    if (!data)
        return end;
    WalkPictureHead(data, size, 0, [&](uint8_t marker, size_t payload, size_t payloadSize) {
        if (marker == 0xDA)
            end = payload + payloadSize;
        return true;
    });
    return end;
}

StereoFrames FindStereoFrames(const uint8_t* data, size_t size)
{
    if (!data || !StartsPicture(data, size, 0))
        return {};
    TiffBlock block;
    bool present = false;
    if (FindMpfBlock(data, size, 0, block, present))
        return FromIndex(data, size, block);
    if (present)
        return SingleWithNote(kUnreadableIndex);
    StereoFrames frames = FromConcatenation(data, size);
    if (frames.found == FrameSearch::Single)
        FindLeiaPair(data, size, frames);
    return frames;
}

JpsDescriptor FindJpsDescriptor(const uint8_t* data, size_t size)
{
    JpsDescriptor descriptor;
    if (!data)
        return descriptor;
    WalkPictureHead(data, size, 0, [&](uint8_t marker, size_t payload, size_t payloadSize) {
        // "_JPSJPS_", the descriptor block's 16-bit length, then the
        // descriptor as one big-endian 32-bit word.
        if (marker != 0xE3 || payloadSize < 14 || std::memcmp(data + payload, "_JPSJPS_", 8) != 0)
            return true;
        if (Be16(data + payload + 8) < 4)
            return false;
        uint32_t word = Be32(data + payload + 10);
        descriptor.present = true;
        descriptor.mediaType = uint8_t(word & 0xFF);
        descriptor.layout = uint8_t(word >> 8 & 0xFF);
        uint8_t flags = uint8_t(word >> 16 & 0xFF);
        descriptor.halfHeight = flags & 0x01;
        descriptor.halfWidth = flags & 0x02;
        descriptor.leftFirst = flags & 0x04;
        return false;
    });
    return descriptor;
}
