#pragma once
// Vertical alignment of a stereo pair: a pair shot with a tilted camera or
// two cameras at different heights shows the same point on different rows,
// which the eyes cannot fuse. The offset is measured by phase correlation of
// reduced grey views and removed by cutting rows. Horizontal offsets are the
// picture's depth and are left alone.
#include <cstdint>
#include <string>

#include "base/image.h"

struct VerticalOffset {
    bool sure = false;       // false: the pair gave no clear answer
    int32_t rows = 0;        // the right view's content sits this many rows lower (negative: higher)
    int32_t columns = 0;     // its dominant horizontal offset (depth; never removed)
    double confidence = 0;   // 0 (two equally good answers, or nothing to match) .. 1 (one clear answer)
};

// Measures the offset of the right view's content against the left's. The
// views have the same size.
VerticalOffset EstimateVerticalOffset(ImageView left, ImageView right);

// Cuts |rows| rows off the views (the bottom of one, the top of the other)
// so that a point's rows agree. False, views untouched, when |rows| is not
// smaller than their height.
bool RemoveVerticalOffset(ImageView& left, ImageView& right, int32_t rows);

// --align: estimates, removes the offset when sure, and appends one line for
// the user to notes saying what was found, how sure and what was done.
void AlignViewsVertically(ImageView& left, ImageView& right, std::string& notes);
