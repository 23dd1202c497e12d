#include "anaglyph/perspective_warp.h"

#include <algorithm>
#include <cmath>
#include <emmintrin.h>

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

// Two pixels at once from the 2 x 2 blocks at upperA and upperB (their
// rows rowStep apart), weights fx, fy in 1/128 below kOne: each row mixed
// across in 16 bits (the value times 128), then down by the difference of
// the rows times fy, and rounded.
inline void BlendTwo(const uint32_t* upperA, const uint32_t* upperB, int64_t rowStep, int32_t fxA, int32_t fyA,
                     int32_t fxB, int32_t fyB, uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    auto load = [](const uint32_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); };
    // [A's left, B's left, A's right, B's right] of each row.
    const __m128i top = _mm_unpacklo_epi32(load(upperA), load(upperB));
    const __m128i bottom = _mm_unpacklo_epi32(load(upperA + rowStep), load(upperB + rowStep));
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

void WarpRows(ImageView source, const double m[9], ImageView target, int32_t fromRow, int32_t toRow)
{
    // A source one pixel wide or high is read as if its edge were doubled.
    const int32_t lastX = std::max(0, source.width - 2), lastY = std::max(0, source.height - 2);
    const int32_t nextX = source.width > 1 ? 1 : 0;
    const int64_t nextY = source.height > 1 ? source.stride : 0;
    const int64_t xMost = int64_t{source.width - 1} * kOne, yMost = int64_t{source.height - 1} * kOne;
    for (int32_t y = fromRow; y < toRow; ++y) {
        uint32_t* out = target.Row(y);
        int64_t px = 0, py = 0;
        Place(m, 0, y, px, py);
        for (int32_t x0 = 0; x0 < target.width; x0 += kExactEvery) {
            const int32_t count = std::min(kExactEvery, target.width - x0);
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
            const int64_t insideX = int64_t{source.width - 1} * kOne, insideY = int64_t{source.height - 1} * kOne;
            if (std::min(px, endX) >= 0 && std::max(px, endX) < insideX && std::min(py, endY) >= 0 &&
                std::max(py, endY) < insideY) {
                for (; i + 1 < count; i += 2, sx += 2 * dx, sy += 2 * dy) {
                    const int32_t ax = int32_t(sx >> 16), ay = int32_t(sy >> 16);
                    const int32_t bx = int32_t((sx + dx) >> 16), by = int32_t((sy + dy) >> 16);
                    BlendTwo(source.Row(ay >> kFractionBits) + (ax >> kFractionBits),
                             source.Row(by >> kFractionBits) + (bx >> kFractionBits), source.stride, ax & (kOne - 1),
                             ay & (kOne - 1), bx & (kOne - 1), by & (kOne - 1), out + x0 + i);
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
                const uint32_t* upper = source.Row(iy) + ix;
                if (nextX) {
                    out[x0 + i] = Blend(upper, upper + nextY, fx, fy);
                } else {
                    const uint32_t pair[4] = {upper[0], upper[0], upper[nextY], upper[nextY]};
                    out[x0 + i] = Blend(pair, pair + 2, 0, fy);
                }
            }
            px = qx;
            py = qy;
        }
    }
}

} // namespace

void WarpPerspectiveBilinear(ImageView source, const double m[9], ImageView target)
{
    if (source.Empty() || target.Empty())
        return;
    // Bands of rows, one a core; each band writes only its own rows.
    const int bands = std::min(PartsForCores(), std::max(1, target.height / 16));
    RunParts(bands, [&](int band) {
        WarpRows(source, m, target, int32_t(int64_t{target.height} * band / bands),
                 int32_t(int64_t{target.height} * (band + 1) / bands));
    });
}
