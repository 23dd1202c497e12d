#include "anaglyph/split.h"

#include "anaglyph/placement.h"
#include "base/rounding.h"
#include "host/targets.h"
#include "imageio/imageio.h"

namespace {

constexpr int32_t kFitToHeight = 0;
constexpr int32_t kPureRed = 255; // 0x00BBGGRR

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

double fLeadingNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    double sign = 1;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        sign = text[i] == '-' ? -1 : 1;
        ++i;
    }
    double value = 0;
    while (i < text.size() && IsDigit(text[i]))
        value = value * 10 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && IsDigit(text[i]); ++i, scale /= 10)
            value += (text[i] - '0') * scale;
    }
    return sign * value;
}

int32_t fSplitStereo(const std::string& sourcePath, std::string& leftView, std::string& rightView)
{
    std::string size = fGDIp_ImageSize(sourcePath);
    size_t x = size.find('x');
    int32_t width = RoundEven(fLeadingNumber(size));
    int32_t height = x == std::string::npos ? 0 : RoundEven(fLeadingNumber(size.substr(x + 1)));

    uint32_t full = CreateMemoryBitmap(width, height);
    int32_t drawn = fDrawFile(full, 0, sourcePath, kFitToHeight, kPureRed);

    float half = static_cast<float>(width) / 2;
    float w = static_cast<float>(width), h = static_cast<float>(height);
    uint32_t view = CreateMemoryBitmap(RoundEven(width / 2.0), height);
    SelectTarget(view, 0, false);
    StretchCopy(full, 0, 0, 0, half, h, 0, 0, half, h, kMixSourceCopy, kStretchHalftone);
    leftView = ReadPixels();
    SelectTarget(view, 0, false);
    StretchCopy(full, 0, half, 0, w, h, 0, 0, half, h, kMixSourceCopy, kStretchHalftone);
    rightView = ReadPixels();

    SelectTarget(view, 0, false);
    EndMemoryBitmap();
    SelectTarget(full, 0, false);
    EndMemoryBitmap();
    return drawn == 1 && width > 0 && height > 0 ? 1 : 0;
}
