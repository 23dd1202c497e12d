#include "imageio/leia_pair.h"

#include <nlohmann/json.hpp>

#include <cstring>

#include "imageio/codecs/codec.h"

namespace {

// The tablet's blocks are small: the second picture starts within this many
// bytes of the first one's end, and the JSON is looked for in at most this
// much after the second.
constexpr size_t kMostGap = 1 << 20;
constexpr size_t kMostTrailer = 1 << 20;
// How many closing braces, from the end, are tried as the JSON's end.
constexpr int kMostJsonEnds = 8;

// The next start of a JPEG picture (FF D8 FF) in [from, to).
size_t NextPictureStart(const uint8_t* data, size_t from, size_t to)
{
    for (size_t at = from; at + 3 <= to; ++at) {
        const void* mark = std::memchr(data + at, 0xFF, to - at);
        if (!mark)
            return to;
        at = size_t(static_cast<const uint8_t*>(mark) - data);
        if (at + 3 <= to && data[at + 1] == 0xD8 && data[at + 2] == 0xFF)
            return at;
    }
    return to;
}

// The "xLocation" of each of the trailer's "views", in their order; false
// when the trailer holds no JSON object with such views.
bool ViewLocations(const uint8_t* trailer, size_t size, int64_t locations[2])
{
    const char* text = reinterpret_cast<const char*>(trailer);
    const char* open = static_cast<const char*>(std::memchr(text, '{', size));
    if (!open)
        return false;
    const char* end = text + size;
    for (int tries = 0; tries < kMostJsonEnds && end > open; ++tries) {
        const char* close = end - 1;
        while (close > open && *close != '}')
            --close;
        if (*close != '}')
            return false;
        nlohmann::json json = nlohmann::json::parse(open, close + 1, nullptr, false);
        end = close;
        if (json.is_discarded() || !json.is_object())
            continue;
        auto views = json.find("views");
        if (views == json.end() || !views->is_array() || views->size() != 2)
            return false;
        for (size_t i = 0; i < 2; ++i) {
            const nlohmann::json& view = (*views)[i];
            if (!view.is_object())
                return false;
            auto location = view.find("xLocation");
            if (location == view.end() || !location->is_number_integer())
                return false;
            locations[i] = location->get<int64_t>();
        }
        return true;
    }
    return false;
}

} // namespace

bool FindLeiaPair(const uint8_t* data, size_t size, StereoFrames& frames)
{
    if (!data)
        return false;
    const size_t firstEnd = JpegPictureEnd(data, size, 0);
    if (firstEnd == 0 || firstEnd >= size)
        return false;
    const size_t gapEnd = size - firstEnd > kMostGap ? firstEnd + kMostGap : size;
    const size_t second = NextPictureStart(data, firstEnd, gapEnd);
    if (second >= gapEnd)
        return false;
    const size_t secondEnd = JpegPictureEnd(data, size, second);
    if (secondEnd == 0 || secondEnd >= size)
        return false;
    PictureHeader left, right;
    if (ProbePictureBytes(data, firstEnd, left) != kCodecOk ||
        ProbePictureBytes(data + second, secondEnd - second, right) != kCodecOk || left.width != right.width ||
        left.height != right.height)
        return false;
    int64_t locations[2] = {-1, -1};
    const size_t trailerSize = size - secondEnd > kMostTrailer ? kMostTrailer : size - secondEnd;
    if (!ViewLocations(data + secondEnd, trailerSize, locations))
        return false;
    const bool inOrder = locations[0] == 0 && locations[1] == 1;
    const bool reversed = locations[0] == 1 && locations[1] == 0;
    if (!inOrder && !reversed)
        return false;
    const ByteRange firstPicture = {0, firstEnd};
    const ByteRange secondPicture = {second, secondEnd - second};
    frames = StereoFrames{};
    frames.found = FrameSearch::StereoPair;
    frames.origin = "Leia stereo pair";
    frames.frames[0] = inOrder ? firstPicture : secondPicture;
    frames.frames[1] = inOrder ? secondPicture : firstPicture;
    return true;
}
