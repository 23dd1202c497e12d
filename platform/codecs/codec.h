#pragma once
// Picture files on this port: decoders chosen by the file's content, never
// its extension, and encoders for the five formats the save table names.
// Pixels are 32-bit BGRA (straight alpha), rows top-down, exactly width
// pixels per row.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/image.h"

enum CodecResult {
    kCodecOk = 0,
    kCodecNotFound,       // no such file
    kCodecAccessDenied,   // exists but cannot be read or written (rights, directory)
    kCodecUnknownFormat,  // not a format this port decodes (also EMF, WMF)
    kCodecCorrupt,        // truncated or damaged beyond what the decoder accepts
    kCodecTooLarge,       // header claims more than kMaxPicturePixels, or a size < 1
    kCodecOutOfMemory,
    kCodecWriteFailed,    // the encoder or the file system failed while saving
    kCodecUnsupportedVariant, // a known format in a variant the decoders do not read (12-bit JPEG …)
    kCodecTooSmall,       // a picture too small for what is asked of it (a 1-pixel-wide pair)
    kCodecDiskFull,       // no space left (or the quota reached) while saving
};

// The most pixels a decoder accepts; a header claiming more is refused
// before anything is allocated.
constexpr int64_t kMaxPicturePixels = kMaxImagePixels;
// The widest and highest JPEG that can be written (libjpeg's limit).
constexpr int32_t kMaxJpegSide = 65500;

enum class PictureFormat { Unknown, Jpeg, Png, Gif, Tiff, Bmp, Ico };

struct PictureHeader {
    int32_t width = 0;
    int32_t height = 0;
    PictureFormat format = PictureFormat::Unknown;
};

// A decoded picture is the program's typed image; hasAlpha false means every
// alpha byte is 0xFF.
using Picture = Image;

// What a file's header says, for telling the user why it cannot be read.
struct PictureDiagnosis {
    PictureFormat format = PictureFormat::Unknown;
    uint64_t fileBytes = 0;
    int64_t width = 0; // as the header claims (0 when it could not be read)
    int64_t height = 0;
    std::string variant; // kCodecUnsupportedVariant: which one, "12-bit JPEG"
};
// Opens and probes the file, and looks for a variant the decoders do not
// read: the result the probe gives (kCodecUnsupportedVariant for such a
// variant), with what was found. Reads only the head of the file.
CodecResult DiagnosePictureFile(const std::string& path, PictureDiagnosis& diagnosis);

// True when writing outputPath would replace the file at sourcePath itself
// (the same device and inode; a symbolic link at outputPath is not followed,
// since a save replaces the link and not what it points to).
bool OutputIsSourceFile(const std::string& sourcePath, const std::string& outputPath);

// Reads only as much of the file as its header needs.
CodecResult ProbePictureFile(const std::string& path, PictureHeader& header);
CodecResult DecodePictureFile(const std::string& path, Picture& picture);
// Starts decoding the file on another thread, for a reader that is sure to
// come; TakePrefetchedPicture hands the result to the first reader of the
// same, unchanged file (false for any other file: it decodes as usual).
void PrefetchPictureFile(const std::string& path);
bool TakePrefetchedPicture(const std::string& path, Picture& picture, CodecResult& result);

// The same decoders on bytes in memory (clipboard data, fuzzing).
CodecResult ProbePictureBytes(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodePictureBytes(const uint8_t* data, size_t size, Picture& picture);

// The same decoders, allowed to decode a JPEG at a reduced scale (one of
// TurboJPEG's scaling factors) as long as the picture's longer side keeps at
// least leastLongSide pixels (or its own size when it is smaller); other
// formats are decoded whole. 0 decodes at full size.
CodecResult DecodePictureBytesReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Picture& picture);

enum class EncodeFormat { Bmp, Jpeg, Gif, Tiff, Png };

// Writes the picture atomically: a temporary file in the same folder, renamed
// over path only when complete. A failure leaves no partial file and never
// touches an existing one. withAlpha false: the alpha bytes are ignored.
// JPEG: quality 95, no chroma subsampling (4:4:4).
CodecResult EncodePictureFile(const std::string& path, EncodeFormat format, const uint32_t* pixels, int32_t width,
                              int32_t height, bool withAlpha);
constexpr int32_t kDefaultJpegQuality = 95;

// Rewrites the encoded bytes before they are written (adds metadata).
using EncodedBytesEdit = std::function<void(std::string& encoded)>;

struct EncodeOptions {
    int32_t jpegQuality = kDefaultJpegQuality; // 1..100
    bool withAlpha = false;
    EncodedBytesEdit finish; // none: the encoder's bytes are written as they are
};

// The same atomic save from a view whose rows may lie farther apart than its
// width (a view of a larger picture is encoded without a copy for JPEG).
CodecResult EncodeImageFile(const std::string& path, EncodeFormat format, ImageView image,
                            const EncodeOptions& options);

// The same encoders into bytes in memory, with the options' quality and
// finish (the pictures of a multi-picture file are put together from such).
CodecResult EncodeImageBytes(std::string& out, EncodeFormat format, ImageView image, const EncodeOptions& options);

// Bytes already encoded, saved as EncodeImageFile saves: atomically, a
// symbolic link replaced and never followed, nothing left on failure.
CodecResult SaveFileBytes(const std::string& path, const std::string& bytes);

// The format of an encoder named by its MIME type ("image/jpeg" …); false
// for a MIME type no encoder has.
bool EncodeFormatForMimeType(const std::string& mimeType, EncodeFormat& format);

CodecResult EncodePictureBytes(std::string& out, EncodeFormat format, const uint32_t* pixels, int32_t width,
                               int32_t height, bool withAlpha);
