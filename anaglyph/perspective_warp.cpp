#include "anaglyph/perspective_warp.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <emmintrin.h>
#include <vector>

#include "anaglyph/parallel_parts.h"

namespace {

constexpr int32_t kFractionBits = 7;
constexpr int32_t kOne = 1 << kFractionBits;
// Source places are computed exactly this many pixels apart and stepped
// linearly in between: the perspective's curvature over so few pixels is
// far below the weights' 1/128 of a pixel.
constexpr int32_t kExactEvery = 16;

// One pixel from the 2 x 2 block at (ix, iy), weights in 1/128: each
// channel's two upper neighbours, interleaved, times their two weights
// (pmaddwd), plus the same for the lower row.
inline uint32_t Blend(const uint32_t* upper, const uint32_t* lower, int32_t fx, int32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(upper[0])), _mm_cvtsi32_si128(int(upper[1]))), zero);
    const __m128i bottom = _mm_unpacklo_epi8(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(lower[0])), _mm_cvtsi32_si128(int(lower[1]))), zero);
    const int32_t w00 = (kOne - fx) * (kOne - fy), w01 = fx * (kOne - fy);
    const int32_t w10 = (kOne - fx) * fy, w11 = fx * fy;
    const __m128i upperWeights = _mm_set1_epi32(int(uint32_t(w00) | (uint32_t(w01) << 16)));
    const __m128i lowerWeights = _mm_set1_epi32(int(uint32_t(w10) | (uint32_t(w11) << 16)));
    __m128i sum = _mm_add_epi32(_mm_madd_epi16(top, upperWeights), _mm_madd_epi16(bottom, lowerWeights));
    sum = _mm_srli_epi32(_mm_add_epi32(sum, _mm_set1_epi32(1 << (2 * kFractionBits - 1))), 2 * kFractionBits);
    sum = _mm_packs_epi32(sum, zero);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
}

// The source place of target pixel (x, y) in 1/128 pixel. Not yet clamped:
// places are stepped between exact ones first, and a clamped end would bend
// the line.
inline void Place(const double m[9], double x, double y, int64_t& px, int64_t& py)
{
    // Far outside the source every place reads the same edge pixel.
    constexpr double kFar = double(int64_t{1} << 40);
    const double z = m[6] * x + m[7] * y + m[8];
    px = int64_t(std::llround(std::clamp((m[0] * x + m[1] * y + m[2]) / z * kOne, -kFar, kFar)));
    py = int64_t(std::llround(std::clamp((m[3] * x + m[4] * y + m[5]) / z * kOne, -kFar, kFar)));
}

// Two pixels at once from the 2 x 2 blocks at upperA and upperB (lowerA
// and lowerB the pixels below them), weights fx, fy in 1/128 below kOne: each row mixed
// across in 16 bits (the value times 128), then down by the difference of
// the rows times fy, and rounded.
inline void BlendTwo(const uint32_t* upperA, const uint32_t* lowerA, const uint32_t* upperB, const uint32_t* lowerB,
                     int32_t fxA, int32_t fyA, int32_t fxB, int32_t fyB, uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const uint32_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); };
    // [A's left, B's left, A's right, B's right] of each row.
    const __m128i top = _mm_unpacklo_epi32(load(upperA), load(upperB));
    const __m128i bottom = _mm_unpacklo_epi32(load(lowerA), load(lowerB));
    // Four copies of A's weight, then four of B's.
    auto spread = [](int32_t a, int32_t b) {
        __m128i v = _mm_cvtsi32_si128(int(uint32_t(a) | (uint32_t(b) << 16)));
        v = _mm_unpacklo_epi16(v, v);
        return _mm_unpacklo_epi32(v, v);
    };
    const __m128i right = spread(fxA, fxB), left = _mm_sub_epi16(_mm_set1_epi16(kOne), right);
    const __m128i down = spread(fyA << 8, fyB << 8);
    const __m128i upperRow = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(top, zero), left),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(top, zero), right));
    const __m128i lowerRow = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(bottom, zero), left),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(bottom, zero), right));
    // (lower - upper) fy / 128, as twice the high half of (lower - upper) (fy 256).
    const __m128i step = _mm_mulhi_epi16(_mm_sub_epi16(lowerRow, upperRow), down);
    __m128i sum = _mm_add_epi16(upperRow, _mm_add_epi16(step, step));
    sum = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(kOne / 2)), kFractionBits);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(sum, zero));
}

// The source as a table of its rows, so that a row may be read from a
// saved copy once the warp in place has written over it.
struct Rows {
    const uint32_t* const* row;
    int32_t width, height;
};

// Target row y, written to out (width pixels).
void WarpRow(const Rows& source, const double m[9], uint32_t* out, int32_t width, int32_t y)
{
    // A source one pixel wide or high is read as if its edge were doubled.
    const int32_t lastX = std::max(0, source.width - 2), lastY = std::max(0, source.height - 2);
    const int32_t nextX = source.width > 1 ? 1 : 0, nextY = source.height > 1 ? 1 : 0;
    const int64_t xMost = int64_t{source.width - 1} * kOne, yMost = int64_t{source.height - 1} * kOne;
    const int64_t insideX = xMost, insideY = yMost;
    int64_t px = 0, py = 0;
    Place(m, 0, y, px, py);
    for (int32_t x0 = 0; x0 < width; x0 += kExactEvery) {
        const int32_t count = std::min(kExactEvery, width - x0);
        int64_t qx = 0, qy = 0;
        Place(m, x0 + count, y, qx, qy);
        // Stepped in 1/65536 of the weights' unit for an exact end.
        int64_t sx = px << 16, sy = py << 16;
        const int64_t dx = ((qx - px) << 16) / count, dy = ((qy - py) << 16) / count;
        int32_t i = 0;
        // Inside the source, first to last pixel of the run (the steps
        // are linear, so all between are too): no edge to mind, two
        // pixels at a time.
        const int64_t endX = (sx + (count - 1) * dx) >> 16, endY = (sy + (count - 1) * dy) >> 16;
        if (std::min(px, endX) >= 0 && std::max(px, endX) < insideX && std::min(py, endY) >= 0 &&
            std::max(py, endY) < insideY) {
            for (; i + 1 < count; i += 2, sx += 2 * dx, sy += 2 * dy) {
                const int32_t ax = int32_t(sx >> 16), ay = int32_t(sy >> 16);
                const int32_t bx = int32_t((sx + dx) >> 16), by = int32_t((sy + dy) >> 16);
                const int32_t ra = ay >> kFractionBits, rb = by >> kFractionBits;
                const int32_t ca = ax >> kFractionBits, cb = bx >> kFractionBits;
                BlendTwo(source.row[ra] + ca, source.row[ra + 1] + ca, source.row[rb] + cb, source.row[rb + 1] + cb,
                         ax & (kOne - 1), ay & (kOne - 1), bx & (kOne - 1), by & (kOne - 1), out + x0 + i);
            }
        }
        for (; i < count; ++i, sx += dx, sy += dy) {
            const int32_t cx = int32_t(std::clamp<int64_t>(sx >> 16, 0, xMost));
            const int32_t cy = int32_t(std::clamp<int64_t>(sy >> 16, 0, yMost));
            int32_t ix = cx >> kFractionBits, fx = cx & (kOne - 1);
            int32_t iy = cy >> kFractionBits, fy = cy & (kOne - 1);
            if (ix > lastX) {
                fx += (ix - lastX) * kOne;
                ix = lastX;
            }
            if (iy > lastY) {
                fy += (iy - lastY) * kOne;
                iy = lastY;
            }
            fx = std::min(fx, kOne) * nextX;
            fy = nextY ? std::min(fy, kOne) : 0;
            const uint32_t* upper = source.row[iy] + ix;
            const uint32_t* lower = source.row[iy + nextY] + ix;
            if (nextX) {
                out[x0 + i] = Blend(upper, lower, fx, fy);
            } else {
                const uint32_t pair[4] = {upper[0], upper[0], lower[0], lower[0]};
                out[x0 + i] = Blend(pair, pair + 2, 0, fy);
            }
        }
        px = qx;
        py = qy;
    }
}

std::vector<const uint32_t*> RowTable(ImageView view)
{
    std::vector<const uint32_t*> rows(size_t(view.height));
    for (int32_t y = 0; y < view.height; ++y)
        rows[size_t(y)] = view.Row(y);
    return rows;
}

// The source rows target row y reads, first and last, from the places at
// its two ends: a perspective map takes the row to a straight line, and
// the stepped places lie on chords of it, so no place between lies
// further up or down than the ends. One row of margin each way for the
// bilinear's lower neighbour and the rounding.
void RowsRead(const double m[9], int32_t width, int32_t y, int32_t sourceHeight, int32_t& first, int32_t& last)
{
    int64_t ax = 0, ay = 0, bx = 0, by = 0;
    Place(m, 0, y, ax, ay);
    Place(m, width, y, bx, by);
    const int64_t low = std::min(ay, by) >> kFractionBits, high = (std::max(ay, by) >> kFractionBits) + 2;
    first = int32_t(std::clamp<int64_t>(low - 1, 0, sourceHeight - 1));
    last = int32_t(std::clamp<int64_t>(high, 0, sourceHeight - 1));
}

// One band of the warp in place: target rows [from, to) written to view
// rows top + y, in order (downwards, or upwards when up). Before a view row
// that later rows still read is written over, it is saved to a ring of
// ringRows rows; its entry in the band's row table then points there.
struct Band {
    int32_t from = 0, to = 0;
    std::vector<const uint32_t*> rows;
    int32_t ringRows = 0;
    uint32_t* ring = nullptr;
};

// The ring a band needs: the rows written but still to be read, at most,
// plus one. The furthest row read from here on is tracked backwards.
int32_t RingRowsFor(const double m[9], int32_t width, int32_t sourceHeight, int32_t top, int32_t from, int32_t to,
                    bool up)
{
    int32_t most = 0;
    int32_t reach = up ? -1 : sourceHeight; // the furthest row read by the rows still to do
    // Walked against the band's order, so that reach covers every later row.
    for (int32_t i = 0; i < to - from; ++i) {
        const int32_t y = up ? from + i : to - 1 - i;
        int32_t first = 0, last = 0;
        RowsRead(m, width, y, sourceHeight, first, last);
        reach = up ? std::max(reach, last) : std::min(reach, first);
        const int32_t written = top + y;
        most = std::max(most, up ? reach - written : written - reach);
    }
    return most + 1;
}

void WarpBandInPlace(ImageView view, const double m[9], int32_t width, int32_t top, bool up, Band& band)
{
    const Rows source{band.rows.data(), view.width, view.height};
    const int64_t rowPixels = view.width;
    for (int32_t i = 0; i < band.to - band.from; ++i) {
        const int32_t y = up ? band.to - 1 - i : band.from + i;
        uint32_t* live = view.Row(top + y);
        const uint32_t*& entry = band.rows[size_t(top + y)];
        if (entry == live) { // not saved by the caller: save it now
            uint32_t* slot = band.ring + int64_t{(top + y) % band.ringRows} * rowPixels;
            std::copy(live, live + rowPixels, slot);
            entry = slot;
        }
        WarpRow(source, m, live, width, y);
    }
}

} // namespace

void WarpPerspectiveBilinear(ImageView source, const double m[9], ImageView target)
{
    if (source.Empty() || target.Empty())
        return;
    const std::vector<const uint32_t*> table = RowTable(source);
    const Rows rows{table.data(), source.width, source.height};
    // Bands of rows, one a core; each band writes only its own rows.
    const int bands = std::min(PartsForCores(), std::max(1, target.height / 16));
    RunParts(bands, [&](int band) {
        const int32_t from = int32_t(int64_t{target.height} * band / bands);
        const int32_t to = int32_t(int64_t{target.height} * (band + 1) / bands);
        for (int32_t y = from; y < to; ++y)
            WarpRow(rows, m, target.Row(y), target.width, y);
    });
}

void WarpPerspectiveRows(ImageView source, const double m[9], int32_t top, ImageView target)
{
    if (source.Empty() || target.Empty())
        return;
    const std::vector<const uint32_t*> table = RowTable(source);
    const Rows rows{table.data(), source.width, source.height};
    for (int32_t y = 0; y < target.height; ++y)
        WarpRow(rows, m, target.Row(y), target.width, top + y);
}

void WarpRowsRead(const double m[9], int32_t width, int32_t from, int32_t to, int32_t sourceHeight, int32_t& first,
                  int32_t& last)
{
    first = sourceHeight - 1;
    last = 0;
    for (int32_t y = from; y < to; ++y) {
        int32_t low = 0, high = 0;
        RowsRead(m, width, y, sourceHeight, low, high);
        first = std::min(first, low);
        last = std::max(last, high);
    }
}

bool WarpPerspectiveInPlace(ImageView view, const double m[9], int32_t width, int32_t height, ImageView& result,
                            int parts)
{
    if (view.Empty() || width <= 0 || height <= 0 || width > view.width || height > view.height)
        return false;
    if (parts <= 0)
        parts = PartsForCores();
    // Two bands at most: the rows saved about their meeting are all that
    // keeps one from reading what the other wrote.
    const int bands = std::min({parts, 2, std::max(1, height / 16)});
    // Where the target goes, and which way it is written: the top or the
    // bottom of the view, downwards or upwards, whichever leaves the
    // fewest rows to save.
    struct Choice {
        int32_t top;
        bool up;
        int64_t rows; // saved rows in all
    };
    Choice best{0, false, -1};
    std::vector<Band> plan(static_cast<size_t>(bands));
    for (int32_t top : {0, view.height - height})
        for (bool up : {false, true}) {
            int64_t rows = 0;
            for (int b = 0; b < bands; ++b) {
                const int32_t from = int32_t(int64_t{height} * b / bands), to = int32_t(int64_t{height} * (b + 1) / bands);
                rows += RingRowsFor(m, width, view.height, top, from, to, up);
                if (b > 0) {
                    // The rows about the meeting of two bands, which either
                    // may write over before the other has read them, are
                    // saved before the bands start: from the first the
                    // lower band reads to the last the upper band reads.
                    int32_t first = 0, last = 0, lowest = view.height, highest = -1;
                    for (int32_t y = from; y < to; ++y) {
                        RowsRead(m, width, y, view.height, first, last);
                        lowest = std::min(lowest, first);
                    }
                    for (int32_t y = int32_t(int64_t{height} * (b - 1) / bands); y < from; ++y) {
                        RowsRead(m, width, y, view.height, first, last);
                        highest = std::max(highest, last);
                    }
                    rows += std::max(0, std::max(highest, top + from - 1) - std::min(lowest, top + from) + 1);
                }
            }
            if (best.rows < 0 || rows < best.rows)
                best = {top, up, rows};
        }
    const int64_t bytes = best.rows * int64_t{view.width} * 4;
    PixelBuffer saved(static_cast<uint32_t*>(std::malloc(size_t(bytes))));
    if (!saved)
        return false;
    const std::vector<const uint32_t*> table = RowTable(view);
    uint32_t* next = saved.get();
    for (int b = 0; b < bands; ++b) {
        Band& band = plan[size_t(b)];
        band.from = int32_t(int64_t{height} * b / bands);
        band.to = int32_t(int64_t{height} * (b + 1) / bands);
        band.rows = table;
        band.ringRows = RingRowsFor(m, width, view.height, best.top, band.from, band.to, best.up);
        band.ring = next;
        next += int64_t{band.ringRows} * view.width;
    }
    for (int b = 1; b < bands; ++b) {
        int32_t first = 0, last = 0, lowest = view.height, highest = -1;
        for (int32_t y = plan[size_t(b)].from; y < plan[size_t(b)].to; ++y) {
            RowsRead(m, width, y, view.height, first, last);
            lowest = std::min(lowest, first);
        }
        for (int32_t y = plan[size_t(b - 1)].from; y < plan[size_t(b)].from; ++y) {
            RowsRead(m, width, y, view.height, first, last);
            highest = std::max(highest, last);
        }
        const int32_t meeting = best.top + plan[size_t(b)].from;
        const int32_t begin = std::min(lowest, meeting), end = std::max(highest, meeting - 1);
        // Every band reads these rows from the copy: none of them changes.
        for (int32_t r = begin; r <= end; ++r) {
            std::copy(view.Row(r), view.Row(r) + view.width, next);
            for (Band& band : plan)
                band.rows[size_t(r)] = next;
            next += view.width;
        }
    }
    RunParts(bands, [&](int b) { WarpBandInPlace(view, m, width, best.top, best.up, plan[size_t(b)]); });
    result = view.Crop(0, best.top, width, height);
    return true;
}
