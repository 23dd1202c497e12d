#pragma once
// A pixel string holds a picture in a byte string: bytes 0..3 the width and
// bytes 4..7 the height (signed 32-bit little-endian), then width x height
// pixels of 4 bytes (blue, green, red, 0), rows top to bottom.
#include <cstdint>
#include <string>

// Header fields; bytes missing at the end of a short string read as 0.
int32_t PixelWidth(const std::string& pixels);
int32_t PixelHeight(const std::string& pixels);

// The most pixel bytes any bitmap or pixel string may hold (2 GiB); larger
// requests are refused rather than attempted.
constexpr int64_t kMaxPixelBytes = int64_t{1} << 31;

// 8 + 4 x width x height in 64-bit arithmetic; -1 for a negative size or a
// length that does not fit in 64 bits.
int64_t PixelStringLength(int32_t width, int32_t height);

// True when the string holds at least count pixels after its 8-byte header.
bool HoldsPixels(const std::string& pixels, int64_t count);

// width x height from the header, in 64 bits.
int64_t PixelCount(const std::string& pixels);

// True when the header's sizes are not negative and the string holds at least
// all the pixels its header claims. Whoever reads or writes pixels checks
// this first.
bool PixelsFit(const std::string& pixels);

// A zero-filled pixel string of width x height; "" when the size is negative
// or its pixels would exceed kMaxPixelBytes.
std::string MakePixelString(int32_t width, int32_t height);

// Address of the first pixel (byte 8); only valid when PixelsFit().
inline uint8_t* PixelData(std::string& pixels) { return reinterpret_cast<uint8_t*>(pixels.data()) + 8; }
inline const uint8_t* PixelData(const std::string& pixels) { return reinterpret_cast<const uint8_t*>(pixels.data()) + 8; }
