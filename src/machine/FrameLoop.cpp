#include "machine/TSMS.h"

#include <algorithm>

namespace velmar {

using namespace console;

// One frame: each line's video step runs before that line's CPU time, so interrupts raised
// at the start of a line are seen by its first instruction. With sound on, the line's CPU
// time is cut into three slices, each followed by one PSG sample and one FM sample. On the
// lines that carry samples these are only counted as due and rendered in batches by the bus
// (before a sound chip write, and here at the end of the frame); the last lines of the frame
// carry none and restart the chips' sample positions.
void Console::EmulateFrame() {
    --FrameskipCounter;
    // A light gun looks at the picture, so every frame is drawn while one is plugged in.
    const bool drawn = FrameskipCounter < 0 || Bus.GunPort != 0;
    LastFrameDrawn = drawn;
    const bool sound = MixerOn == 1; // options change only between frames
    constexpr auto kLastIndex = static_cast<std::int32_t>(kSampleBufferSize - 1);
    const auto sampleLines = static_cast<int>(std::min(
        {Psg.GetUsableLines(), Fm.UsableLines, static_cast<std::uint32_t>(kLinesPerFrame)}));
    Bus.SetSampleBuffer(SampleBuffer.data(), kLastIndex);
    for (int line = 0; line < kLinesPerFrame; ++line) {
        Vdp.RunLine(line, drawn, false);
        Bus.StartLine(line);
        if (!sound) {
            Cpu.RunCycles(kCyclesPerLine);
        } else if (line < sampleLines) {
            for (std::uint32_t slice = 0; slice < kSlicesPerLine; ++slice) {
                Cpu.RunCycles(kCyclesPerSlice);
                Bus.SampleDue();
            }
        } else {
            Bus.RenderDueSamples();
            for (std::uint32_t slice = 0; slice < kSlicesPerLine; ++slice) {
                Cpu.RunCycles(kCyclesPerSlice);
                Psg.RenderSample(SampleBuffer.data(), kLastIndex, static_cast<std::uint32_t>(line));
                Fm.RenderSample(SampleBuffer.data(), kLastIndex, static_cast<std::uint32_t>(line));
            }
        }
    }
    Bus.RenderDueSamples();
    // Without sound the stream carries silence.
    if (!sound) std::fill_n(SampleBuffer.begin(), kSilencedSamples, std::int16_t{0});
    if (FrameskipCounter < 0) FrameskipCounter = Frameskip;
}

// Driving without the thread: one frame, then its presentation on this thread.
void TSMS::RunFrame() {
    if (IsRunning()) return; // the emulation thread runs the frames now
    presenter_.PrepareOutput();
    console_.EmulateFrame();
    presenter_.PresentHandedOverFrame();
    presenter_.CountFrame();
}

} // namespace velmar
