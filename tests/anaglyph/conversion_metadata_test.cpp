// The whole conversion with its sources: metadata carried over and made true
// of the result, --strip, and the pixels of an ordinary side-by-side picture
// exactly those of the plain cut and mix.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "anaglyph/anaglyph_mixer.h"
#include "anaglyph/conversion.h"
#include "anaglyph/stereo_split.h"
#include "imageio/image_file.h"
#include "imageio/multi_picture.h"
#include "tests/anaglyph/pictures.h"
#include "tests/anaglyph/stereo_fixtures.h"
#include "tests/support/command.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

// A made-up but well-formed ICC profile: its length first, "acsp" at 36.
std::string IccProfile()
{
    std::string icc(200, '\0');
    icc[3] = char(200);
    icc.replace(36, 4, "acsp");
    for (size_t i = 128; i < icc.size(); ++i)
        icc[i] = char(i * 7);
    return icc;
}

// jpeg with a camera's EXIF (rotated, its own size, a thumbnail, GPS) and
// the ICC profile.
std::string WithCameraMetadata(const std::string& jpeg)
{
    std::string path = sgtest::WriteFile("camera.jpg", jpeg);
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "FUJIFILM";
    exif["Exif.Image.Model"] = "FinePix REAL 3D W3";
    exif["Exif.Photo.LensModel"] = "Fujinon 3D 6.3-18.9mm";
    exif["Exif.Photo.DateTimeOriginal"] = "2011:06:05 14:03:11";
    exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2400/100";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.PixelXDimension"] = uint32_t(3584);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(2016);
    std::string thumbnail = sgtest::SampleJpeg(0, 0, 16, 12);
    Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.data()),
                                            long(thumbnail.size()));
    std::string icc = IccProfile();
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.data()), long(icc.size()));
    image->setIccProfile(profile, true);
    image->writeMetadata();
    return sgtest::FileBytes(path);
}

ConversionResult Convert(const std::string& source, const std::string& output, bool strip = false)
{
    ConversionRequest request;
    request.sourcePath = source;
    request.outputPath = sgtest::PictureFolder() + "/" + output;
    request.options.stripMetadata = strip;
    ConversionResult result = ConvertPicture(request);
    EXPECT_EQ(result.status, ConversionStatus::Written) << result.reason;
    return result;
}

Exiv2::Image::AutoPtr ReadBack(const std::string& output)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(sgtest::PictureFolder() + "/" + output);
    image->readMetadata();
    return image;
}

std::string Value(const Exiv2::ExifData& exif, const char* key)
{
    auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? "(none)" : it->toString();
}

bool SamePixels(const std::string& a, const std::string& b)
{
    Image first, second;
    if (ReadImageFile(a, first) != kCodecOk || ReadImageFile(b, second) != kCodecOk)
        return false;
    if (first.width != second.width || first.height != second.height)
        return false;
    return std::equal(first.pixels.get(), first.pixels.get() + int64_t{first.width} * first.height,
                      second.pixels.get());
}

TEST(ConversionMetadata, ExifAndIccAreKeptAndMadeTrueOfTheResult)
{
    // An MPO whose first picture carries the camera's metadata: the result
    // keeps it, but nothing of the index, and describes its own pixels.
    const std::string left = WithCameraMetadata(sgtest::SampleJpeg(100, 200, 40, 30));
    const std::string right = sgtest::SampleJpeg(400, 300, 40, 30);
    std::string source = sgtest::WriteFile("camera.mpo", sgtest::MakeMpo({{left, 0x020002, 1}, {right, 0x020002, 2}}));
    ConversionResult result = Convert(source, "camera_anaglyph.jpg");
    EXPECT_EQ(result.notes, "");

    Exiv2::Image::AutoPtr image = ReadBack("camera_anaglyph.jpg");
    const Exiv2::ExifData& exif = image->exifData();
    const std::pair<const char*, const char*> expected[] = {
        {"Exif.Image.Make", "FUJIFILM"},
        {"Exif.Image.Model", "FinePix REAL 3D W3"},
        {"Exif.Photo.LensModel", "Fujinon 3D 6.3-18.9mm"},
        {"Exif.Photo.DateTimeOriginal", "2011:06:05 14:03:11"},
        {"Exif.Photo.ExposureTime", "1/250"},
        {"Exif.GPSInfo.GPSLatitude", "48/1 51/1 2400/100"},
        {"Exif.Image.Orientation", "1"},
        {"Exif.Photo.PixelXDimension", "40"},
        {"Exif.Photo.PixelYDimension", "30"},
    };
    for (auto [key, value] : expected)
        EXPECT_EQ(Value(exif, key), value) << key;
    EXPECT_EQ(Exiv2::ExifThumbC(exif).copy().size_, 0);
    ASSERT_TRUE(image->iccProfileDefined());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->iccProfile()->pData_), image->iccProfile()->size_),
              IccProfile());
    std::string bytes = sgtest::FileBytes(sgtest::PictureFolder() + "/camera_anaglyph.jpg");
    EXPECT_EQ(bytes.find(std::string("MPF\0", 4)), std::string::npos);

    // --strip: the same pixels, no metadata at all.
    Convert(source, "stripped.jpg", true);
    Exiv2::Image::AutoPtr stripped = ReadBack("stripped.jpg");
    EXPECT_TRUE(stripped->exifData().empty());
    EXPECT_FALSE(stripped->iccProfileDefined());
    const std::string folder = sgtest::PictureFolder();
    EXPECT_TRUE(SamePixels(folder + "/camera_anaglyph.jpg", folder + "/stripped.jpg"));
}

TEST(ConversionMetadata, OtherFormatsKeepWhatTheyCanAndSaySoOtherwise)
{
    std::string source = sgtest::WriteFile("wide.jpg", WithCameraMetadata(sgtest::SampleJpeg(0, 100, 80, 30)));
    EXPECT_EQ(Convert(source, "wide_anaglyph.png").notes, "");
    Exiv2::Image::AutoPtr png = ReadBack("wide_anaglyph.png");
    EXPECT_TRUE(png->iccProfileDefined());
    EXPECT_EQ(Value(png->exifData(), "Exif.Image.Make"), "FUJIFILM");
    EXPECT_EQ(Value(png->exifData(), "Exif.Photo.PixelXDimension"), "40");

    ConversionResult bmp = Convert(source, "wide_anaglyph.bmp");
    EXPECT_NE(bmp.notes.find("were not kept"), std::string::npos) << bmp.notes;

    // A TIFF source's own strips and samples do not follow it into a JPEG.
    Image wide;
    ASSERT_EQ(ReadImageFile(source, wide), kCodecOk);
    const std::string tiff = sgtest::PictureFolder() + "/wide.tif";
    ASSERT_EQ(EncodeImageFile(tiff, PictureFormat::Tiff, wide.View(), EncodeOptions{}), kCodecOk);
    EXPECT_EQ(Convert(tiff, "from_tiff.jpg").notes, "");
    Exiv2::Image::AutoPtr fromTiff = ReadBack("from_tiff.jpg");
    EXPECT_EQ(Value(fromTiff->exifData(), "Exif.Photo.PixelXDimension"), "40");
    for (const char* key : {"Exif.Image.StripOffsets", "Exif.Image.ImageWidth", "Exif.Image.BitsPerSample"})
        EXPECT_EQ(Value(fromTiff->exifData(), key), "(none)") << key;
}

TEST(ConversionMetadata, AnMpoKeepsExifAndIccInItsFirstPictureAndStaysAnMpo)
{
    // The colour profile's APP2 segments and the index's APP2 in one
    // picture: both readers still find the two views, Exiv2 the metadata.
    const std::string left = WithCameraMetadata(sgtest::SampleJpeg(100, 200, 40, 30));
    const std::string right = sgtest::SampleJpeg(400, 300, 40, 30);
    std::string source = sgtest::WriteFile("camera.mpo", sgtest::MakeMpo({{left, 0x020002, 1}, {right, 0x020002, 2}}));
    ConversionRequest request;
    request.sourcePath = source;
    request.outputPath = sgtest::PictureFolder() + "/camera_stereo.mpo";
    request.options.outputKind = OutputKind::Mpo;
    ConversionResult result = ConvertPicture(request);
    ASSERT_EQ(result.status, ConversionStatus::Written) << result.reason;
    EXPECT_EQ(result.notes, "");

    Exiv2::Image::AutoPtr image = ReadBack("camera_stereo.mpo");
    EXPECT_EQ(Value(image->exifData(), "Exif.Image.Make"), "FUJIFILM");
    EXPECT_EQ(Value(image->exifData(), "Exif.Photo.PixelXDimension"), "40");
    EXPECT_EQ(Exiv2::ExifThumbC(image->exifData()).copy().size_, 0);
    ASSERT_TRUE(image->iccProfileDefined());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image->iccProfile()->pData_), image->iccProfile()->size_),
              IccProfile());
    const std::string bytes = sgtest::FileBytes(request.outputPath);
    StereoFrames frames = FindStereoFrames(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(frames.found, FrameSearch::StereoPair);
    EXPECT_EQ(sgtest::CommandOutput("exiftool -s3 -NumberOfImages -Make " + request.outputPath +
                                    " 2>&1; /usr/bin/python3 -c 'from PIL import Image; print(Image.open(\"" +
                                    request.outputPath + "\").n_frames)'"),
              "2\nFUJIFILM\n2");
}

TEST(ConversionMetadata, OrdinarySideBySidePicturesGiveThePlainCutAndMixPixels)
{
    // Odd width, translucent pixels, a JPEG with EXIF and a thumbnail.
    for (const char* name : {"bench-sbs-959.png", "treetrunk-sbs-rgba.png", "figure-sbs.jps"}) {
        SCOPED_TRACE(name);
        const std::string source = std::string(SG_TEST_DATA_DIR) + "/" + name;
        Convert(source, "converted.jpg");

        Image picture;
        ASSERT_EQ(ReadImageFile(source, picture), kCodecOk);
        StereoViews views;
        ASSERT_TRUE(SplitSideBySide(picture.View(), views));
        ImageView anaglyph = views.left;
        ASSERT_TRUE(MixViews(views.left, views.right, AnaglyphMethod{}, anaglyph));
        const std::string plain = sgtest::PictureFolder() + "/plain.jpg";
        ASSERT_EQ(EncodeImageFile(plain, PictureFormat::Jpeg, anaglyph, EncodeOptions{}), kCodecOk);
        EXPECT_TRUE(SamePixels(sgtest::PictureFolder() + "/converted.jpg", plain));
    }
}

} // namespace

#pragma GCC diagnostic pop
