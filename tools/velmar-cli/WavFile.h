#pragma once

#include "core/util/FileIo.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace velmar::cli {

// A mono 16-bit PCM WAV file written as the run goes. It grows under a ".part" name beside
// the target and takes the target's name only once finished, so a failed or interrupted run
// never leaves a truncated file under the real name.
class WavFile {
  public:
    // The 32-bit size fields of the format bound the data to this many bytes.
    static constexpr std::uint64_t kMostDataBytes = 0xFFFFFFFFull - 36;

    WavFile() = default;
    ~WavFile();
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    FileResult Open(const std::filesystem::path& path, std::uint32_t sampleRate);
    bool Append(std::span<const std::int16_t> samples);
    // Fills in the sizes, flushes and renames the file into place.
    FileResult Finish();

  private:
    void Discard();

    std::filesystem::path target_, partial_;
    std::FILE* file_ = nullptr;
    std::uint32_t rate_ = 0;
    std::uint64_t dataBytes_ = 0;
    bool failed_ = false;
    const char* failure_ = "";
};

} // namespace velmar::cli
