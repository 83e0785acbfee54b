#include "machine/TSMS.h"

#include <algorithm>

namespace velmar {

using namespace machine;

// One frame: each line's video step runs before that line's CPU time, so interrupts raised
// at the start of a line are seen by its first instruction. With sound on, the line's CPU
// time is cut into three slices, each followed by one PSG sample and one FM sample.
void TSMS::EmulateFrame() {
    --FrameskipCounter;
    const bool drawn = FrameskipCounter < 0;
    LastFrameDrawn = drawn;
    const bool sound = MixerOn == 1; // options change only between frames
    constexpr auto kLastIndex = static_cast<std::int32_t>(kSampleBufferSize - 1);
    for (int line = 0; line < kLinesPerFrame; ++line) {
        Vdp.RunLine(line, drawn, false);
        if (sound) {
            for (std::uint32_t slice = 0; slice < kSlicesPerLine; ++slice) {
                Cpu.RunCycles(kCyclesPerSlice);
                Psg.RenderSample(SampleBuffer.data(), kLastIndex, static_cast<std::uint32_t>(line));
                Fm.RenderSample(SampleBuffer.data(), kLastIndex, static_cast<std::uint32_t>(line));
            }
        } else {
            Cpu.RunCycles(kCyclesPerLine);
        }
    }
    // Without sound the stream carries silence.
    if (!sound) std::fill_n(SampleBuffer.begin(), kSilencedSamples, std::int16_t{0});
    if (FrameskipCounter < 0) FrameskipCounter = Frameskip;
}

void TSMS::RunFrame() {
    if (IsRunning()) return; // the emulation thread runs the frames now
    PrepareOutput();
    EmulateFrame();
    HandOverFrame(false);
    CountFrame();
}

// The frames-per-second count: after at least 1000 ms the frames of that window become Fps.
// The difference is taken as an unsigned 64-bit value, so after the timer wraps the test
// stays false until a fresh start is taken.
void TSMS::CountFrame() {
    const std::uint32_t now = clock_->Milliseconds();
    const std::uint64_t elapsed =
        static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(secondStart_);
    if (elapsed >= 1000 && elapsed <= 0xFFFFFFFFull) {
        Fps = static_cast<std::uint32_t>(FrameCount);
        FrameCount = 0;
        secondStart_ = clock_->Milliseconds();
    }
    ++FrameCount;
}

// Creates the sound stream and sizes the display, once, before the first frame.
void TSMS::PrepareOutput() {
    if (outputPrepared_) return;
    outputPrepared_ = true;
    if (services_.Sound != nullptr)
        services_.Sound->Create(WaveFormat, static_cast<std::uint32_t>(StreamBytes));
    if (services_.Display != nullptr) services_.Display->Resize(kFrameWidth, kFrameHeight);
    PerfLast = 0;
    secondStart_ = 0;
}

} // namespace velmar
