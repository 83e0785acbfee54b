// Frames per second of the HQ2x scalers on a game-like picture and on a uniform one.
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/filters/Hq2xTestSupport.h"
#include "filters/Hq2x.h"

namespace {

using velmar::testing::GameLikePicture;
using velmar::testing::kOutHeight;
using velmar::testing::kOutWidth;
using velmar::testing::Picture;

using ScaleFn = void (*)(const std::uint16_t*, std::uint8_t*, std::ptrdiff_t, std::uint8_t);

void RunScaler(benchmark::State& state, ScaleFn scale, int bytesPerPixel, const Picture& picture,
               std::uint8_t filter) {
    const std::ptrdiff_t pitch = kOutWidth * bytesPerPixel;
    std::vector<std::uint8_t> surface(static_cast<std::size_t>(pitch * kOutHeight));
    for (auto _ : state) {
        scale(picture.pixels.data(), surface.data(), pitch, filter);
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const Picture& Game() {
    static const Picture picture = GameLikePicture();
    return picture;
}

const Picture& Uniform() {
    static const Picture picture(0x39E7);
    return picture;
}

void BM_Hq2x16Game(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x16, 2, Game(), 1);
}
void BM_Hq2x24Game(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x24, 3, Game(), 1);
}
void BM_Hq2x32Game(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x32, 4, Game(), 1);
}
void BM_Hq2x32GameFilterOff(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x32, 4, Game(), 0);
}
void BM_Hq2x16Uniform(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x16, 2, Uniform(), 1);
}
void BM_Hq2x24Uniform(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x24, 3, Uniform(), 1);
}
void BM_Hq2x32Uniform(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x32, 4, Uniform(), 1);
}

BENCHMARK(BM_Hq2x16Game);
BENCHMARK(BM_Hq2x24Game);
BENCHMARK(BM_Hq2x32Game);
BENCHMARK(BM_Hq2x32GameFilterOff);
BENCHMARK(BM_Hq2x16Uniform);
BENCHMARK(BM_Hq2x24Uniform);
BENCHMARK(BM_Hq2x32Uniform);

} // namespace
