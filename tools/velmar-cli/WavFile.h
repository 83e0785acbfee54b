#pragma once

#include "core/util/StagedFile.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace velmar::cli {

// A mono 16-bit PCM WAV file written as the run goes, through a StagedFile: it takes the
// target's name only at Commit, so a failed or interrupted run never leaves a truncated file
// under the real name.
class WavFile {
  public:
    // The 32-bit size fields of the format bound the data to this many bytes.
    static constexpr std::uint64_t kMostDataBytes = 0xFFFFFFFFull - 36;

    WavFile() = default;
    explicit WavFile(StagedFile::WriteFunction write) : file_(write) {}

    // expectedDataBytes goes into the first header, so that a run that completes needs no
    // second one.
    Result Open(const std::filesystem::path& path, std::uint32_t sampleRate,
                std::uint64_t expectedDataBytes);
    Result Append(std::span<const std::int16_t> samples);
    // Fills in the sizes and gets the file onto the disk; the target is not touched yet.
    Result Finish();
    Result Commit();
    void Abort() { file_.Abort(); }

  private:
    StagedFile file_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t rate_ = 0;
    std::uint64_t dataBytes_ = 0;
    std::uint64_t headerBytes_ = 0;
};

} // namespace velmar::cli
