// The output kinds beyond the anaglyph, read back by independent readers
// (exiftool, Pillow, the codecs) and by the program's own stereo reader.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "anaglyph/conversion.h"
#include "anaglyph/stereo_output.h"
#include "anaglyph/stereo_source.h"
#include "imageio/image_file.h"
#include "imageio/multi_picture.h"
#include "tests/anaglyph/pictures.h"
#include "tests/anaglyph/stereo_fixtures.h"
#include "tests/support/command.h"

namespace {

using sgtest::CommandOutput;

// Distinct left and right views of 6 x 4 in a lossless side-by-side PNG:
// red counts the columns, green the rows, blue tells the views apart.
uint32_t LeftColour(int32_t x, int32_t y) { return uint32_t(x * 40) << 16 | uint32_t(y * 60) << 8 | 10; }
uint32_t RightColour(int32_t x, int32_t y) { return uint32_t(x * 40) << 16 | uint32_t(y * 60) << 8 | 200; }
constexpr int32_t kW = 6, kH = 4;

std::string PairPng()
{
    return sgtest::WritePng("pair.png", 2 * kW, kH,
                            [](int32_t x, int32_t y) { return x < kW ? LeftColour(x, y) : RightColour(x - kW, y); });
}

ConversionResult Convert(const std::string& source, const std::string& output, OutputKind kind,
                         ConversionOptions options = {})
{
    ConversionRequest request;
    request.sourcePath = source;
    request.outputPath = sgtest::PictureFolder() + "/" + output;
    request.options = options;
    request.options.outputKind = kind;
    return ConvertPicture(request);
}

std::string Path(const std::string& name) { return sgtest::PictureFolder() + "/" + name; }

uint32_t At(const Image& image, int32_t x, int32_t y)
{
    return image.pixels[size_t(y) * size_t(image.width) + size_t(x)] & 0xFFFFFF;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// Pillow, from Debian's own Python.
std::string Pillow(const std::string& script) { return CommandOutput("/usr/bin/python3 -c " + Quoted(script)); }

// The largest difference of a channel between two same-size images (JPEG
// round trips), 256 when the sizes differ.
int MostDifference(const ImageView& a, const ImageView& b)
{
    if (a.width != b.width || a.height != b.height)
        return 256;
    int most = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            for (int shift = 0; shift < 24; shift += 8)
                most = std::max(most, std::abs(int(a.Row(y)[x] >> shift & 0xFF) - int(b.Row(y)[x] >> shift & 0xFF)));
    return most;
}

// The views the program's own reader finds in a file.
StereoSource ReadPair(const std::string& path)
{
    ConversionRequest request;
    request.sourcePath = path;
    StereoSource source;
    std::string reason;
    EXPECT_EQ(LoadStereoSource(request, source, reason), ConversionStatus::Written) << reason;
    return source;
}

TEST(StereoOutput, PairKindsPlaceTheViewsAsTheirNamesSay)
{
    const std::string source = PairPng();
    struct Case {
        OutputKind kind;
        int32_t width, height;
        uint32_t (*expected)(int32_t x, int32_t y);
    };
    const Case cases[] = {
        {OutputKind::SideBySide, 2 * kW, kH,
         [](int32_t x, int32_t y) { return x < kW ? LeftColour(x, y) : RightColour(x - kW, y); }},
        {OutputKind::Cross, 2 * kW, kH,
         [](int32_t x, int32_t y) { return x < kW ? RightColour(x, y) : LeftColour(x - kW, y); }},
        {OutputKind::OverUnder, kW, 2 * kH,
         [](int32_t x, int32_t y) { return y < kH ? LeftColour(x, y) : RightColour(x, y - kH); }},
        // Each view squeezed to half its width: two columns become their mean.
        {OutputKind::HalfSideBySide, kW, kH,
         [](int32_t x, int32_t y) {
             const int32_t half = kW / 2;
             uint32_t c = x < half ? LeftColour(2 * x, y) : RightColour(2 * (x - half), y);
             return c + (20u << 16);
         }},
    };
    for (const Case& c : cases) {
        const std::string name = "pair_" + OutputKindName(c.kind) + ".png";
        SCOPED_TRACE(name);
        ConversionResult result = Convert(source, name, c.kind);
        ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
        Image written;
        ASSERT_EQ(ReadImageFile(Path(name), written), kCodecOk);
        ASSERT_EQ(written.width, c.width);
        ASSERT_EQ(written.height, c.height);
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                ASSERT_EQ(At(written, x, y), c.expected(x, y)) << x << "," << y;
    }

    // --swap, like a layout, comes before the kind: sbs of swapped views is
    // the cross-eyed pair.
    ConversionOptions swapped;
    swapped.swapViews = true;
    ASSERT_EQ(Convert(source, "swapped_sbs.png", OutputKind::SideBySide, swapped).status, ConversionStatus::Written);
    Image a, b;
    ASSERT_EQ(ReadImageFile(Path("swapped_sbs.png"), a), kCodecOk);
    ASSERT_EQ(ReadImageFile(Path("pair_cross.png"), b), kCodecOk);
    EXPECT_EQ(MostDifference(a.View(), b.View()), 0);
}

TEST(StereoOutput, JpsSaysLeftFirstAndReadsBackAsTheSamePair)
{
    const std::string source = std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps";
    ConversionResult result = Convert(source, "figure_stereo.jps", OutputKind::Jps);
    ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;

    EXPECT_EQ(CommandOutput("exiftool -s3 -JPSType -JPSLayout -JPSFlags -ImageSize " + Path("figure_stereo.jps")),
              "Stereo\nSide By Side\nLeft field first\n1044x720");
    // The camera's EXIF stays, made true of the new file.
    EXPECT_EQ(CommandOutput("exiftool -s3 -Make -ExifImageWidth " + Path("figure_stereo.jps")), "Panasonic\n1044");

    StereoSource original = ReadPair(source);
    StereoSource back = ReadPair(Path("figure_stereo.jps"));
    EXPECT_LE(MostDifference(original.views.left, back.views.left), 24);
    EXPECT_LE(MostDifference(original.views.right, back.views.right), 24);
    // Not the views exchanged: each is far from the other view.
    EXPECT_GT(MostDifference(original.views.left, back.views.right), 60);
}

TEST(StereoOutput, MpoIsTwoDisparityViewsLeftFirstAsCamerasWriteIt)
{
    const std::string sample = std::string(SG_TEST_DATA_DIR) + "/3ds-pond.mpo";
    ConversionResult result = Convert(sample, "pond_stereo.mpo", OutputKind::Mpo);
    ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
    const std::string mpo = Path("pond_stereo.mpo");

    // The index and attributes hold what the Nintendo 3DS writes, tag for
    // tag and value for value; only the pictures' sizes and offsets differ.
    const std::string tags = "exiftool -a -G1 -s -MPF:all ";
    const std::string values = " | grep -v -e MPImageLength -e MPImageStart -e 'MPImage2 '";
    EXPECT_EQ(CommandOutput(tags + mpo + values), CommandOutput(tags + sample + values));
    EXPECT_EQ(CommandOutput("exiftool -s3 -NumberOfImages -MPImageType -MPIndividualNum " + mpo),
              "2\nMulti-frame Disparity\n1");
    EXPECT_EQ(CommandOutput("exiftool -s3 -Make -Model " + mpo), "Nintendo\nNintendo 3DS");

    // Pillow: two frames, both disparity views, each the camera's view of
    // the same place (the first the left view).
    EXPECT_EQ(Pillow("from PIL import Image, ImageChops\n"
                     "im = Image.open(\"" + mpo + "\")\n"
                     "camera = Image.open(\"" + sample + "\")\n"
                     "print(im.format, im.n_frames, im.mpinfo[0xB001],"
                     " [e[\"Attribute\"][\"MPType\"] for e in im.mpinfo[0xB002]])\n"
                     "for i in (0, 1):\n"
                     "    im.seek(i)\n"
                     "    camera.seek(i)\n"
                     "    a, b = im.convert(\"L\"), camera.convert(\"L\")\n"
                     "    print(im.size, max(ImageChops.difference(a, b).getdata()) < 40)"),
              "MPO 2 2 ['Multi-Frame Image: (Disparity)', 'Multi-Frame Image: (Disparity)']\n"
              "(640, 480) True\n(640, 480) True");

    // The program's own reader: the same pair, left first.
    StereoSource original = ReadPair(sample);
    StereoSource back = ReadPair(mpo);
    EXPECT_EQ(back.file.frames.origin, "multi-picture index");
    EXPECT_LE(MostDifference(original.views.left, back.views.left), 24);
    EXPECT_LE(MostDifference(original.views.right, back.views.right), 24);
}

TEST(StereoOutput, WiggleAlternatesBothViewsWithOnePaletteAndNoDitherNoise)
{
    // Five colours over both views; the right view differs from the left
    // only in one block.
    const uint32_t colours[5] = {0x0DC84D, 0x7A1F9E, 0xF0E6D2, 0x123456, 0x9C9C00};
    auto colour = [&](int32_t x, int32_t y) {
        const int32_t viewX = x % 40;
        if (x >= 40 && viewX >= 10 && viewX < 20 && y >= 10 && y < 20)
            return colours[4];
        return colours[(viewX / 10 + y / 10) % 4];
    };
    const std::string source = sgtest::WritePng("five.png", 80, 30, colour);
    ConversionOptions options;
    options.wiggleMs = 120;
    ASSERT_EQ(Convert(source, "five_wiggle.gif", OutputKind::Wiggle, options).status, ConversionStatus::Written);
    // Frames of the pair's own colours, exactly (no fixed palette), shown
    // 120 ms each, for ever; away from the block the frames are the same.
    EXPECT_EQ(Pillow("from PIL import Image\n"
                     "im = Image.open(\"" + Path("five_wiggle.gif") + "\")\n"
                     "print(im.n_frames, im.size, im.info[\"duration\"], im.info[\"loop\"])\n"
                     "frames = []\n"
                     "for i in range(im.n_frames):\n"
                     "    im.seek(i)\n"
                     "    frames.append(im.convert(\"RGB\"))\n"
                     "print(sorted(set(c for f in frames for n, c in f.getcolors())))\n"
                     "same = [frames[0].getpixel((x, y)) == frames[1].getpixel((x, y))"
                     " for y in range(30) for x in range(40) if not (10 <= x < 20 and 10 <= y < 20)]\n"
                     "print(all(same), frames[1].getpixel((15, 15)))"),
              "2 (40, 30) 120 0\n"
              "[(13, 200, 77), (18, 52, 86), (122, 31, 158), (156, 156, 0), (240, 230, 210)]\n"
              "True (156, 156, 0)");

    // At most --wiggle-size on the longer side; the views shrunk alike.
    options.wiggleSize = 20;
    ASSERT_EQ(Convert(source, "small_wiggle.gif", OutputKind::Wiggle, options).status, ConversionStatus::Written);
    EXPECT_EQ(CommandOutput("identify -format '%wx%h ' " + Path("small_wiggle.gif")), "20x15 20x15");
}

TEST(StereoOutput, MetadataIsKeptWhereTheFormatHoldsIt)
{
    // The sample's camera EXIF: kept in the JPEG pair, the MPO's first
    // picture and the JPS; a GIF can hold none and the run says so.
    const std::string source = std::string(SG_TEST_DATA_DIR) + "/figure-sbs.jps";
    struct Case {
        OutputKind kind;
        const char* name;
        const char* exif; // Make and the width the EXIF gives
    };
    const Case cases[] = {
        {OutputKind::SideBySide, "figure_sbs.jpg", "Panasonic\n1044"},
        {OutputKind::HalfSideBySide, "figure_half-sbs.jpg", "Panasonic\n522"},
        {OutputKind::Mpo, "figure_stereo.mpo", "Panasonic\n522"},
        {OutputKind::Wiggle, "figure_wiggle.gif", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionResult result = Convert(source, c.name, c.kind);
        ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
        EXPECT_EQ(CommandOutput("exiftool -s3 -Make -ExifImageWidth " + Path(c.name)), c.exif);
        EXPECT_EQ(result.notes.find("were not kept") != std::string::npos, c.kind == OutputKind::Wiggle)
            << result.notes;
    }
    ConversionOptions strip;
    strip.stripMetadata = true;
    ASSERT_EQ(Convert(source, "bare_stereo.mpo", OutputKind::Mpo, strip).status, ConversionStatus::Written);
    EXPECT_EQ(CommandOutput("exiftool -s3 -Make " + Path("bare_stereo.mpo")), "");
    EXPECT_EQ(CommandOutput("exiftool -s3 -NumberOfImages " + Path("bare_stereo.mpo")), "2");
}

TEST(StereoOutput, RefusalsNameTheKindAndLeaveNoFile)
{
    const std::string source = PairPng();
    struct Case {
        OutputKind kind;
        const char* name;
        ConversionStatus status;
        const char* reason;
    };
    const Case cases[] = {
        // A container of its own takes only its own extension.
        {OutputKind::Mpo, "refused.jpg", ConversionStatus::OutputRefused, "The MPO stereo pair could not be written"},
        {OutputKind::Wiggle, "refused.png", ConversionStatus::OutputRefused, "The wiggle GIF could not be written"},
        {OutputKind::SideBySide, "missing/refused.jpg", ConversionStatus::OutputUnwritable,
         "The side-by-side pair could not be written to"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionResult result = Convert(source, c.name, c.kind);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.reason.rfind(c.reason, 0), 0u) << result.reason;
        EXPECT_FALSE(std::ifstream(Path(c.name)).good());
    }
    // A side by side twice as wide as JPEG can hold is refused before
    // anything is made.
    const std::string wide = sgtest::WritePng("wide.png", 2 * 40000, 2, [](int32_t, int32_t) { return 0x808080u; });
    ConversionResult result = Convert(wide, "wide_sbs.jpg", OutputKind::SideBySide);
    EXPECT_EQ(result.status, ConversionStatus::OutputUnwritable);
    EXPECT_NE(result.reason.find("At 80,000 x 2 pixels it would be too wide for JPEG"), std::string::npos) << result.reason;
}

TEST(StereoOutput, EachKindHasOneNameAndOneFileNameBesideItsSource)
{
    struct Case {
        OutputKind kind;
        const char* name;
        const char* file; // suffix and extension
    };
    const Case cases[] = {
        {OutputKind::Anaglyph, "anaglyph", "_anaglyph.jpg"},   {OutputKind::SideBySide, "sbs", "_sbs.jpg"},
        {OutputKind::Cross, "cross", "_cross.jpg"},            {OutputKind::OverUnder, "over-under", "_over-under.jpg"},
        {OutputKind::HalfSideBySide, "half-sbs", "_half-sbs.jpg"}, {OutputKind::Jps, "jps", "_stereo.jps"},
        {OutputKind::Mpo, "mpo", "_stereo.mpo"},               {OutputKind::Wiggle, "wiggle", "_wiggle.gif"},
    };
    for (const Case& c : cases) {
        OutputKind parsed = OutputKind::Anaglyph;
        EXPECT_TRUE(ParseOutputKind(c.name, parsed));
        EXPECT_EQ(parsed, c.kind);
        const StereoOutput& output = StereoOutputFor(c.kind);
        EXPECT_EQ(std::string(output.suffix) + "." + output.extension, c.file);
        EXPECT_TRUE(IsOutputResultName(std::string("Pair") + c.file)) << c.file;
    }
    EXPECT_EQ(OutputKindForName("x.MPO", OutputKind::Anaglyph), OutputKind::Mpo);
    EXPECT_EQ(OutputKindForName("x.jps", OutputKind::Anaglyph), OutputKind::Jps);
    EXPECT_EQ(OutputKindForName("x.gif", OutputKind::Anaglyph), OutputKind::Anaglyph);
    EXPECT_EQ(OutputKindForName("x.mpo", OutputKind::SideBySide), OutputKind::SideBySide);
    // A user's own names stay pictures: "_stereo" only with the containers.
    for (const char* name : {"trip_stereo.jpg", "stereo.mpo", "pair_wiggle.jpg", "pair.jpg"})
        EXPECT_FALSE(IsOutputResultName(name)) << name;
}

} // namespace
