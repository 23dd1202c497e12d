#include "base/rounding.h"
#include "imageio/imageio.h"

FitRect fFitRect(int32_t w, int32_t h, int32_t tw, int32_t th)
{
    if (w <= 0 || h <= 0)
        return {0, 0, 0, 0};
    // Ratios are kept in hundredths: 1080 / 1920 = 0.5625 is held as 0.56.
    int64_t r = RoundEven(static_cast<double>(h) * 100.0 / w);
    if (r * tw > int64_t{th} * 100) {
        int64_t r2 = RoundEven(static_cast<double>(w) * 100.0 / h);
        double wide = static_cast<double>(r2) * th / 100.0;
        int32_t newW = RoundEven(wide < tw ? wide : tw);
        return {(tw - newW) / 2, 0, newW, th};
    }
    double high = static_cast<double>(r) * tw / 100.0;
    int32_t newH = RoundEven(high < th ? high : th);
    return {0, (th - newH) / 2, tw, newH};
}
