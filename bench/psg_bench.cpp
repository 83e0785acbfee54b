#include "core/sound/psg/SN76489_EMU.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// One frame of PSG samples as the machine asks for them, with three tones and white noise
// playing: in one batch, or in batches of 13 (about one for each of a tight sound loop's
// writes).
void PsgFrame(benchmark::State& State) {
    velmar::T_PSG_CORE Psg;
    Psg.Reset();
    Psg.Configure(44100, 3579545);
    Psg.SetSquareWave(static_cast<std::uint8_t>(State.range(0)));
    for (int Byte : {0x90, 0x85, 0x10, 0xB0, 0xA7, 0x0B, 0xD0, 0xC3, 0x20, 0xF0, 0xE4})
        Psg.WriteData(static_cast<std::uint8_t>(Byte));
    const auto Batch = static_cast<std::int32_t>(State.range(1));
    std::array<std::int16_t, 16384> Buffer{};
    for (auto _ : State) {
        for (std::int32_t Done = 0; Done < 735; Done += Batch)
            Psg.RenderSamples(Buffer.data() + Done, std::min(Batch, 735 - Done));
        benchmark::DoNotOptimize(Buffer.data());
    }
    State.SetItemsProcessed(State.iterations() * 735);
    State.SetLabel(State.range(0) == 1 ? "square" : "sine");
}
BENCHMARK(PsgFrame)->Args({1, 735})->Args({1, 13})->Args({0, 735});

} // namespace
