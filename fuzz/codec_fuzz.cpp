// Shared body of the picture decoder fuzzers: the input, with the format's
// signature put in front when it lacks one, goes through the probe and
// then the decoder.
#include "imageio/codecs/codec.h"

#include <cstring>
#include <vector>

// Pictures above this many pixels are only probed: decoding them would
// spend the run on filling memory rather than on parsing.
constexpr int64_t kFuzzMostPixels = int64_t{1} << 22;

int FuzzPicture(const uint8_t* data, size_t size, const char* magic, size_t magicSize, const char* otherMagic)
{
    std::vector<uint8_t> input(data, data + size);
    bool signed1 = size >= magicSize && std::memcmp(data, magic, magicSize) == 0;
    bool signed2 = otherMagic && size >= magicSize && std::memcmp(data, otherMagic, magicSize) == 0;
    if (!signed1 && !signed2) {
        if (input.size() < magicSize)
            input.resize(magicSize);
        std::memcpy(input.data(), magic, magicSize);
    }
    PictureHeader header;
    CodecResult probed = ProbePictureBytes(input.data(), input.size(), header);
    if (probed != kCodecOk || int64_t(header.width) * header.height > kFuzzMostPixels)
        return 0;
    Picture picture;
    if (DecodePictureBytes(input.data(), input.size(), picture) != kCodecOk)
        return 0;
    // The probe and the decoder must agree on the size of every picture.
    if (picture.width != header.width || picture.height != header.height || !picture.pixels)
        __builtin_trap();
    return 0;
}
