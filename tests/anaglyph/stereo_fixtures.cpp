#include "tests/anaglyph/stereo_fixtures.h"

#include <cstdio>

#include "tests/anaglyph/pictures.h"

namespace sgtest {

namespace {

struct Writer {
    bool bigEndian;
    std::string out;
    void U16(uint32_t v)
    {
        if (bigEndian)
            out += {char(v >> 8), char(v)};
        else
            out += {char(v), char(v >> 8)};
    }
    void U32(uint32_t v)
    {
        if (bigEndian) {
            U16(v >> 16);
            U16(v & 0xFFFF);
        } else {
            U16(v & 0xFFFF);
            U16(v >> 16);
        }
    }
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
    {
        U16(tag);
        U16(type);
        U32(count);
        if (type == 7 && count <= 4 && tag == 0xB000) {
            out += "0100";
            return;
        }
        U32(value);
    }
};

std::string Segment(uint8_t marker, const std::string& payload)
{
    size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)} + payload;
}

std::string InsertAfterSoi(const std::string& jpeg, const std::string& segment)
{
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

// The MPF payload ("MPF\0" and its TIFF block) of picture i; for the first,
// the index holding entries.
std::string MpfPayload(bool bigEndian, const std::vector<MpPicture>& pictures, size_t i,
                       const std::vector<uint32_t>& sizes, const std::vector<uint32_t>& offsets)
{
    Writer w{bigEndian, {}};
    w.out += bigEndian ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    w.U32(8);
    const bool hasNumber = pictures[i].individual >= 0;
    if (i == 0) {
        const uint32_t n = uint32_t(pictures.size());
        // Index IFD: 3 entries, then the attribute IFD, then the MP entries.
        const uint32_t indexEnd = 8 + 2 + 3 * 12 + 4;
        const uint32_t attributeEnd = indexEnd + 2 + (hasNumber ? 12 : 0) + 4;
        w.U16(3);
        w.Entry(0xB000, 7, 4, 0);
        w.Entry(0xB001, 4, 1, n);
        w.Entry(0xB002, 7, 16 * n, attributeEnd);
        w.U32(indexEnd);
        w.U16(hasNumber ? 1 : 0);
        if (hasNumber)
            w.Entry(0xB101, 4, 1, uint32_t(pictures[i].individual));
        w.U32(0);
        for (size_t k = 0; k < pictures.size(); ++k) {
            w.U32(pictures[k].type);
            w.U32(sizes[k]);
            w.U32(offsets[k]);
            w.U16(0);
            w.U16(0);
        }
    } else {
        w.U16(hasNumber ? 2 : 1);
        w.Entry(0xB000, 7, 4, 0);
        if (hasNumber)
            w.Entry(0xB101, 4, 1, uint32_t(pictures[i].individual));
        w.U32(0);
    }
    return std::string("MPF\0", 4) + w.out;
}

} // namespace

std::string SampleJpeg(int32_t x, int32_t y, int32_t width, int32_t height)
{
    Picture sample;
    DecodePictureFile(std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps", sample);
    std::vector<uint32_t> crop(size_t(width) * size_t(height));
    for (int32_t row = 0; row < height; ++row)
        for (int32_t col = 0; col < width; ++col)
            crop[size_t(row) * size_t(width) + size_t(col)] = sample.View().Row(y + row)[x + col];
    std::string jpeg;
    EncodePictureBytes(jpeg, PictureFormat::Jpeg, crop.data(), width, height, false);
    return jpeg;
}

Picture DecodeBytes(const std::string& bytes)
{
    Picture picture;
    DecodePictureBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), picture);
    return picture;
}

std::string MakeMpo(const std::vector<MpPicture>& pictures, const MpoOptions& options)
{
    const size_t n = pictures.size();
    std::vector<uint32_t> sizes(n, 0), offsets(n, 0);
    // The segments have the same length whatever the sizes and offsets, so
    // one pass with zeros places every picture.
    std::vector<std::string> withSegment(n);
    auto build = [&] {
        for (size_t i = 0; i < n; ++i)
            withSegment[i] = InsertAfterSoi(
                pictures[i].jpeg, Segment(0xE2, MpfPayload(options.bigEndian, pictures, i, sizes, offsets)));
    };
    build();
    const size_t base = 2 + 4 + 4; // SOI, APP2 marker and length, "MPF\0"
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        sizes[i] = uint32_t(int64_t(withSegment[i].size()) + options.sizeShift);
        offsets[i] = i == 0 || options.sameOffsetForAll ? 0 : uint32_t(int64_t(at - base) + options.offsetShift);
        at += withSegment[i].size() + (i + 1 < n ? options.padding : 0);
    }
    build();
    std::string file;
    for (size_t i = 0; i < n; ++i) {
        file += withSegment[i];
        if (i + 1 < n)
            file += std::string(options.padding, '\0');
    }
    return file;
}

std::string WithJpsDescriptor(const std::string& jpeg, uint32_t descriptor)
{
    std::string payload = "_JPSJPS_";
    payload += {char(0), char(4), char(descriptor >> 24), char(descriptor >> 16), char(descriptor >> 8),
                char(descriptor)};
    return InsertAfterSoi(jpeg, Segment(0xE3, payload));
}

std::string WriteFile(const std::string& name, const std::string& bytes)
{
    std::string path = PictureFolder() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

} // namespace sgtest
