// FM samples per second: nine melodic channels keyed on, and six plus the five drums.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/sound/ym2413/YM2413_EMU.h"

namespace {

using velmar::T_YM2413_OPLL_CORE;

void Write(T_YM2413_OPLL_CORE& fm, std::uint8_t reg, std::uint8_t value) {
    fm.WriteAddress(reg);
    fm.WriteData(value);
}

// Renders whole frames as the machine does, in one batch of 735 samples (argument 1) or
// in batches of 13, and reports samples per second.
void RunFrames(benchmark::State& state, T_YM2413_OPLL_CORE& fm) {
    std::vector<std::int16_t> buffer(16384, 0);
    std::int64_t samples = 0;
    const std::int32_t batch = state.range(0) == 1 ? 735 : 13;
    for (auto _ : state) {
        for (std::int32_t done = 0; done < 735; done += batch)
            fm.RenderSamples(buffer.data() + done, std::min(batch, 735 - done));
        benchmark::DoNotOptimize(buffer.data());
        samples += 735;
    }
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// Argument 1: rendered in batches.
void BM_FmNineMelodicChannels(benchmark::State& state) {
    T_YM2413_OPLL_CORE fm;
    fm.Configure(44100, 3579545);
    for (int c = 0; c < 9; ++c) {
        // Instruments 1..9 with vibrato and tremolo among them, spread over the octaves.
        Write(fm, static_cast<std::uint8_t>(0x30 + c), static_cast<std::uint8_t>((c + 1) << 4));
        Write(fm, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(0x40 + 17 * c));
        Write(fm, static_cast<std::uint8_t>(0x20 + c),
              static_cast<std::uint8_t>(0x30 | ((c % 7) << 1) | 1)); // key on, sustain
    }
    RunFrames(state, fm);
}
BENCHMARK(BM_FmNineMelodicChannels)->Arg(0)->Arg(1);

void BM_FmRhythmMode(benchmark::State& state) {
    T_YM2413_OPLL_CORE fm;
    fm.Configure(44100, 3579545);
    for (int c = 0; c < 6; ++c) {
        Write(fm, static_cast<std::uint8_t>(0x30 + c), static_cast<std::uint8_t>((c + 10) << 4));
        Write(fm, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(0x60 + 23 * c));
        Write(fm, static_cast<std::uint8_t>(0x20 + c), static_cast<std::uint8_t>(0x30 | (c << 1)));
    }
    Write(fm, 0x16, 0x20);
    Write(fm, 0x26, 0x05);
    Write(fm, 0x17, 0x50);
    Write(fm, 0x27, 0x05);
    Write(fm, 0x18, 0xC0);
    Write(fm, 0x28, 0x01);
    Write(fm, 0x0E, 0x3F);
    RunFrames(state, fm);
}
BENCHMARK(BM_FmRhythmMode)->Arg(0)->Arg(1);

} // namespace
