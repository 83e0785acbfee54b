#pragma once

// core: the console's chips as plain objects, standard library only (cpu, bus, vdp,
// sound/psg, sound/ym2413, util); nothing here knows the machine, the platform or any file
// name. This header holds the console's numbers in one place: the frame's shape in lines
// and T-states, the clocks and rates the chips are set up with, and the sizes of what the
// machine exchanges.

#include <cstddef>
#include <cstdint>

namespace velmar::console {

inline constexpr int kLinesPerFrame = 262;
inline constexpr std::uint32_t kCyclesPerLine = 228;
inline constexpr std::uint32_t kCyclesPerFrame = kCyclesPerLine * kLinesPerFrame; // 59736
inline constexpr std::uint32_t kDefaultClockHz = 3579545;
inline constexpr std::uint32_t kDefaultFramesPerSecond = 60;
inline constexpr std::uint32_t kDefaultSampleRate = 44100;
inline constexpr std::uint32_t kSamplesPerFrame = kDefaultSampleRate / kDefaultFramesPerSecond;
inline constexpr std::size_t kSampleBufferSize = 16384;
// Entries zeroed when sound generation is off.
inline constexpr std::size_t kSilencedSamples = 8192;
// The sound stream: 200 ms of samples, 12 frames of a 60 Hz console or 10 of a 50 Hz one.
inline constexpr std::uint32_t kStreamBytes = kDefaultSampleRate * 2 / 5;
// The displayed picture: the 256 x 192 screen doubled.
inline constexpr int kFrameWidth = 512;
inline constexpr int kFrameHeight = 384;
// A save state: the CPU block, then the video chip's.
inline constexpr std::size_t kCpuStateSize = 8229;
inline constexpr std::size_t kVdpStateSize = 49215;
inline constexpr std::size_t kStateFileSize = kCpuStateSize + kVdpStateSize; // 57444

} // namespace velmar::console
