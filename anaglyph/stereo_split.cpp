#include "anaglyph/stereo_split.h"

#include "base/rounding.h"
#include "platform/gdi.h"
#include "platform/pixel_stretch.h"

bool SplitSideBySide(ImageView picture, StereoViews& views)
{
    views = StereoViews{};
    const int32_t width = picture.width, height = picture.height;
    const int32_t half = RoundEven(width / 2.0);
    if (half < 1 || height < 1 || picture.Empty())
        return false;
    views.left = picture.Crop(0, 0, half, height);
    // The right half starts at W / 2 rounded half to even and runs to the
    // last column: for an even width exactly the second half; for an odd
    // one a column more or less than the view, which the halftone stretch
    // fits onto it (one column more than the view is asked for and the
    // last clipped, as the cut between bitmaps always did).
    const int32_t start = half;
    if (width - start == half) {
        views.right = picture.Crop(start, 0, half, height);
        return true;
    }
    Image& right = views.owned[1];
    if (!AllocateImage(right, half, height))
        return false;
    if (!StretchPixels(picture, start, 0, width - start + 1, height + 1, right.View(), 0, 0, half + 1, height + 1,
                       HALFTONE))
        return false;
    views.right = right.View();
    return true;
}
