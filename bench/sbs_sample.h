#pragma once
#include <cstdint>
#include <string>

// A 16-megapixel side-by-side JPEG (5656 x 2828, quality 95, 4:4:4) made
// from figure-sbs.jps by scaling each half up; written once to path.
// Returns false when it cannot be made.
bool MakeLargeSbsJpeg(const std::string& path);
// The same made at any even width and height.
bool MakeSbsJpeg(const std::string& path, int32_t width, int32_t height);
