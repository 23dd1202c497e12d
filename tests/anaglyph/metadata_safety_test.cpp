// Metadata that is damaged, split or too large: what is unreadable or
// malformed is left out with a note and never copied, what is sound is kept,
// and the PNG output's profile and EXIF are read back by exiftool and
// Pillow.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <zlib.h>

#include "anaglyph/conversion.h"
#include "imageio/image_file.h"
#include "tests/anaglyph/pictures.h"
#include "tests/anaglyph/stereo_fixtures.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

std::string Folder() { return sgtest::PictureFolder(); }

std::string Be32(uint32_t value)
{
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(value >> shift & 0xFF);
    return out;
}

// A well-formed ICC profile of size bytes: its length, "acsp", a pattern.
std::string IccProfile(size_t size = 300)
{
    std::string icc(size, '\0');
    for (int i = 0; i < 4; ++i)
        icc[size_t(i)] = char(size >> (24 - 8 * i) & 0xFF);
    icc.replace(16, 4, "RGB ");
    icc.replace(36, 4, "acsp");
    // One tag, a copyright text at 144, then a pattern.
    icc.replace(128, 28, Be32(1) + "cprt" + Be32(144) + Be32(12) + std::string("text\0\0\0\0ab\0\0", 12));
    for (size_t i = 156; i < icc.size(); ++i)
        icc[i] = char(i * 7 + 3);
    return icc;
}

// One PNG chunk, its CRC made here.
std::string Chunk(const std::string& type, const std::string& data, bool goodCrc = true)
{
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.data()), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size()));
    return Be32(uint32_t(data.size())) + type + data + Be32(uint32_t(goodCrc ? crc : crc + 1));
}

std::string Deflated(const std::string& data)
{
    uLongf size = compressBound(uLong(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
             uLong(data.size()));
    out.resize(size);
    return out;
}

// png with chunk put right after its IHDR.
std::string AfterHeader(std::string png, const std::string& chunk) { return png.insert(33, chunk); }

// One APP2 ICC chunk, number of count, carrying part.
std::string IccSegment(int number, int count, const std::string& part)
{
    std::string payload = std::string("ICC_PROFILE\0", 12) + char(number) + char(count) + part;
    const size_t length = payload.size() + 2;
    return std::string("\xFF\xE2", 2) + char(length >> 8) + char(length & 0xFF) + payload;
}

// jpeg with segments put right after its SOI.
std::string AfterSoi(std::string jpeg, const std::string& segments) { return jpeg.insert(2, segments); }

// A side-by-side picture in format with the given EXIF tags written by
// Exiv2 (strings, or the orientation), as a file of the picture folder.
std::string WithExif(const std::string& name, PictureFormat format,
                     const std::vector<std::pair<const char*, std::string>>& tags)
{
    const std::string path = Folder() + "/" + name;
    if (format == PictureFormat::Png)
        sgtest::WritePng(name, 64, 32, [](int32_t x, int32_t y) { return uint32_t(x * 4 << 16 | y * 8 << 8 | 99); });
    else
        sgtest::WriteFile(name, sgtest::SampleJpeg(100, 200, 64, 32));
    if (!tags.empty()) {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        for (const auto& [key, value] : tags) {
            if (std::string(key) == "Exif.Image.Orientation")
                image->exifData()[key] = uint16_t(std::stoi(value));
            else
                image->exifData()[key] = value;
        }
        image->writeMetadata();
    }
    return sgtest::FileBytes(path);
}

// A TIFF with the Make "PNGCAM" and profile as its profile tag, written by
// Exiv2 unchecked.
std::string TiffWithProfile(const std::string& profile)
{
    Image picture;
    EXPECT_EQ(ReadImageFile(Folder() + "/" + "exif.png", picture), kCodecOk);
    const std::string path = Folder() + "/profile.tif";
    EXPECT_EQ(EncodeImageFile(path, PictureFormat::Tiff, picture.View(), EncodeOptions{}), kCodecOk);
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    image->exifData()["Exif.Image.Make"] = "PNGCAM";
    Exiv2::DataBuf icc(reinterpret_cast<const Exiv2::byte*>(profile.data()), long(profile.size()));
    image->setIccProfile(icc, false);
    image->writeMetadata();
    return sgtest::FileBytes(path);
}

struct Converted {
    ConversionResult result;
    std::string bytes;
    Exiv2::ExifData exif;
    std::string icc; // "" when the output has none
};

Converted Convert(const std::string& name, const std::string& bytes, const std::string& output)
{
    ConversionRequest request;
    request.sourcePath = sgtest::WriteFile(name, bytes);
    request.outputPath = Folder() + "/" + output;
    Converted converted;
    converted.result = ConvertPicture(request);
    EXPECT_EQ(converted.result.status, ConversionStatus::Written) << converted.result.reason;
    converted.bytes = sgtest::FileBytes(request.outputPath);
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(request.outputPath);
    image->readMetadata();
    converted.exif = image->exifData();
    if (image->iccProfileDefined())
        converted.icc.assign(reinterpret_cast<const char*>(image->iccProfile()->pData_),
                             size_t(image->iccProfile()->size_));
    return converted;
}

std::string Value(const Exiv2::ExifData& exif, const char* key)
{
    auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? "(none)" : it->toString();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The damaged iCCP of a PNG: a zlib header, then a stored block whose
// lengths do not match, then zeros.
std::string DamagedIccp()
{
    return Chunk("iCCP", std::string("prof\0\0\x78\x9c\0\0\0\0\0", 13) + std::string(100000, '\0'));
}

TEST(MetadataSafety, ProfilesThatAreDamagedOrMalformedAreLeftOutWithANote)
{
    const std::string png = WithExif("exif.png", PictureFormat::Png, {{"Exif.Image.Make", "PNGCAM"}});
    const std::string jpeg = WithExif("exif.jpg", PictureFormat::Jpeg, {{"Exif.Image.Make", "PNGCAM"}});
    std::string shortHeader = IccProfile();
    shortHeader[3] = char(shortHeader[3] + 1);
    std::string noSignature = IccProfile();
    noSignature.replace(36, 4, "xxxx");
    const std::string profile = IccProfile();
    struct Case {
        const char* name;
        const char* file;
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {"broken zlib stream", "a.png", AfterHeader(png, DamagedIccp()), "compressed data is damaged"},
        {"stream cut short", "b.png",
         AfterHeader(png, Chunk("iCCP", std::string("p\0\0", 3) + Deflated(profile).substr(0, 40))),
         "compressed data is damaged"},
        {"bad checksum", "c.png", AfterHeader(png, Chunk("iCCP", std::string("p\0\0", 3) + Deflated(profile), false)),
         "checksum"},
        {"no name", "d.png", AfterHeader(png, Chunk("iCCP", std::string("\0\0", 2) + Deflated(profile))),
         "malformed"},
        {"PNG size field wrong", "e.png",
         AfterHeader(png, Chunk("iCCP", std::string("p\0\0", 3) + Deflated(shortHeader))), "gives a size of 301"},
        {"PNG no signature", "f.png",
         AfterHeader(png, Chunk("iCCP", std::string("p\0\0", 3) + Deflated(noSignature))), "signature"},
        {"JPEG size field wrong", "g.jpg", AfterSoi(jpeg, IccSegment(1, 1, shortHeader)), "gives a size of 301"},
        {"JPEG shorter than a header", "h.jpg", AfterSoi(jpeg, IccSegment(1, 1, "tiny")), "shorter"},
        {"JPEG chunk missing", "i.jpg", AfterSoi(jpeg, IccSegment(1, 2, profile.substr(0, 150))),
         "chunk 2 of 2 is missing"},
        {"JPEG chunk twice", "j.jpg",
         AfterSoi(jpeg, IccSegment(1, 2, profile.substr(0, 150)) + IccSegment(1, 2, profile.substr(0, 150)) +
                            IccSegment(2, 2, profile.substr(150))),
         "chunk 1 is there twice"},
        {"JPEG chunk out of range", "k.jpg", AfterSoi(jpeg, IccSegment(3, 2, profile)), "numbered inconsistently"},
        {"TIFF size field wrong", "l.tif", TiffWithProfile(shortHeader), "gives a size of 301"},
    };
    for (const Case& c : cases) {
        for (const char* output : {"out.jpg", "out.png"}) {
            SCOPED_TRACE(std::string(c.name) + " -> " + output);
            Converted converted = Convert(c.file, c.bytes, output);
            EXPECT_TRUE(Has(converted.result.notes, "colour profile was left out")) << converted.result.notes;
            EXPECT_TRUE(Has(converted.result.notes, c.says)) << converted.result.notes;
            EXPECT_EQ(converted.icc, "");
            EXPECT_EQ(Value(converted.exif, "Exif.Image.Make"), "PNGCAM");
            EXPECT_EQ(Value(converted.exif, "Exif.Image.InterColorProfile"), "(none)");
        }
    }
}

TEST(MetadataSafety, ExifThatCannotBeReadIsLeftOutWithANoteAndTheProfileKept)
{
    const std::string profile = IccProfile();
    // An IFD that claims 65,535 entries in 40 bytes.
    const std::string garbage = std::string("Exif\0\0II*\0\x08\0\0\0\xFF\xFF", 16) + std::string(40, '\xEE');
    const std::string app1 = std::string("\xFF\xE1", 2) + char(0) + char(garbage.size() + 2) + garbage;
    const std::string png = WithExif("plain.png", PictureFormat::Png, {});
    const std::string brokenText =
        Chunk("zTXt", std::string("Raw profile type exif\0\0\x78\x9c\0\0\0\0\0", 30) + std::string(500, '\0'));
    struct Case {
        const char* name;
        const char* file;
        std::string bytes;
        bool profile;
    };
    const Case cases[] = {
        {"JPEG EXIF no TIFF structure", "x.jpg",
         AfterSoi(sgtest::SampleJpeg(100, 200, 64, 32), app1 + IccSegment(1, 1, profile)), true},
        {"PNG EXIF text damaged", "y.png",
         AfterHeader(png, Chunk("iCCP", std::string("p\0\0", 3) + Deflated(profile)) + brokenText), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Converted converted = Convert(c.file, c.bytes, "exif_anaglyph.jpg");
        EXPECT_TRUE(Has(converted.result.notes, "The source's EXIF could not be read, so it was left out."))
            << converted.result.notes;
        EXPECT_EQ(Value(converted.exif, "Exif.Image.Orientation"), "(none)");
        EXPECT_EQ(converted.icc == profile, c.profile);
    }
}

TEST(MetadataSafety, NoOtherPicturesMetadataLeaksThroughADamagedProfile)
{
    // A JPEG with a private text, then a PNG whose profile cannot be
    // inflated, in one process as a -j1 batch runs them.
    const std::string secret = "PRIVATE-" + std::string(3000, 'S');
    const std::string jpeg = WithExif("secret.jpg", PictureFormat::Jpeg, {{"Exif.Image.ImageDescription", secret}});
    Convert("secret.jpg", jpeg, "secret_anaglyph.jpg");
    const std::string png = AfterHeader(WithExif("plain.png", PictureFormat::Png, {}), DamagedIccp());
    for (const char* output : {"damaged_anaglyph.jpg", "damaged_anaglyph.png"}) {
        SCOPED_TRACE(output);
        Converted converted = Convert("damaged.png", png, output);
        EXPECT_FALSE(Has(converted.bytes, "PRIVATE-"));
        EXPECT_FALSE(Has(converted.bytes, "ICC_PROFILE"));
        EXPECT_FALSE(Has(converted.bytes, "iCCP"));
        EXPECT_TRUE(Has(converted.result.notes, "colour profile was left out")) << converted.result.notes;
    }
}

TEST(MetadataSafety, ProfileChunksAreJoinedByTheirNumbersWhateverTheirOrder)
{
    const std::string jpeg = WithExif("split.jpg", PictureFormat::Jpeg, {{"Exif.Image.Make", "SPLITCAM"}});
    const std::string profile = IccProfile(70000);
    const std::string first = profile.substr(0, 60000), second = profile.substr(60000);
    for (const std::string& segments : {IccSegment(2, 2, second) + IccSegment(1, 2, first),
                                        IccSegment(1, 2, first) + IccSegment(2, 2, second)}) {
        Converted converted = Convert("split.jpg", AfterSoi(jpeg, segments), "split_anaglyph.jpg");
        EXPECT_EQ(converted.result.notes, "");
        EXPECT_TRUE(converted.icc == profile);
        EXPECT_EQ(Value(converted.exif, "Exif.Image.Make"), "SPLITCAM");
    }
}

std::string Le16(uint32_t value) { return {char(value & 0xFF), char(value >> 8 & 0xFF)}; }
std::string Le32(uint32_t value) { return Le16(value & 0xFFFF) + Le16(value >> 16); }

// A JPEG whose APP1 EXIF is written here byte by byte, so that it can be as
// large as one segment holds: IFD0 with an ImageDescription of
// descriptionSize bytes, the Artist "ME" and Orientation 6; an IFD1 with
// thumbnail when one is given.
std::string JpegWithLargeExif(size_t descriptionSize, const std::string& thumbnail = "")
{
    auto entry = [](uint16_t tag, uint16_t type, uint32_t count, const std::string& value) {
        return Le16(tag) + Le16(type) + Le32(count) + value;
    };
    const uint32_t ifd0 = 8, entries0 = 3;
    const uint32_t data = ifd0 + 2 + entries0 * 12 + 4;
    const uint32_t ifd1 = data + uint32_t(descriptionSize);
    const uint32_t thumbnailAt = ifd1 + 2 + 2 * 12 + 4;
    std::string tiff = std::string("II*\0", 4) + Le32(ifd0);
    tiff += Le16(entries0);
    tiff += entry(0x010E, 2, uint32_t(descriptionSize), Le32(data));
    tiff += entry(0x0112, 3, 1, Le16(6) + Le16(0));
    tiff += entry(0x013B, 2, 3, std::string("ME\0\0", 4));
    tiff += Le32(thumbnail.empty() ? 0 : ifd1);
    tiff += std::string(descriptionSize - 1, 'd') + '\0';
    if (!thumbnail.empty()) {
        tiff += Le16(2);
        tiff += entry(0x0201, 4, 1, Le32(thumbnailAt));
        tiff += entry(0x0202, 4, 1, Le32(uint32_t(thumbnail.size())));
        tiff += Le32(0) + thumbnail;
    }
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    EXPECT_LE(payload.size(), 65533u);
    const size_t length = payload.size() + 2;
    return AfterSoi(sgtest::SampleJpeg(100, 200, 64, 32),
                    std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload);
}

TEST(MetadataSafety, ExifTooLargeForOneSegmentLosesOnlyNamedTags)
{
    // A description that fills the segment: once rewritten for the result
    // (its size added) it no longer fits, and only it goes, with a note.
    const std::string big = JpegWithLargeExif(65460);
    for (const char* output : {"big_anaglyph.jpg", "big_anaglyph.png"}) {
        SCOPED_TRACE(output);
        Converted converted = Convert("big.jpg", big, output);
        EXPECT_TRUE(Has(converted.result.notes, "these tags were left out: Exif.Image.ImageDescription."))
            << converted.result.notes;
        EXPECT_EQ(Value(converted.exif, "Exif.Image.Artist"), "ME");
        EXPECT_EQ(Value(converted.exif, "Exif.Image.Orientation"), "1");
        EXPECT_EQ(Value(converted.exif, "Exif.Photo.PixelXDimension"), "32");
    }

    // Full only because of a thumbnail: leaving that out is enough, and
    // every tag stays.
    const std::string thumbnail = sgtest::SampleJpeg(0, 0, 120, 90);
    Converted converted =
        Convert("near.jpg", JpegWithLargeExif(65440 - thumbnail.size(), thumbnail), "near_anaglyph.jpg");
    EXPECT_EQ(converted.result.notes, "");
    EXPECT_EQ(Value(converted.exif, "Exif.Image.ImageDescription").size(), 65439u - thumbnail.size());
    EXPECT_EQ(Value(converted.exif, "Exif.Image.Artist"), "ME");
}

// Runs command; its standard output.
std::string Output(const std::string& command)
{
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

TEST(MetadataSafety, PngOutputHasANamedProfileAndAStandardExifChunk)
{
    const std::string profile = IccProfile();
    const std::string jpeg = AfterSoi(WithExif("cam.jpg", PictureFormat::Jpeg, {{"Exif.Image.Make", "PNGOUT"}}),
                                      IccSegment(1, 1, profile));
    Converted converted = Convert("cam.jpg", jpeg, "cam_anaglyph.png");
    EXPECT_EQ(converted.result.notes, "");
    const std::string& png = converted.bytes;
    const size_t iccp = png.find("iCCP");
    ASSERT_NE(iccp, std::string::npos);
    EXPECT_EQ(png.compare(iccp + 4, 12, std::string("ICC profile\0", 12)), 0);
    EXPECT_LT(iccp, png.find("IDAT"));
    EXPECT_LT(png.find("eXIf"), png.find("IDAT"));
    // Exiv2, which reads only the older text chunk, still sees the EXIF.
    EXPECT_EQ(Value(converted.exif, "Exif.Image.Make"), "PNGOUT");
    EXPECT_TRUE(converted.icc == profile);

    const std::string path = "'" + Folder() + "/cam_anaglyph.png'";
    const std::string exiftool =
        Output("exiftool -s3 -Warning -EXIF:Make -EXIF:ExifImageWidth -ICC_Profile:ProfileFileSignature " +
               path + " 2>&1");
    EXPECT_EQ(exiftool, "PNGOUT\n32\nacsp\n");
    const std::string pillow = Output(
        "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
        "print('exif' in im.info, im.getexif()[271], len(im.info['icc_profile']))\" " +
        path + " 2>&1");
    EXPECT_EQ(pillow, "True PNGOUT 300\n");
}

} // namespace

#pragma GCC diagnostic pop
