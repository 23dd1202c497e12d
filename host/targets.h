#pragma once
// The ten drawing-target operations. Each acts on the calling thread's
// graphic target, chosen with SelectTarget; without a target they do nothing
// and give zeros or an empty string.
#include <cstdint>
#include <string>

#include "platform/wintypes.h"

// The mix code and stretch mode the program draws with: SRCCOPY, HALFTONE.
constexpr int32_t kMixSourceCopy = 13;
constexpr int32_t kStretchHalftone = 4;

void SelectTarget(uint32_t handle, int32_t controlId, bool deferredRefresh);
void RefreshTarget();
void GetTargetSize(int32_t& width, int32_t& height);
uint32_t CreateMemoryBitmap(int32_t width, int32_t height);
// The same target around a bitmap already made (its size width x height),
// which it then owns; 0, with the bitmap deleted, on failure.
uint32_t AdoptMemoryBitmap(uint32_t bitmap, int32_t width, int32_t height);
void EndMemoryBitmap();
// colour: COLORREF, -1 = the target's background, -2 = paint nothing.
// fillStyle: 0 solid, 1..6 hatch styles, other values solid.
void ClearTarget(int32_t colour, int32_t fillStyle);
// Rectangles by two inclusive corners; coordinates rounded half to even.
void StretchCopy(uint32_t sourceHandle, int32_t sourceControlId, float x1, float y1, float x2, float y2, float x3,
                 float y3, float x4, float y4, int32_t mixCode, int32_t stretchMode);
std::string ReadPixels();
void WritePixels(const std::string& pixels);
HDC GetTargetDC();
