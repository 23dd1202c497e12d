#include "anaglyph/area_resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// For each output index along one axis, the source indices it covers and
// their weights (summing to 1).
struct Tap {
    int32_t source;
    float weight;
};

std::vector<std::vector<Tap>> Taps(int32_t from, int32_t to)
{
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(to));
    const double ratio = double(from) / double(to);
    for (int32_t i = 0; i < to; ++i) {
        double start = i * ratio, end = (i + 1) * ratio;
        int32_t first = int32_t(std::floor(start));
        int32_t last = std::min(from - 1, int32_t(std::ceil(end)) - 1);
        for (int32_t j = first; j <= last; ++j) {
            double covered = std::min(end, double(j + 1)) - std::max(start, double(j));
            if (covered > 0)
                taps[size_t(i)].push_back({j, float(covered / ratio)});
        }
    }
    return taps;
}

} // namespace

void FitInside(int32_t width, int32_t height, int32_t longSide, int32_t& fitWidth, int32_t& fitHeight)
{
    fitWidth = width;
    fitHeight = height;
    if (longSide <= 0 || (width <= longSide && height <= longSide))
        return;
    if (width >= height) {
        fitWidth = longSide;
        fitHeight = std::max<int32_t>(1, int32_t(std::lround(double(height) * longSide / width)));
    } else {
        fitHeight = longSide;
        fitWidth = std::max<int32_t>(1, int32_t(std::lround(double(width) * longSide / height)));
    }
}

bool ShrinkByArea(ImageView source, ImageView out)
{
    if (source.Empty() || out.Empty() || out.width > source.width || out.height > source.height)
        return false;
    const std::vector<std::vector<Tap>> columns = Taps(source.width, out.width);
    const std::vector<std::vector<Tap>> rows = Taps(source.height, out.height);
    // One output row at a time: the source rows it covers, each shrunk
    // across and added in with its weight.
    std::vector<float> sum(size_t(out.width) * 3);
    for (int32_t y = 0; y < out.height; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (const Tap& row : rows[size_t(y)]) {
            const uint32_t* in = source.Row(row.source);
            for (int32_t x = 0; x < out.width; ++x) {
                float b = 0, g = 0, r = 0;
                for (const Tap& column : columns[size_t(x)]) {
                    uint32_t p = in[column.source];
                    b += column.weight * float(p & 0xFF);
                    g += column.weight * float(p >> 8 & 0xFF);
                    r += column.weight * float(p >> 16 & 0xFF);
                }
                float* s = &sum[size_t(x) * 3];
                s[0] += row.weight * b;
                s[1] += row.weight * g;
                s[2] += row.weight * r;
            }
        }
        uint32_t* line = out.Row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            const float* s = &sum[size_t(x) * 3];
            auto channel = [](float v) { return uint32_t(std::clamp(std::lround(v), 0L, 255L)); };
            line[x] = 0xFF000000u | channel(s[2]) << 16 | channel(s[1]) << 8 | channel(s[0]);
        }
    }
    return true;
}
