#include "platform/gdiplus_scale.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

namespace {

// One destination column (or row): the two source pixels it falls between
// and the weight of the second, 0..256.
struct Tap {
    int32_t first;
    int32_t second;
    uint32_t weight;
};

Tap MakeTap(int64_t offset, int32_t destSize, int32_t sourceSize)
{
    double s = (static_cast<double>(offset) + 0.5) * sourceSize / destSize - 0.5;
    s = std::clamp(s, 0.0, static_cast<double>(sourceSize - 1));
    int32_t first = static_cast<int32_t>(std::floor(s));
    auto weight = static_cast<uint32_t>(std::lround((s - first) * 256.0));
    if (weight == 256) {
        ++first;
        weight = 0;
    }
    return {first, std::min(first + 1, sourceSize - 1), weight};
}

inline uint32_t Channel(uint32_t pixel, int shift)
{
    return (pixel >> shift) & 0xFF;
}

// Bilinear sample of an opaque picture: 0x00RRGGBB.
inline uint32_t SampleOpaque(uint32_t p00, uint32_t p01, uint32_t p10, uint32_t p11, uint32_t fx, uint32_t fy)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t top = Channel(p00, shift) * (256 - fx) + Channel(p01, shift) * fx;
        uint32_t bottom = Channel(p10, shift) * (256 - fx) + Channel(p11, shift) * fx;
        out |= ((top * (256 - fy) + bottom * fy + 32768) >> 16) << shift;
    }
    return out;
}

// Bilinear sample with alpha, interpolated premultiplied so that transparent
// neighbours do not darken the edges. colour[c] is colour x alpha (0..65025),
// alpha is 0..255 x 65536.
struct Premultiplied {
    uint32_t colour[3];
    uint32_t alpha;
};

inline Premultiplied SampleAlpha(const uint32_t* p, uint32_t fx, uint32_t fy)
{
    const uint32_t w[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
    uint64_t sum[3] = {0, 0, 0};
    uint64_t alpha = 0;
    for (int i = 0; i < 4; ++i) {
        uint64_t wa = uint64_t{w[i]} * (p[i] >> 24);
        alpha += wa;
        for (int c = 0; c < 3; ++c)
            sum[c] += wa * Channel(p[i], 8 * c);
    }
    Premultiplied out;
    for (int c = 0; c < 3; ++c)
        out.colour[c] = static_cast<uint32_t>((sum[c] + 32768) >> 16);
    out.alpha = static_cast<uint32_t>(alpha);
    return out;
}

inline uint32_t BlendOver(const Premultiplied& s, uint32_t dest)
{
    uint32_t a = (s.alpha + 32768) >> 16;
    uint32_t out = dest & 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        uint32_t v = (s.colour[c] + Channel(dest, 8 * c) * (255 - a) + 127) / 255;
        out |= std::min(v, 255u) << (8 * c);
    }
    return out;
}

inline uint32_t Straight(const Premultiplied& s)
{
    if (s.alpha == 0)
        return 0;
    uint64_t a = s.alpha; // alpha x 65536
    uint32_t out = ((s.alpha + 32768) >> 16) << 24;
    for (int c = 0; c < 3; ++c) {
        uint64_t v = (uint64_t{s.colour[c]} * 65536 + a / 2) / a;
        out |= static_cast<uint32_t>(std::min<uint64_t>(v, 255)) << (8 * c);
    }
    return out;
}

inline uint32_t Put(uint32_t sample, uint32_t dest, ScaleMode mode)
{
    return mode == ScaleMode::Blend ? (dest & 0xFF000000u) | sample : sample | 0xFF000000u;
}

inline uint32_t PutAlpha(uint32_t source, uint32_t dest, ScaleMode mode)
{
    if (mode == ScaleMode::Replace)
        return source;
    uint32_t a = source >> 24;
    if (a == 255)
        return (dest & 0xFF000000u) | (source & 0x00FFFFFFu);
    if (a == 0)
        return dest;
    Premultiplied p;
    for (int c = 0; c < 3; ++c)
        p.colour[c] = Channel(source, 8 * c) * a;
    p.alpha = a << 16;
    return BlendOver(p, dest);
}

struct Span {
    int32_t from, to; // clipped destination range
};

Span Clip(int32_t start, int32_t size, int32_t limit)
{
    int64_t from = std::max<int64_t>(start, 0);
    int64_t to = std::min<int64_t>(int64_t{start} + size, limit);
    if (to < from)
        to = from;
    return {static_cast<int32_t>(from), static_cast<int32_t>(to)};
}

// The picture at its own size: no interpolation at all.
void CopyUnscaled(const ScaleSource& source, const ScaleTarget& target, ScaleRect dest, Span xs, Span ys,
                  ScaleMode mode)
{
    for (int32_t y = ys.from; y < ys.to; ++y) {
        const uint32_t* in = source.pixels + static_cast<size_t>(y - dest.y) * source.width + (xs.from - dest.x);
        uint32_t* out = target.pixels + static_cast<size_t>(y) * target.width + xs.from;
        int32_t count = xs.to - xs.from;
        if (!source.hasAlpha) {
            for (int32_t i = 0; i < count; ++i)
                out[i] = Put(in[i] & 0x00FFFFFFu, out[i], mode);
        } else {
            for (int32_t i = 0; i < count; ++i)
                out[i] = PutAlpha(in[i], out[i], mode);
        }
    }
}

} // namespace

bool ScaleInto(const ScaleSource& source, const ScaleTarget& target, ScaleRect dest, ScaleMode mode)
{
    if (dest.width <= 0 || dest.height <= 0 || source.width <= 0 || source.height <= 0)
        return true;
    Span xs = Clip(dest.x, dest.width, target.width);
    Span ys = Clip(dest.y, dest.height, target.height);
    if (xs.from == xs.to || ys.from == ys.to)
        return true;
    if (dest.width == source.width && dest.height == source.height) {
        CopyUnscaled(source, target, dest, xs, ys, mode);
        return true;
    }
    std::unique_ptr<Tap[]> columns(new (std::nothrow) Tap[static_cast<size_t>(xs.to - xs.from)]);
    if (!columns)
        return false;
    for (int32_t x = xs.from; x < xs.to; ++x)
        columns[x - xs.from] = MakeTap(int64_t{x} - dest.x, dest.width, source.width);
    for (int32_t y = ys.from; y < ys.to; ++y) {
        Tap row = MakeTap(int64_t{y} - dest.y, dest.height, source.height);
        const uint32_t* top = source.pixels + static_cast<size_t>(row.first) * source.width;
        const uint32_t* bottom = source.pixels + static_cast<size_t>(row.second) * source.width;
        uint32_t* out = target.pixels + static_cast<size_t>(y) * target.width;
        for (int32_t x = xs.from; x < xs.to; ++x) {
            const Tap& c = columns[x - xs.from];
            if (!source.hasAlpha) {
                uint32_t s = SampleOpaque(top[c.first], top[c.second], bottom[c.first], bottom[c.second], c.weight,
                                          row.weight);
                out[x] = Put(s, out[x], mode);
                continue;
            }
            const uint32_t p[4] = {top[c.first], top[c.second], bottom[c.first], bottom[c.second]};
            Premultiplied s = SampleAlpha(p, c.weight, row.weight);
            out[x] = mode == ScaleMode::Blend ? BlendOver(s, out[x]) : Straight(s);
        }
    }
    return true;
}
