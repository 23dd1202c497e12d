#include "codecs_fixtures.h"

#include <dirent.h>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fixtures {

void Put16(std::string& out, uint32_t v) { out += {char(v), char(v >> 8)}; }
void Put32(std::string& out, uint32_t v) { out += {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
void PutBe16(std::string& out, uint32_t v) { out += {char(v >> 8), char(v)}; }
void PutBe32(std::string& out, uint32_t v) { out += {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

uint32_t Crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string MakeJpeg(const void* pixels, int width, int height, int pixelFormat, int subsamp, int flags, int quality)
{
    tjhandle tj = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    int pitch = width * tjPixelSize[pixelFormat];
    std::string out;
    if (tjCompress2(tj, static_cast<const unsigned char*>(pixels), width, pitch, height, pixelFormat, &jpeg, &size,
                    subsamp, quality, flags) == 0)
        out.assign(reinterpret_cast<char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return out;
}

static void PngWrite(png_structp png, png_bytep data, size_t n)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), n);
}
static void PngFlush(png_structp) {}

std::string MakePng(const PngSpec& spec, int width, int height, const std::vector<std::vector<uint8_t>>& rows)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return std::string();
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
        palette.push_back(png_color{spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!spec.paletteAlpha.empty())
        png_set_tRNS(png, info, spec.paletteAlpha.data(), int(spec.paletteAlpha.size()), nullptr);
    if (spec.trnsGray >= 0) {
        png_color_16 gray{};
        gray.gray = png_uint_16(spec.trnsGray);
        png_set_tRNS(png, info, nullptr, 0, &gray);
    }
    png_write_info(png, info);
    if (spec.bitDepth == 16)
        png_set_swap(png); // rows hold host-order 16-bit samples
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string PngChunk(const char* type, const std::string& body)
{
    std::string out;
    PutBe32(out, uint32_t(body.size()));
    std::string typed = std::string(type, 4) + body;
    out += typed;
    PutBe32(out, Crc32(typed));
    return out;
}

static int GifWrite(GifFileType* gif, const GifByteType* data, int n)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(n));
    return n;
}

std::string MakeGif(const GifFrame& f)
{
    std::string out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    int count = int(f.colors.size() / 3);
    ColorMapObject* map = GifMakeMapObject(count, nullptr);
    for (int i = 0; i < count; ++i)
        map->Colors[i] = GifColorType{f.colors[size_t(i) * 3], f.colors[size_t(i) * 3 + 1], f.colors[size_t(i) * 3 + 2]};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, f.screenWidth, f.screenHeight, 8, 0, map);
    if (f.transparent >= 0) {
        GifByteType control[4] = {1, 0, 0, GifByteType(f.transparent)};
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    }
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
    // giflib takes the rows in file order; interlaced files store them by pass.
    std::vector<int> order;
    if (f.interlaced) {
        const int starts[4] = {0, 4, 2, 1}, steps[4] = {8, 8, 4, 2};
        for (int p = 0; p < 4; ++p)
            for (int y = starts[p]; y < f.height; y += steps[p])
                order.push_back(y);
    } else {
        for (int y = 0; y < f.height; ++y)
            order.push_back(y);
    }
    for (int y : order)
        EGifPutLine(gif, const_cast<GifPixelType*>(f.indices.data() + size_t(y) * size_t(f.width)), f.width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::string MakeTiff(const std::vector<TiffPage>& pages)
{
    char name[] = "/tmp/sg-fixture-XXXXXX";
    int fd = mkstemp(name);
    close(fd);
    TIFF* tif = TIFFOpen(name, "w");
    for (const TiffPage& p : pages) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(p.width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(p.height));
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samples);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bitsPerSample);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
        if (p.extraSample >= 0) {
            uint16_t extra[1] = {uint16_t(p.extraSample)};
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
        }
        size_t rowBytes = size_t(p.width) * size_t(p.samples) * size_t(p.bitsPerSample / 8);
        if (p.tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
            size_t pixelBytes = rowBytes / size_t(p.width);
            std::vector<uint8_t> tile(size_t(TIFFTileSize(tif)));
            for (int ty = 0; ty < p.height; ty += 16)
                for (int tx = 0; tx < p.width; tx += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int y = 0; y < 16 && ty + y < p.height; ++y)
                        for (int x = 0; x < 16 && tx + x < p.width; ++x)
                            std::memcpy(&tile[(size_t(y) * 16 + size_t(x)) * pixelBytes],
                                        &p.data[size_t(ty + y) * rowBytes + size_t(tx + x) * pixelBytes], pixelBytes);
                    TIFFWriteTile(tif, tile.data(), uint32_t(tx), uint32_t(ty), 0, 0);
                }
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
            for (int y = 0; y < p.height; ++y)
                TIFFWriteScanline(tif, const_cast<uint8_t*>(&p.data[size_t(y) * rowBytes]), uint32_t(y), 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    std::string out = ReadFile(name);
    unlink(name);
    return out;
}

std::string InfoHeader(int32_t width, int32_t height, int bpp, uint32_t compression, uint32_t colorsUsed)
{
    std::string h;
    Put32(h, 40);
    Put32(h, uint32_t(width));
    Put32(h, uint32_t(height));
    Put16(h, 1);
    Put16(h, uint32_t(bpp));
    Put32(h, compression);
    Put32(h, 0);
    Put32(h, 2835);
    Put32(h, 2835);
    Put32(h, colorsUsed);
    Put32(h, 0);
    return h;
}

std::string MakeBmp(const std::string& infoHeader, const std::string& palette, const std::string& bits)
{
    std::string out = "BM";
    uint32_t offset = uint32_t(14 + infoHeader.size() + palette.size());
    Put32(out, uint32_t(offset + bits.size()));
    Put32(out, 0);
    Put32(out, offset);
    return out + infoHeader + palette + bits;
}

TempDir::TempDir()
{
    char name[] = "/tmp/sg-codecs-XXXXXX";
    path = mkdtemp(name);
}

TempDir::~TempDir()
{
    std::string command = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", path.c_str());
}

std::vector<std::string> TempDir::Names() const
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        closedir(dir);
    }
    return names;
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream f(path, std::ios::binary);
    f << bytes;
    return bool(f);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace fixtures
