#include "imageio/metadata.h"

#include <exception>

// Exiv2 0.27 hands its images out as std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

namespace {

void SilenceExiv2()
{
    static const bool silenced = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        return true;
    }();
    (void)silenced;
}

// The source's EXIF rewritten to describe the new picture.
void MakeTrueOf(Exiv2::ExifData& exif, int32_t width, int32_t height)
{
    Exiv2::ExifThumb(exif).erase();
    for (auto it = exif.begin(); it != exif.end();) {
        if (it->groupName() == "MpfInfo")
            it = exif.erase(it);
        else
            ++it;
    }
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Photo.PixelXDimension"] = uint32_t(width);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(height);
    // The source's own image structure (a TIFF source's strips and samples)
    // says nothing true of the new file.
    for (const char* key :
         {"Exif.Image.ImageWidth", "Exif.Image.ImageLength", "Exif.Image.BitsPerSample", "Exif.Image.Compression",
          "Exif.Image.PhotometricInterpretation", "Exif.Image.StripOffsets", "Exif.Image.SamplesPerPixel",
          "Exif.Image.RowsPerStrip", "Exif.Image.StripByteCounts", "Exif.Image.PlanarConfiguration",
          "Exif.Image.TileWidth", "Exif.Image.TileLength", "Exif.Image.TileOffsets", "Exif.Image.TileByteCounts",
          "Exif.Image.SubIFDs", "Exif.Image.ExtraSamples", "Exif.Image.SampleFormat", "Exif.Image.Predictor",
          "Exif.Image.NewSubfileType", "Exif.Image.JPEGInterchangeFormat",
          "Exif.Image.JPEGInterchangeFormatLength"}) {
        auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it != exif.end())
            exif.erase(it);
    }
}

bool Copy(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format, int32_t width,
          int32_t height, std::string& note)
{
    // A source Exiv2 does not know (an icon) has nothing to keep.
    if (Exiv2::ImageFactory::getType(source, long(sourceSize)) == Exiv2::ImageType::none)
        return true;
    Exiv2::Image::AutoPtr from = Exiv2::ImageFactory::open(source, long(sourceSize));
    from->readMetadata();
    Exiv2::ExifData exif = from->exifData();
    const bool hasIcc = from->iccProfileDefined();
    if (exif.empty() && !hasIcc)
        return true;
    const PictureFormatRow* row = FindPictureFormat(format);
    if (!row || row->metadata != (kKeepsExif | kKeepsIcc)) {
        note += std::string("The source's EXIF and colour profile were not kept: ") +
                (row ? row->name : "this format") +
                " files written here carry no metadata.\n";
        return true;
    }
    Exiv2::Image::AutoPtr to =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(encoded.data()), long(encoded.size()));
    to->readMetadata();
    if (!exif.empty()) {
        MakeTrueOf(exif, width, height);
        to->setExifData(exif);
    }
    if (hasIcc) {
        Exiv2::DataBuf icc(from->iccProfile()->pData_, from->iccProfile()->size_);
        to->setIccProfile(icc, false);
    }
    to->writeMetadata();
    // The rewritten file is read straight from Exiv2's memory.
    Exiv2::BasicIo& io = to->io();
    const long size = io.size();
    if (size <= 0)
        return false;
    const Exiv2::byte* written = io.mmap();
    encoded.assign(reinterpret_cast<const char*>(written), size_t(size));
    io.munmap();
    return true;
}

} // namespace

bool PictureHasMetadata(const uint8_t* source, size_t sourceSize)
{
    if (!source || sourceSize == 0)
        return false;
    SilenceExiv2();
    try {
        if (Exiv2::ImageFactory::getType(source, long(sourceSize)) == Exiv2::ImageType::none)
            return false;
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(source, long(sourceSize));
        image->readMetadata();
        return !image->exifData().empty() || image->iccProfileDefined();
    } catch (...) {
        // Unreadable metadata: the copy will say so.
        return true;
    }
}

bool CopyPictureMetadata(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format,
                         int32_t width, int32_t height, std::string& note)
{
    if (!source || sourceSize == 0 || encoded.empty())
        return false;
    SilenceExiv2();
    // Copy assigns encoded only once the rewritten file is complete.
    bool copied = false;
    try {
        copied = Copy(source, sourceSize, encoded, format, width, height, note);
    } catch (const std::exception&) {
        copied = false;
    } catch (...) {
        copied = false;
    }
    if (!copied) {
        note += "The source's metadata could not be read or written, so the result carries none.\n";
        return false;
    }
    return true;
}

#pragma GCC diagnostic pop
