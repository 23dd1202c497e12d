#include "imageio/stereo_jpeg_writer.h"

#include <cstdint>

namespace {

void PutBe16(std::string& out, uint32_t value)
{
    out += char(value >> 8 & 0xFF);
    out += char(value & 0xFF);
}

void PutBe32(std::string& out, uint32_t value)
{
    PutBe16(out, value >> 16);
    PutBe16(out, value & 0xFFFF);
}

void SetBe32(std::string& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = char(value >> (24 - 8 * i) & 0xFF);
}

// One 12-byte IFD entry; value is the value itself (a LONG, or up to four
// bytes of UNDEFINED left-aligned) or the offset of the value.
void PutEntry(std::string& out, uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
{
    PutBe16(out, tag);
    PutBe16(out, type);
    PutBe32(out, count);
    PutBe32(out, value);
}

constexpr uint16_t kUndefined = 7, kLong = 4, kRational = 5, kSignedRational = 10;
constexpr uint32_t kVersion0100 = 0x30313030; // "0100"
constexpr uint32_t kDisparityView = 0x020002;
constexpr uint32_t kRepresentative = 0x20000000;
constexpr uint32_t kUnknown = 0xFFFFFFFF;

// The tags of an MP attribute IFD after the individual number: the base
// viewpoint and the two unknown measures, whose rationals follow the IFD at
// valuesAt.
void PutViewpointEntries(std::string& tiff, uint32_t valuesAt)
{
    PutEntry(tiff, 0xB204, kLong, 1, 1);                      // base viewpoint number
    PutEntry(tiff, 0xB205, kSignedRational, 1, valuesAt);     // convergence angle
    PutEntry(tiff, 0xB206, kRational, 1, valuesAt + 8);       // baseline length
}

void PutUnknownRationals(std::string& tiff)
{
    for (int i = 0; i < 4; ++i)
        PutBe32(tiff, kUnknown);
}

std::string App2Segment(const std::string& tiff)
{
    std::string segment = "\xFF\xE2";
    PutBe16(segment, uint32_t(2 + 4 + tiff.size()));
    segment += std::string("MPF\0", 4);
    segment += tiff;
    return segment;
}

// The first picture's MPF block, big-endian as the cameras write it; the
// sizes and the second offset are filled in once known (at the returned
// offsets inside the TIFF block).
struct IndexBlock {
    std::string tiff;
    size_t firstSizeAt = 0, secondSizeAt = 0, secondOffsetAt = 0;
};

IndexBlock MakeIndexBlock()
{
    IndexBlock block;
    std::string& t = block.tiff;
    t = std::string("MM\0*", 4);
    PutBe32(t, 8);
    const uint32_t entriesAt = 8 + 2 + 3 * 12 + 4;
    const uint32_t attributesAt = entriesAt + 2 * 16;
    PutBe16(t, 3);
    PutEntry(t, 0xB000, kUndefined, 4, kVersion0100);
    PutEntry(t, 0xB001, kLong, 1, 2); // number of images
    PutEntry(t, 0xB002, kUndefined, 2 * 16, entriesAt);
    PutBe32(t, attributesAt);
    for (int picture = 0; picture < 2; ++picture) {
        PutBe32(t, kDisparityView | (picture == 0 ? kRepresentative : 0));
        (picture == 0 ? block.firstSizeAt : block.secondSizeAt) = t.size();
        PutBe32(t, 0); // size
        if (picture == 1)
            block.secondOffsetAt = t.size();
        PutBe32(t, 0); // offset: 0 for the first picture
        PutBe32(t, 0); // no dependent pictures
    }
    const uint32_t valuesAt = attributesAt + 2 + 4 * 12 + 4;
    PutBe16(t, 4);
    PutEntry(t, 0xB101, kLong, 1, 1); // individual number
    PutViewpointEntries(t, valuesAt);
    PutBe32(t, 0);
    PutUnknownRationals(t);
    return block;
}

std::string AttributeBlock(uint32_t individual)
{
    std::string t("MM\0*", 4);
    PutBe32(t, 8);
    const uint32_t valuesAt = 8 + 2 + 5 * 12 + 4;
    PutBe16(t, 5);
    PutEntry(t, 0xB000, kUndefined, 4, kVersion0100);
    PutEntry(t, 0xB101, kLong, 1, individual);
    PutViewpointEntries(t, valuesAt);
    PutBe32(t, 0);
    PutUnknownRationals(t);
    return t;
}

bool StartsJpeg(const std::string& jpeg)
{
    return jpeg.size() >= 4 && uint8_t(jpeg[0]) == 0xFF && uint8_t(jpeg[1]) == 0xD8;
}

// Where a segment put after the leading APP0/APP1 segments goes.
size_t InsertionPoint(const std::string& jpeg)
{
    size_t pos = 2;
    while (jpeg.size() - pos >= 4 && uint8_t(jpeg[pos]) == 0xFF &&
           (uint8_t(jpeg[pos + 1]) == 0xE0 || uint8_t(jpeg[pos + 1]) == 0xE1)) {
        size_t length = size_t(uint8_t(jpeg[pos + 2])) << 8 | uint8_t(jpeg[pos + 3]);
        if (length < 2 || jpeg.size() - pos - 2 < length)
            break;
        pos += 2 + length;
    }
    return pos;
}

} // namespace

std::string JpsSideBySideSegment(bool leftFirst)
{
    std::string payload = "_JPSJPS_";
    PutBe16(payload, 4); // the descriptor's length
    // Separation 0, flags (bit 2: left field first), layout 2 (side by
    // side), media type 1 (stereo).
    PutBe32(payload, uint32_t(leftFirst ? 0x04 : 0x00) << 16 | 2u << 8 | 1u);
    PutBe16(payload, 0); // no comment
    std::string segment = "\xFF\xE3";
    PutBe16(segment, uint32_t(2 + payload.size()));
    return segment + payload;
}

bool InsertJpegSegment(std::string& jpeg, const std::string& segment)
{
    if (!StartsJpeg(jpeg))
        return false;
    jpeg.insert(InsertionPoint(jpeg), segment);
    return true;
}

bool MakeStereoMpo(const std::string& left, const std::string& right, std::string& mpo)
{
    if (!StartsJpeg(left) || !StartsJpeg(right))
        return false;
    IndexBlock index = MakeIndexBlock();
    std::string first = left;
    const size_t at = InsertionPoint(first);
    // The index's offsets count from its TIFF header, after the segment's
    // marker, length and "MPF\0".
    const size_t tiffStart = at + 2 + 2 + 4;
    const std::string second = right.substr(0, InsertionPoint(right)) + App2Segment(AttributeBlock(2)) +
                               right.substr(InsertionPoint(right));
    const uint64_t firstSize = uint64_t(first.size()) + App2Segment(index.tiff).size();
    if (firstSize + second.size() > 0xFFFFFFFFu)
        return false;
    SetBe32(index.tiff, index.firstSizeAt, uint32_t(firstSize));
    SetBe32(index.tiff, index.secondSizeAt, uint32_t(second.size()));
    SetBe32(index.tiff, index.secondOffsetAt, uint32_t(firstSize - tiffStart));
    first.insert(at, App2Segment(index.tiff));
    mpo = first + second;
    return true;
}
