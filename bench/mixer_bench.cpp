// Mixing the two views of the 16-megapixel side-by-side picture (2828 x
// 2828 each) with every method: the mask path against the table loop.
#include <benchmark/benchmark.h>

#include "anaglyph/anaglyph_mixer.h"

namespace {

constexpr int32_t kSide = 2828;

struct Views {
    Image left, right, out;
    Views()
    {
        AllocateImage(left, kSide, kSide);
        AllocateImage(right, kSide, kSide);
        AllocateImage(out, kSide, kSide);
        uint32_t state = 1;
        for (int64_t i = 0; i < int64_t{kSide} * kSide; ++i) {
            left.pixels[i] = state = state * 1664525u + 1013904223u;
            right.pixels[i] = state = state * 1664525u + 1013904223u;
        }
    }
};

void Mix(benchmark::State& state, Glasses glasses, MixMethod method)
{
    static Views views;
    for (auto _ : state) {
        bool mixed = MixViews(views.left.View(), views.right.View(), {glasses, method}, views.out.View());
        benchmark::DoNotOptimize(mixed);
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kSide} * kSide);
}

} // namespace

BENCHMARK_CAPTURE(Mix, red_cyan_colour, Glasses::RedCyan, MixMethod::Colour)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, red_cyan_half_colour, Glasses::RedCyan, MixMethod::HalfColour)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, red_cyan_grey, Glasses::RedCyan, MixMethod::Grey)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, red_cyan_optimised, Glasses::RedCyan, MixMethod::Optimised)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, red_cyan_dubois, Glasses::RedCyan, MixMethod::Dubois)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, green_magenta_colour, Glasses::GreenMagenta, MixMethod::Colour)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Mix, amber_blue_dubois, Glasses::AmberBlue, MixMethod::Dubois)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
