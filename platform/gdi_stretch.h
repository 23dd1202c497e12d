#pragma once
// Tap tables of StretchBlt's separable scaling, shared by the general
// filters and the SSE2 halftone filter.
#include <algorithm>
#include <cstdlib>

#include "platform/gdi_internal.h"

namespace gdi {

constexpr int kWeightBits = 14;
constexpr uint32_t kWeightOne = 1u << kWeightBits; // a pixel's weights sum to this

// A heap array whose allocation failure is reported, not thrown.
template <typename T>
struct Array {
    std::unique_ptr<T[], FreeDeleter> data;
    bool Allocate(size_t count)
    {
        data.reset(static_cast<T*>(std::malloc(std::max<size_t>(count, 1) * sizeof(T))));
        return data != nullptr;
    }
    T& operator[](size_t i) const { return data[i]; }
    T* get() const { return data.get(); }
};

struct Tap {
    int32_t index; // source pixel in the bitmap
    uint32_t weight;
};

// Taps of one axis for the destination pixels that survive clipping.
struct Axis {
    Array<uint32_t> first; // pixel i uses taps first[i] .. first[i + 1] - 1
    Array<Tap> taps;
    int32_t count = 0;
    int32_t lowest = 0; // source indices used, lowest..highest
    int32_t highest = 0;
    bool single = true;     // every pixel has one tap
    bool contiguous = true; // single, and pixel i reads lowest + i
};

// An axis in pairs of neighbouring taps for the SSE2 filter: destination
// pixel i reads input pixels start[i], start[i] + 1, ... two at a time, each
// pair weighted by pairWeights[j] (first weight low 16 bits, second high).
// Odd tap counts are padded with a zero weight on the side that stays inside
// the input.
struct PairAxis {
    Array<int32_t> start; // relative to Axis::lowest
    Array<uint32_t> first;
    Array<uint32_t> pairWeights;
    int32_t count = 0;
};

#if defined(__SSE2__)
constexpr bool kHaveHalftoneSse2 = true;
#else
constexpr bool kHaveHalftoneSse2 = false;
#endif

// False when the axis does not fit the pair form (taps of a pixel that are
// not neighbours, or an odd count over a one-pixel input), or memory ran out.
bool MakePairAxis(const Axis& axis, PairAxis& pairs);

// Rows of bytes blended into 16-bit values scaled by 128 (at most 32640):
// out[k] = sum of weights[t] x rows[t][k] / 2^(kWeightBits - 7), each term
// truncated, the sum rounded.
void BlendRows(const uint8_t* const* rows, const uint32_t* weights, size_t count, size_t bytes, int16_t* out);

// One output row from input pixels of 4 channels, bytes or blended values.
void FilterPairs(const uint8_t* in, const PairAxis& x, uint32_t* out);
void FilterPairs(const int16_t* in, const PairAxis& x, uint32_t* out);

} // namespace gdi
