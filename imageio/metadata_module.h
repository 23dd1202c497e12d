#pragma once
// The metadata copy (metadata.h, Exiv2 and the profile and chunk readers of
// metadata_blocks.h) is built as a private shared library,
// libstereoglass-metadata.so, that the program loads only when it first
// looks at a source's metadata. Exiv2 brings libexiv2 and libexpat, so a run
// that converts nothing (a missing file, --help) never maps them. This table
// is the one entry of that library.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/codecs/codec.h"

// Raised whenever a row is added, removed or changes its signature: a
// library of another build is refused rather than called wrongly.
constexpr uint32_t kMetadataCallsVersion = 1;

struct MetadataCalls {
    uint32_t version;
    bool (*pictureHasMetadata)(const uint8_t* source, size_t sourceSize);
    bool (*copyPictureMetadata)(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format,
                                int32_t width, int32_t height, std::string& note);
};

// The library's file name and its one exported symbol.
constexpr const char* kMetadataLibraryName = "libstereoglass-metadata.so";
constexpr const char* kMetadataCallsSymbol = "sg_metadata_calls";
extern "C" const MetadataCalls* sg_metadata_calls();

