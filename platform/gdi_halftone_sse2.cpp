// The halftone filter's inner loops in SSE2: rows blended in 16-bit lanes,
// then columns two taps at a time with pmaddwd (16-bit values x 16-bit
// weights summed in pairs into 32 bits).
#include "platform/gdi_stretch.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace gdi {

namespace {

uint32_t PackPair(uint32_t first, uint32_t second) { return first | (second << 16); }

} // namespace

bool MakePairAxis(const Axis& axis, PairAxis& pairs)
{
    const uint32_t taps = axis.first[axis.count];
    const int32_t span = axis.highest - axis.lowest + 1;
    pairs.count = axis.count;
    if (!pairs.start.Allocate(static_cast<size_t>(axis.count)) ||
        !pairs.first.Allocate(static_cast<size_t>(axis.count) + 1) ||
        !pairs.pairWeights.Allocate(static_cast<size_t>(taps) + static_cast<size_t>(axis.count)))
        return false;
    uint32_t used = 0;
    for (int32_t i = 0; i < axis.count; ++i) {
        const uint32_t from = axis.first[i], to = axis.first[i + 1];
        int32_t start = axis.taps[from].index - axis.lowest;
        for (uint32_t t = from + 1; t < to; ++t)
            if (axis.taps[t].index != axis.taps[t - 1].index + 1)
                return false;
        const int32_t n = static_cast<int32_t>(to - from);
        bool padFront = false;
        if (n % 2 != 0 && start + n >= span) { // a zero tap after the last would leave the input
            if (start == 0)
                return false;
            padFront = true;
            start -= 1;
        }
        pairs.start[i] = start;
        pairs.first[i] = used;
        // Weights in reading order, a zero one in front or behind as needed.
        auto weightAt = [&](int32_t k) -> uint32_t {
            int32_t tap = padFront ? k - 1 : k;
            return tap >= 0 && tap < n ? axis.taps[from + static_cast<uint32_t>(tap)].weight : 0;
        };
        for (int32_t k = 0; k < n + (n % 2); k += 2)
            pairs.pairWeights[used++] = PackPair(weightAt(k), weightAt(k + 1));
    }
    pairs.first[axis.count] = used;
    return true;
}

#if defined(__SSE2__)

namespace {

// BlendRows on 32 bytes at a time where the processor has AVX2. Unpacking
// works within 128-bit halves, so the halves are put back in order on store.
__attribute__((target("avx2"))) size_t BlendRowsAvx2(const uint8_t* const* rows, const uint32_t* weights,
                                                     size_t count, size_t bytes, int16_t* out)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i bias = _mm256_set1_epi16(static_cast<int16_t>(count / 2));
    size_t k = 0;
    for (; k + 32 <= bytes; k += 32) {
        __m256i low = bias, high = bias;
        for (size_t t = 0; t < count; ++t) {
            const __m256i w = _mm256_set1_epi16(static_cast<int16_t>(weights[t] << 1));
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[t] + k));
            low = _mm256_add_epi16(low, _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, v), w));
            high = _mm256_add_epi16(high, _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, v), w));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k + 16), _mm256_permute2x128_si256(low, high, 0x31));
    }
    return k;
}

} // namespace

void BlendRows(const uint8_t* const* rows, const uint32_t* weights, size_t count, size_t bytes, int16_t* out)
{
    static const bool avx2 = __builtin_cpu_supports("avx2");
    // Bytes sit in the high half of 16-bit lanes (value x 256); the high half
    // of their product with a weight of 2^15 per unit is value x 128. Each
    // product is truncated, so the sum starts at half a unit per row.
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(count / 2));
    size_t k = avx2 ? BlendRowsAvx2(rows, weights, count, bytes, out) : 0;
    for (; k + 16 <= bytes; k += 16) {
        __m128i low = bias, high = bias;
        for (size_t t = 0; t < count; ++t) {
            const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weights[t] << 1));
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[t] + k));
            low = _mm_add_epi16(low, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, v), w));
            high = _mm_add_epi16(high, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, v), w));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 8), high);
    }
    for (; k < bytes; ++k) {
        uint32_t sum = static_cast<uint32_t>(count / 2);
        for (size_t t = 0; t < count; ++t)
            sum += ((static_cast<uint32_t>(rows[t][k]) << 8) * (weights[t] << 1)) >> 16;
        out[k] = static_cast<int16_t>(sum);
    }
}

namespace {

// Two neighbouring pixels of 16-bit channels, b0 g0 r0 x0 b1 g1 r1 x1,
// reordered to b0 b1 g0 g1 r0 r1 x0 x1 for pmaddwd.
inline __m128i Interleave(__m128i two) { return _mm_unpacklo_epi16(two, _mm_srli_si128(two, 8)); }

inline __m128i LoadTwo(const uint8_t* in)
{
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)), _mm_setzero_si128());
}

inline __m128i LoadTwo(const int16_t* in) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in)); }

template <typename In, int Shift>
void FilterPairsWith(const In* in, const PairAxis& x, uint32_t* out)
{
    const __m128i round = _mm_set1_epi32(1 << (Shift - 1));
    for (int32_t i = 0; i < x.count; ++i) {
        const In* p = in + 4 * static_cast<size_t>(x.start[i]);
        __m128i sum = round;
        for (uint32_t j = x.first[i]; j < x.first[i + 1]; ++j, p += 8) {
            const __m128i w = _mm_set1_epi32(static_cast<int>(x.pairWeights[j]));
            sum = _mm_add_epi32(sum, _mm_madd_epi16(Interleave(LoadTwo(p)), w));
        }
        sum = _mm_srai_epi32(sum, Shift);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(sum, sum), sum);
        out[i] = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes)) & kColourMask;
    }
}

} // namespace

void FilterPairs(const uint8_t* in, const PairAxis& x, uint32_t* out)
{
    FilterPairsWith<uint8_t, kWeightBits>(in, x, out);
}

void FilterPairs(const int16_t* in, const PairAxis& x, uint32_t* out)
{
    FilterPairsWith<int16_t, kWeightBits + 7>(in, x, out);
}

#else // no SSE2: never called (kHaveHalftoneSse2 is false)

void BlendRows(const uint8_t* const*, const uint32_t*, size_t, size_t, int16_t*) {}
void FilterPairs(const uint8_t*, const PairAxis&, uint32_t*) {}
void FilterPairs(const int16_t*, const PairAxis&, uint32_t*) {}

#endif

} // namespace gdi
