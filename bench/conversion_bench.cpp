// The conversion from file to file (split, both filters, the copy, the mix
// with its JPEG save) against the codec floor on the same 16-megapixel
// side-by-side JPEG: a bare TurboJPEG decode of the whole file, one pass
// that takes red from the left half and green and blue from the right, and
// an encode with the program's JPEG settings (quality 95, 4:4:4).
// Goal: conversion / floor <= 1.5. Run: build/bench/bench_conversion
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/main_flow.h"
#include "bench/sbs_sample.h"
#include "platform/memory.h"

namespace {

const std::string kSource = "/tmp/stereoglass-bench-16mp.jpg";

std::string FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Conversion(benchmark::State& state)
{
    if (!MakeLargeSbsJpeg(kSource)) {
        state.SkipWithError("cannot make the sample");
        return;
    }
    for (auto _ : state) {
        if (fWriteAnaglyph(kSource, "/tmp/stereoglass-bench-out_anaglyph") != 1)
            state.SkipWithError("conversion failed");
    }
}

void CodecFloor(benchmark::State& state)
{
    if (!MakeLargeSbsJpeg(kSource)) {
        state.SkipWithError("cannot make the sample");
        return;
    }
    tjhandle decoder = tjInitDecompress();
    tjhandle encoder = tjInitCompress();
    for (auto _ : state) {
        std::string jpeg = FileBytes(kSource);
        auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
        int width = 0, height = 0, subsampling = 0, colourspace = 0;
        tjDecompressHeader3(decoder, data, jpeg.size(), &width, &height, &subsampling, &colourspace);
        std::unique_ptr<uint32_t[]> full(new uint32_t[static_cast<size_t>(width) * height]);
        tjDecompress2(decoder, data, jpeg.size(), reinterpret_cast<unsigned char*>(full.get()), width, 0, height,
                      TJPF_BGRX, 0);
        int half = width / 2;
        std::unique_ptr<uint32_t[]> mixed(new uint32_t[static_cast<size_t>(half) * height]);
        for (int y = 0; y < height; ++y) {
            const uint32_t* row = full.get() + static_cast<size_t>(y) * width;
            uint32_t* out = mixed.get() + static_cast<size_t>(y) * half;
            for (int x = 0; x < half; ++x)
                out[x] = (row[x] & 0x00FF0000) | (row[half + x] & 0x0000FFFF);
        }
        unsigned char* encoded = nullptr;
        unsigned long size = 0;
        tjCompress2(encoder, reinterpret_cast<unsigned char*>(mixed.get()), half, 0, height, TJPF_BGRX, &encoded,
                    &size, TJSAMP_444, 95, 0);
        std::ofstream("/tmp/stereoglass-bench-floor.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(encoded), static_cast<std::streamsize>(size));
        tjFree(encoded);
        benchmark::DoNotOptimize(size);
    }
    tjDestroy(decoder);
    tjDestroy(encoder);
}

} // namespace

BENCHMARK(CodecFloor)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(Conversion)->Unit(benchmark::kMillisecond)->MinTime(3);
// The allocator is set up as the program sets it up at start-up; both the
// conversion and the floor run under it.
int main(int argc, char** argv)
{
    ReuseFreedMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
