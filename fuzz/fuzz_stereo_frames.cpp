// The stereo-frame search on arbitrary bytes behind a JPEG signature: every
// range it gives must lie inside the input, and the ranges of a pair must
// not overlap.
#include <cstring>
#include <vector>

#include "imageio/multi_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> input(data, data + size);
    if (input.size() < 2)
        input.resize(2);
    input[0] = 0xFF;
    input[1] = 0xD8;
    StereoFrames frames = FindStereoFrames(input.data(), input.size());
    if (frames.found == FrameSearch::StereoPair) {
        for (const ByteRange& frame : frames.frames)
            if (frame.offset > input.size() || input.size() - frame.offset < frame.size || frame.size < 4)
                __builtin_trap();
        const ByteRange& a = frames.frames[0];
        const ByteRange& b = frames.frames[1];
        if (a.offset < b.offset + b.size && b.offset < a.offset + a.size)
            __builtin_trap();
    }
    FindJpsDescriptor(input.data(), input.size());
    JpegStructureEnd(input.data(), input.size());
    return 0;
}
