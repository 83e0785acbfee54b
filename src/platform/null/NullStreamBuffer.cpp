#include "platform/null/NullStreamBuffer.h"

namespace velmar {

bool NullStreamBuffer::Create(const WaveFormatRecord& format, std::uint32_t bytes) {
    format_ = format;
    data_.assign(bytes, 0);
    position_ = 0;
    playing_ = false;
    ++Creations;
    return true;
}

std::span<std::uint8_t> NullStreamBuffer::Lock(std::uint32_t offset, std::uint32_t bytes) {
    if (offset >= data_.size()) return {};
    const std::size_t available = data_.size() - offset;
    return {data_.data() + offset, bytes < available ? bytes : available};
}

void NullStreamBuffer::SetPlayPosition(std::uint32_t position) {
    position_ = data_.empty() ? 0 : static_cast<std::uint32_t>(position % data_.size());
}

void NullStreamBuffer::Advance(std::uint32_t bytes) {
    if (playing_ && !data_.empty())
        position_ = static_cast<std::uint32_t>((position_ + bytes) % data_.size());
}

} // namespace velmar
