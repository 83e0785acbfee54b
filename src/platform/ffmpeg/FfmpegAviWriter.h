#pragma once

// platform/ffmpeg (velmar_platform_ffmpeg): AVI capture through FFmpeg's libavformat.

#include "platform/AviWriter.h"

struct AVFormatContext;
struct AVStream;
struct AVPacket;

namespace velmar {

// AVI files through libavformat: one raw-video stream (BI_RGB, 24 bits, bottom-up), so
// ordinary players show the frames right side up without any codec.
class FfmpegAviWriter final : public AviWriter {
  public:
    FfmpegAviWriter() = default;
    ~FfmpegAviWriter() override;
    FfmpegAviWriter(const FfmpegAviWriter&) = delete;
    FfmpegAviWriter& operator=(const FfmpegAviWriter&) = delete;

    std::string Open(const std::filesystem::path& path, int width, int height,
                     int framesPerSecond) override;
    bool WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) override;
    void Close() override;
    bool IsOpen() const override { return context_ != nullptr; }

  private:
    void Release();

    std::filesystem::path target_, partial_;
    AVFormatContext* context_ = nullptr;
    AVStream* stream_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::size_t frameBytes_ = 0;
    std::int64_t framesWritten_ = 0;
    bool headerWritten_ = false;
};

} // namespace velmar
