#pragma once
// The metadata a conversion carries from its source to its result: the EXIF
// (camera, lens, date taken, exposure, GPS …) and the ICC profile. Exiv2 does
// the reading and writing; this file is the only one that uses it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imageio/codecs/codec.h"

// True when source (a picture file in memory) has EXIF or an ICC profile
// to keep, or a block of either that cannot be read (to be said).
bool PictureHasMetadata(const uint8_t* source, size_t sourceSize);

// Copies the EXIF and ICC profile of source (a picture file in memory) into
// encoded (a picture just encoded as format, width x height pixels), made
// true of it: the pixel dimensions set, orientation 1, no thumbnail, nothing
// of a multi-picture index. Only what was read whole is copied: a profile
// only when well formed, EXIF only as far as it fits 64 KB (its largest
// tags left out, by name, when it does not). JPEG keeps both; PNG keeps the
// ICC profile (a named iCCP chunk) and the EXIF (an eXIf chunk, and the
// raw-profile text chunk Exiv2 writes for readers that know only that);
// BMP, GIF and TIFF keep none. Whatever was left out is said in note (lines
// ending in a newline); on any failure encoded stays as it was, and the
// result is false.
bool CopyPictureMetadata(const uint8_t* source, size_t sourceSize, std::string& encoded, PictureFormat format,
                         int32_t width, int32_t height, std::string& note);
