#pragma once

// The console's television standard as data: how many lines a frame has, where the V counter
// jumps back inside the vertical blank, the clock of the CPU and the sound chips, and the
// frame rate with the samples each frame carries at 44,100 Hz. The frame loop, the video
// chip, the sound chips and the presentation take their numbers from here; nothing else
// tells the two consoles apart.

#include "core/ConsoleConstants.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmar {

enum class ConsoleRegion : std::uint8_t { Ntsc, Pal };

struct RegionTiming {
    int LinesPerFrame;
    // The V counter counts lines from 0 at the top; on this line it jumps back to
    // VCounterJumpTo and counts on to 0xFF at the frame's last line.
    int VCounterJumpLine;
    std::uint8_t VCounterJumpTo;
    std::uint32_t ClockHz;
    std::uint32_t FramesPerSecond;
    std::uint32_t SamplesPerFrame;

    constexpr std::uint32_t CyclesPerFrame() const {
        return static_cast<std::uint32_t>(LinesPerFrame) * console::kCyclesPerLine;
    }
};

// 262 lines: the counter reads 0x00-0xDA, then 0xD5-0xFF.
inline constexpr RegionTiming kNtscTiming{console::kLinesPerFrame,
                                          0xDA + 1,
                                          0xD5,
                                          console::kDefaultClockHz,
                                          console::kDefaultFramesPerSecond,
                                          console::kSamplesPerFrame};
// 313 lines: the counter reads 0x00-0xF2, then 0xBA-0xFF.
inline constexpr RegionTiming kPalTiming{313, 0xF2 + 1, 0xBA, 3546893, 50, 882};

static_assert(kNtscTiming.VCounterJumpLine + 0x100 - kNtscTiming.VCounterJumpTo ==
              kNtscTiming.LinesPerFrame);
static_assert(kPalTiming.VCounterJumpLine + 0x100 - kPalTiming.VCounterJumpTo ==
              kPalTiming.LinesPerFrame);
static_assert(kPalTiming.SamplesPerFrame * kPalTiming.FramesPerSecond ==
              console::kDefaultSampleRate);
// The sound stream's length is a whole number of frames in both.
static_assert(console::kStreamBytes % (kNtscTiming.SamplesPerFrame * 2) == 0);
static_assert(console::kStreamBytes % (kPalTiming.SamplesPerFrame * 2) == 0);
// A frame's samples lie inside the part of the sample buffer that is zeroed without sound.
static_assert(kPalTiming.SamplesPerFrame < console::kSilencedSamples);

constexpr const RegionTiming& TimingOf(ConsoleRegion region) {
    return region == ConsoleRegion::Pal ? kPalTiming : kNtscTiming;
}

// "ntsc" and "pal": the names velmar-cli and Velmar.ini use.
constexpr const char* RegionName(ConsoleRegion region) {
    return region == ConsoleRegion::Pal ? "pal" : "ntsc";
}

constexpr std::optional<ConsoleRegion> ParseRegion(std::string_view name) {
    if (name == "ntsc") return ConsoleRegion::Ntsc;
    if (name == "pal") return ConsoleRegion::Pal;
    return std::nullopt;
}

} // namespace velmar
