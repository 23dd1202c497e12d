#include "anaglyph/anaglyph_mixer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Rec. 601 luma on the stored values.
constexpr double kLr = 0.299, kLg = 0.587, kLb = 0.114;

// clang-format off
constexpr MixMatrices kMethods[] = {
    // Red/cyan: the left eye sees red.
    {Glasses::RedCyan, MixMethod::Colour, MixSpace::Stored,
     {{1, 0, 0}, {0, 0, 0}, {0, 0, 0}},
     {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {Glasses::RedCyan, MixMethod::HalfColour, MixSpace::Stored,
     {{kLr, kLg, kLb}, {0, 0, 0}, {0, 0, 0}},
     {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {Glasses::RedCyan, MixMethod::Grey, MixSpace::Stored,
     {{kLr, kLg, kLb}, {0, 0, 0}, {0, 0, 0}},
     {{0, 0, 0}, {kLr, kLg, kLb}, {kLr, kLg, kLb}}},
    {Glasses::RedCyan, MixMethod::Optimised, MixSpace::BrightenedRed,
     {{0, 0.7, 0.3}, {0, 0, 0}, {0, 0, 0}},
     {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {Glasses::RedCyan, MixMethod::Dubois, MixSpace::LinearLight,
     {{0.437, 0.449, 0.164}, {-0.062, -0.062, -0.024}, {-0.048, -0.050, -0.017}},
     {{-0.011, -0.032, -0.007}, {0.377, 0.761, 0.009}, {-0.026, -0.093, 1.234}}},
    // Green/magenta: the left eye sees green.
    {Glasses::GreenMagenta, MixMethod::Colour, MixSpace::Stored,
     {{0, 0, 0}, {0, 1, 0}, {0, 0, 0}},
     {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}}},
    {Glasses::GreenMagenta, MixMethod::HalfColour, MixSpace::Stored,
     {{0, 0, 0}, {kLr, kLg, kLb}, {0, 0, 0}},
     {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}}},
    {Glasses::GreenMagenta, MixMethod::Grey, MixSpace::Stored,
     {{0, 0, 0}, {kLr, kLg, kLb}, {0, 0, 0}},
     {{kLr, kLg, kLb}, {0, 0, 0}, {kLr, kLg, kLb}}},
    {Glasses::GreenMagenta, MixMethod::Dubois, MixSpace::LinearLight,
     {{-0.062, -0.158, -0.039}, {0.284, 0.668, 0.143}, {-0.015, -0.027, 0.021}},
     {{0.529, 0.705, 0.024}, {-0.016, -0.015, -0.065}, {0.009, 0.075, 0.937}}},
    // Amber/blue: the left eye sees amber (red and green).
    {Glasses::AmberBlue, MixMethod::Colour, MixSpace::Stored,
     {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}},
     {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}},
    {Glasses::AmberBlue, MixMethod::HalfColour, MixSpace::Stored,
     {{kLr, kLg, kLb}, {kLr, kLg, kLb}, {0, 0, 0}},
     {{0, 0, 0}, {0, 0, 0}, {0, 0, 1}}},
    {Glasses::AmberBlue, MixMethod::Grey, MixSpace::Stored,
     {{kLr, kLg, kLb}, {kLr, kLg, kLb}, {0, 0, 0}},
     {{0, 0, 0}, {0, 0, 0}, {kLr, kLg, kLb}}},
    {Glasses::AmberBlue, MixMethod::Dubois, MixSpace::LinearLight,
     {{1.062, -0.205, 0.299}, {-0.026, 0.908, 0.068}, {-0.038, -0.173, 0.022}},
     {{-0.016, -0.123, -0.017}, {0.006, 0.062, -0.017}, {0.094, 0.185, 0.911}}},
};
// clang-format on

double DecodeSrgb(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double EncodeSrgb(double linear)
{
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

uint8_t RoundedByte(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// A working value becomes an output byte through a table, indexed by the
// value times `scale`, rounded: fine enough that the table's step moves the
// result by far less than one.
struct OutputCurve {
    float scale = 1;
    std::vector<uint8_t> bytes;
};

OutputCurve StoredCurve()
{
    OutputCurve curve;
    for (int i = 0; i <= 255; ++i)
        curve.bytes.push_back(static_cast<uint8_t>(i));
    return curve;
}

// The optimised red is 0.7 g + 0.3 b: always a whole number of tenths.
OutputCurve BrightenedCurve()
{
    OutputCurve curve;
    curve.scale = 10;
    for (int i = 0; i <= 2550; ++i)
        curve.bytes.push_back(RoundedByte(255 * std::pow(i / 2550.0, 1 / 1.5)));
    return curve;
}

// 16384 steps: sRGB's steepest slope (12.92) moves the output by at most 0.1
// within a step, so the rounded result is within 1 of the exact one.
OutputCurve SrgbCurve()
{
    constexpr int kSteps = 16383;
    OutputCurve curve;
    curve.scale = kSteps;
    for (int i = 0; i <= kSteps; ++i)
        curve.bytes.push_back(RoundedByte(255 * EncodeSrgb(double(i) / kSteps)));
    return curve;
}

// Built once, on first use, and shared by every thread.
const OutputCurve& CurveFor(MixSpace space, int channel)
{
    static const OutputCurve stored = StoredCurve();
    static const OutputCurve brightened = BrightenedCurve();
    static const OutputCurve srgb = SrgbCurve();
    if (space == MixSpace::LinearLight)
        return srgb;
    if (space == MixSpace::BrightenedRed && channel == 0)
        return brightened;
    return stored;
}

double InputValue(MixSpace space, int stored)
{
    return space == MixSpace::LinearLight ? DecodeSrgb(stored / 255.0) : stored;
}

// One method, ready for the loop: for each view and input channel, what
// each stored value adds to the output R, G and B (fourth lane 0), so that a
// pixel is six table rows summed, clamped and put through the curves.
struct MixKernel {
    alignas(16) float contribution[2][3][256][4];
    alignas(16) float top[4];   // the working space's largest value
    alignas(16) float scale[4]; // each curve's index per working unit
    const uint8_t* curve[3];
};

void BuildKernel(const MixMatrices& m, MixKernel& k)
{
    for (int view = 0; view < 2; ++view) {
        const double(&matrix)[3][3] = view == 0 ? m.left : m.right;
        for (int column = 0; column < 3; ++column)
            for (int value = 0; value < 256; ++value) {
                double in = InputValue(m.space, value);
                for (int row = 0; row < 3; ++row)
                    k.contribution[view][column][value][row] = static_cast<float>(matrix[row][column] * in);
                k.contribution[view][column][value][3] = 0;
            }
    }
    const float top = m.space == MixSpace::LinearLight ? 1.0f : 255.0f;
    for (int c = 0; c < 3; ++c) {
        const OutputCurve& curve = CurveFor(m.space, c);
        k.top[c] = top;
        k.scale[c] = curve.scale;
        k.curve[c] = curve.bytes.data();
    }
    k.top[3] = 0;
    k.scale[3] = 0;
}

// A method whose every output channel is the same channel of one view moves
// whole bytes: a mask per view does it (red/cyan colour, the design's own
// routine, among them). False when the method is not of that kind.
bool ByteMasks(const MixMatrices& m, uint32_t& leftMask, uint32_t& rightMask)
{
    if (m.space != MixSpace::Stored)
        return false;
    leftMask = rightMask = 0;
    for (int row = 0; row < 3; ++row) {
        const uint32_t bytes = 0xFFu << (8 * (2 - row)); // R, G, B of 0xAARRGGBB
        for (int column = 0; column < 3; ++column) {
            double l = m.left[row][column], r = m.right[row][column];
            if ((l != 0 && (l != 1 || column != row)) || (r != 0 && (r != 1 || column != row)))
                return false;
            leftMask |= l == 1 ? bytes : 0;
            rightMask |= r == 1 ? bytes : 0;
        }
        if (((leftMask & bytes) != 0) == ((rightMask & bytes) != 0))
            return false; // each channel from exactly one view
    }
    return true;
}

void MixByMasks(ImageView left, ImageView right, uint32_t leftMask, uint32_t rightMask, ImageView out)
{
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x)
            o[x] = (l[x] & leftMask) | (r[x] & rightMask);
    }
}

uint32_t Packed(const MixKernel& k, const int32_t* index)
{
    return (uint32_t{k.curve[0][index[0]]} << 16) | (uint32_t{k.curve[1][index[1]]} << 8) | k.curve[2][index[2]];
}

#if defined(__SSE2__)
// The three output channels side by side in one SSE register.
void MixWithKernel(const MixKernel& k, ImageView left, ImageView right, ImageView out)
{
    const __m128 zero = _mm_setzero_ps(), top = _mm_load_ps(k.top), scale = _mm_load_ps(k.scale);
    const __m128 half = _mm_set1_ps(0.5f);
    const auto& cl = k.contribution[0];
    const auto& cr = k.contribution[1];
    alignas(16) int32_t index[4];
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            const uint32_t lp = l[x], rp = r[x];
            __m128 sum = _mm_add_ps(_mm_add_ps(_mm_load_ps(cl[0][(lp >> 16) & 0xFF]), _mm_load_ps(cl[1][(lp >> 8) & 0xFF])),
                                    _mm_load_ps(cl[2][lp & 0xFF]));
            sum = _mm_add_ps(sum, _mm_add_ps(_mm_add_ps(_mm_load_ps(cr[0][(rp >> 16) & 0xFF]),
                                                        _mm_load_ps(cr[1][(rp >> 8) & 0xFF])),
                                             _mm_load_ps(cr[2][rp & 0xFF])));
            sum = _mm_min_ps(_mm_max_ps(sum, zero), top);
            _mm_store_si128(reinterpret_cast<__m128i*>(index),
                            _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(sum, scale), half)));
            o[x] = Packed(k, index);
        }
    }
}
#else
void MixWithKernel(const MixKernel& k, ImageView left, ImageView right, ImageView out)
{
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            const uint32_t p[2] = {l[x], r[x]};
            int32_t index[3];
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (int view = 0; view < 2; ++view)
                    sum += k.contribution[view][0][(p[view] >> 16) & 0xFF][c] +
                           k.contribution[view][1][(p[view] >> 8) & 0xFF][c] + k.contribution[view][2][p[view] & 0xFF][c];
                index[c] = static_cast<int32_t>(std::clamp(sum, 0.0f, k.top[c]) * k.scale[c] + 0.5f);
            }
            o[x] = Packed(k, index);
        }
    }
}
#endif

} // namespace

const MixMatrices* FindMixMatrices(AnaglyphMethod method)
{
    for (const MixMatrices& row : kMethods) {
        if (row.glasses == method.glasses && row.method == method.method)
            return &row;
    }
    return nullptr;
}

std::string MixMethodRefusal(AnaglyphMethod method)
{
    if (FindMixMatrices(method))
        return {};
    return "The " + MixMethodName(method.method) + " method is not made for " + GlassesName(method.glasses) +
           " glasses" + (method.method == MixMethod::Optimised ? " (it is for red-cyan only)." : ".");
}

bool MixViews(ImageView left, ImageView right, AnaglyphMethod method, ImageView out)
{
    if (left.width != right.width || left.height != right.height || out.width != left.width ||
        out.height != left.height)
        return false;
    const MixMatrices* matrices = FindMixMatrices(method);
    if (!matrices)
        return false;
    uint32_t leftMask = 0, rightMask = 0;
    if (ByteMasks(*matrices, leftMask, rightMask)) {
        MixByMasks(left, right, leftMask, rightMask, out);
        return true;
    }
    auto kernel = std::make_unique<MixKernel>();
    BuildKernel(*matrices, *kernel);
    MixWithKernel(*kernel, left, right, out);
    return true;
}
