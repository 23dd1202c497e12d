// The conversion's view options and methods, end to end from a PNG pair to a
// PNG anaglyph.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "anaglyph/conversion.h"
#include "imageio/codecs/codec.h"
#include "tests/anaglyph/pictures.h"

namespace {

constexpr int32_t kWidth = 160, kHeight = 120; // each view
constexpr int32_t kDown = 5, kAcross = 3;       // the right view's content against the left's

uint32_t Hash(int32_t x, int32_t y)
{
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u;
    h ^= h >> 13;
    return h * 0x5bd1e995u;
}

uint32_t Channel(double wave, uint32_t noise)
{
    return static_cast<uint32_t>(std::clamp(128 + 70 * wave + double(noise % 41) - 20, 0.0, 255.0));
}

// A textured left view, three channels of their own.
uint32_t LeftAt(int32_t x, int32_t y)
{
    uint32_t h = Hash(x, y);
    return (Channel(std::sin(0.37 * x + 0.11 * y), h) << 16) | (Channel(std::cos(0.23 * y - 0.05 * x), h >> 8) << 8) |
           Channel(std::sin(0.07 * x * 0.31 + 0.19 * y), h >> 16);
}

// The same scene from the right eye: kAcross columns right, kDown rows down.
uint32_t RightAt(int32_t x, int32_t y) { return LeftAt(x - kAcross, y - kDown); }

std::string SourcePair()
{
    static const std::string path = sgtest::WritePng("pair.png", 2 * kWidth, kHeight, [](int32_t x, int32_t y) {
        return x < kWidth ? LeftAt(x, y) : RightAt(x - kWidth, y);
    });
    return path;
}

ConversionResult Convert(const ConversionOptions& options, const std::string& output)
{
    ConversionRequest request;
    request.sourcePath = SourcePair();
    request.outputPath = sgtest::PictureFolder() + "/" + output;
    request.options = options;
    return ConvertPicture(request);
}

ConversionOptions With(const std::function<void(ConversionOptions&)>& set)
{
    ConversionOptions options;
    set(options);
    return options;
}

} // namespace

TEST(ConversionOptions, ViewsAreSwappedAndShiftedInThatOrderBeforeTheMix)
{
    struct Case {
        const char* name;
        ConversionOptions options;
        int32_t width, height;
        std::function<uint32_t(int32_t, int32_t)> expected;
        const char* note; // part of the notes, or ""
    };
    auto redCyan = [](uint32_t red, uint32_t cyan) { return (red & 0xFF0000u) | (cyan & 0x00FFFFu); };
    const Case cases[] = {
        {"default", {}, kWidth, kHeight, [&](int32_t x, int32_t y) { return redCyan(LeftAt(x, y), RightAt(x, y)); },
         ""},
        {"green-magenta", With([](ConversionOptions& o) { o.method.glasses = Glasses::GreenMagenta; }), kWidth,
         kHeight, [](int32_t x, int32_t y) { return (LeftAt(x, y) & 0x00FF00u) | (RightAt(x, y) & 0xFF00FFu); }, ""},
        {"swap", With([](ConversionOptions& o) { o.swapViews = true; }), kWidth, kHeight,
         [&](int32_t x, int32_t y) { return redCyan(RightAt(x, y), LeftAt(x, y)); }, ""},
        {"shift back", With([](ConversionOptions& o) { o.shift = 10; }), kWidth - 10, kHeight,
         [&](int32_t x, int32_t y) { return redCyan(LeftAt(x + 10, y), RightAt(x, y)); }, ""},
        {"shift forward", With([](ConversionOptions& o) { o.shift = -10; }), kWidth - 10, kHeight,
         [&](int32_t x, int32_t y) { return redCyan(LeftAt(x, y), RightAt(x + 10, y)); }, ""},
        {"swap then shift", With([](ConversionOptions& o) { o.swapViews = true; o.shift = 10; }), kWidth - 10, kHeight,
         [&](int32_t x, int32_t y) { return redCyan(RightAt(x + 10, y), LeftAt(x, y)); }, ""},
    };
    for (const Case& c : cases) {
        ConversionResult result = Convert(c.options, "out.png");
        ASSERT_EQ(result.status, ConversionStatus::Written) << c.name << ": " << result.reason;
        EXPECT_NE(result.notes.find(c.note), std::string::npos) << c.name << ": " << result.notes;
        Picture out;
        ASSERT_EQ(DecodePictureFile(sgtest::PictureFolder() + "/out.png", out), kCodecOk);
        ASSERT_EQ(out.width, c.width) << c.name;
        ASSERT_EQ(out.height, c.height) << c.name;
        for (int32_t y = 0; y < out.height; ++y)
            for (int32_t x = 0; x < out.width; ++x)
                ASSERT_EQ(out.View().Row(y)[x] & 0xFFFFFFu, c.expected(x, y)) << c.name << " at " << x << "," << y;
    }
}

TEST(ConversionOptions, RefusedOptionsWriteNothing)
{
    struct Case {
        const char* name;
        ConversionOptions options;
        ConversionStatus status;
        const char* reason;
    };
    const Case cases[] = {
        {"optimised for amber-blue",
         With([](ConversionOptions& o) { o.method = {Glasses::AmberBlue, MixMethod::Optimised}; }),
         ConversionStatus::OptionsRefused, "red-cyan only"},
        {"a shift wider than the views", With([](ConversionOptions& o) { o.shift = -kWidth; }),
         ConversionStatus::SourceUnsuitable, "160 pixels wide"},
    };
    for (const Case& c : cases) {
        std::string output = sgtest::PictureFolder() + "/refused.png";
        ConversionResult result = Convert(c.options, "refused.png");
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << c.name << ": " << result.reason;
        EXPECT_FALSE(std::filesystem::exists(output)) << c.name;
    }
}
