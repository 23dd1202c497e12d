#pragma once
// Picture files: decoders chosen by the file's content, never its
// extension, and encoders, for the formats of one table (PictureFormats()).
// Pixels are 32-bit BGRA (straight alpha), rows top-down, exactly width
// pixels per row.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
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

// A row of the table of formats (picture_formats.cpp); Unknown is none.
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

// A picture file opened once for reading: its descriptor, size and the
// format its first bytes show. Closed when it goes.
struct OpenedPicture {
    int fd = -1;
    uint64_t size = 0;
    PictureFormat format = PictureFormat::Unknown;
    OpenedPicture() = default;
    ~OpenedPicture();
    OpenedPicture(const OpenedPicture&) = delete;
    OpenedPicture& operator=(const OpenedPicture&) = delete;
};
// Opens a regular file for reading and sniffs its format. Opening does not
// block on a FIFO, and anything but a regular file (a directory, a device) is
// refused; so is an empty file, as corrupt.
CodecResult OpenPicture(const std::string& path, OpenedPicture& file);

// Reads only as much of the file as its header needs.
CodecResult ProbePictureFile(const std::string& path, PictureHeader& header);
// The same, and the diagnosis below, on a file already open.
CodecResult ProbeOpenedPicture(const OpenedPicture& file, PictureHeader& header);
CodecResult DiagnoseOpenedPicture(const OpenedPicture& file, PictureDiagnosis& diagnosis);
CodecResult DecodePictureFile(const std::string& path, Picture& picture);
// Starts decoding the file on another thread, for a reader that is sure to
// come; TakePrefetchedPicture hands the result to the first reader of the
// same, unchanged file (false for any other file: it decodes as usual).
// A picture already decoded from the bytes just written to path (a
// JpegEcho's) counts as its prefetch; PrefetchPictureFile then keeps it.
void PrefetchPictureFile(const std::string& path);
void KeepPrefetchedPicture(const std::string& path, Picture&& picture);
bool TakePrefetchedPicture(const std::string& path, Picture& picture, CodecResult& result);

// The same decoders on bytes in memory (clipboard data, fuzzing).
CodecResult ProbePictureBytes(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodePictureBytes(const uint8_t* data, size_t size, Picture& picture);

// The same decoders, allowed to decode a JPEG at a reduced scale (one of
// TurboJPEG's scaling factors) as long as the picture's longer side keeps at
// least leastLongSide pixels (or its own size when it is smaller); other
// formats are decoded whole. 0 decodes at full size.
CodecResult DecodePictureBytesReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Picture& picture);

// Writes the picture atomically: a temporary file in the same folder, renamed
// over path only when complete. A failure leaves no partial file and never
// touches an existing one. withAlpha false: the alpha bytes are ignored.
// JPEG: quality 95, no chroma subsampling (4:4:4).
CodecResult EncodePictureFile(const std::string& path, PictureFormat format, const uint32_t* pixels, int32_t width,
                              int32_t height, bool withAlpha);
constexpr int32_t kDefaultJpegQuality = 95;

// Rewrites the encoded bytes before they are written (adds metadata).
using EncodedBytesEdit = std::function<void(std::string& encoded)>;

struct EncodeOptions {
    int32_t jpegQuality = kDefaultJpegQuality; // 1..100
    bool withAlpha = false;
    EncodedBytesEdit finish; // none: the encoder's bytes are written as they are
};

// Where a save failed on the file system, and the system's error there
// (errno), so that the message can say why.
enum class SaveStep { Nowhere, Target, Create, Write, Rename };
struct SaveFailure {
    SaveStep step = SaveStep::Nowhere;
    int error = 0; // errno at the failing call; 0 when the encoder failed
};

// The same atomic save from a view whose rows may lie farther apart than its
// width (a view of a larger picture is encoded without a copy for JPEG).
// failure, when given, says where a file-system call failed.
CodecResult EncodeImageFile(const std::string& path, PictureFormat format, ImageView image,
                            const EncodeOptions& options, SaveFailure* failure = nullptr);

// The same encoders into bytes in memory, with the options' quality and
// finish (the pictures of a multi-picture file are put together from such).
CodecResult EncodeImageBytes(std::string& out, PictureFormat format, ImageView image, const EncodeOptions& options);

// Bytes already encoded, saved as EncodeImageFile saves: atomically, a
// symbolic link replaced and never followed, nothing left on failure.
CodecResult SaveFileBytes(const std::string& path, const std::string& bytes, SaveFailure* failure = nullptr);

// The format of an encoder named by its MIME type ("image/jpeg" …); false
// for a MIME type no encoder has.
bool PictureFormatForMimeType(const std::string& mimeType, PictureFormat& format);
// The format a file name's extension names for writing (any case: "x.JPE"),
// through the table's extensions; false when it names none that is written.
bool PictureFormatForFileName(const std::string& fileName, PictureFormat& format);

CodecResult EncodePictureBytes(std::string& out, PictureFormat format, const uint32_t* pixels, int32_t width,
                               int32_t height, bool withAlpha);

// The table of formats: everything the program knows of a format is in its
// row, and the codec file that holds its functions. Adding a format is a row
// here (picture_formats.cpp) and a codec file.
// The open file handed to a row's file functions: its first bytes, its size
// and its descriptor (for reading further with pread).
struct PictureFileHead {
    const uint8_t* data;
    size_t size;
    uint64_t fileSize;
    int fd;
};
enum PictureMetadata : uint32_t { kKeepsNoMetadata = 0, kKeepsExif = 1, kKeepsIcc = 2 };
struct PictureFormatRow {
    PictureFormat format;
    const char* name;       // in messages: "JPEG"
    const char* extensions; // lower case, one space between; the first is the usual one
    const char* mimeType;
    // Whether the file's first bytes (at most 16) are this format's.
    bool (*sniff)(const uint8_t* data, size_t size);
    // The size the header claims (kept even when too large, for messages).
    CodecResult (*probe)(const uint8_t* data, size_t size, PictureHeader& header);
    CodecResult (*decode)(const uint8_t* data, size_t size, Picture& picture);
    // Null: the format is read, never written.
    CodecResult (*encode)(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha);
    // "" when the decoder reads the variant in the head of the file, else its
    // name ("12-bit JPEG"); null when every variant is read.
    std::string (*variant)(const uint8_t* data, size_t size);
    // For a format read from the open file itself (TIFF, whose directories
    // may lie anywhere): the probe, the decode and the variant. Null for the
    // formats read from bytes in memory.
    CodecResult (*probeFile)(int fd, PictureHeader& header);
    CodecResult (*decodeFile)(int fd, Picture& picture);
    std::string (*variantOfFile)(int fd);
    // How many bytes from the start the decoder can use (bytes after that are
    // never read); kCodecCorrupt when the image data the header promises
    // cannot be in the file at all. Null: the whole file.
    CodecResult (*extent)(const PictureFileHead& file, uint64_t& length);
    // A file may hold several pictures (frames, pages, icon sizes); the
    // decoder reads the first (an icon: the largest), the encoder writes one.
    bool severalFrames;
    uint32_t metadata; // what of a source's metadata an output keeps (kKeepsExif | kKeepsIcc)
    int64_t largestSide; // the widest or highest picture the format holds
};
// Every row, in the order formats are sniffed.
std::span<const PictureFormatRow> PictureFormats();
// The row of a format; null for Unknown.
const PictureFormatRow* FindPictureFormat(PictureFormat format);
// "JPEG, PNG, GIF, TIFF, BMP or ICO": every format's name, or only those
// written.
std::string PictureFormatNames(bool writtenOnly);
// ".jpg, .jpeg, … or .tiff": every extension of a format that is written.
std::string WrittenExtensionList();
