// FM samples per second: nine melodic channels keyed on, and six plus the five drums.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/sound/ym2413/YM2413_EMU.h"

namespace {

using velmar::T_YM2413_OPLL_CORE;

void Write(T_YM2413_OPLL_CORE& fm, std::uint8_t reg, std::uint8_t value) {
    fm.WriteAddress(reg);
    fm.WriteData(value);
}

// Renders whole frames as the machine does (262 lines of three slices, 735 samples) and
// reports samples per second.
void RunFrames(benchmark::State& state, T_YM2413_OPLL_CORE& fm) {
    std::vector<std::int16_t> buffer(16384, 0);
    std::int64_t samples = 0;
    for (auto _ : state) {
        for (std::uint32_t line = 0; line < 262; ++line)
            for (int slice = 0; slice < 3; ++slice) fm.RenderSample(buffer.data(), 16383, line);
        benchmark::DoNotOptimize(buffer.data());
        samples += 735;
    }
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// The same frames as the machine now renders them: one batch of 735 samples.
void RunBatches(benchmark::State& state, T_YM2413_OPLL_CORE& fm) {
    std::vector<std::int16_t> buffer(16384, 0);
    std::int64_t samples = 0;
    for (auto _ : state) {
        fm.RenderSamples(buffer.data(), 16383, 735);
        fm.RenderSample(buffer.data(), 16383, 261); // back to the frame's first entry
        benchmark::DoNotOptimize(buffer.data());
        samples += 735;
    }
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// Argument 1: rendered in batches.
void BM_FmNineMelodicChannels(benchmark::State& state) {
    T_YM2413_OPLL_CORE fm;
    fm.Configure(60, 44100, 3579545, 262);
    for (int c = 0; c < 9; ++c) {
        // Instruments 1..9 with vibrato and tremolo among them, spread over the octaves.
        Write(fm, static_cast<std::uint8_t>(0x30 + c), static_cast<std::uint8_t>((c + 1) << 4));
        Write(fm, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(0x40 + 17 * c));
        Write(fm, static_cast<std::uint8_t>(0x20 + c),
              static_cast<std::uint8_t>(0x30 | ((c % 7) << 1) | 1)); // key on, sustain
    }
    if (state.range(0) == 1)
        RunBatches(state, fm);
    else
        RunFrames(state, fm);
}
BENCHMARK(BM_FmNineMelodicChannels)->Arg(0)->Arg(1);

void BM_FmRhythmMode(benchmark::State& state) {
    T_YM2413_OPLL_CORE fm;
    fm.Configure(60, 44100, 3579545, 262);
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
    if (state.range(0) == 1)
        RunBatches(state, fm);
    else
        RunFrames(state, fm);
}
BENCHMARK(BM_FmRhythmMode)->Arg(0)->Arg(1);

} // namespace
