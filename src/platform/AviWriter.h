#pragma once

#include "core/util/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace velmar {

// Writes a video file of uncompressed 24-bit frames, or, opened with sound, of losslessly
// compressed frames and a second stream of sound. Frames are handed over as a Windows
// bitmap holds them: rows bottom-up, pixels in blue, green, red order, no row padding
// beyond width x 3.
class AviWriter {
  public:
    virtual ~AviWriter() = default;

    // Creates the file with one video stream; returns an empty string or the reason it failed.
    // On failure nothing stays open.
    virtual std::string Open(const std::filesystem::path& path, int width, int height,
                             int framesPerSecond) = 0;
    // The same with a sound stream beside the picture: mono, signed 16 bits at sampleRate.
    // Writers that cannot say so.
    virtual std::string OpenWithSound(const std::filesystem::path& path, int width, int height,
                                      int framesPerSecond, int sampleRate) {
        (void)path, (void)width, (void)height, (void)framesPerSecond, (void)sampleRate;
        return "this writer takes no sound";
    }
    // Appends one frame of width x height x 3 bytes; false when the write failed.
    virtual bool WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) = 0;
    // Appends sound to a file opened with sound; false when the write failed.
    virtual bool WriteSamples(const std::int16_t* samples, std::size_t count) {
        (void)samples, (void)count;
        return false;
    }
    // Finishes the file, puts it in place and releases everything. Reports why the file could
    // not be completed (a failed frame write included); the target is then left as it was.
    // Harmless, and successful, when nothing is open.
    virtual Result Close() = 0;
    virtual bool IsOpen() const = 0;
};

} // namespace velmar
