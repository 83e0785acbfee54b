#include "WavFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <unistd.h>

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

WavFile::~WavFile() {
    Discard();
}

FileResult WavFile::Open(const std::filesystem::path& path, std::uint32_t sampleRate) {
    Discard();
    target_ = path;
    partial_ = path;
    partial_ += ".part";
    rate_ = sampleRate;
    dataBytes_ = 0;
    failed_ = false;
    file_ = std::fopen(partial_.c_str(), "wb");
    if (file_ == nullptr)
        return {"'" + path.string() + "': cannot create: " + std::strerror(errno)};
    const auto header = Header(rate_, 0);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) {
        Discard();
        return {"'" + path.string() + "': write error"};
    }
    return {};
}

bool WavFile::Append(std::span<const std::int16_t> samples) {
    if (file_ == nullptr || failed_) return false;
    if (dataBytes_ + samples.size() * 2 > kMostDataBytes) {
        failed_ = true;
        failure_ = "too long for a WAV file";
        return false;
    }
    for (const std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(u),
                                       static_cast<std::uint8_t>(u >> 8)};
        if (std::fwrite(bytes, 1, 2, file_) != 2) {
            failed_ = true;
            failure_ = "write error";
            return false;
        }
    }
    dataBytes_ += samples.size() * 2;
    return true;
}

FileResult WavFile::Finish() {
    const std::string name = "'" + target_.string() + "'";
    if (file_ == nullptr) return {name + ": not open"};
    if (failed_) {
        Discard();
        return {name + ": " + failure_};
    }
    const auto header = Header(rate_, static_cast<std::uint32_t>(dataBytes_));
    bool ok = std::fseek(file_, 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), file_) == header.size() &&
              std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    std::error_code ec;
    if (ok) std::filesystem::rename(partial_, target_, ec);
    if (!ok || ec) {
        std::filesystem::remove(partial_, ec);
        return {name + ": write error"};
    }
    return {};
}

void WavFile::Discard() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
    std::error_code ec;
    std::filesystem::remove(partial_, ec);
}

} // namespace velmar::cli
