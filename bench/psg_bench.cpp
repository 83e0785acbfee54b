#include "core/sound/psg/SN76489_EMU.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

namespace {

// One frame of PSG samples as the machine asks for them: three per line, 262 lines, with
// three tones and white noise playing.
void PsgFrame(benchmark::State& State) {
    velmar::T_PSG_CORE Psg;
    Psg.Reset();
    Psg.Configure(60, 44100, 3579545, 262);
    Psg.SetSquareWave(static_cast<std::uint8_t>(State.range(0)));
    for (int Byte : {0x90, 0x85, 0x10, 0xB0, 0xA7, 0x0B, 0xD0, 0xC3, 0x20, 0xF0, 0xE4})
        Psg.WriteData(static_cast<std::uint8_t>(Byte));
    std::array<std::int16_t, 16384> Buffer{};
    for (auto _ : State) {
        for (std::uint32_t Line = 0; Line < 262; ++Line)
            for (int Slice = 0; Slice < 3; ++Slice) Psg.RenderSample(Buffer.data(), 16383, Line);
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetItemsProcessed(State.iterations() * 735);
    State.SetLabel(State.range(0) == 1 ? "square" : "sine");
}
BENCHMARK(PsgFrame)->Arg(1)->Arg(0);

// The same frame rendered as the machine now asks for it: the due samples in one batch.
void PsgFrameBatch(benchmark::State& State) {
    velmar::T_PSG_CORE Psg;
    Psg.Reset();
    Psg.Configure(60, 44100, 3579545, 262);
    for (int Byte : {0x90, 0x85, 0x10, 0xB0, 0xA7, 0x0B, 0xD0, 0xC3, 0x20, 0xF0, 0xE4})
        Psg.WriteData(static_cast<std::uint8_t>(Byte));
    std::array<std::int16_t, 16384> Buffer{};
    for (auto _ : State) {
        Psg.RenderSamples(Buffer.data(), 16383, 735);
        Psg.RenderSample(Buffer.data(), 16383, 261); // back to the frame's first entry
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetItemsProcessed(State.iterations() * 735);
}
BENCHMARK(PsgFrameBatch);

} // namespace
