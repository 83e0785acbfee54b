// Video chip throughput: whole frames of 262 lines with the 192 visible ones drawn, on a
// busy scene (random tiles, scrolling, a crowded sprite table).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "HeadlessMachine.h"
#include "core/vdp/Vdp.h"

namespace {

void Control(velmar::T_VDP_CORE& vdp, std::uint8_t first, std::uint8_t second) {
    vdp.WriteControl(first);
    vdp.WriteControl(second);
}

void BusyScene(velmar::T_VDP_CORE& vdp, bool tallSprites) {
    std::mt19937 rng(1);
    Control(vdp, 0x00, 0x40); // VRAM write from 0
    for (int i = 0; i < 16384; ++i) vdp.WriteData(static_cast<std::uint8_t>(rng()));
    Control(vdp, 0x00, 0xC0); // CRAM write from 0
    for (int i = 0; i < 32; ++i) vdp.WriteData(static_cast<std::uint8_t>(rng()));
    Control(vdp, 0x3F00 & 0xFF, 0x40 | (0x3F00 >> 8)); // sprite Y values, all on screen
    for (int s = 0; s < 64; ++s) vdp.WriteData(static_cast<std::uint8_t>(rng() % 180));
    const std::uint8_t registers[11] = {0x26, static_cast<std::uint8_t>(tallSprites ? 0x62 : 0x60),
                                        0x0E, 0xFF,
                                        0xFF, 0x7E,
                                        0x00, 0x03,
                                        0x35, 0x1B,
                                        0xFF};
    for (int r = 0; r < 11; ++r) Control(vdp, registers[r], static_cast<std::uint8_t>(0x80 | r));
}

void BM_VdpFrame(benchmark::State& state) {
    velmar::T_VDP_CORE vdp;
    BusyScene(vdp, state.range(0) != 0);
    for (auto _ : state) {
        for (int line = 0; line < 262; ++line) vdp.RunLine(line, true, false);
        benchmark::DoNotOptimize(vdp.FrameBuffer.data());
        vdp.ReadStatus();
    }
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 262,
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VdpFrame)->Arg(0)->Arg(1);

// The video chip as the game scene leaves it a few seconds in: a detailed, scrolled
// background with flips, palettes and priority tiles, and 64 sprites.
void BM_VdpGameScene(benchmark::State& state) {
    using namespace velmar;
    bench::HeadlessMachine machine("game_scene.sms");
    if (!machine.Loaded()) {
        state.SkipWithError(machine.Error().c_str());
        return;
    }
    machine.RunFrames(300);
    auto vdp = std::make_unique<T_VDP_CORE>(machine->GetConsole().Vdp);
    for (auto _ : state) {
        for (int line = 0; line < 262; ++line) vdp->RunLine(line, true, false);
        benchmark::DoNotOptimize(vdp->FrameBuffer.data());
        vdp->ReadStatus();
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VdpGameScene)->Unit(benchmark::kMicrosecond);

void BM_VdpFrameUndrawn(benchmark::State& state) {
    velmar::T_VDP_CORE vdp;
    BusyScene(vdp, false);
    for (auto _ : state) {
        for (int line = 0; line < 262; ++line) vdp.RunLine(line, false, false);
        benchmark::DoNotOptimize(vdp.VCounter);
    }
}
BENCHMARK(BM_VdpFrameUndrawn);

} // namespace
