#include "anaglyph/placement.h"

#include "base/rounding.h"
#include "host/services.h"
#include "host/targets.h"
#include "imageio/imageio.h"
#include "platform/gdiplus.h"

namespace {


// True when the destination corners, rounded as the copy rounds them, cover
// the whole target.
bool Covers(const PlacementCorners& c, int32_t width, int32_t height)
{
    return RoundEven(c.dx1) <= 0 && RoundEven(c.dy1) <= 0 && RoundEven(c.dx2) >= width - 1 &&
           RoundEven(c.dy2) >= height - 1;
}

// Draws into the target; pixels, when not null, receives the pixels of the
// loaded picture (or of the target when nothing loaded).
int32_t DrawFile(uint32_t target, int32_t controlId, const std::string& fileName, int32_t fitMode,
                 int32_t background, std::string* pixels)
{
    SelectTarget(target, controlId, true);
    int32_t targetWidth = 0, targetHeight = 0;
    GetTargetSize(targetWidth, targetHeight);

    GdiplusStartupInput input;
    uint32_t token = 0;
    if (GdiplusStartup(&token, &input, nullptr) != Ok) {
        ShowMessageBox(u"No GDI+", kMessageBoxStyle, u"");
        return -1;
    }
    uint32_t picture = fGDIp_2hBMP(fileName, 0, 0, 0);
    int32_t pictureWidth = 0, pictureHeight = 0;
    GetTargetSize(pictureWidth, pictureHeight);
    if (pixels)
        *pixels = ReadPixels();

    if (picture != 0) {
        SelectTarget(target, controlId, true);
        PlacementCorners c;
        bool placed = fPlacementCorners(fitMode, targetWidth, targetHeight, pictureWidth, pictureHeight, c);
        // A copy that paints every pixel of the target leaves nothing of the
        // background to see, so the fill is skipped then.
        if (!placed || !Covers(c, targetWidth, targetHeight))
            ClearTarget(background, 0);
        if (placed)
            StretchCopy(picture, 0, c.sx1, c.sy1, c.sx2, c.sy2, c.dx1, c.dy1, c.dx2, c.dy2, kMixSourceCopy,
                        kStretchHalftone);
        RefreshTarget();
    }
    GdiplusShutdown(token);
    SelectTarget(picture, 0, false);
    EndMemoryBitmap();
    return picture != 0 ? 1 : 0;
}

} // namespace

bool fPlacementCorners(int32_t fitMode, int32_t targetWidth, int32_t targetHeight, int32_t pictureWidth,
                       int32_t pictureHeight, PlacementCorners& c)
{
    if (fitMode < 0 || fitMode > 3 || targetWidth <= 0 || targetHeight <= 0 || pictureWidth <= 0 ||
        pictureHeight <= 0)
        return false;
    double wt = targetWidth, ht = targetHeight, wp = pictureWidth, hp = pictureHeight;
    float r = static_cast<float>(hp / wp);
    bool taller = ht / wt < r; // the picture is relatively taller than the target
    c = {0, 0, static_cast<float>(wp - 1), static_cast<float>(hp - 1), 0, 0, static_cast<float>(wt),
         static_cast<float>(ht)};
    switch (fitMode) {
    case 0:
        c.dx2 = static_cast<float>(wp * ht / hp);
        break;
    case 1:
        break;
    case 2:
        if (taller) {
            double x0 = RoundEven((wt - ht / r) / 2);
            c.dx1 = static_cast<float>(x0);
            c.dx2 = static_cast<float>(x0 + ht / r);
        } else {
            double y0 = RoundEven((ht - r * wt) / 2);
            c.dy1 = static_cast<float>(y0);
            c.dy2 = static_cast<float>(y0 + r * wt);
        }
        break;
    case 3:
        if (taller) {
            double yc = RoundEven((hp - ht * wp / wt) / 2);
            c.sy1 = static_cast<float>(yc);
            c.sy2 = static_cast<float>(hp - 1 - yc);
        } else {
            double xc = RoundEven((wp - wt * hp / ht) / 2);
            c.sx1 = static_cast<float>(xc);
            c.sx2 = static_cast<float>(wp - 1 - xc);
        }
        break;
    }
    return true;
}

std::string fGDIp_DrawFile(const uint32_t& target, const int32_t& controlId, const std::string& fileName,
                           const int32_t& fitMode, const int32_t& background)
{
    std::string pixels;
    DrawFile(target, controlId, fileName, fitMode, background, &pixels);
    return pixels;
}

int32_t fDrawFile(const uint32_t& target, const int32_t& controlId, const std::string& fileName,
                  const int32_t& fitMode, const int32_t& background)
{
    return DrawFile(target, controlId, fileName, fitMode, background, nullptr);
}
