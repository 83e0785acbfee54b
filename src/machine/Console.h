#pragma once

#include "core/ConsoleConstants.h"
#include "core/Region.h"
#include "core/bus/Interconnect.h"
#include "core/bus/SampleClock.h"
#include "core/sound/psg/SN76489_EMU.h"
#include "core/sound/ym2413/YM2413_EMU.h"
#include "core/util/StateStream.h"
#include "core/vdp/Vdp.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace velmar {

// The console itself: the five chip cores wired together, the sample buffer, one frame of
// emulation and the save-state bytes. Single-threaded, with no services, paths or clock:
// tests, the command-line runner and the benchmarks may drive it directly.
//
// Large (the CPU holds a 1 MB ROM image): create it on the heap or inside a heap object.
class Console {
  public:
    Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // The cores' half of the hard reset: CPU (rewired to the bus), bus, PSG, FM, VDP. The ROM,
    // the firmware choice, the cartridge RAM and the sound chips' options stay.
    void Reset();

    // One frame: the region's lines (262 or 313), each the video step and then the line's
    // CPU time, with the frame's samples (735 or 882) evenly spaced over its T-states while
    // sound is on. Frameskip decides whether the lines are drawn.
    void EmulateFrame();

    // The television standard (NTSC until told otherwise): the frame's lines and the V
    // counter's sequence, the clock the sound chips are set up with and the samples of a
    // frame. The sound chips' options stay; reset the console after a change, as a console
    // of the other region starts from power-on.
    void SetRegion(ConsoleRegion region);
    ConsoleRegion GetRegion() const { return Region; }
    const RegionTiming& Timing() const { return TimingOf(Region); }

    // The save state: the CPU block, then the video chip's (exactly kStateFileSize bytes).
    std::vector<std::uint8_t> SaveState();
    // The same into a writer whose memory is kept from one call to the next.
    void SaveState(StateWriter& writer);
    // Takes a block of exactly kStateFileSize bytes; the caller checks the size.
    void LoadState(std::span<const std::uint8_t> bytes);

    T_VDP_CORE Vdp;
    T_PSG_CORE Psg;
    T_YM2413_OPLL_CORE Fm;
    T_Z80_CPU_CORE Cpu;
    T_INTERCONNECT_CORE Bus;

    ConsoleRegion Region = ConsoleRegion::Ntsc;
    std::uint32_t ClockHz = console::kDefaultClockHz;
    // Where the frame's samples fall due.
    SampleClock Samples{console::kCyclesPerFrame, console::kSamplesPerFrame};
    std::array<std::int16_t, console::kSampleBufferSize> SampleBuffer{};
    std::uint8_t MixerOn = 1;
    std::uint8_t Frameskip = 0;
    std::int32_t FrameskipCounter = 0;
    // Whether the last frame was drawn (frameskip).
    bool LastFrameDrawn = false;
};

} // namespace velmar
