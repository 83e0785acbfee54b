#pragma once

#include "platform/StreamBuffer.h"
#include "platform/null/NullStreamBuffer.h"
#include "platform/sdl/SdlStreamBuffer.h"

namespace velmar {

// The machine's sound buffer: the SDL device when one opens, else (or once the device is
// lost) a silent buffer that nobody plays, so the machine runs on either way.
class SoundOutput final : public StreamBuffer {
  public:
    // Tries the device now; false when the silent buffer stands in.
    bool OpenDevice(const WaveFormatRecord& format);
    bool UsingDevice() const { return usingDevice_; }
    // True once, when the device has been lost since the last call: the silent buffer
    // takes over with the same size.
    bool DeviceLost();
    void Close();
    std::uint32_t Rewinds() const { return device_.Rewinds(); }

    bool Create(const WaveFormatRecord& format, std::uint32_t bytes) override;
    std::span<std::uint8_t> Lock(std::uint32_t offset, std::uint32_t bytes) override;
    void Unlock() override { Active().Unlock(); }
    std::uint32_t GetPlayPosition() override { return Active().GetPlayPosition(); }
    void SetPlayPosition(std::uint32_t position) override { Active().SetPlayPosition(position); }
    bool IsPlaying() override { return Active().IsPlaying(); }
    void Play() override { Active().Play(); }
    void Stop() override { Active().Stop(); }
    bool IsClocked() override { return Active().IsClocked(); }

  private:
    StreamBuffer& Active() {
        return usingDevice_ ? static_cast<StreamBuffer&>(device_)
                            : static_cast<StreamBuffer&>(silent_);
    }

    SdlStreamBuffer device_;
    NullStreamBuffer silent_;
    bool usingDevice_ = false;
    WaveFormatRecord format_{};
    std::uint32_t bytes_ = 0;
};

} // namespace velmar
