#pragma once
// Looping animated GIFs of a few frames of the same size (a stereo pair's
// wiggle), with one palette chosen for all the frames together.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/image.h"
#include "imageio/codecs/codec.h"

struct GifPalette {
    int32_t count = 0;            // colours in use, 1..256
    uint8_t rgb[256][3] = {};
};

// Median cut over the pixels of every frame: the colour space the frames
// use is split, box by box, at the median of its widest channel until there
// are 256 boxes (or no box can be split), each box giving its mean colour.
GifPalette ChooseSharedPalette(const ImageView* frames, size_t count);

// The frames as a GIF89a that loops for ever, each shown delayMs (rounded to
// the format's hundredths of a second, at least two). Each pixel becomes
// its nearest palette colour, the same for the same colour in every frame:
// no dithering, so nothing flickers between the frames but what differs.
CodecResult EncodeLoopingGif(std::string& out, const ImageView* frames, size_t count, int32_t delayMs,
                             const GifPalette& palette);
