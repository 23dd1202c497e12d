#pragma once
// The metadata blocks of a picture file found and checked byte by byte
// before anything is copied: a JPEG's EXIF segment and its ICC profile from
// APP2 chunks put together by their sequence numbers, a PNG's iCCP profile
// inflated in full, and the test every profile must pass to be kept. Also
// the PNG chunks the PNG output's metadata is written as.
#include <cstddef>
#include <cstdint>
#include <string>

// The largest ICC profile kept: as much as 255 JPEG APP2 chunks can carry.
constexpr size_t kMostIccBytes = 255 * 65519;

// The payload (after "Exif\0\0") of a JPEG's first APP1 EXIF segment in
// its head; false when there is none.
bool FindJpegExif(const uint8_t* data, size_t size, size_t& offset, size_t& length);

// What a search for an ICC profile found.
enum class IccSearch {
    None,    // the file carries no profile
    Found,   // profile holds its bytes (not yet checked as a profile)
    Damaged, // the file carries one that cannot be read; problem says why
};

// A JPEG's profile from its APP2 "ICC_PROFILE" chunks, in the order of
// their sequence numbers, whatever order they are stored in; Damaged when
// one is missing, doubled or numbered out of range.
IccSearch FindJpegIcc(const uint8_t* data, size_t size, std::string& profile, std::string& problem);

// A PNG's profile from its iCCP chunk, inflated; Damaged when the zlib
// stream is broken or does not end inside the chunk, or the profile is
// larger than kMostIccBytes.
IccSearch FindPngIcc(const uint8_t* data, size_t size, std::string& profile, std::string& problem);

// Whether a PNG carries EXIF: an eXIf chunk, or the raw-profile text
// chunk (tEXt, zTXt or iTXt "Raw profile type exif" or "… APP1") older
// writers use.
bool PngHasExif(const uint8_t* data, size_t size);

// "" when profile is a well-formed ICC profile: a 128-byte header whose
// size field is the profile's size, and the signature "acsp"; else why not
// (a few words).
std::string IccProfileProblem(const std::string& profile);

// One PNG chunk: length, type, data and CRC.
std::string PngChunk(const char type[4], const std::string& data);

// An iCCP chunk (profile name, deflated profile) for profile; "" when it
// cannot be compressed.
std::string PngIccChunk(const std::string& profile);

// chunks inserted into png right after its IHDR chunk; false (png as it
// was) when png has no IHDR first.
bool InsertAfterPngHeader(std::string& png, const std::string& chunks);
