#pragma once

#include "platform/StreamBuffer.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace velmar {

// The looping sound buffer played by an SDL audio device. The device's callback reads from
// the play position onwards while playing (silence while stopped) and moves the position
// on, wrapping at the end. Lock and Unlock hold the device's callback away, so the writer
// and the player never touch the buffer at the same time.
class SdlStreamBuffer final : public StreamBuffer {
  public:
    SdlStreamBuffer() = default;
    ~SdlStreamBuffer() override;
    SdlStreamBuffer(const SdlStreamBuffer&) = delete;
    SdlStreamBuffer& operator=(const SdlStreamBuffer&) = delete;

    // Opens the default output device (mono, signed 16 bits, the format's rate); false and
    // the reason in Error() when no device opens. Create opens it too when not yet open.
    bool Open(const WaveFormatRecord& format);
    bool IsOpen() const { return device_ != 0; }
    const char* Error() const { return error_; }
    // Closes the device; the buffer then reads as stopped.
    void Close();
    // True when an open device has stopped by itself (unplugged, or the server went away).
    bool Lost() const;

    bool Create(const WaveFormatRecord& format, std::uint32_t bytes) override;
    std::span<std::uint8_t> Lock(std::uint32_t offset, std::uint32_t bytes) override;
    void Unlock() override;
    std::uint32_t GetPlayPosition() override;
    void SetPlayPosition(std::uint32_t position) override;
    bool IsPlaying() override;
    void Play() override;
    void Stop() override;
    bool IsClocked() override { return device_ != 0; }

    // Times the play position was moved while the device was playing from it: each is an
    // audible jump. (Moving it before the device has played anything since Play or the last
    // move is silent and not counted.)
    std::uint32_t Rewinds() const { return rewinds_.load(); }

  private:
    static void Callback(void* self, std::uint8_t* out, int length);
    void Fill(std::uint8_t* out, std::uint32_t length);

    std::uint32_t device_ = 0;
    const char* error_ = "";
    bool locked_ = false;
    bool subsystemStarted_ = false;
    // Shared with the callback; touched only while the device is locked.
    std::vector<std::uint8_t> data_;
    std::uint32_t position_ = 0;
    bool playing_ = false;
    bool played_ = false; // the device has played from the position since it was last set
    std::atomic<std::uint32_t> rewinds_{0};
};

} // namespace velmar
