#pragma once
// The per-format decoders and encoders behind codec.h, and the small helpers
// they share. Only the codec layer includes this.
#include "platform/codecs/codec.h"

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

CodecResult ProbeJpeg(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeJpeg(const uint8_t* data, size_t size, Picture& picture);
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
CodecResult DecodeIconDib(const uint8_t* data, size_t size, Picture& picture);

CodecResult ProbeIco(const uint8_t* data, size_t size, PictureHeader& header);
CodecResult DecodeIco(const uint8_t* data, size_t size, Picture& picture);

} // namespace codecs
