#pragma once
// The per-format decoders and encoders behind codec.h, and the small helpers
// they share. Only the codec layer includes this.
#include "imageio/codecs/codec.h"

#include <functional>

namespace codecs {

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
inline uint16_t Be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

// kCodecTooLarge unless 1 <= width, height and width x height <= kMaxPicturePixels.
CodecResult CheckPictureSize(int64_t width, int64_t height);
// Sets the size and allocates the pixels (not zero-filled); the size must
// have passed CheckPictureSize.
CodecResult AllocatePicture(Picture& picture, int32_t width, int32_t height);
// True when any alpha byte is below 0xFF.
bool AnyTranslucent(const uint32_t* pixels, int64_t count);

// Bytes in memory, read front to back by a codec library's read callback.
struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t pos;
};
// Copies up to length bytes from the reading position and moves past them;
// how many were copied.
size_t ReadMemory(MemoryReader& reader, void* out, size_t length);

PictureFormat SniffFormat(const uint8_t* data, size_t size);

// Reads n bytes at offset into out; false when they are not all there.
using ByteReader = std::function<bool(uint64_t offset, uint8_t* out, size_t n)>;
// A reader of the open file fd, with pread.
ByteReader FileByteReader(int fd);

// A PNG's chunks walked by their lengths from the signature on: whether
// any image data (a non-empty IDAT) is there, whether the walk reached
// IEND, and where the PNG's bytes end (after IEND).
struct PngChunks {
    bool imageData = false;
    bool ended = false;
    uint64_t end = 0;
};
PngChunks WalkPngChunks(const ByteReader& read, uint64_t size);
// The walk over bytes in memory.
PngChunks WalkPngChunks(const uint8_t* data, size_t size);

// The bytes from the start of the file that an uncompressed BMP's pixels
// reach (the last row's padding not counted), from its head and the whole
// file's size; 0 when the file is compressed or its header cannot be read.
uint64_t BmpBytesNeeded(const uint8_t* data, size_t size, uint64_t fileSize);
// The bytes from the start of an icon file that its entries reach, as the
// directory says; 0 when the directory cannot be read. Checks of the
// largest entry: false when its image data cannot be there (outside the
// file, shorter than its own header says, a PNG without image data). Only
// what lies inside size is looked at; fileSize is the whole file's.
uint64_t IcoBytesNeeded(const uint8_t* data, size_t size);
bool IcoDataPlausible(const uint8_t* data, size_t size, uint64_t fileSize);

// Whether the first frame of a GIF holds any data (its first sub-block is
// not empty); true when the bytes given end before that can be told, unless
// they are the whole file.
bool GifFirstFrameHasData(const uint8_t* data, size_t size, bool whole);

// TIFF from an open file, read with pread: only the strips or tiles needed.
CodecResult DecodeTiffFile(int fd, Picture& picture);

// The per-format probes, keeping the size the header claims even when it is
// too large (for messages).
CodecResult ProbeFormat(PictureFormat format, const uint8_t* data, size_t size, PictureHeader& header);
// "" when the decoders read the picture's variant; otherwise its name, such
// as "12-bit JPEG" or "JPEG-compressed BMP". On the head of the file.
std::string JpegVariant(const uint8_t* data, size_t size);
std::string BmpVariant(const uint8_t* data, size_t size);
std::string IcoVariant(const uint8_t* data, size_t size);
std::string TiffFileVariant(int fd);

CodecResult ProbeJpeg(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeJpeg(const uint8_t* data, size_t size, Picture& picture);
// At the smallest scaling factor that keeps leastLongSide (0: full size).
CodecResult DecodeJpegReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Picture& picture);
CodecResult EncodeJpeg(std::string& out, const uint32_t* pixels, int32_t width, int32_t height);
// The compressed bytes in TurboJPEG's own buffer, which the caller frees with
// FreeJpegBuffer: saving writes them without another copy.
// stride: pixels from one row to the next.
CodecResult EncodeJpegBuffer(const uint32_t* pixels, int32_t width, int32_t height, int64_t stride, int32_t quality,
                             unsigned char** jpeg, unsigned long* jpegSize);
void FreeJpegBuffer(unsigned char* jpeg);

CodecResult ProbePng(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodePng(const uint8_t* data, size_t size, Picture& picture);
CodecResult EncodePng(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha);

CodecResult ProbeGif(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeGif(const uint8_t* data, size_t size, Picture& picture);
CodecResult EncodeGif(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha);

CodecResult ProbeTiff(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult ProbeTiffFile(int fd, PictureHeader& header);
CodecResult DecodeTiff(const uint8_t* data, size_t size, Picture& picture);
CodecResult EncodeTiff(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha);

CodecResult ProbeBmp(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeBmp(const uint8_t* data, size_t size, Picture& picture);
CodecResult EncodeBmp(std::string& out, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha);

// A device-independent bitmap without its file header, as stored in an icon
// entry: the height counts the colour rows and the AND mask rows together.
CodecResult ProbeIconDib(const uint8_t* data, size_t size, PictureHeader& header);
std::string IconDibVariant(const uint8_t* data, size_t size);
// The bytes an uncompressed icon DIB's header, palette and colour pixels
// take; 0 when compressed or unreadable.
uint64_t IconDibBytesNeeded(const uint8_t* data, size_t size);
CodecResult DecodeIconDib(const uint8_t* data, size_t size, Picture& picture);

CodecResult ProbeIco(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeIco(const uint8_t* data, size_t size, Picture& picture);

} // namespace codecs
