#include "platform/picture_codecs.h"

#include <atomic>

namespace {

Status NoProbe(const std::string&, int32_t&, int32_t&) { return UnknownImageFormat; }
Status NoDecode(const std::string&, Image&) { return UnknownImageFormat; }
bool NoBytes(const uint8_t*, size_t, Image&) { return false; }
Status NoEncode(const std::string&, std::u16string_view, const uint32_t*, int32_t, int32_t, bool)
{
    return UnknownImageFormat;
}

constexpr PictureCodecCalls kNone = {NoProbe, NoDecode, NoBytes, NoEncode};
std::atomic<const PictureCodecCalls*> installed{&kNone};

} // namespace

void UsePictureCodecs(const PictureCodecCalls* calls)
{
    installed.store(calls ? calls : &kNone, std::memory_order_release);
}

const PictureCodecCalls& PictureCodecs() { return *installed.load(std::memory_order_acquire); }
