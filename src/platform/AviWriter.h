#pragma once

#include "core/util/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace velmar {

// Writes a video file of uncompressed 24-bit frames. Frames are handed over as a Windows
// bitmap holds them: rows bottom-up, pixels in blue, green, red order, no row padding
// beyond width x 3.
class AviWriter {
  public:
    virtual ~AviWriter() = default;

    // Creates the file with one video stream; returns an empty string or the reason it failed.
    // On failure nothing stays open.
    virtual std::string Open(const std::filesystem::path& path, int width, int height,
                             int framesPerSecond) = 0;
    // Appends one frame of width x height x 3 bytes; false when the write failed.
    virtual bool WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) = 0;
    // Finishes the file, puts it in place and releases everything. Reports why the file could
    // not be completed (a failed frame write included); the target is then left as it was.
    // Harmless, and successful, when nothing is open.
    virtual Result Close() = 0;
    virtual bool IsOpen() const = 0;
};

} // namespace velmar
