// Whole frames per second, headless: no picture scaling, no pacing, sound generated into
// the sample buffer (the stream buffer is a null one).
#include "HeadlessMachine.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velmar;

// The firmware's own screen, or a test program when one is named and present.
void FramesPerSecond(benchmark::State& state, const char* rom, bool fm) {
    bench::HeadlessMachine machine(rom);
    if (!machine.Loaded()) {
        state.SkipWithError(machine.Error().c_str());
        return;
    }
    machine->SetFmOutput(fm ? 1 : 0);
    machine.RunFrames(120); // past the splash
    for (auto _ : state) machine->RunFrame();
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(FramesPerSecond, firmware, nullptr, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FramesPerSecond, firmware_fm, nullptr, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FramesPerSecond, fm_note_fm, "fm_note.sms", true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FramesPerSecond, sprites8, "sprites8.sms", false)->Unit(benchmark::kMicrosecond);
// A detailed scrolling background, 64 moving sprites, PSG and FM music.
BENCHMARK_CAPTURE(FramesPerSecond, game_scene, "game_scene.sms", false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FramesPerSecond, game_scene_fm, "game_scene.sms", true)
    ->Unit(benchmark::kMicrosecond);

} // namespace
