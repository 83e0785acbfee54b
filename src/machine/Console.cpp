#include "machine/Console.h"

#include "core/util/StateStream.h"

namespace velmar {

using namespace console;

static_assert(T_Z80_CPU_CORE::kStateSize == kCpuStateSize);
static_assert(vdp::kStateBlockSize == kVdpStateSize);

// Wires the CPU to the bus and the bus to the three chips, and sets the sound chips up for
// the frame's shape; the FM unit starts switched off and the export firmware is selected.
Console::Console() {
    Cpu.Reset(Bus);
    Bus.Connect(Vdp, Psg, Fm);
    Vdp.AttachClock(&Cpu.Clock); // the chip follows the beam by the CPU's time
    Vdp.Reset();
    Psg.Reset();
    Psg.Configure(kDefaultSampleRate, ClockHz);
    Fm.Configure(kDefaultSampleRate, ClockHz);
    Fm.SetFmEnabled(0);
    Cpu.SetBiosType(1);
}

void Console::Reset() {
    Cpu.Reset(Bus);
    Bus.Connect(Vdp, Psg, Fm);
    Psg.Reset();
    Fm.Reset();
    Vdp.Reset();
}

void Console::SetRegion(ConsoleRegion region) {
    const RegionTiming& timing = TimingOf(region);
    Region = region;
    ClockHz = timing.ClockHz;
    Samples = SampleClock{timing.CyclesPerFrame(), timing.SamplesPerFrame};
    Vdp.SetRegion(timing);
    Psg.SetClock(ClockHz);
    // Set-up switches the FM unit on and all its channels: the user's switches stay.
    const std::uint8_t fmOn = Fm.FmEnabled;
    const auto channels = Fm.ChannelEnabled;
    Fm.Configure(kDefaultSampleRate, ClockHz);
    Fm.SetFmEnabled(fmOn);
    for (std::size_t c = 0; c < channels.size(); ++c)
        Fm.SetChannelEnabled(static_cast<std::uint8_t>(c), channels[c]);
}

std::vector<std::uint8_t> Console::SaveState() {
    StateWriter writer;
    SaveState(writer);
    return {writer.Data().begin(), writer.Data().end()};
}

void Console::SaveState(StateWriter& writer) {
    Cpu.SaveState(writer); // starts the stream afresh
    Vdp.SaveState(writer);
}

void Console::LoadState(std::span<const std::uint8_t> bytes) {
    StateReader reader(bytes);
    Cpu.LoadState(reader);
    Vdp.LoadState(reader);
}

} // namespace velmar
