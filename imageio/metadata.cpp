#include "imageio/metadata.h"

#include <algorithm>
#include <exception>

#include "imageio/metadata_blocks.h"

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

// The most EXIF one JPEG APP1 segment holds after its "Exif\0\0" (and the
// most Exiv2 writes into a PNG's EXIF text).
constexpr size_t kMostExifBytes = 65527;

const Exiv2::byte* Bytes(const std::string& text) { return reinterpret_cast<const Exiv2::byte*>(text.data()); }

// More than exif can take once written: each tag's entry and value, with
// room for every IFD, the makers' notes' own headers and word alignment.
size_t ExifSizeBound(const Exiv2::ExifData& exif)
{
    size_t size = 4096;
    for (const Exiv2::Exifdatum& tag : exif)
        size += 12 + (tag.size() > 4 ? size_t(tag.size()) + 1 : 0);
    return size;
}

// Whether exif, as Exiv2 writes it into a JPEG, fits one segment whole:
// Exiv2 quietly leaves out its large tags when it does not.
bool FitsOneSegment(const Exiv2::ExifData& exif)
{
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, nullptr, 0, Exiv2::littleEndian, exif);
    if (blob.size() > kMostExifBytes)
        return false;
    Exiv2::ExifData written;
    Exiv2::ExifParser::decode(written, blob.data(), uint32_t(blob.size()));
    for (const Exiv2::Exifdatum& tag : exif)
        if (tag.size() > 4096 && written.findKey(Exiv2::ExifKey(tag.key())) == written.end())
            return false;
    return true;
}

// Makes exif fit one segment (its thumbnail is gone already) by leaving out
// its largest tags, one at a time; says which in note. False when even that
// does not make it fit: then it is to be left out whole.
bool FitExif(Exiv2::ExifData& exif, std::string& note)
{
    if (ExifSizeBound(exif) <= kMostExifBytes)
        return true;
    std::string dropped;
    for (int round = 0; round < 64 && !exif.empty(); ++round) {
        if (FitsOneSegment(exif)) {
            if (!dropped.empty())
                note += "The source's EXIF was too large to keep whole (64 KB at most); these tags were left out: " +
                        dropped + ".\n";
            return true;
        }
        auto largest = std::max_element(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& a,
                                                                     const Exiv2::Exifdatum& b) {
            return a.size() < b.size();
        });
        dropped += (dropped.empty() ? "" : ", ") + largest->key();
        exif.erase(largest);
    }
    note += "The source's EXIF was too large to keep (64 KB at most), so it was left out.\n";
    return false;
}

// What of the source is to be copied: its EXIF as Exiv2 reads it and its
// ICC profile once checked. Whatever cannot be read or is not well formed is
// left out, and note says so.
struct SourceMetadata {
    Exiv2::ExifData exif;
    std::string icc;
};

void KeepIccIfSound(IccSearch search, std::string profile, const std::string& problem, SourceMetadata& kept,
                    std::string& note)
{
    if (search == IccSearch::None)
        return;
    std::string why = search == IccSearch::Damaged ? problem : IccProfileProblem(profile);
    if (!why.empty()) {
        note += "The source's colour profile was left out: " + why + ".\n";
        return;
    }
    kept.icc = std::move(profile);
}

// A JPEG's EXIF block decoded on its own; false when it is no TIFF
// structure Exiv2 can read, or one in which it finds no tag at all.
bool DecodeExif(const uint8_t* block, size_t size, Exiv2::ExifData& exif)
{
    try {
        return Exiv2::ExifParser::decode(exif, block, uint32_t(size)) != Exiv2::invalidByteOrder && !exif.empty();
    } catch (...) {
        return false;
    }
}

// False when the source is no picture Exiv2 knows (an icon): nothing to keep.
bool ReadSourceMetadata(const uint8_t* source, size_t sourceSize, SourceMetadata& kept, std::string& note)
{
    const int type = Exiv2::ImageFactory::getType(source, long(sourceSize));
    if (type == Exiv2::ImageType::none)
        return false;
    std::string profile, problem;
    if (type == Exiv2::ImageType::jpeg) {
        // The EXIF segment is read on its own, so that nothing else in the
        // head (a damaged profile) can take it down.
        size_t offset = 0, length = 0;
        if (FindJpegExif(source, sourceSize, offset, length) && length > 0 &&
            !DecodeExif(source + offset, length, kept.exif)) {
            kept.exif.clear();
            note += "The source's EXIF could not be read, so it was left out.\n";
        }
        IccSearch search = FindJpegIcc(source, sourceSize, profile, problem);
        KeepIccIfSound(search, std::move(profile), problem, kept, note);
        return true;
    }
    Exiv2::Image::AutoPtr from = Exiv2::ImageFactory::open(source, long(sourceSize));
    bool read = true;
    try {
        from->readMetadata();
        kept.exif = from->exifData();
    } catch (...) {
        read = false;
        kept.exif.clear();
    }
    if (type == Exiv2::ImageType::png) {
        // The profile is inflated here, where a broken stream is seen as
        // one, and never taken from Exiv2's buffer.
        IccSearch search = FindPngIcc(source, sourceSize, profile, problem);
        KeepIccIfSound(search, std::move(profile), problem, kept, note);
    } else if (read && from->iccProfileDefined()) {
        const Exiv2::DataBuf* icc = from->iccProfile();
        profile.assign(reinterpret_cast<const char*>(icc->pData_), size_t(icc->size_));
        KeepIccIfSound(IccSearch::Found, std::move(profile), "", kept, note);
        // A TIFF's profile is also one of its tags: it goes only where it
        // was checked.
        auto tag = kept.exif.findKey(Exiv2::ExifKey("Exif.Image.InterColorProfile"));
        if (kept.icc.empty() && tag != kept.exif.end())
            kept.exif.erase(tag);
    }
    // A PNG's EXIF text that Exiv2 passed over as unreadable is said too.
    if (!read || (type == Exiv2::ImageType::png && kept.exif.empty() && PngHasExif(source, sourceSize)))
        note += "The source's EXIF could not be read, so it was left out.\n";
    return true;
}

// The encoded file as Exiv2 rewrote it, read straight from its memory.
bool TakeWritten(Exiv2::Image& image, std::string& encoded)
{
    Exiv2::BasicIo& io = image.io();
    const long size = io.size();
    if (size <= 0)
        return false;
    const Exiv2::byte* written = io.mmap();
    encoded.assign(reinterpret_cast<const char*>(written), size_t(size));
    io.munmap();
    return true;
}

bool Copy(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format, int32_t width,
          int32_t height, std::string& note)
{
    SourceMetadata kept;
    if (!ReadSourceMetadata(source, sourceSize, kept, note))
        return true;
    if (kept.exif.empty() && kept.icc.empty())
        return true;
    const PictureFormatRow* row = FindPictureFormat(format);
    if (!row || row->metadata != (kKeepsExif | kKeepsIcc)) {
        note += std::string("The source's EXIF and colour profile were not kept: ") +
                (row ? row->name : "this format") + " files written here carry no metadata.\n";
        return true;
    }
    if (!kept.exif.empty()) {
        MakeTrueOf(kept.exif, width, height);
        if (!FitExif(kept.exif, note))
            kept.exif.clear();
    }
    std::string result = encoded;
    if (!kept.exif.empty() || (format == PictureFormat::Jpeg && !kept.icc.empty())) {
        Exiv2::Image::AutoPtr to = Exiv2::ImageFactory::open(Bytes(result), long(result.size()));
        to->readMetadata();
        if (!kept.exif.empty())
            to->setExifData(kept.exif);
        // A PNG's profile is written below, as an iCCP chunk with a name.
        if (format == PictureFormat::Jpeg && !kept.icc.empty()) {
            Exiv2::DataBuf icc(Bytes(kept.icc), long(kept.icc.size()));
            to->setIccProfile(icc, false);
        }
        to->writeMetadata();
        if (!TakeWritten(*to, result))
            return false;
    }
    if (format == PictureFormat::Png) {
        // The profile, then the EXIF as the standard eXIf chunk; the text
        // Exiv2 wrote stays for the readers that only know that.
        std::string chunks;
        if (!kept.icc.empty()) {
            std::string icc = PngIccChunk(kept.icc);
            if (icc.empty())
                return false;
            chunks += icc;
        }
        if (!kept.exif.empty()) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, nullptr, 0, Exiv2::littleEndian, kept.exif);
            chunks += PngChunk("eXIf", std::string(blob.begin(), blob.end()));
        }
        if (!InsertAfterPngHeader(result, chunks))
            return false;
    }
    encoded = std::move(result);
    return true;
}

} // namespace

bool PictureHasMetadata(const uint8_t* source, size_t sourceSize)
{
    if (!source || sourceSize == 0)
        return false;
    SilenceExiv2();
    // A block that cannot be read is something to say.
    std::string profile, problem;
    size_t offset = 0, length = 0;
    if (FindJpegIcc(source, sourceSize, profile, problem) != IccSearch::None ||
        FindPngIcc(source, sourceSize, profile, problem) != IccSearch::None ||
        FindJpegExif(source, sourceSize, offset, length) || PngHasExif(source, sourceSize))
        return true;
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
