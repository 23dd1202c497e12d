#include "platform/codecs/formats.h"
namespace codecs {
CodecResult ProbeBmp(const uint8_t*, size_t, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult DecodeBmp(const uint8_t*, size_t, Picture&) { return kCodecUnknownFormat; }
CodecResult EncodeBmp(std::string&, const uint32_t*, int32_t, int32_t, bool) { return kCodecWriteFailed; }
CodecResult ProbeIconDib(const uint8_t*, size_t, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult DecodeIconDib(const uint8_t*, size_t, Picture&) { return kCodecUnknownFormat; }
}
