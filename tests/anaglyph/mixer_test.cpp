#include "anaglyph/anaglyph_mixer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

using Rgb = std::array<double, 3>;
using Matrix = std::array<Rgb, 3>;

// The methods as their definitions say, in double precision, written out
// independently of the mixer's table.
double Luma(const Rgb& c) { return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2]; }

double Decode(double v)
{
    v /= 255;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double Encode(double l) { return 255 * (l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055); }

Rgb Apply(const Matrix& m, const Rgb& c)
{
    Rgb out{};
    for (int row = 0; row < 3; ++row)
        out[row] = m[row][0] * c[0] + m[row][1] * c[1] + m[row][2] * c[2];
    return out;
}

struct DuboisPair {
    Glasses glasses;
    Matrix left, right;
};

const DuboisPair kDubois[] = {
    {Glasses::RedCyan,
     {{{0.437, 0.449, 0.164}, {-0.062, -0.062, -0.024}, {-0.048, -0.050, -0.017}}},
     {{{-0.011, -0.032, -0.007}, {0.377, 0.761, 0.009}, {-0.026, -0.093, 1.234}}}},
    {Glasses::GreenMagenta,
     {{{-0.062, -0.158, -0.039}, {0.284, 0.668, 0.143}, {-0.015, -0.027, 0.021}}},
     {{{0.529, 0.705, 0.024}, {-0.016, -0.015, -0.065}, {0.009, 0.075, 0.937}}}},
    {Glasses::AmberBlue,
     {{{1.062, -0.205, 0.299}, {-0.026, 0.908, 0.068}, {-0.038, -0.173, 0.022}}},
     {{{-0.016, -0.123, -0.017}, {0.006, 0.062, -0.017}, {0.094, 0.185, 0.911}}}},
};

// Unrounded, unclamped output for the stored-value methods; Dubois returns
// its clamped, encoded value.
Rgb Reference(AnaglyphMethod method, const Rgb& l, const Rgb& r)
{
    const double yl = Luma(l), yr = Luma(r);
    switch (method.method) {
    case MixMethod::Colour:
        if (method.glasses == Glasses::RedCyan)
            return {l[0], r[1], r[2]};
        if (method.glasses == Glasses::GreenMagenta)
            return {r[0], l[1], r[2]};
        return {l[0], l[1], r[2]};
    case MixMethod::HalfColour:
        if (method.glasses == Glasses::RedCyan)
            return {yl, r[1], r[2]};
        if (method.glasses == Glasses::GreenMagenta)
            return {r[0], yl, r[2]};
        return {yl, yl, r[2]};
    case MixMethod::Grey:
        if (method.glasses == Glasses::RedCyan)
            return {yl, yr, yr};
        if (method.glasses == Glasses::GreenMagenta)
            return {yr, yl, yr};
        return {yl, yl, yr};
    case MixMethod::Optimised:
        return {255 * std::pow((0.7 * l[1] + 0.3 * l[2]) / 255, 1 / 1.5), r[1], r[2]};
    case MixMethod::Dubois:
        for (const DuboisPair& d : kDubois) {
            if (d.glasses != method.glasses)
                continue;
            Rgb ll{Decode(l[0]), Decode(l[1]), Decode(l[2])}, lr{Decode(r[0]), Decode(r[1]), Decode(r[2])};
            Rgb a = Apply(d.left, ll), b = Apply(d.right, lr), out{};
            for (int c = 0; c < 3; ++c)
                out[c] = Encode(std::clamp(a[c] + b[c], 0.0, 1.0));
            return out;
        }
    }
    return {};
}

Rgb ChannelsOf(uint32_t pixel)
{
    return {double((pixel >> 16) & 0xFF), double((pixel >> 8) & 0xFF), double(pixel & 0xFF)};
}

// Pairs of pixels: the extremes and saturated colours (which drive the
// matrices' sums below 0 and above 255), then a fixed pseudo-random spread.
// The fourth byte varies, since it must not matter.
void MakeFixture(std::vector<uint32_t>& left, std::vector<uint32_t>& right)
{
    const uint32_t corners[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF,
                                0x010101, 0x808080, 0xFEFEFE, 0x0A0B0C};
    for (uint32_t a : corners)
        for (uint32_t b : corners) {
            left.push_back(a | 0xFF000000u);
            right.push_back(b | 0x12000000u);
        }
    uint32_t state = 12345;
    for (int i = 0; i < 4000; ++i) {
        state = state * 1664525u + 1013904223u;
        left.push_back(state);
        state = state * 1664525u + 1013904223u;
        right.push_back(state);
    }
}

const AnaglyphMethod kAllMethods[] = {
    {Glasses::RedCyan, MixMethod::Colour},          {Glasses::RedCyan, MixMethod::HalfColour},
    {Glasses::RedCyan, MixMethod::Grey},            {Glasses::RedCyan, MixMethod::Optimised},
    {Glasses::RedCyan, MixMethod::Dubois},          {Glasses::GreenMagenta, MixMethod::Colour},
    {Glasses::GreenMagenta, MixMethod::HalfColour}, {Glasses::GreenMagenta, MixMethod::Grey},
    {Glasses::GreenMagenta, MixMethod::Dubois},     {Glasses::AmberBlue, MixMethod::Colour},
    {Glasses::AmberBlue, MixMethod::HalfColour},    {Glasses::AmberBlue, MixMethod::Grey},
    {Glasses::AmberBlue, MixMethod::Dubois},
};

std::string NameOf(AnaglyphMethod m) { return GlassesName(m.glasses) + " " + MixMethodName(m.method); }

ImageView ViewOf(std::vector<uint32_t>& pixels, int32_t width)
{
    return {pixels.data(), width, static_cast<int32_t>(pixels.size() / width), width};
}

} // namespace

TEST(Mixer, EveryMethodWithinOneOfItsDefinition)
{
    std::vector<uint32_t> left, right;
    MakeFixture(left, right);
    const int32_t width = 16;
    left.resize(left.size() / width * width);
    right.resize(left.size());
    for (AnaglyphMethod method : kAllMethods) {
        std::vector<uint32_t> out(left.size(), 0xDEADBEEF);
        ASSERT_TRUE(MixViews(ViewOf(left, width), ViewOf(right, width), method, ViewOf(out, width))) << NameOf(method);
        // The colour methods move whole bytes, so they are exact.
        const double tolerance = method.method == MixMethod::Colour ? 0 : 1;
        for (size_t i = 0; i < out.size(); ++i) {
            Rgb expected = Reference(method, ChannelsOf(left[i]), ChannelsOf(right[i]));
            Rgb got = ChannelsOf(out[i]);
            ASSERT_EQ(out[i] >> 24, 0u) << NameOf(method);
            for (int c = 0; c < 3; ++c) {
                double exact = std::clamp(expected[c], 0.0, 255.0);
                ASSERT_LE(std::abs(got[c] - std::round(exact)), tolerance)
                    << NameOf(method) << " pixel " << i << " channel " << c << ": " << std::hex << left[i] << " "
                    << right[i] << std::dec << " expected " << exact << " got " << got[c];
            }
        }
    }
}

TEST(Mixer, DuboisClampsInLinearLight)
{
    // Saturated red on the left and black on the right drive red/cyan's
    // green and blue below zero: they come out 0, and red is the left
    // matrix's first entry, sRGB-encoded.
    std::vector<uint32_t> left{0xFF0000}, right{0x000000}, out{0};
    ASSERT_TRUE(MixViews(ViewOf(left, 1), ViewOf(right, 1), {Glasses::RedCyan, MixMethod::Dubois}, ViewOf(out, 1)));
    EXPECT_EQ(out[0], static_cast<uint32_t>(std::lround(Encode(0.437))) << 16);
    // Magenta on the left through amber/blue goes above one in red (1.361):
    // it clamps to 255.
    left = {0xFF00FF};
    ASSERT_TRUE(MixViews(ViewOf(left, 1), ViewOf(right, 1), {Glasses::AmberBlue, MixMethod::Dubois}, ViewOf(out, 1)));
    EXPECT_EQ(out[0] >> 16, 255u);
}

TEST(Mixer, RedCyanColourIsTheMaskedDesignResultInPlaceAndOnCroppedViews)
{
    // Two views cut from one wider picture (so their stride is not their
    // width), mixed into the right view's own pixels.
    const int32_t width = 7, height = 5, stride = 2 * width + 3;
    std::vector<uint32_t> picture(stride * height);
    uint32_t state = 99;
    for (uint32_t& p : picture)
        p = state = state * 1664525u + 1013904223u;
    const std::vector<uint32_t> before = picture;
    ImageView whole{picture.data(), stride, height, stride};
    ImageView left = whole.Crop(0, 0, width, height), right = whole.Crop(width + 2, 0, width, height);
    ASSERT_TRUE(MixViews(left, right, AnaglyphMethod{}, right));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < stride; ++x) {
            uint32_t old = before[y * stride + x], now = picture[y * stride + x];
            if (x >= width + 2 && x < 2 * width + 2)
                EXPECT_EQ(now, (before[y * stride + x - width - 2] & 0x00FF0000u) | (old & 0x0000FFFFu));
            else
                EXPECT_EQ(now, old) << "outside the output view";
        }
}

TEST(Mixer, RefusesWhatItCannotMix)
{
    std::vector<uint32_t> a(6), b(6), c(6);
    for (Glasses glasses : {Glasses::GreenMagenta, Glasses::AmberBlue}) {
        AnaglyphMethod method{glasses, MixMethod::Optimised};
        EXPECT_FALSE(MixViews(ViewOf(a, 3), ViewOf(b, 3), method, ViewOf(c, 3)));
        EXPECT_NE(MixMethodRefusal(method).find("red-cyan only"), std::string::npos) << MixMethodRefusal(method);
    }
    for (AnaglyphMethod method : kAllMethods)
        EXPECT_EQ(MixMethodRefusal(method), "") << NameOf(method);
    EXPECT_FALSE(MixViews(ViewOf(a, 3), ViewOf(b, 2), {}, ViewOf(c, 3))) << "views of different sizes";
    EXPECT_FALSE(MixViews(ViewOf(a, 3), ViewOf(b, 3), {}, ViewOf(c, 2))) << "output of another size";
}
