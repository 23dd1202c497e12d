#pragma once
// Picture files as typed images, for the conversion path: one decode
// straight into the image that is split, and one encode straight from the
// view that holds the result.
#include <string>

#include "base/image.h"
#include "imageio/codecs/codec.h"

// Decodes the picture file. Translucent pixels are flattened onto black,
// exactly as drawing the picture into a fresh memory bitmap does, so that
// the views hold what the drawing targets would hold.
CodecResult ReadImageFile(const std::string& path, Image& image);
// The same decode and flattening for a picture already in memory (one frame
// of a multi-picture file).
CodecResult DecodeImageBytes(const uint8_t* data, size_t size, Image& image);
// The same, a JPEG at a reduced scale that keeps leastLongSide pixels on
// the picture's longer side (DecodePictureBytesReduced); 0 for full size.
CodecResult DecodeImageBytesReduced(const uint8_t* data, size_t size, int32_t leastLongSide, Image& image);

// The encoder that the file name's extension selects, by the extensions of
// the table of formats (any case); false when it selects none.
bool ImageFormatForName(const std::string& fileName, PictureFormat& format);
