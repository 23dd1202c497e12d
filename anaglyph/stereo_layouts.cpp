#include "anaglyph/stereo_layouts.h"

#include <utility>

#include "base/rounding.h"
#include "platform/gdi.h"
#include "platform/pixel_stretch.h"

namespace {

// The picture mirrored on its main diagonal: column x becomes row x.
bool Transpose(ImageView view, Image& turned)
{
    if (!AllocateImage(turned, view.height, view.width))
        return false;
    const ImageView out = turned.View();
    for (int32_t y = 0; y < view.height; ++y) {
        const uint32_t* row = view.Row(y);
        for (int32_t x = 0; x < view.width; ++x)
            out.Row(x)[y] = row[x];
    }
    return true;
}

// Over/under is the side-by-side cut turned onto the rows: both views are
// round-half-even(H / 2) high; the top view is the first rows; the bottom
// view of an even height is the second half as it is. For an odd height
// the bottom view is made exactly as side by side makes the right view of
// the transposed picture, then transposed back, so the resampling is the
// same along either axis.
bool SplitOverUnder(ImageView picture, StereoViews& views)
{
    views = StereoViews{};
    const int32_t width = picture.width, height = picture.height;
    const int32_t half = RoundEven(height / 2.0);
    if (half < 1 || width < 1 || picture.Empty())
        return false;
    views.left = picture.Crop(0, 0, width, half);
    if (height - half == half) {
        views.right = picture.Crop(0, half, width, half);
        return true;
    }
    Image turned;
    StereoViews turnedViews;
    if (!Transpose(picture, turned) || !SplitSideBySide(turned.View(), turnedViews) ||
        !Transpose(turnedViews.right, views.owned[1]))
        return false;
    views.right = views.owned[1].View();
    return true;
}

// view stretched to twice its width with the halftone stretch.
bool StretchToDoubleWidth(ImageView view, Image& stretched)
{
    return AllocateImage(stretched, view.width * 2, view.height) &&
           StretchPixels(view, 0, 0, view.width, view.height, stretched.View(), 0, 0, view.width * 2, view.height,
                         HALFTONE);
}

// view stretched to twice its height: the width stretch on the transposed
// view, transposed back.
bool StretchToDoubleHeight(ImageView view, Image& stretched)
{
    Image turned, turnedStretched;
    return Transpose(view, turned) && StretchToDoubleWidth(turned.View(), turnedStretched) &&
           Transpose(turnedStretched.View(), stretched);
}

// The views of a half layout, each stretched back along the cut axis.
bool StretchHalves(StereoViews& views, bool alongWidth)
{
    auto stretch = alongWidth ? StretchToDoubleWidth : StretchToDoubleHeight;
    Image left, right;
    if (!stretch(views.left, left) || !stretch(views.right, right))
        return false;
    views.owned[0] = std::move(left);
    views.owned[1] = std::move(right);
    views.left = views.owned[0].View();
    views.right = views.owned[1].View();
    return true;
}

} // namespace

bool SplitByLayout(ImageView picture, StereoLayout layout, StereoViews& views)
{
    switch (layout) {
    case StereoLayout::Auto:
    case StereoLayout::SideBySide:
        return SplitSideBySide(picture, views);
    case StereoLayout::Cross:
        if (!SplitSideBySide(picture, views))
            return false;
        std::swap(views.left, views.right);
        return true;
    case StereoLayout::OverUnder:
        return SplitOverUnder(picture, views);
    case StereoLayout::UnderOver:
        if (!SplitOverUnder(picture, views))
            return false;
        std::swap(views.left, views.right);
        return true;
    case StereoLayout::HalfSideBySide:
        return SplitSideBySide(picture, views) && StretchHalves(views, true);
    case StereoLayout::HalfOverUnder:
        return SplitOverUnder(picture, views) && StretchHalves(views, false);
    }
    return false;
}
