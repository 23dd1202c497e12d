// StretchBlt and BitBlt.
//
// Scaling is separable. For each axis a table of taps (source index, weight
// in 1/16384) per destination pixel is built once per call; rows are then
// filtered vertically into a row of sums and horizontally into the result.
// With n_src source and n_dst destination pixels on an axis:
// - equal sizes copy exactly;
// - growing (any mode): destination pixel x takes source pixel
//   ceil((x + 1) * n_src / n_dst) - 1, in integers. This is block
//   replication without blur; one pixel more than the source copies the
//   picture 1:1 and repeats its last pixel, shifting nothing.
// - shrinking, HALFTONE: the area-weighted average of the source pixels under
//   the footprint [x * n_src / n_dst, (x + 1) * n_src / n_dst);
// - shrinking, COLORONCOLOR: the source pixel under the footprint's centre;
// - shrinking, BLACKONWHITE / WHITEONBLACK: the AND / OR of every source
//   pixel the footprint touches, which keeps black (white) details.
// Source pixels outside the source bitmap read as the nearest edge pixel; the
// destination is clipped to its bitmap. Mirroring (negative sizes) is refused.
#include <algorithm>
#include <cstring>

#include "platform/gdi_stretch.h"
#include "platform/pixel_stretch.h"

using namespace gdi;

namespace {

enum class AxisRule { Replicate, Centre, Area };

struct AxisRequest {
    int64_t sourceStart, sourceLength, destLength;
    int64_t destFrom, destTo; // the clipped part of the destination, rectangle-relative
    int32_t limit;            // source bitmap size on this axis
    AxisRule rule;
};

int32_t ClampIndex(int64_t index, int32_t limit)
{
    return static_cast<int32_t>(std::clamp<int64_t>(index, 0, limit - 1));
}

void AddTap(Axis& axis, uint32_t& used, int32_t index, uint32_t weight, uint32_t pixelStart)
{
    if (used > pixelStart && axis.taps[used - 1].index == index) {
        axis.taps[used - 1].weight += weight;
        return;
    }
    axis.taps[used++] = Tap{index, weight};
}

// Area taps of destination pixel i: its footprint, in units of 1/n_dst
// source pixel, is [i * n_src, (i + 1) * n_src). Pixels beyond either edge of
// the source bitmap collapse into one tap at that edge, so a rectangle far
// outside the bitmap costs no more than one inside it. Weights are the
// overlaps, scaled so that each pixel's weights sum to exactly kWeightOne.
void AddAreaTaps(Axis& axis, uint32_t& used, const AxisRequest& q, int64_t i)
{
    const int64_t ns = q.sourceLength, nd = q.destLength;
    const int64_t lo = i * ns, hi = lo + ns;
    const int64_t r0 = lo / nd, r1 = (hi - 1) / nd;
    const int64_t lowEdge = -q.sourceStart;              // r <= lowEdge reads pixel 0
    const int64_t highEdge = q.limit - 1 - q.sourceStart; // r >= highEdge reads pixel limit - 1
    const uint32_t pixelStart = used;
    int64_t covered = 0;
    auto add = [&](int64_t a, int64_t b, int32_t index) {
        if (a > b)
            return;
        int64_t overlap = std::min(hi, (b + 1) * nd) - std::max(lo, a * nd);
        if (overlap <= 0)
            return;
        uint32_t before = static_cast<uint32_t>(((covered << kWeightBits) + ns / 2) / ns);
        covered += overlap;
        uint32_t after = static_cast<uint32_t>(((covered << kWeightBits) + ns / 2) / ns);
        AddTap(axis, used, index, after - before, pixelStart);
    };
    int64_t lowEnd = std::min(r1, lowEdge);
    add(r0, lowEnd, 0);
    int64_t highStart = std::max({r0, highEdge, lowEnd + 1});
    for (int64_t r = std::max(r0, lowEnd + 1); r < highStart && r <= r1; ++r)
        add(r, r, static_cast<int32_t>(q.sourceStart + r));
    add(highStart, r1, q.limit - 1);
}

int32_t SingleSource(const AxisRequest& q, int64_t i)
{
    const int64_t ns = q.sourceLength, nd = q.destLength;
    int64_t r = q.rule == AxisRule::Centre ? (2 * i + 1) * ns / (2 * nd) : ((i + 1) * ns + nd - 1) / nd - 1;
    return ClampIndex(q.sourceStart + r, q.limit);
}

bool BuildAxis(Axis& axis, const AxisRequest& q)
{
    axis.count = static_cast<int32_t>(q.destTo - q.destFrom);
    // Each source pixel lies under at most two footprints, plus two edge taps a pixel.
    size_t room = q.rule == AxisRule::Area ? 2 * static_cast<size_t>(axis.count) + 2 * static_cast<size_t>(q.limit)
                                           : static_cast<size_t>(axis.count);
    if (!axis.first.Allocate(static_cast<size_t>(axis.count) + 1) || !axis.taps.Allocate(room))
        return false;
    uint32_t used = 0;
    for (int32_t k = 0; k < axis.count; ++k) {
        axis.first[k] = used;
        int64_t i = q.destFrom + k;
        if (q.rule == AxisRule::Area)
            AddAreaTaps(axis, used, q, i);
        else
            axis.taps[used++] = Tap{SingleSource(q, i), kWeightOne};
    }
    axis.first[axis.count] = used;
    axis.lowest = axis.highest = axis.taps[0].index;
    for (uint32_t t = 0; t < used; ++t) {
        axis.lowest = std::min(axis.lowest, axis.taps[t].index);
        axis.highest = std::max(axis.highest, axis.taps[t].index);
    }
    axis.single = used == static_cast<uint32_t>(axis.count);
    axis.contiguous = axis.single && axis.highest - axis.lowest + 1 == axis.count;
    for (int32_t k = 0; axis.contiguous && k < axis.count; ++k)
        axis.contiguous = axis.taps[k].index == axis.lowest + k;
    return true;
}

void RebaseAxis(Axis& axis, int32_t by)
{
    uint32_t used = axis.first[axis.count];
    for (uint32_t t = 0; t < used; ++t)
        axis.taps[t].index -= by;
    axis.lowest -= by;
    axis.highest -= by;
}

bool KnownRop(DWORD rop)
{
    switch (rop) {
    case SRCCOPY:
    case NOTSRCERASE:
    case NOTSRCCOPY:
    case SRCERASE:
    case SRCINVERT:
    case SRCAND:
    case MERGEPAINT:
    case SRCPAINT:
        return true;
    default:
        return false;
    }
}

template <typename Op>
void Combine(uint32_t* __restrict dest, const uint32_t* __restrict source, int32_t count, Op op)
{
    for (int32_t i = 0; i < count; ++i)
        dest[i] = op(source[i], dest[i]) & kColourMask;
}

// dest = rop(source, dest) for count pixels; the fourth byte ends up 0.
void ApplyRop(uint32_t* dest, const uint32_t* source, int32_t count, DWORD rop)
{
    switch (rop) {
    case SRCCOPY:
        return Combine(dest, source, count, [](uint32_t s, uint32_t) { return s; });
    case NOTSRCERASE:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return ~(s | d); });
    case NOTSRCCOPY:
        return Combine(dest, source, count, [](uint32_t s, uint32_t) { return ~s; });
    case SRCERASE:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return s & ~d; });
    case SRCINVERT:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return s ^ d; });
    case SRCAND:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return s & d; });
    case MERGEPAINT:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return ~s | d; });
    case SRCPAINT:
        return Combine(dest, source, count, [](uint32_t s, uint32_t d) { return s | d; });
    default:
        return;
    }
}

// Where the source pixels come from: the bitmap itself, or a copy of the
// part that is read when source and destination are the same bitmap.
struct SourceView {
    const uint32_t* bits;
    size_t stride; // pixels per row
    const uint32_t* Row(int32_t y) const { return bits + static_cast<size_t>(y) * stride; }
};

// Weighted sum of a row of 4-channel values per destination pixel; the
// blue, green and red results are rounded and packed, the fourth byte is 0.
template <typename In, typename Sum, int Shift>
void AverageRow(const In* in, int32_t offset, const Axis& x, uint32_t* out)
{
    constexpr Sum half = Sum{1} << (Shift - 1);
    for (int32_t i = 0; i < x.count; ++i) {
        Sum b = half, g = half, r = half;
        for (uint32_t t = x.first[i]; t < x.first[i + 1]; ++t) {
            const In* p = in + 4 * static_cast<size_t>(x.taps[t].index - offset);
            Sum w = x.taps[t].weight;
            b += w * p[0];
            g += w * p[1];
            r += w * p[2];
        }
        out[i] = static_cast<uint32_t>((r >> Shift) << 16 | (g >> Shift) << 8 | (b >> Shift));
    }
}

// AND (keepBlack) or OR of the pixels each destination pixel's taps name.
void CombineRow(const uint32_t* in, int32_t offset, const Axis& x, bool keepBlack, uint32_t* out)
{
    for (int32_t i = 0; i < x.count; ++i) {
        uint32_t first = x.first[i];
        uint32_t value = in[x.taps[first].index - offset];
        for (uint32_t t = first + 1; t < x.first[i + 1]; ++t)
            value = keepBlack ? value & in[x.taps[t].index - offset] : value | in[x.taps[t].index - offset];
        out[i] = value & kColourMask;
    }
}

void GatherRow(const uint32_t* in, int32_t offset, const Axis& x, uint32_t* out)
{
    for (int32_t i = 0; i < x.count; ++i)
        out[i] = in[x.taps[x.first[i]].index - offset] & kColourMask;
}

// Sum over the row taps of weight x source row, channel by channel, for the
// source columns x.lowest .. x.highest.
void SumRows(const SourceView& source, const Axis& y, int32_t row, const Axis& x, uint32_t* __restrict sums)
{
    size_t channels = 4 * static_cast<size_t>(x.highest - x.lowest + 1);
    for (uint32_t t = y.first[row]; t < y.first[row + 1]; ++t) {
        const auto* __restrict in = reinterpret_cast<const uint8_t*>(source.Row(y.taps[t].index) + x.lowest);
        uint32_t w = y.taps[t].weight;
        if (t == y.first[row])
            for (size_t k = 0; k < channels; ++k)
                sums[k] = w * in[k];
        else
            for (size_t k = 0; k < channels; ++k)
                sums[k] += w * in[k];
    }
}

void CombineRows(const SourceView& source, const Axis& y, int32_t row, const Axis& x, bool keepBlack,
                 uint32_t* __restrict rows)
{
    size_t count = static_cast<size_t>(x.highest - x.lowest + 1);
    for (uint32_t t = y.first[row]; t < y.first[row + 1]; ++t) {
        const uint32_t* __restrict in = source.Row(y.taps[t].index) + x.lowest;
        if (t == y.first[row])
            std::memcpy(rows, in, count * sizeof(uint32_t));
        else if (keepBlack)
            for (size_t k = 0; k < count; ++k)
                rows[k] &= in[k];
        else
            for (size_t k = 0; k < count; ++k)
                rows[k] |= in[k];
    }
}

struct Job {
    SourceView source;
    Axis x, y;
    PairAxis xPairs; // for the SSE2 halftone filter
    bool pairs = false;
    int mode;
    DWORD rop;
    uint32_t* dest; // first destination pixel written
    size_t destStride;
};

// Working rows of one job, allocated once.
struct Scratch {
    Array<uint32_t> out;        // one destination row
    Array<uint32_t> sums;       // 4 values per source column
    Array<int16_t> blended;     // 4 values per source column
    Array<const uint8_t*> rows; // source rows of one destination row
    Array<uint32_t> weights;    // and their weights
};

uint32_t MostTaps(const Axis& axis)
{
    uint32_t most = 0;
    for (int32_t k = 0; k < axis.count; ++k)
        most = std::max(most, axis.first[k + 1] - axis.first[k]);
    return most;
}

bool AllocateScratch(const Job& job, Scratch& scratch)
{
    size_t channels = 4 * static_cast<size_t>(job.x.highest - job.x.lowest + 1);
    size_t rows = MostTaps(job.y);
    if (!scratch.out.Allocate(static_cast<size_t>(job.x.count)))
        return false;
    if (job.pairs)
        return scratch.blended.Allocate(channels) && scratch.rows.Allocate(rows) && scratch.weights.Allocate(rows);
    return scratch.sums.Allocate(channels);
}

// The SSE2 path of a destination row with several source rows.
void BlendRow(const Job& job, int32_t k, const Scratch& scratch)
{
    const Axis& y = job.y;
    size_t count = 0;
    for (uint32_t t = y.first[k]; t < y.first[k + 1]; ++t, ++count) {
        scratch.rows[count] = reinterpret_cast<const uint8_t*>(job.source.Row(y.taps[t].index) + job.x.lowest);
        scratch.weights[count] = y.taps[t].weight;
    }
    size_t channels = 4 * static_cast<size_t>(job.x.highest - job.x.lowest + 1);
    BlendRows(scratch.rows.get(), scratch.weights.get(), count, channels, scratch.blended.get());
    FilterPairs(scratch.blended.get(), job.xPairs, scratch.out.get());
}

// Produces destination row k of the job; returns the row to combine, which
// may be the source row itself when nothing needs computing.
const uint32_t* ScaleRow(const Job& job, int32_t k, const Scratch& scratch)
{
    const Axis& x = job.x;
    const Axis& y = job.y;
    uint32_t* out = scratch.out.get();
    bool keepBlack = job.mode == BLACKONWHITE;
    bool combine = job.mode == BLACKONWHITE || job.mode == WHITEONBLACK;
    if (y.first[k + 1] - y.first[k] == 1) {
        const uint32_t* row = job.source.Row(y.taps[y.first[k]].index);
        if (x.contiguous)
            return row + x.lowest;
        if (x.single)
            GatherRow(row, 0, x, out);
        else if (combine)
            CombineRow(row, 0, x, keepBlack, out);
        else if (job.pairs)
            FilterPairs(reinterpret_cast<const uint8_t*>(row + x.lowest), job.xPairs, out);
        else
            AverageRow<uint8_t, uint32_t, kWeightBits>(reinterpret_cast<const uint8_t*>(row), 0, x, out);
    } else if (combine) {
        CombineRows(job.source, y, k, x, keepBlack, scratch.sums.get());
        CombineRow(scratch.sums.get(), x.lowest, x, keepBlack, out);
    } else if (job.pairs) {
        BlendRow(job, k, scratch);
    } else {
        SumRows(job.source, y, k, x, scratch.sums.get());
        AverageRow<uint32_t, uint64_t, 2 * kWeightBits>(scratch.sums.get(), x.lowest, x, out);
    }
    return out;
}

// Whole rows copied 1:1 between bitmaps of one width form a single block,
// which memcpy can stream without reading the destination first.
bool IsBlockCopy(const Job& job)
{
    return job.rop == SRCCOPY && job.x.contiguous && job.y.contiguous && job.x.lowest == 0 &&
           static_cast<size_t>(job.x.count) == job.destStride && job.source.stride == job.destStride;
}

bool RunJob(const Job& job)
{
    if (IsBlockCopy(job)) {
        size_t pixels = static_cast<size_t>(job.y.count) * job.destStride;
        std::memcpy(job.dest, job.source.Row(job.y.lowest), pixels * sizeof(uint32_t));
        return true;
    }
    Scratch scratch;
    if (!AllocateScratch(job, scratch))
        return false;
    for (int32_t k = 0; k < job.y.count; ++k) {
        uint32_t* dest = job.dest + static_cast<size_t>(k) * job.destStride;
        const uint32_t* row = ScaleRow(job, k, scratch);
        if (job.rop == SRCCOPY && row != scratch.out.get())
            std::memcpy(dest, row, static_cast<size_t>(job.x.count) * sizeof(uint32_t));
        else
            ApplyRop(dest, row, job.x.count, job.rop);
    }
    return true;
}

AxisRule RuleFor(int64_t sourceLength, int64_t destLength, int mode)
{
    if (destLength >= sourceLength)
        return AxisRule::Replicate;
    return mode == COLORONCOLOR ? AxisRule::Centre : AxisRule::Area;
}

// Copies the source columns and rows the job reads and points the job at
// the copy, so that drawing a bitmap onto itself reads the old pixels.
bool DetachSource(Job& job, Array<uint32_t>& copy)
{
    size_t columns = static_cast<size_t>(job.x.highest - job.x.lowest + 1);
    size_t rows = static_cast<size_t>(job.y.highest - job.y.lowest + 1);
    if (!copy.Allocate(columns * rows))
        return false;
    for (size_t r = 0; r < rows; ++r)
        std::memcpy(copy.get() + r * columns, job.source.Row(job.y.lowest + static_cast<int32_t>(r)) + job.x.lowest,
                    columns * sizeof(uint32_t));
    RebaseAxis(job.x, job.x.lowest);
    RebaseAxis(job.y, job.y.lowest);
    job.source = SourceView{copy.get(), columns};
    return true;
}

// The scaling of StretchBlt between two pixel areas, clipped to the
// destination's size; source and destination must not overlap unless they
// are the same bitmap (then the part read is copied first).
bool StretchSurface(const uint32_t* sourceBits, size_t sourceStride, int32_t sourceWidth, int32_t sourceHeight,
                    int sx, int sy, int sw, int sh, uint32_t* destBits, size_t destStride, int32_t destWidth,
                    int32_t destHeight, int x, int y, int width, int height, int mode, DWORD rop)
{
    int64_t xFrom = std::max<int64_t>(0, -int64_t{x}), xTo = std::min<int64_t>(width, int64_t{destWidth} - x);
    int64_t yFrom = std::max<int64_t>(0, -int64_t{y}), yTo = std::min<int64_t>(height, int64_t{destHeight} - y);
    if (xFrom >= xTo || yFrom >= yTo)
        return true; // nothing of the destination lies inside its bitmap
    Job job;
    job.mode = mode;
    job.rop = rop;
    job.source = SourceView{sourceBits, sourceStride};
    job.destStride = destStride;
    job.dest = destBits + static_cast<size_t>(y + yFrom) * job.destStride + static_cast<size_t>(x + xFrom);
    AxisRequest across{sx, sw, width, xFrom, xTo, sourceWidth, RuleFor(sw, width, job.mode)};
    AxisRequest down{sy, sh, height, yFrom, yTo, sourceHeight, RuleFor(sh, height, job.mode)};
    if (!BuildAxis(job.x, across) || !BuildAxis(job.y, down))
        return false;
    Array<uint32_t> copy;
    if (sourceBits == destBits && !DetachSource(job, copy))
        return false;
    bool averages = job.mode == HALFTONE || job.mode == COLORONCOLOR;
    if (kHaveHalftoneSse2 && averages && !(job.x.single && job.y.single))
        job.pairs = MakePairAxis(job.x, job.xPairs);
    return RunJob(job);
}

} // namespace

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                DWORD rop)
{
    if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0 || !KnownRop(rop))
        return FALSE;
    auto held = LockGdi();
    Dc* destDc = FindDc(dest);
    Bitmap* to = DcBitmap(dest);
    Bitmap* from = DcBitmap(source);
    if (!destDc || !to || !from)
        return FALSE;
    return StretchSurface(from->bits.get(), static_cast<size_t>(from->width), from->width, from->height, sx, sy, sw,
                          sh, to->bits.get(), static_cast<size_t>(to->width), to->width, to->height, x, y, width,
                          height, destDc->stretchMode, rop)
               ? TRUE
               : FALSE;
}

bool StretchPixels(ImageView source, int sx, int sy, int sw, int sh, ImageView dest, int x, int y, int width,
                   int height, int mode)
{
    if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0 || source.Empty() || dest.Empty())
        return false;
    return StretchSurface(source.pixels, static_cast<size_t>(source.stride), source.width, source.height, sx, sy, sw,
                          sh, dest.pixels, static_cast<size_t>(dest.stride), dest.width, dest.height, x, y, width,
                          height, mode, SRCCOPY);
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop)
{
    return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}
