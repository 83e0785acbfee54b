#include "frontend/SoundOutput.h"

namespace velmar {

bool SoundOutput::OpenDevice(const WaveFormatRecord& format) {
    usingDevice_ = device_.Open(format);
    return usingDevice_;
}

bool SoundOutput::DeviceLost() {
    if (!usingDevice_ || !device_.Lost()) return false;
    usingDevice_ = false;
    device_.Close();
    if (bytes_ != 0) silent_.Create(format_, bytes_);
    return true;
}

// UsingDevice keeps telling what was used; a closed device takes no calls.
void SoundOutput::Close() {
    device_.Close();
}

bool SoundOutput::Create(const WaveFormatRecord& format, std::uint32_t bytes) {
    format_ = format;
    bytes_ = bytes;
    silent_.Create(format, bytes);
    if (usingDevice_ && !device_.Create(format, bytes)) usingDevice_ = false;
    return true;
}

std::span<std::uint8_t> SoundOutput::Lock(std::uint32_t offset, std::uint32_t bytes) {
    return Active().Lock(offset, bytes);
}

} // namespace velmar
