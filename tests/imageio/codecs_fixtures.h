#pragma once
// Small pictures for the codec tests, built with the codec libraries
// themselves or byte by byte.
#include "imageio/codecs/codec.h"

#include <string>
#include <vector>

namespace fixtures {

using Pixels = std::vector<uint32_t>;

inline const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

void Put16(std::string& out, uint32_t v);
void Put32(std::string& out, uint32_t v);
void PutBe16(std::string& out, uint32_t v);
void PutBe32(std::string& out, uint32_t v);
uint32_t Crc32(const std::string& bytes);

// A JPEG from BGRX pixels (or CMYK bytes when pixelFormat is TJPF_CMYK).
std::string MakeJpeg(const void* pixels, int width, int height, int pixelFormat, int subsamp, int flags, int quality = 90);

// A PNG written by libpng; rows hold packed samples as the format stores them.
struct PngSpec {
    int colorType;
    int bitDepth;
    bool interlaced = false;
    std::vector<uint8_t> palette;      // r, g, b triples
    std::vector<uint8_t> paletteAlpha; // tRNS for palette pictures
    int trnsGray = -1;                 // tRNS for gray pictures
};
std::string MakePng(const PngSpec& spec, int width, int height, const std::vector<std::vector<uint8_t>>& rows);
// A PNG chunk with its length and CRC.
std::string PngChunk(const char* type, const std::string& body);

// A GIF written by giflib: one frame at (left, top) in a screen of
// width x height, indices into a colour table.
struct GifFrame {
    int screenWidth, screenHeight;
    int left, top, width, height;
    bool interlaced;
    int transparent; // -1: none
    std::vector<uint8_t> colors; // r, g, b triples (2, 4, ... 256 entries)
    std::vector<uint8_t> indices;
};
std::string MakeGif(const GifFrame& frame);

// A TIFF written by libtiff from interleaved samples.
struct TiffPage {
    int width, height, samples, bitsPerSample, photometric, compression;
    bool tiled = false;
    int extraSample = -1; // EXTRASAMPLE_* for a fourth sample
    std::vector<uint8_t> data; // rows of samples, 16-bit samples in host order
};
std::string MakeTiff(const std::vector<TiffPage>& pages);

// A BMP file: the information header given as bytes, then an optional
// palette and the pixel bytes; the offset field points at the pixels.
std::string MakeBmp(const std::string& infoHeader, const std::string& palette, const std::string& bits);
std::string InfoHeader(int32_t width, int32_t height, int bpp, uint32_t compression, uint32_t colorsUsed = 0);

// A temporary folder removed with everything in it at the end of the test.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::vector<std::string> Names() const;
};
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

} // namespace fixtures
