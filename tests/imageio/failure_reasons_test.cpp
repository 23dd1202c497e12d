// Each failure says why, after the program's own sentence.
#include "imageio/failure_reasons.h"

#include <gtest/gtest.h>

#include "tests/imageio/imageio_support.h"

namespace {

using namespace sgtest;

std::string Encoded(PictureFormat format, int32_t w, int32_t h)
{
    std::string out;
    std::vector<uint32_t> pixels = Pattern(w, h);
    EXPECT_EQ(EncodePictureBytes(out, format, pixels.data(), w, h, false), kCodecOk);
    return out;
}

// The JPEG's frame header saying 12 bits a sample.
std::string TwelveBitJpeg()
{
    std::string jpeg = Encoded(PictureFormat::Jpeg, 16, 16);
    jpeg[jpeg.find("\xFF\xC0") + 4] = 12;
    return jpeg;
}

// A PNG whose IHDR claims width x height (its CRC no longer matches).
std::string PngClaiming(uint32_t width, uint32_t height)
{
    std::string png = Encoded(PictureFormat::Png, 4, 4);
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(width >> (24 - 8 * i));
        png[20 + i] = char(height >> (24 - 8 * i));
    }
    return png;
}

TEST(FailureReasons, SourceDiagnosisNamesTheCause)
{
    TempFolder folder;
    std::string bmp = Encoded(PictureFormat::Bmp, 8, 8);
    bmp[30] = 4; // BI_JPEG
    std::string png = Encoded(PictureFormat::Png, 40, 30);
    struct Case {
        const char* name;
        std::string bytes; // "" with folderInstead: a folder of that name
        CodecResult cause;
        const char* says;
    };
    const Case cases[] = {
        {"text.png", "just some words", kCodecUnknownFormat, "not a picture of a known format"},
        {"deep.jpg", TwelveBitJpeg(), kCodecUnsupportedVariant, "It is a 12-bit JPEG, a variant"},
        {"packed.bmp", bmp, kCodecUnsupportedVariant, "JPEG-compressed BMP"},
        {"huge.png", PngClaiming(20000, 30000), kCodecTooLarge, "At 20,000 x 30,000 pixels it is too large"},
        {"thin.png", Encoded(PictureFormat::Png, 1, 40), kCodecTooSmall, "At 1 pixel wide it is too small to split"},
        {"cut.png", png.substr(0, png.size() / 2), kCodecCorrupt, "damaged or cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteBytes(folder / c.name, c.bytes));
        FailureDetail detail;
        CodecResult cause = DiagnoseSource(folder / c.name, detail);
        EXPECT_EQ(cause, c.cause);
        std::string text = ReadFailureReason(folder / c.name, cause, detail);
        EXPECT_EQ(text.rfind("\"" + (folder / c.name) + "\" could not be read as a picture. ", 0), 0u) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
    }
    FailureDetail detail;
    EXPECT_EQ(DiagnoseSource(folder / "missing.png", detail), kCodecNotFound);
    EXPECT_NE(ReadFailureReason(folder / "missing.png", kCodecNotFound).find("The file does not exist."),
              std::string::npos);
    EXPECT_EQ(DiagnoseSource(folder.path, detail), kCodecAccessDenied);
    EXPECT_NE(ReadFailureReason(folder.path, kCodecAccessDenied).find("a folder, not a file"), std::string::npos);
}

TEST(FailureReasons, OutputDiagnosisNamesTheCause)
{
    TempFolder folder;
    struct Case {
        const char* name;
        std::string path;
        int64_t width;
        CodecResult cause;
        const char* says;
    };
    const Case cases[] = {
        {"too wide", folder / "wide.jpg", 70000, kCodecTooLarge,
         "At 70,000 x 100 pixels it would be too wide for JPEG, which holds at most 65,500 pixels a side."},
        {"no folder", folder / "gone/out.jpg", 100, kCodecNotFound, "does not exist"},
        {"folder in the way", folder.path, 100, kCodecAccessDenied, "A folder of that name is in the way."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FailureDetail detail;
        CodecResult cause = DiagnoseOutput(c.path, c.width, 100, detail);
        EXPECT_EQ(cause, c.cause);
        std::string text = WriteFailureReason(c.path, cause, detail);
        EXPECT_EQ(text.rfind("The anaglyph could not be written to \"" + c.path + "\". ", 0), 0u) << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
    }
    EXPECT_EQ(WriteFailureReason("/a/b.jpg", kCodecDiskFull),
              "The anaglyph could not be written to \"/a/b.jpg\". The disk is full.");
    EXPECT_EQ(WriteFailureReason("/a/b.jpg", kCodecWriteFailed), "The anaglyph could not be written to \"/a/b.jpg\".");
    EXPECT_NE(SameFileReason("/a/b.jpg").find("the source picture itself"), std::string::npos);
}

} // namespace
