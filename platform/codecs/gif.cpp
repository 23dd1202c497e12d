#include "platform/codecs/formats.h"
namespace codecs {
CodecResult ProbeGif(const uint8_t*, size_t, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult DecodeGif(const uint8_t*, size_t, Picture&) { return kCodecUnknownFormat; }
CodecResult EncodeGif(std::string&, const uint32_t*, int32_t, int32_t, bool) { return kCodecWriteFailed; }
}
