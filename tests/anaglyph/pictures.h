#pragma once
// Small pictures written to a private temporary folder for the anaglyph
// tests, and pixel-string helpers.
#include <cstdint>
#include <functional>
#include <string>

namespace sgtest {

// A fresh folder under /tmp, removed with everything in it at exit.
std::string PictureFolder();
// Writes a lossless PNG whose pixel (x, y) is colour(x, y) as 0x00RRGGBB.
std::string WritePng(const std::string& name, int32_t width, int32_t height,
                     const std::function<uint32_t(int32_t, int32_t)>& colour);
// A pixel string of width x height filled by colour(x, y).
std::string Pixels(int32_t width, int32_t height, const std::function<uint32_t(int32_t, int32_t)>& colour);
// Pixel (x, y) of a pixel string as 0x00RRGGBB (fourth byte included).
uint32_t PixelAt(const std::string& pixels, int32_t x, int32_t y);
// The whole file's bytes; "" when it cannot be read.
std::string FileBytes(const std::string& path);

} // namespace sgtest
