#pragma once
// Placement of a picture file into a graphic target (a graphic window or a
// memory bitmap) by one of four fit modes, on a background colour.
#include <cstdint>
#include <string>

// Fit modes: 0 fit to height from the top-left corner, 1 stretch to the
// whole target, 2 fit inside and centre, 3 fill and crop the excess equally.
// Returns the loaded picture's pixels as they were before drawing; when the
// file does not load, the pixels of the thread's target at that moment; ""
// when GDI+ does not start (after the "No GDI+" message). The thread is left
// with no graphic target, except after "No GDI+", when the target stays.
std::string fGDIp_DrawFile(const uint32_t& target, const int32_t& controlId, const std::string& fileName,
                           const int32_t& fitMode, const int32_t& background);

// The same drawing for callers that do not use the pixels: no copy of them
// is made. Returns 1 when the picture was loaded and drawn, 0 when it did not
// load, -1 when GDI+ did not start.
int32_t fDrawFile(const uint32_t& target, const int32_t& controlId, const std::string& fileName,
                  const int32_t& fitMode, const int32_t& background);

// Corners (inclusive) of the source and destination rectangles for a fit
// mode; false for a mode outside 0..3 (nothing is drawn then).
struct PlacementCorners {
    float sx1, sy1, sx2, sy2;
    float dx1, dy1, dx2, dy2;
};
bool fPlacementCorners(int32_t fitMode, int32_t targetWidth, int32_t targetHeight, int32_t pictureWidth,
                       int32_t pictureHeight, PlacementCorners& corners);
