#include "anaglyph/anaglyph_mixer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kGreenBlue = 0x0000FFFF;

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

OutputCurve SrgbCurve()
{
    OutputCurve curve;
    curve.scale = 65535;
    for (int i = 0; i <= 65535; ++i)
        curve.bytes.push_back(RoundedByte(255 * EncodeSrgb(i / 65535.0)));
    return curve;
}

struct InputCurve {
    float values[256];
};

InputCurve StoredInput()
{
    InputCurve curve;
    for (int i = 0; i <= 255; ++i)
        curve.values[i] = static_cast<float>(i);
    return curve;
}

InputCurve LinearInput()
{
    InputCurve curve;
    for (int i = 0; i <= 255; ++i)
        curve.values[i] = static_cast<float>(DecodeSrgb(i / 255.0));
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

const InputCurve& InputFor(MixSpace space)
{
    static const InputCurve stored = StoredInput();
    static const InputCurve linear = LinearInput();
    return space == MixSpace::LinearLight ? linear : stored;
}

// One method, ready for the loop.
struct MixKernel {
    float left[3][3];
    float right[3][3];
    float top; // the working space's largest value
    const InputCurve* input;
    const OutputCurve* output[3];
};

MixKernel KernelFor(const MixMatrices& matrices)
{
    MixKernel kernel;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            kernel.left[row][column] = static_cast<float>(matrices.left[row][column]);
            kernel.right[row][column] = static_cast<float>(matrices.right[row][column]);
        }
        kernel.output[row] = &CurveFor(matrices.space, row);
    }
    kernel.top = matrices.space == MixSpace::LinearLight ? 1.0f : 255.0f;
    kernel.input = &InputFor(matrices.space);
    return kernel;
}

// Red from the left view, green and blue from the right: whole bytes taken
// from one or the other, so a mask per view does it.
void MixRedCyanColour(ImageView left, ImageView right, ImageView out)
{
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x)
            o[x] = (l[x] & kRed) | (r[x] & kGreenBlue);
    }
}

// Every method of the table: both matrices on the pixel's channels in the
// method's working space, clamped, then through the output curves.
void MixWithKernel(const MixKernel& k, ImageView left, ImageView right, ImageView out)
{
    const float* in = k.input->values;
    const uint8_t* curve[3] = {k.output[0]->bytes.data(), k.output[1]->bytes.data(), k.output[2]->bytes.data()};
    const float scale[3] = {k.output[0]->scale, k.output[1]->scale, k.output[2]->scale};
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            const float lc[3] = {in[(l[x] >> 16) & 0xFF], in[(l[x] >> 8) & 0xFF], in[l[x] & 0xFF]};
            const float rc[3] = {in[(r[x] >> 16) & 0xFF], in[(r[x] >> 8) & 0xFF], in[r[x] & 0xFF]};
            uint32_t bytes[3];
            for (int c = 0; c < 3; ++c) {
                float v = k.left[c][0] * lc[0] + k.left[c][1] * lc[1] + k.left[c][2] * lc[2] +
                          k.right[c][0] * rc[0] + k.right[c][1] * rc[1] + k.right[c][2] * rc[2];
                v = std::clamp(v, 0.0f, k.top);
                bytes[c] = curve[c][static_cast<int32_t>(v * scale[c] + 0.5f)];
            }
            o[x] = (bytes[0] << 16) | (bytes[1] << 8) | bytes[2];
        }
    }
}

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
    if (method.glasses == Glasses::RedCyan && method.method == MixMethod::Colour) {
        MixRedCyanColour(left, right, out);
        return true;
    }
    const MixMatrices* matrices = FindMixMatrices(method);
    if (!matrices)
        return false;
    MixWithKernel(KernelFor(*matrices), left, right, out);
    return true;
}
