#pragma once
// Stereo pairs as the Leia Lume Pad writes them: two complete JPEG pictures
// of the same size, small blocks of the tablet's own data between them and
// after the second, and a JSON trailer whose "views" give each picture's
// "xLocation" (0 the left view, 1 the right).
#include <cstddef>
#include <cstdint>

#include "imageio/multi_picture.h"

// True, with frames filled in (left view first), only when all of that is
// there: the two pictures, of the same size, and a trailer whose JSON names
// exactly two views at xLocation 0 and 1. Anything else is no Leia pair.
bool FindLeiaPair(const uint8_t* data, size_t size, StereoFrames& frames);
