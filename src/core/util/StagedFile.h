#pragma once

#include "core/util/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include <sys/types.h>

namespace velmar {

// The file a path names once its links are followed (it need not exist yet); the path itself
// when a link cannot be read.
std::filesystem::path FollowLinks(const std::filesystem::path& path);

// Whether a StagedFile can put a file at target, checked without creating anything: the name
// is within the system's limits, its folder exists and may be written, and the target (its
// links followed) is absent or a regular file. A folder, device, pipe or socket is refused
// and never opened, so a pipe without a reader cannot hold the caller up.
Result CheckTarget(const std::filesystem::path& target);

// One file being written. The bytes go to a temporary created exclusively (never through a
// link, under an unpredictable name) in the target's folder, and take the target's place
// only at Commit: a failed or abandoned write leaves the target as it was and nothing
// behind. A new file gets the mode the umask allows; replacing a file keeps its mode; a
// target that is a link is followed and the file it names is replaced; a target that is not
// a regular file is refused (CheckTarget). Temporaries that a killed process left in the
// folder are removed once they are a minute old. Every failure names the target and gives
// the system's reason; the first one sticks, so a caller may check only at the end.
class StagedFile {
  public:
    // The call that hands bytes to the system; tests put a full disk in its place.
    using WriteFunction = ssize_t (*)(int fd, const void* data, std::size_t size);

    StagedFile() = default;
    explicit StagedFile(WriteFunction write) : write_(write) {}
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Starts a new file for target (abandoning any file still open).
    Result Open(const std::filesystem::path& target);
    // Writes at the current position.
    Result Write(std::span<const std::uint8_t> data);
    // Moves the position (SEEK_SET, SEEK_CUR or SEEK_END); the new position, or -1.
    std::int64_t Seek(std::int64_t offset, int whence);
    // The size written so far, or -1.
    std::int64_t Size();
    // Gets every byte onto the disk without touching the target yet.
    Result Finish();
    // Finishes, then puts the file in the target's place. Closes the file either way.
    Result Commit();
    // Throws the file away; the target stays as it was. Harmless when nothing is open.
    void Abort();

    bool IsOpen() const { return fd_ >= 0; }
    const std::filesystem::path& Target() const { return target_; }
    // The first failure since Open, if any.
    const Result& Status() const { return status_; }

  private:
    const Result& Fail(const std::string& what, int error);

    WriteFunction write_ = nullptr; // the system's write
    std::filesystem::path target_;  // as named, for messages
    std::filesystem::path real_;    // after following links
    std::filesystem::path temp_;    // the file being written, beside the target
    int fd_ = -1;
    bool finished_ = false;
    Result status_;
};

} // namespace velmar
