#include "imageio/image_file.h"

#include "imageio/imageio.h"

namespace {

// Source-over onto black with the drawing's rounding: (c x a + 127) / 255
// per channel; the fourth byte becomes the bitmap's, 0.
void FlattenOntoBlack(Image& image)
{
    ImageView view = image.View();
    for (int32_t y = 0; y < view.height; ++y) {
        uint32_t* row = view.Row(y);
        for (int32_t x = 0; x < view.width; ++x) {
            uint32_t pixel = row[x];
            uint32_t alpha = pixel >> 24;
            if (alpha == 255) {
                row[x] = pixel & 0x00FFFFFFu;
                continue;
            }
            uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8)
                out |= ((((pixel >> shift) & 0xFF) * alpha + 127) / 255) << shift;
            row[x] = out;
        }
    }
    image.hasAlpha = false;
}

} // namespace

CodecResult ReadImageFile(const std::string& path, Image& image)
{
    CodecResult result = DecodePictureFile(path, image);
    if (result == kCodecOk && image.hasAlpha)
        FlattenOntoBlack(image);
    return result;
}

CodecResult DecodeImageBytes(const uint8_t* data, size_t size, Image& image)
{
    return DecodeImageBytesReduced(data, size, 0, image);
}

CodecResult DecodeImageBytesReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Image& image)
{
    CodecResult result = DecodePictureBytesReduced(data, size, leastLongSide, image);
    if (result == kCodecOk && image.hasAlpha)
        FlattenOntoBlack(image);
    return result;
}

bool ImageFormatForName(const std::string& fileName, PictureFormat& format)
{
    return PictureFormatForFileName(fileName, format);
}
