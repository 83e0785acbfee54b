#pragma once

// platform/ffmpeg (velmar_platform_ffmpeg): AVI capture through FFmpeg's libavformat.

#include "core/util/StagedFile.h"
#include "platform/AviWriter.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVStream;
struct AVPacket;

namespace velmar {

// AVI files through libavformat: one raw-video stream (BI_RGB, 24 bits, bottom-up), so
// ordinary players show the frames right side up without any codec. Opened with sound, the
// frames are compressed without loss (Ut Video, planar RGB with median prediction: a quarter
// to a half of the raw size, about 2 ms a frame) and a second stream carries the sound as
// 16-bit PCM, interleaved with the frames. The muxer writes through a StagedFile, so the
// capture takes its name only once complete and every failure (a full disk included) is
// reported.
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
    std::string OpenWithSound(const std::filesystem::path& path, int width, int height,
                              int framesPerSecond, int sampleRate) override;
    bool WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) override;
    bool WriteSamples(const std::int16_t* samples, std::size_t count) override;
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
    std::string OpenFile(const std::filesystem::path& path, int width, int height,
                         int framesPerSecond, int sampleRate);
    std::string AddEncodedVideo(int width, int height, int framesPerSecond);
    void AddSound(int sampleRate);
    bool EncodeFrame(const std::uint8_t* bottomUpBgr);
    // Hands the encoder's finished packets to the muxer (all of them when flushing).
    bool DrainEncoder();
    bool Failed(const std::string& what, int code);
    static int WritePacket(void* self, std::uint8_t* data, int size);
    static std::int64_t SeekPacket(void* self, std::int64_t offset, int whence);
    void Release();
    Result Failure(const std::string& reason);

    StagedFile file_;
    AVFormatContext* context_ = nullptr;
    AVIOContext* io_ = nullptr;
    AVStream* stream_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVCodecContext* encoder_ = nullptr; // with sound: the picture's encoder
    AVFrame* frame_ = nullptr;
    AVStream* sound_ = nullptr;
    std::size_t frameBytes_ = 0;
    std::int64_t framesWritten_ = 0;
    std::int64_t samplesWritten_ = 0;
    bool finished_ = false;
    std::string lastError_;
};

} // namespace velmar
