#pragma once
// What the GDI+ substitute and the clipboard need of the picture codecs.
// The codecs are no part of this layer (they live with the formats in
// imageio/, above it); imageio hands them over with UsePictureCodecs before
// GDI+ starts (fGDIp_Startup does). Until then every load and save fails
// with UnknownImageFormat, and clipboard pictures are not read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/image.h"
#include "platform/gdiplus.h"

struct PictureCodecCalls {
    // The size the file's header gives.
    Status (*probeFile)(const std::string& path, int32_t& width, int32_t& height);
    // The whole picture (one decoded ahead of time counts).
    Status (*decodeFile)(const std::string& path, Image& picture);
    // A picture in memory (clipboard data); false when it is none.
    bool (*decodeBytes)(const uint8_t* data, size_t size, Image& picture);
    // Writes the picture atomically in the format of the MIME type.
    Status (*encodeFile)(const std::string& path, std::u16string_view mimeType, const uint32_t* pixels,
                         int32_t width, int32_t height, bool withAlpha);
};

// Installs the calls (they must stay valid for the rest of the process);
// safe to repeat from any thread.
void UsePictureCodecs(const PictureCodecCalls* calls);
// The calls installed; never null (a set that refuses everything before).
const PictureCodecCalls& PictureCodecs();
