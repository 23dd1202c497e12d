#include "anaglyph/anaglyph_mixer.h"

namespace {

constexpr uint32_t kRed = 0x00FF0000;
constexpr uint32_t kGreenBlue = 0x0000FFFF;

// Red from the left view, green and blue from the right: whole bytes taken
// from one or the other, so a mask per view does it.
void MixRedCyanColour(ImageView left, ImageView right, ImageView out)
{
    for (int32_t y = 0; y < out.height; ++y) {
        const uint32_t* l = left.Row(y);
        const uint32_t* r = right.Row(y);
        uint32_t* o = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x)
            o[x] = (l[x] & kRed) | (r[x] & kGreenBlue);
    }
}

} // namespace

bool MixViews(ImageView left, ImageView right, AnaglyphMethod method, ImageView out)
{
    if (left.width != right.width || left.height != right.height || out.width != left.width ||
        out.height != left.height)
        return false;
    if (method.glasses == Glasses::RedCyan && method.method == MixMethod::Colour) {
        MixRedCyanColour(left, right, out);
        return true;
    }
    return false;
}
