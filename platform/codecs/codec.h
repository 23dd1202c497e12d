#pragma once
// Picture files on this port: decoders chosen by the file's content, never
// its extension, and encoders for the five formats the save table names.
// Pixels are 32-bit BGRA (straight alpha), rows top-down, exactly width
// pixels per row.
#include <cstddef>
#include <cstdint>
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
};

// The most pixels a decoder accepts; a header claiming more is refused
// before anything is allocated.
constexpr int64_t kMaxPicturePixels = kMaxImagePixels;

enum class PictureFormat { Unknown, Jpeg, Png, Gif, Tiff, Bmp, Ico };

struct PictureHeader {
    int32_t width = 0;
    int32_t height = 0;
    PictureFormat format = PictureFormat::Unknown;
};

// A decoded picture is the program's typed image; hasAlpha false means every
// alpha byte is 0xFF.
using Picture = Image;

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

enum class EncodeFormat { Bmp, Jpeg, Gif, Tiff, Png };

// Writes the picture atomically: a temporary file in the same folder, renamed
// over path only when complete. A failure leaves no partial file and never
// touches an existing one. withAlpha false: the alpha bytes are ignored.
// JPEG: quality 95, no chroma subsampling (4:4:4).
CodecResult EncodePictureFile(const std::string& path, EncodeFormat format, const uint32_t* pixels, int32_t width,
                              int32_t height, bool withAlpha);
constexpr int32_t kDefaultJpegQuality = 95;

struct EncodeOptions {
    int32_t jpegQuality = kDefaultJpegQuality; // 1..100
    bool withAlpha = false;
};

// The same atomic save from a view whose rows may lie farther apart than its
// width (a view of a larger picture is encoded without a copy for JPEG).
CodecResult EncodeImageFile(const std::string& path, EncodeFormat format, ImageView image,
                            const EncodeOptions& options);

// The format of an encoder named by its MIME type ("image/jpeg" …); false
// for a MIME type no encoder has.
bool EncodeFormatForMimeType(const std::string& mimeType, EncodeFormat& format);

CodecResult EncodePictureBytes(std::string& out, EncodeFormat format, const uint32_t* pixels, int32_t width,
                               int32_t height, bool withAlpha);
