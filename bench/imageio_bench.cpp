// Loading, probing and saving JPEG pictures through the GDI+ substitute,
// measured against bare TurboJPEG calls with the same settings, in one run:
//   load + first pixel vs tjDecompress2 to BGRX (goal <= 1.1x)
//   JPEG save of 8 MP   vs tjCompress2 q95 4:4:4 (goal <= 1.1x)
//   probe               vs the decode (goal < 1%)
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/gdi.h"
#include "platform/gdiplus.h"
#include "platform/text.h"

namespace {

struct Fixture {
    std::string folder;
    std::string big;      // the 16-megapixel JPEG
    std::string bigBytes; // its contents
    int32_t saveWidth = 3464, saveHeight = 2309; // 8 megapixels
    std::vector<unsigned char> saveBgrx;
    HBITMAP saveBitmap = 0;
    uint32_t token = 0;
};

Fixture g;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const unsigned char* data, unsigned long size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// The sample picture decoded and tiled, mirrored at every other copy so the
// seams stay smooth.
std::vector<unsigned char> Tiled(const std::vector<unsigned char>& tile, int tw, int th, int w, int h)
{
    std::vector<unsigned char> out(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        int ty = (y / th) % 2 ? th - 1 - y % th : y % th;
        for (int x = 0; x < w; ++x) {
            int tx = (x / tw) % 2 ? tw - 1 - x % tw : x % tw;
            std::memcpy(&out[(size_t(y) * w + x) * 4], &tile[(size_t(ty) * tw + tx) * 4], 4);
        }
    }
    return out;
}

bool SetUp()
{
    char name[] = "/tmp/sg-bench-imageio-XXXXXX";
    if (!mkdtemp(name))
        return false;
    g.folder = name;
    std::string sample = ReadFile(SG_TEST_DATA_DIR "/figure-sbs.jps");
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    if (tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(sample.data()), sample.size(), &w, &h, &sub,
                            &space) != 0)
        return false;
    std::vector<unsigned char> tile(size_t(w) * h * 4);
    tjDecompress2(tj, reinterpret_cast<const unsigned char*>(sample.data()), sample.size(), tile.data(), w, 0, h,
                  TJPF_BGRX, 0);
    tjDestroy(tj);

    const int bigW = 4898, bigH = 3266;
    std::vector<unsigned char> big = Tiled(tile, w, h, bigW, bigH);
    tjhandle enc = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(enc, big.data(), bigW, 0, bigH, TJPF_BGRX, &jpeg, &size, TJSAMP_444, 95, 0) != 0)
        return false;
    g.big = g.folder + "/big.jpg";
    bool written = WriteFile(g.big, jpeg, size);
    tjFree(jpeg);
    tjDestroy(enc);
    if (!written)
        return false;
    g.bigBytes = ReadFile(g.big);

    g.saveBgrx = Tiled(tile, w, h, g.saveWidth, g.saveHeight);
    HDC screen = GetDC(0);
    g.saveBitmap = CreateCompatibleBitmap(screen, g.saveWidth, g.saveHeight);
    ReleaseDC(0, screen);
    GdiPixels pixels = GdiBitmapPixels(g.saveBitmap);
    if (!pixels.bits)
        return false;
    std::memcpy(pixels.bits, g.saveBgrx.data(), g.saveBgrx.size());

    GdiplusStartupInput input;
    return GdiplusStartup(&g.token, &input, nullptr) == Ok;
}

void TearDown()
{
    GdiplusShutdown(g.token);
    DeleteObject(g.saveBitmap);
    std::string command = "rm -rf '" + g.folder + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", g.folder.c_str());
}

// Both decodes start from the file, as a load does.
void BareDecode(benchmark::State& state)
{
    tjhandle tj = tjInitDecompress();
    for (auto _ : state) {
        std::string bytes = ReadFile(g.big);
        int w = 0, h = 0, sub = 0, space = 0;
        tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &w, &h, &sub,
                            &space);
        std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(w) * h * 4]);
        tjDecompress2(tj, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.get(), w, 0, h,
                      TJPF_BGRX, 0);
        benchmark::DoNotOptimize(out[0]);
    }
    tjDestroy(tj);
}

void GdipLoadFirstPixel(benchmark::State& state)
{
    std::u16string wide = WidenAnsi(g.big);
    for (auto _ : state) {
        GpImage* image = nullptr;
        if (GdipLoadImageFromFile(wide.c_str(), &image) != Ok) {
            state.SkipWithError("load failed");
            break;
        }
        ARGB colour = 0;
        GdipBitmapGetPixel(image, 0, 0, &colour);
        benchmark::DoNotOptimize(colour);
        GdipDisposeImage(image);
    }
}

void GdipProbe(benchmark::State& state)
{
    std::u16string wide = WidenAnsi(g.big);
    for (auto _ : state) {
        GpImage* image = nullptr;
        GdipLoadImageFromFile(wide.c_str(), &image);
        float w = 0, h = 0;
        GdipGetImageDimension(image, &w, &h);
        benchmark::DoNotOptimize(w);
        GdipDisposeImage(image);
    }
}

// Both saves end with the file written.
void BareEncode(benchmark::State& state)
{
    tjhandle tj = tjInitCompress();
    std::string path = g.folder + "/bare.jpg";
    for (auto _ : state) {
        unsigned char* jpeg = nullptr;
        unsigned long size = 0;
        tjCompress2(tj, g.saveBgrx.data(), g.saveWidth, 0, g.saveHeight, TJPF_BGRX, &jpeg, &size, TJSAMP_444, 95, 0);
        WriteFile(path, jpeg, size);
        tjFree(jpeg);
    }
    tjDestroy(tj);
}

void GdipSaveJpeg(benchmark::State& state)
{
    GpBitmap* image = nullptr;
    if (GdipCreateBitmapFromHBITMAP(g.saveBitmap, 0, &image) != Ok) {
        state.SkipWithError("no bitmap");
        return;
    }
    UINT count = 0, size = 0;
    GdipGetImageEncodersSize(&count, &size);
    std::vector<unsigned char> list(size);
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(list.data());
    GdipGetImageEncoders(count, size, encoders);
    std::u16string path = WidenAnsi(g.folder + "/gdip.jpg");
    for (auto _ : state) {
        if (GdipSaveImageToFile(image, path.c_str(), &encoders[1].Clsid, nullptr) != Ok) {
            state.SkipWithError("save failed");
            break;
        }
    }
    GdipDisposeImage(image);
}

// Keeps each benchmark's real and CPU time per iteration in seconds, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> real, cpu;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            real[run.run_name.function_name] = run.GetAdjustedRealTime() / unit;
            cpu[run.run_name.function_name] = run.GetAdjustedCPUTime() / unit;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (!SetUp()) {
        std::fprintf(stderr, "set-up failed\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BareDecode16MP", BareDecode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::RegisterBenchmark("GdipLoadFirstPixel16MP", GdipLoadFirstPixel)
        ->Unit(benchmark::kMillisecond)
        ->MinTime(2.0);
    benchmark::RegisterBenchmark("GdipProbe16MP", GdipProbe)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BareEncode8MP", BareEncode)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::RegisterBenchmark("GdipSaveJpeg8MP", GdipSaveJpeg)->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [](std::map<std::string, double>& t, const char* a, const char* b) {
        return t.count(a) && t.count(b) && t[b] > 0 ? t[a] / t[b] : -1.0;
    };
    struct Line {
        const char* text;
        const char* measured;
        const char* against;
        double scale;
        const char* goal;
    } lines[] = {
        {"load + first pixel / bare decode", "GdipLoadFirstPixel16MP", "BareDecode16MP", 1, "x (goal <= 1.1)"},
        {"GDI+ JPEG save / bare encode    ", "GdipSaveJpeg8MP", "BareEncode8MP", 1, "x (goal <= 1.1)"},
        {"probe / decode                  ", "GdipProbe16MP", "GdipLoadFirstPixel16MP", 100, "% (goal < 1%)"},
    };
    std::printf("\n");
    for (const Line& l : lines)
        std::printf("%s: real %.4f, cpu %.4f%s\n", l.text, ratio(reporter.real, l.measured, l.against) * l.scale,
                    ratio(reporter.cpu, l.measured, l.against) * l.scale, l.goal);
    benchmark::Shutdown();
    TearDown();
    return 0;
}
