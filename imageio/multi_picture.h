#pragma once
// Where the stereo views of a JPEG file lie, read from the file's bytes and
// never past them: a multi-picture (MPO) index, two pictures written back to
// back, and the JPS stereo descriptor.
#include <cstddef>
#include <cstdint>
#include <string>

// A run of bytes inside a file.
struct ByteRange {
    size_t offset = 0;
    size_t size = 0;
};

enum class FrameSearch {
    Single,     // one picture to decode as the file is: no index, an index of previews only, any other concatenation
    StereoPair, // two frames: frames[0] the left view, frames[1] the right view
    Damaged,    // the file names stereo views that cannot be used; problem says why
};

struct StereoFrames {
    FrameSearch found = FrameSearch::Single;
    ByteRange frames[2];
    // What the pair came from ("multi-picture index", "two pictures back to
    // back"), for messages.
    std::string origin;
    // Why the file is Damaged (a sentence); otherwise a note to follow the
    // file's name ("holds 3 stereo views; …\n"), or "".
    std::string problem;
};

// The multi-picture index (APP2 "MPF\0" of the first picture) decides when
// there is one; only its disparity views (type 0x020002) are stereo views,
// ordered by their individual numbers. Without an index, exactly two complete
// JPEG pictures of the same size, with nothing but zero padding between and
// after them, are a pair; so is a Leia pair (leia_pair.h), whose JSON
// trailer says which picture is the left view.
StereoFrames FindStereoFrames(const uint8_t* data, size_t size);

// The JPS descriptor (APP3 "_JPSJPS_") of a JPEG's first picture.
struct JpsDescriptor {
    bool present = false;
    uint8_t mediaType = 0; // 0 mono, 1 stereo
    uint8_t layout = 0;    // 1 interleaved, 2 side by side, 3 over/under, 4 anaglyph
    bool halfHeight = false;
    bool halfWidth = false;
    bool leftFirst = false; // clear: the right view comes first (left half or top)
};
constexpr uint8_t kJpsStereo = 1;
constexpr uint8_t kJpsSideBySide = 2;
constexpr uint8_t kJpsOverUnder = 3;

JpsDescriptor FindJpsDescriptor(const uint8_t* data, size_t size);

// The end of a JPEG's head: one past its first SOS segment, where the
// metadata segments have all been seen; size when the bytes are no JPEG or
// the head runs to their end.
size_t JpegHeadEnd(const uint8_t* data, size_t size);

// How far into a JPEG file its structure reaches, judged from its first
// bytes: the end of its first picture; when its multi-picture index names
// pictures further on, the farthest end of the entries read; without an
// index, the end of a second picture that follows the first. 0 when a
// picture it needs does not end inside the bytes given.
size_t JpegStructureEnd(const uint8_t* data, size_t size);

// The end (one past EOI) of the complete JPEG picture that starts at start,
// or 0 when there is none there or it runs past size.
size_t JpegPictureEnd(const uint8_t* data, size_t size, size_t start);
