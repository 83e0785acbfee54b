// Frames per second of the HQ2x scalers on a drawn game-like picture, on a frame captured
// from the game scene test program, and on a uniform picture; and through a cache, on two
// following frames of the game scene (scrolled: every row changes) and of the still stage
// (only the fighters move), scaled in turn.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
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
using CachedScaleFn = void (*)(const std::uint16_t*, std::uint8_t*, std::ptrdiff_t, std::uint8_t,
                               velmar::Hq2xCache&);

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

// Two pictures scaled in turn through one cache.
void RunCached(benchmark::State& state, CachedScaleFn scale, int bytesPerPixel,
               const std::array<Picture, 2>& pictures) {
    if (pictures[0].pixels.empty()) {
        state.SkipWithError("the test program is missing");
        return;
    }
    const std::ptrdiff_t pitch = kOutWidth * bytesPerPixel;
    std::vector<std::uint8_t> surface(static_cast<std::size_t>(pitch * kOutHeight));
    velmar::Hq2xCache cache;
    std::size_t k = 0;
    for (auto _ : state) {
        scale(pictures[k].pixels.data(), surface.data(), pitch, 1, cache);
        k ^= 1;
        benchmark::DoNotOptimize(surface.data());
        benchmark::ClobberMemory();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Frames first and first + 1 of a test program; empty when it is missing.
std::array<Picture, 2> TwoFrames(const char* rom, int first) {
    std::array<Picture, 2> p;
    velmar::bench::HeadlessMachine machine(rom);
    if (!machine.Loaded()) {
        p[0].pixels.clear();
        return p;
    }
    machine.RunFrames(first);
    for (Picture& picture : p) {
        machine.RunFrames(1);
        const auto& frame = machine->GetConsole().Vdp.FrameBuffer;
        std::copy(frame.begin(), frame.end(), picture.pixels.begin());
    }
    return p;
}

const std::array<Picture, 2>& SceneFrames() {
    static const std::array<Picture, 2> frames = TwoFrames("game_scene.sms", 200);
    return frames;
}
const std::array<Picture, 2>& StageFrames() {
    static const std::array<Picture, 2> frames = TwoFrames("still_stage.sms", 400);
    return frames;
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

void BM_Hq2x16SceneCached(benchmark::State& s) {
    RunCached(s, velmar::Hq2x16, 2, SceneFrames());
}
void BM_Hq2x32SceneCached(benchmark::State& s) {
    RunCached(s, velmar::Hq2x32, 4, SceneFrames());
}
void BM_Hq2x16StageCached(benchmark::State& s) {
    RunCached(s, velmar::Hq2x16, 2, StageFrames());
}
void BM_Hq2x32StageCached(benchmark::State& s) {
    RunCached(s, velmar::Hq2x32, 4, StageFrames());
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
BENCHMARK(BM_Hq2x16SceneCached)->UseRealTime();
BENCHMARK(BM_Hq2x32SceneCached)->UseRealTime();
BENCHMARK(BM_Hq2x16StageCached)->UseRealTime();
BENCHMARK(BM_Hq2x32StageCached)->UseRealTime();

} // namespace
