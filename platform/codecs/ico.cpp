#include "platform/codecs/formats.h"
namespace codecs {
CodecResult ProbeIco(const uint8_t*, size_t, PictureHeader&) { return kCodecUnknownFormat; }
CodecResult DecodeIco(const uint8_t*, size_t, Picture&) { return kCodecUnknownFormat; }
}
