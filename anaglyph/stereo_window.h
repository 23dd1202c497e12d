#pragma once
// The stereo window: moving the whole scene behind or in front of the screen
// by changing every point's separation, the horizontal distance from its
// place in the left view to its place in the right view.
#include <cstdint>
#include <string>

#include "base/image.h"

// Adds shift pixels to every point's separation (x in the right view minus x
// in the left view): a positive shift moves the scene back behind the
// screen, a negative one brings it forward. Both views are cut to the part
// they share, so they become |shift| pixels narrower and no edge shows one
// view alone; no pixels are copied. False, with the views untouched and the
// reason in error, when the views are not wider than |shift|.
bool ShiftStereoWindow(ImageView& left, ImageView& right, int32_t shift, std::string& error);
