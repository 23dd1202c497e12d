#pragma once
// The frame a fit works in: coordinates centred on the view and divided by
// half its longer side.
#include <algorithm>
#include <cstdint>

struct Normaliser {
    double cx, cy, n;
    Normaliser(int32_t width, int32_t height)
        : cx((width - 1) / 2.0), cy((height - 1) / 2.0), n(std::max(width, height) / 2.0)
    {
    }
};
