#include "WavFile.h"

#include <array>
#include <cstdio>
#include <string>

namespace velmar::cli {

namespace {
constexpr std::size_t kHeaderBytes = 44;

std::array<std::uint8_t, kHeaderBytes> Header(std::uint32_t rate, std::uint32_t dataBytes) {
    std::array<std::uint8_t, kHeaderBytes> h{};
    std::size_t at = 0;
    const auto text = [&](const char* s) {
        for (int i = 0; i < 4; ++i) h[at++] = static_cast<std::uint8_t>(s[i]);
    };
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at++] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const auto u16 = [&](std::uint32_t v) {
        h[at++] = static_cast<std::uint8_t>(v);
        h[at++] = static_cast<std::uint8_t>(v >> 8);
    };
    text("RIFF");
    u32(36 + dataBytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    text("data");
    u32(dataBytes);
    return h;
}
} // namespace

Result WavFile::Open(const std::filesystem::path& path, std::uint32_t sampleRate,
                     std::uint64_t expectedDataBytes) {
    rate_ = sampleRate;
    dataBytes_ = 0;
    headerBytes_ = expectedDataBytes <= kMostDataBytes ? expectedDataBytes : 0;
    if (Result opened = file_.Open(path); !opened) return opened;
    return file_.Write(Header(rate_, static_cast<std::uint32_t>(headerBytes_)));
}

Result WavFile::Append(std::span<const std::int16_t> samples) {
    if (!file_.Status()) return file_.Status();
    if (dataBytes_ + samples.size() * 2 > kMostDataBytes)
        return {"'" + file_.Target().string() + "': too long for a WAV file"};
    buffer_.resize(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto u = static_cast<std::uint16_t>(samples[i]);
        buffer_[2 * i] = static_cast<std::uint8_t>(u);
        buffer_[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    if (Result written = file_.Write(buffer_); !written) return written;
    dataBytes_ += samples.size() * 2;
    return {};
}

Result WavFile::Finish() {
    if (file_.IsOpen() && dataBytes_ != headerBytes_) {
        // A failed seek sticks, so the write below reports it.
        (void)file_.Seek(0, SEEK_SET);
        if (Result written = file_.Write(Header(rate_, static_cast<std::uint32_t>(dataBytes_)));
            !written)
            return written;
        headerBytes_ = dataBytes_;
    }
    return file_.Finish();
}

Result WavFile::Commit() {
    if (Result finished = Finish(); !finished) {
        file_.Abort();
        return finished;
    }
    return file_.Commit();
}

} // namespace velmar::cli
