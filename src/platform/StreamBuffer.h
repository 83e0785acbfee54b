#pragma once

#include <cstdint>
#include <span>

namespace velmar {

// The wave format of the sound stream: PCM, mono, 16 bits at 44100 Hz by default.
struct WaveFormatRecord {
    std::uint16_t FormatTag = 1; // PCM
    std::uint16_t Channels = 1;
    std::uint32_t SamplesPerSec = 44100;
    std::uint32_t AvgBytesPerSec = 88200;
    std::uint16_t BlockAlign = 2;
    std::uint16_t BitsPerSample = 16;
    std::uint16_t ExtraSize = 0;
};

// A looping sound buffer: the writer fills it ahead of a play position that moves on as
// the sound card plays, wrapping at the end.
class StreamBuffer {
  public:
    virtual ~StreamBuffer() = default;

    // (Re)creates the buffer with the given format and size; it starts stopped at 0.
    virtual bool Create(const WaveFormatRecord& format, std::uint32_t bytes) = 0;
    // Locks bytes at offset and returns the first region (empty when the lock fails).
    virtual std::span<std::uint8_t> Lock(std::uint32_t offset, std::uint32_t bytes) = 0;
    virtual void Unlock() = 0;
    virtual std::uint32_t GetPlayPosition() = 0;
    virtual void SetPlayPosition(std::uint32_t position) = 0;
    // True while playing (looping).
    virtual bool IsPlaying() = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    // True when a sound device plays the buffer at its own steady rate, so the writer can
    // follow the play position to pace itself; false for a buffer nobody plays.
    virtual bool IsClocked() { return false; }
};

} // namespace velmar
