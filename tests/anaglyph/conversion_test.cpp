// The conversion's refusals: it never writes over its own source, it says
// why a picture cannot be converted, and nothing is written then.
#include "anaglyph/conversion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "imageio/codecs/codec.h"
#include "tests/anaglyph/pictures.h"

namespace {

using namespace sgtest;

uint32_t Grey(int32_t x, int32_t y) { return uint32_t((x * 7 + y * 3) & 255) * 0x010101u; }

ConversionResult Convert(const std::string& source, const std::string& output)
{
    ConversionRequest request;
    request.sourcePath = source;
    request.outputPath = output;
    return ConvertPicture(request);
}

TEST(Conversion, NeverWritesOverItsOwnSource)
{
    std::string folder = PictureFolder();
    std::string source = WritePng("pair.png", 32, 16, Grey);
    std::string original = sgtest::FileBytes(source);
    ASSERT_EQ(link(source.c_str(), (folder + "/hard_anaglyph.jpg").c_str()), 0);
    for (const std::string& output : {source, folder + "/hard_anaglyph.jpg"}) {
        SCOPED_TRACE(output);
        ConversionResult result = Convert(source, output);
        EXPECT_EQ(result.status, ConversionStatus::OutputRefused);
        EXPECT_EQ(result.reason, "The anaglyph could not be written to \"" + output +
                                     "\". That file is the source picture itself, which would be lost.");
        EXPECT_EQ(sgtest::FileBytes(source), original);
    }
    // A link at the output name that points to the source is replaced by
    // the anaglyph; the source stays as it was.
    std::string linked = folder + "/linked_anaglyph.jpg";
    ASSERT_EQ(symlink(source.c_str(), linked.c_str()), 0);
    EXPECT_EQ(Convert(source, linked).status, ConversionStatus::Written);
    struct stat info;
    ASSERT_EQ(lstat(linked.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(sgtest::FileBytes(source), original);
}

// A file name that is not UTF-8 is read and written byte for byte; the file
// whose name is its "repaired" UTF-8 form is not converted instead.
TEST(Conversion, NamesThatAreNotUtf8KeepTheirBytes)
{
    std::string folder = PictureFolder();
    std::string source = WritePng("Caf\xE9.png", 32, 16, Grey);
    WritePng("Caf\xEF\xBF\xBD.png", 64, 16, Grey);
    std::string output = folder + "/caf\xE9_anaglyph.jpg";
    ASSERT_EQ(Convert(source, output).status, ConversionStatus::Written);
    Picture written;
    ASSERT_EQ(DecodePictureFile(output, written), kCodecOk);
    EXPECT_EQ(written.width, 16) << "the other file was converted";
    EXPECT_FALSE(std::filesystem::exists(folder + "/caf\xEF\xBF\xBD_anaglyph.jpg"));
}

TEST(Conversion, RefusalsSayWhyAndWriteNothing)
{
    std::string folder = PictureFolder();
    std::string thin = WritePng("thin.png", 1, 16, Grey);
    std::string words = folder + "/words.png";
    std::ofstream(words) << "just some words";
    struct Case {
        std::string source;
        ConversionStatus status;
        const char* reason;
    };
    const Case cases[] = {
        {thin, ConversionStatus::SourceUnsuitable, "At 1 pixel wide it is too small to split"},
        {words, ConversionStatus::SourceUnreadable, "It is not a picture of a known format"},
        {folder + "/missing.png", ConversionStatus::SourceUnreadable, "The file does not exist."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        ConversionResult result = Convert(c.source, folder + "/out_anaglyph.jpg");
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.reason.rfind("\"" + c.source + "\" could not be read as a picture. ", 0), 0u) << result.reason;
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
        EXPECT_FALSE(std::filesystem::exists(folder + "/out_anaglyph.jpg"));
    }
    ConversionResult result = Convert(WritePng("ok.png", 8, 4, Grey), folder + "/gone/out_anaglyph.jpg");
    EXPECT_EQ(result.status, ConversionStatus::OutputUnwritable);
    EXPECT_EQ(result.reason, "The anaglyph could not be written to \"" + folder +
                                 "/gone/out_anaglyph.jpg\". The folder \"" + folder + "/gone\" does not exist.");
}

// A picture one pixel wide cannot be cut side by side, but over/under cuts
// its height.
TEST(Conversion, OnePixelWideSplitsOverUnder)
{
    std::string folder = PictureFolder();
    ConversionRequest request;
    request.sourcePath = WritePng("column.png", 1, 16, Grey);
    request.outputPath = folder + "/column_anaglyph.png";
    request.options.layout = StereoLayout::OverUnder;
    ASSERT_EQ(ConvertPicture(request).status, ConversionStatus::Written);
    Picture written;
    ASSERT_EQ(DecodePictureFile(request.outputPath, written), kCodecOk);
    EXPECT_EQ(written.width, 1);
    EXPECT_EQ(written.height, 8);
}

// The output's size comes from the plan: the layout's cut, the view steps
// and the format's largest side, refused before anything is decoded with
// the size the output would really have.
TEST(Conversion, OutputsTooLargeForTheirFormatGiveTheirRealSize)
{
    std::string folder = PictureFolder();
    std::string wide = WritePng("wide.png", 70000, 40, Grey);
    std::string wider = WritePng("wider.png", 140000, 20, Grey);
    struct Case {
        std::string source;
        StereoLayout layout;
        int32_t shift;
        const char* output;
        const char* reason; // after "The anaglyph could not be written to "OUTPUT". "; null: written
    };
    const Case cases[] = {
        {wide, StereoLayout::OverUnder, 0, "ou.jpg",
         "At 70,000 x 20 pixels it would be too wide for JPEG, which holds at most 65,500 pixels a side."},
        {wider, StereoLayout::HalfSideBySide, 0, "hs.jpg",
         "At 140,000 x 20 pixels it would be too wide for JPEG, which holds at most 65,500 pixels a side."},
        {wider, StereoLayout::SideBySide, 0, "sbs.gif",
         "At 70,000 x 20 pixels it would be too wide for GIF, which holds at most 65,535 pixels a side."},
        {wider, StereoLayout::SideBySide, 4500, "shifted.jpg", nullptr}, // the shift narrows it to 65,500
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        ConversionRequest request;
        request.sourcePath = c.source;
        request.outputPath = folder + "/" + c.output;
        request.options.layout = c.layout;
        request.options.shift = c.shift;
        ConversionResult result = ConvertPicture(request);
        if (!c.reason) {
            EXPECT_EQ(result.status, ConversionStatus::Written) << result.reason;
            continue;
        }
        EXPECT_EQ(result.status, ConversionStatus::OutputUnwritable);
        EXPECT_EQ(result.reason, "The anaglyph could not be written to \"" + request.outputPath + "\". " + c.reason);
        EXPECT_FALSE(std::filesystem::exists(request.outputPath));
    }
}

// A view step the views cannot take is refused by the plan, before the
// picture is decoded, with the step's own words.
TEST(Conversion, ShiftWiderThanTheViewsIsRefusedWithItsSize)
{
    std::string folder = PictureFolder();
    ConversionRequest request;
    request.sourcePath = WritePng("small.png", 40, 8, Grey);
    request.outputPath = folder + "/small_anaglyph.jpg";
    request.options.shift = -20;
    ConversionResult result = ConvertPicture(request);
    EXPECT_EQ(result.status, ConversionStatus::SourceUnsuitable);
    EXPECT_EQ(result.reason, "\"" + request.sourcePath +
                                 "\" cannot be converted: a shift of -20 pixels leaves nothing of views 20 pixels wide.");
}

} // namespace
