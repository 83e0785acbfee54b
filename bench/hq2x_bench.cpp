// Frames per second of the HQ2x scalers on a drawn game-like picture, on a frame captured
// from the game scene test program, and on a uniform picture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "../tests/filters/Hq2xTestSupport.h"
#include "HeadlessMachine.h"
#include "filters/Hq2x.h"

namespace {

using velmar::testing::GameLikePicture;
using velmar::testing::kOutHeight;
using velmar::testing::kOutWidth;
using velmar::testing::Picture;

using ScaleFn = void (*)(const std::uint16_t*, std::uint8_t*, std::ptrdiff_t, std::uint8_t);

void RunScaler(benchmark::State& state, ScaleFn scale, int bytesPerPixel, const Picture& picture,
               std::uint8_t filter) {
    if (picture.pixels.empty()) {
        state.SkipWithError("the game scene program is missing");
        return;
    }
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

// The game scene after 200 frames: scrolled, sprites spread, the text rows in view. Empty
// when the program is missing (the benchmarks then report an error).
const Picture& Captured() {
    static const Picture picture = [] {
        Picture p;
        velmar::bench::HeadlessMachine machine("game_scene.sms");
        if (!machine.Loaded()) {
            p.pixels.clear();
            return p;
        }
        machine.RunFrames(200);
        std::copy(machine->GetConsole().Vdp.FrameBuffer.begin(),
                  machine->GetConsole().Vdp.FrameBuffer.end(), p.pixels.begin());
        return p;
    }();
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
void BM_Hq2x16Scene(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x16, 2, Captured(), 1);
}
void BM_Hq2x24Scene(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x24, 3, Captured(), 1);
}
void BM_Hq2x32Scene(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x32, 4, Captured(), 1);
}
void BM_Hq2x16SceneFilterOff(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x16, 2, Captured(), 0);
}
void BM_Hq2x24SceneFilterOff(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x24, 3, Captured(), 0);
}
void BM_Hq2x32SceneFilterOff(benchmark::State& s) {
    RunScaler(s, velmar::Hq2x32, 4, Captured(), 0);
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

// The scaler may hand bands of a frame to a second thread, so frames are counted against
// the wall clock rather than this thread's processor time.
BENCHMARK(BM_Hq2x16Game)->UseRealTime();
BENCHMARK(BM_Hq2x24Game)->UseRealTime();
BENCHMARK(BM_Hq2x32Game)->UseRealTime();
BENCHMARK(BM_Hq2x32GameFilterOff)->UseRealTime();
BENCHMARK(BM_Hq2x16Scene)->UseRealTime();
BENCHMARK(BM_Hq2x24Scene)->UseRealTime();
BENCHMARK(BM_Hq2x32Scene)->UseRealTime();
BENCHMARK(BM_Hq2x16SceneFilterOff)->UseRealTime();
BENCHMARK(BM_Hq2x24SceneFilterOff)->UseRealTime();
BENCHMARK(BM_Hq2x32SceneFilterOff)->UseRealTime();
BENCHMARK(BM_Hq2x16Uniform)->UseRealTime();
BENCHMARK(BM_Hq2x24Uniform)->UseRealTime();
BENCHMARK(BM_Hq2x32Uniform)->UseRealTime();

} // namespace
