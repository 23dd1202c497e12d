#include <cstdio>

#include "base/rounding.h"
#include "imageio/imageio.h"
#include "imageio/gdiplus_codecs.h"

std::string fGDIp_ImageSize(std::string fileName)
{
    UseCodecsForGdiplus(); // whoever started GDI+
    std::u16string wide = fStr2Wide(fileName);
    float width = 0, height = 0;
    GdiplusStartupInput input; // version 1, no callback, nothing suppressed
    uint32_t token = 0;
    if (GdiplusStartup(&token, &input, nullptr) == Ok) {
        GpImage* picture = nullptr;
        GdipLoadImageFromFile(wide.c_str(), &picture);
        GdipGetImageDimension(picture, &width, &height);
        GdipDisposeImage(picture);
        GdiplusShutdown(token);
    }
    // Five characters each; a larger number widens its field, so the text
    // still reads as "<width> x <height>".
    char text[32];
    std::snprintf(text, sizeof text, "%5d x %5d", RoundEven(width), RoundEven(height));
    return text;
}
