#pragma once
// Drawing a BGRA picture into a rectangle of a 32-bit surface: bilinear
// scaling, pixel centres mapped onto pixel centres, edges clamped; clipped to
// the surface. Platform-internal.
#include <cstdint>

struct ScaleSource {
    const uint32_t* pixels;
    int32_t width;
    int32_t height;
    bool hasAlpha;
};

struct ScaleTarget {
    uint32_t* pixels; // rows of exactly width pixels
    int32_t width;
    int32_t height;
};

struct ScaleRect {
    int32_t x, y, width, height;
};

enum class ScaleMode {
    Blend,   // source-over onto an opaque surface; its fourth byte is kept
    Replace, // the scaled picture itself, straight alpha
};

// False when memory for the column table is not to be had.
bool ScaleInto(const ScaleSource& source, const ScaleTarget& target, ScaleRect dest, ScaleMode mode);
