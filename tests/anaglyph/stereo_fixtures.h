#pragma once
// Stereo files built in the tests from small real pictures: multi-picture
// files with an index written here (either byte order), JPS descriptors,
// pictures written back to back.
#include <cstdint>
#include <string>
#include <vector>

#include "imageio/codecs/codec.h"

namespace sgtest {

// A width x height crop of the figure sample at (x, y), as a JPEG.
std::string SampleJpeg(int32_t x, int32_t y, int32_t width, int32_t height);
// The decoded pixels of JPEG bytes.
Picture DecodeBytes(const std::string& bytes);

// One picture of a multi-picture file and its index entry.
struct MpPicture {
    std::string jpeg;
    uint32_t type = 0x020002; // disparity view
    int64_t individual = -1;  // B101; -1 writes none
};

struct MpoOptions {
    bool bigEndian = false;
    size_t padding = 0;           // zero bytes after each picture but the last
    int64_t offsetShift = 0;      // added to every written offset but the first
    int64_t sizeShift = 0;        // added to every written size
    bool sameOffsetForAll = false; // every entry points at the first picture
};

// A multi-picture file: an MPF APP2 segment inserted after each picture's
// SOI (index and attributes in the first, attributes in the others), the
// pictures one after the other.
std::string MakeMpo(const std::vector<MpPicture>& pictures, const MpoOptions& options = {});

// jpeg with an APP3 JPS descriptor word inserted after its SOI.
std::string WithJpsDescriptor(const std::string& jpeg, uint32_t descriptor);

// bytes written to a fresh file of the picture folder; its path.
std::string WriteFile(const std::string& name, const std::string& bytes);

} // namespace sgtest
