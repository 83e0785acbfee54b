#pragma once

#include "platform/StreamBuffer.h"

#include <cstdint>
#include <vector>

namespace velmar {

// A looping buffer that nobody plays: the play position moves only when told to
// (SetPlayPosition or Advance), so tests can play the part of the sound card.
class NullStreamBuffer final : public StreamBuffer {
  public:
    bool Create(const WaveFormatRecord& format, std::uint32_t bytes) override;
    std::span<std::uint8_t> Lock(std::uint32_t offset, std::uint32_t bytes) override;
    void Unlock() override {}
    std::uint32_t GetPlayPosition() override { return position_; }
    void SetPlayPosition(std::uint32_t position) override;
    bool IsPlaying() override { return playing_; }
    void Play() override { playing_ = true; }
    void Stop() override { playing_ = false; }

    bool IsClocked() override { return Clocked; }

    // Moves the play position on by bytes while playing, wrapping at the end.
    void Advance(std::uint32_t bytes);

    // Whether the buffer claims to be played in real time (a test playing the sound card).
    bool Clocked = false;
    const std::vector<std::uint8_t>& Data() const { return data_; }
    const WaveFormatRecord& Format() const { return format_; }
    int Creations = 0;

  private:
    WaveFormatRecord format_{};
    std::vector<std::uint8_t> data_;
    std::uint32_t position_ = 0;
    bool playing_ = false;
};

} // namespace velmar
