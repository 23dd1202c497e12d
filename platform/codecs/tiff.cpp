#include "platform/codecs/formats.h"
namespace codecs {
CodecResult ProbeTiff(const uint8_t*, size_t, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult ProbeTiffFile(int, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult DecodeTiff(const uint8_t*, size_t, Picture&) { return kCodecUnknownFormat; }
CodecResult EncodeTiff(std::string&, const uint32_t*, int32_t, int32_t, bool) { return kCodecWriteFailed; }
}
