// Emulated Z80 speed on the instruction exerciser, run on the flat 64 KB machine.
#include "core/cpu/CpmRunner.h"
#include "core/cpu/FlatZ80.h"
#include "core/util/FileIo.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::uint64_t kTStates = 200'000'000;
constexpr std::uint32_t kLineTStates = 228;

bool LoadExerciser(velmar::CpmRunner& runner, benchmark::State& state) {
    std::vector<std::uint8_t> program;
    if (!velmar::ReadWholeFile(VELMAR_SHARED_TESTROMS "/zexdoc.com", program, 1 << 20) ||
        !runner.Load(program).empty()) {
        state.SkipWithError("zexdoc.com could not be loaded");
        return false;
    }
    return true;
}

void Discard(void*, std::string_view) {}

// Emulated T-states per wall-clock second, shown as a rate (G/s = GHz) and as plain MHz.
void ReportSpeed(benchmark::State& state, std::uint64_t total) {
    state.counters["T-states"] =
        benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
    state.counters["MHz"] =
        benchmark::Counter(static_cast<double>(total) / 1e6, benchmark::Counter::kIsRate,
                           benchmark::Counter::OneK::kIs1000);
}

// The CP/M harness: one ExecuteInstruction at a time with the BDOS trap.
void BM_ZexdocCpm(benchmark::State& state) {
    velmar::CpmRunner runner;
    std::uint64_t total = 0;
    for (auto _ : state) {
        if (!LoadExerciser(runner, state)) return;
        runner.Run(kTStates, Discard, nullptr);
        total += runner.TStates();
    }
    ReportSpeed(state, total);
}
BENCHMARK(BM_ZexdocCpm)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console's run loop: RunCycles in scanline budgets; the BDOS stub simply returns.
void BM_ZexdocRunCycles(benchmark::State& state) {
    velmar::CpmRunner runner;
    std::uint64_t total = 0;
    for (auto _ : state) {
        if (!LoadExerciser(runner, state)) return;
        velmar::FlatZ80& cpu = runner.Cpu();
        std::uint64_t done = 0;
        while (done < kTStates) done += cpu.RunCycles(kLineTStates);
        total += done;
    }
    ReportSpeed(state, total);
}
BENCHMARK(BM_ZexdocRunCycles)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
