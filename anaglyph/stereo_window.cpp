#include "anaglyph/stereo_window.h"

bool ShiftStereoWindow(ImageView& left, ImageView& right, int32_t shift, std::string& error)
{
    // |shift| in 64 bits: the most negative 32-bit value has no 32-bit
    // opposite.
    const int64_t amount = shift < 0 ? -int64_t{shift} : int64_t{shift};
    if (left.width != right.width || left.height != right.height) {
        error = "the two views differ in size";
        return false;
    }
    if (amount >= left.width) {
        error = "a shift of " + std::to_string(shift) + " pixels leaves nothing of views " +
                std::to_string(left.width) + " pixels wide";
        return false;
    }
    const int32_t width = left.width - static_cast<int32_t>(amount);
    // A point at xl and xr lands at xl - leftStart and xr - rightStart, so
    // its separation grows by leftStart - rightStart = shift.
    const int32_t leftStart = shift > 0 ? shift : 0;
    const int32_t rightStart = shift < 0 ? static_cast<int32_t>(amount) : 0;
    left = left.Crop(leftStart, 0, width, left.height);
    right = right.Crop(rightStart, 0, width, right.height);
    return true;
}
