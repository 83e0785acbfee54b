#pragma once

// core/bus: where a frame's sound samples fall due in the CPU's time.

#include <cstdint>

namespace velmar {

// The frame's samples at evenly spaced points over all of its T-states: sample k is taken
// once the CPU has reached (k + 1) x TStatesPerFrame / SamplesPerFrame, rounded up to a
// whole T-state (59,736 / 735, about 81.27 apart, for the console's 60 frames a second;
// the region gives both numbers). The last sample falls at the end of the frame. The
// points are stepped by whole T-states and a remainder, so no sample costs a division.
class SampleClock {
  public:
    SampleClock(std::uint32_t tstatesPerFrame, std::uint32_t samplesPerFrame)
        : Whole(samplesPerFrame != 0 ? tstatesPerFrame / samplesPerFrame : tstatesPerFrame),
          Part(samplesPerFrame != 0 ? tstatesPerFrame % samplesPerFrame : 0),
          Samples(samplesPerFrame != 0 ? samplesPerFrame : 1) {
        StartFrame();
    }

    // Back to the frame's first sample.
    void StartFrame() {
        Next = 0;
        Short = 0;
        Advance();
    }
    // The T-state of the frame at which the next sample falls due; past the frame's end
    // once every sample of the frame has.
    std::uint32_t Due() const { return Next; }
    // On to the following sample.
    void Advance() {
        // Next x Samples - Short is the exact point; Short stays in 0 .. Samples - 1.
        Next += Whole;
        if (Part > Short) {
            ++Next;
            Short += Samples;
        }
        Short -= Part;
    }

  private:
    std::uint32_t Whole;
    std::uint32_t Part;
    std::uint32_t Samples;
    std::uint32_t Next = 0;
    std::uint32_t Short = 0;
};

} // namespace velmar
