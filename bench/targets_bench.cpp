// Drawing-target speed against memcpy of the same bytes, on a 16-megapixel
// bitmap (4096 x 4096) and on the program's typical halftone shrink.
//
// ReadPixels returns a new 64 MiB string each time. The allocator is set up
// as the program sets it up (ReuseFreedMemory), so a freed string's pages
// are reused; BM_NewStringCopy16MP (a fresh string copied from a buffer) is
// the baseline for what a new string costs beyond the copy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "base/pixel_string.h"
#include "platform/memory.h"
#include "host/targets.h"

namespace {

constexpr int32_t kSide = 4096; // 16 megapixels
constexpr int32_t kWideW = 6528, kWideH = 2448, kShrunkW = 1920, kShrunkH = 1080;

// Touches every page once so that no benchmark pays for first-use faults.
std::vector<char> Buffer(size_t bytes) { return std::vector<char>(bytes, 1); }

void MemcpyBytes(benchmark::State& state, size_t bytes)
{
    std::vector<char> from = Buffer(bytes), to = Buffer(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_Memcpy16MP(benchmark::State& state) { MemcpyBytes(state, 4 * size_t{kSide} * kSide); }

void BM_NewStringCopy16MP(benchmark::State& state)
{
    const size_t bytes = 4 * size_t{kSide} * kSide;
    std::vector<char> from = Buffer(bytes);
    for (auto _ : state) {
        std::string copy(from.data(), bytes);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_MemcpyWideSource(benchmark::State& state) { MemcpyBytes(state, 4 * size_t{kWideW} * kWideH); }

// Memory bitmap selected and cleared; ended when the benchmark is done.
uint32_t ClearedBitmap(int32_t width, int32_t height, int32_t colour)
{
    uint32_t bitmap = CreateMemoryBitmap(width, height);
    SelectTarget(bitmap, 0, true);
    ClearTarget(colour, 0);
    return bitmap;
}

void End(uint32_t bitmap)
{
    SelectTarget(bitmap, 0, true);
    EndMemoryBitmap();
}

void BM_ReadPixels(benchmark::State& state)
{
    uint32_t bitmap = ClearedBitmap(kSide, kSide, 0x336699);
    for (auto _ : state) {
        std::string pixels = ReadPixels();
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * kSide * kSide);
    End(bitmap);
}

void BM_WritePixels(benchmark::State& state)
{
    uint32_t bitmap = ClearedBitmap(kSide, kSide, 0x336699);
    std::string pixels = ReadPixels();
    for (auto _ : state) {
        WritePixels(pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * kSide * kSide);
    End(bitmap);
}

void BM_StretchCopy1to1(benchmark::State& state)
{
    uint32_t from = ClearedBitmap(kSide, kSide, 0x336699);
    uint32_t to = ClearedBitmap(kSide, kSide, 0);
    const float last = kSide - 1;
    for (auto _ : state) {
        StretchCopy(from, 0, 0, 0, last, last, 0, 0, last, last, 13, 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * kSide * kSide);
    End(to);
    End(from);
}

void BM_HalftoneShrink(benchmark::State& state)
{
    uint32_t from = ClearedBitmap(kWideW, kWideH, 0x336699);
    uint32_t to = ClearedBitmap(kShrunkW, kShrunkH, 0);
    for (auto _ : state) {
        StretchCopy(from, 0, 0, 0, kWideW - 1, kWideH - 1, 0, 0, kShrunkW - 1, kShrunkH - 1, 13, 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4 * kWideW * kWideH);
    End(to);
    End(from);
}

} // namespace

BENCHMARK(BM_Memcpy16MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NewStringCopy16MP)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchCopy1to1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyWideSource)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HalftoneShrink)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ReuseFreedMemory(); // as the program does at start-up
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
