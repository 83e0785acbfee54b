#pragma once

// platform/ffmpeg (velmar_platform_ffmpeg): AVI capture through FFmpeg's libavformat.

#include "core/util/StagedFile.h"
#include "platform/AviWriter.h"

struct AVFormatContext;
struct AVIOContext;
struct AVStream;
struct AVPacket;

namespace velmar {

// AVI files through libavformat: one raw-video stream (BI_RGB, 24 bits, bottom-up), so
// ordinary players show the frames right side up without any codec. The muxer writes through
// a StagedFile, so the capture takes its name only once complete and every failure (a full
// disk included) is reported.
class FfmpegAviWriter final : public AviWriter {
  public:
    FfmpegAviWriter() = default;
    // Tests hand in a write call that fails like a full disk.
    explicit FfmpegAviWriter(StagedFile::WriteFunction write) : file_(write) {}
    ~FfmpegAviWriter() override;
    FfmpegAviWriter(const FfmpegAviWriter&) = delete;
    FfmpegAviWriter& operator=(const FfmpegAviWriter&) = delete;

    std::string Open(const std::filesystem::path& path, int width, int height,
                     int framesPerSecond) override;
    bool WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) override;
    // Finish, then Commit.
    Result Close() override;
    bool IsOpen() const override { return context_ != nullptr || file_.IsOpen(); }

    // Completes the file on disk without putting it in place yet, so that a run can finish
    // all of its outputs before it commits any. After a failure nothing stays open.
    Result Finish();
    // Puts a finished file in place.
    Result Commit();
    // Throws the capture away; the target stays as it was.
    void Abort();
    // Why the last Open, frame or Close failed.
    const std::string& LastError() const { return lastError_; }

  private:
    static int WritePacket(void* self, std::uint8_t* data, int size);
    static std::int64_t SeekPacket(void* self, std::int64_t offset, int whence);
    void Release();
    Result Failure(const std::string& reason);

    StagedFile file_;
    AVFormatContext* context_ = nullptr;
    AVIOContext* io_ = nullptr;
    AVStream* stream_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::size_t frameBytes_ = 0;
    std::int64_t framesWritten_ = 0;
    bool finished_ = false;
    std::string lastError_;
};

} // namespace velmar
