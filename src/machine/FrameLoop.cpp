#include "machine/TSMS.h"

#include <algorithm>

namespace velmar {

using namespace console;

// One frame: each line's video step runs before that line's CPU time, so interrupts raised
// at the start of a line are seen by its first instruction. With sound on, the frame's
// samples fall due at evenly spaced points over all of its T-states (Samples): the CPU
// runs to each point inside the line, and the sample is counted as due there, to be
// rendered in a batch by the bus (before a sound chip write, and here at the end of the
// frame). Every line still gets exactly its 228 T-states.
void Console::EmulateFrame() {
    --FrameskipCounter;
    // A light gun looks at the picture, so every frame is drawn while one is plugged in.
    const bool drawn = FrameskipCounter < 0 || Bus.GunPort != 0;
    LastFrameDrawn = drawn;
    const bool sound = MixerOn == 1; // options change only between frames
    constexpr auto kLastIndex = static_cast<std::int32_t>(kSampleBufferSize - 1);
    Bus.SetSampleBuffer(SampleBuffer.data(), kLastIndex);
    Samples.StartFrame();
    std::uint32_t now = 0; // T-states of the frame run so far
    const int lines = Timing().LinesPerFrame;
    for (int line = 0; line < lines; ++line) {
        Vdp.RunLine(line, drawn, false);
        Bus.StartLine(line);
        const std::uint32_t lineEnd = now + kCyclesPerLine;
        for (; sound && Samples.Due() <= lineEnd; Samples.Advance()) {
            if (Samples.Due() > now) Cpu.RunCycles(Samples.Due() - now);
            now = Samples.Due();
            Bus.SampleDue();
        }
        if (lineEnd > now) Cpu.RunCycles(lineEnd - now);
        now = lineEnd;
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
    rewinder_.RunFrame(presenter_);
    presenter_.PresentHandedOverFrame();
    presenter_.CountFrame();
    presenter_.Pace();
}

} // namespace velmar
