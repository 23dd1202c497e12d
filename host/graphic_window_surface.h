#pragma once
// The bitmap behind a graphic window's drawing surface: made with the
// window, replaced when the window's size changes, freed when it closes.
#include <cstdint>

#include "host/target_record.h"

// A window-surface record (not registered) with a width x height bitmap
// filled with its background brush; nullptr when the bitmap cannot be made.
TargetRecord* NewSurfaceRecord(int32_t width, int32_t height);
// A new bitmap of the new size, filled with the background, with the old
// picture copied to its top-left corner; the whole bitmap is marked dirty.
// The old bitmap stays when the new one cannot be made. Under the drawing lock.
bool ResizeSurface(TargetRecord& record, int32_t width, int32_t height);
// Deletes the bitmap, the memory DC and the brush of a record.
void FreeSurfaceObjects(TargetRecord& record);
