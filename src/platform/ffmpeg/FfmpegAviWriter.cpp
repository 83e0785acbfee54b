#include "platform/ffmpeg/FfmpegAviWriter.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace velmar {

namespace {
std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
} // namespace

FfmpegAviWriter::~FfmpegAviWriter() {
    Close();
}

std::string FfmpegAviWriter::Open(const std::filesystem::path& path, int width, int height,
                                  int framesPerSecond) {
    Close();
    if (width <= 0 || height <= 0 || framesPerSecond <= 0) return "bad video size or rate";
    // The capture grows in a ".part" file beside the target and takes its name only when it
    // is finished, so an interrupted capture never masquerades as a complete file.
    target_ = path;
    partial_ = path;
    partial_ += ".part";
    const std::string name = partial_.string();
    int rc = avformat_alloc_output_context2(&context_, nullptr, "avi", name.c_str());
    if (rc < 0 || context_ == nullptr) {
        context_ = nullptr;
        return "cannot create AVI context: " + AvError(rc);
    }
    stream_ = avformat_new_stream(context_, nullptr);
    packet_ = av_packet_alloc();
    if (stream_ == nullptr || packet_ == nullptr) {
        Release();
        return "out of memory";
    }
    AVCodecParameters* par = stream_->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0; // BI_RGB: uncompressed, rows bottom-up
    par->format = AV_PIX_FMT_BGR24;
    par->width = width;
    par->height = height;
    par->bits_per_coded_sample = 24;
    stream_->time_base = AVRational{1, framesPerSecond};
    stream_->avg_frame_rate = AVRational{framesPerSecond, 1};
    stream_->r_frame_rate = AVRational{framesPerSecond, 1};
    frameBytes_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;

    rc = avio_open(&context_->pb, name.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
        Release();
        return "'" + target_.string() + "': cannot create: " + AvError(rc);
    }
    rc = avformat_write_header(context_, nullptr);
    if (rc < 0) {
        Release();
        std::error_code ec;
        std::filesystem::remove(partial_, ec);
        return "'" + target_.string() + "': cannot write header: " + AvError(rc);
    }
    headerWritten_ = true;
    framesWritten_ = 0;
    return {};
}

bool FfmpegAviWriter::WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) {
    if (context_ == nullptr || bytes != frameBytes_) return false;
    av_packet_unref(packet_);
    if (av_new_packet(packet_, static_cast<int>(bytes)) < 0) return false;
    // libavformat describes raw BGR frames as top-down bitmaps (negative height), so the rows
    // go in reversed: every player then shows the picture right side up.
    const std::size_t rowBytes = static_cast<std::size_t>(stream_->codecpar->width) * 3;
    const std::size_t rows = bytes / rowBytes;
    for (std::size_t r = 0; r < rows; ++r)
        std::memcpy(packet_->data + r * rowBytes, bottomUpBgr + (rows - 1 - r) * rowBytes,
                    rowBytes);
    packet_->stream_index = stream_->index;
    packet_->pts = packet_->dts = framesWritten_;
    packet_->duration = 1;
    packet_->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(packet_, AVRational{1, stream_->avg_frame_rate.num}, stream_->time_base);
    int rc = av_write_frame(context_, packet_);
    av_packet_unref(packet_);
    if (rc < 0) return false;
    ++framesWritten_;
    return true;
}

void FfmpegAviWriter::Close() {
    if (context_ == nullptr) return;
    bool complete = headerWritten_ && av_write_trailer(context_) == 0;
    if (context_->pb != nullptr && avio_closep(&context_->pb) < 0) complete = false;
    Release();
    std::error_code ec;
    if (complete) std::filesystem::rename(partial_, target_, ec);
    if (!complete || ec) std::filesystem::remove(partial_, ec);
}

void FfmpegAviWriter::Release() {
    if (context_ != nullptr) {
        if (context_->pb != nullptr) avio_closep(&context_->pb);
        avformat_free_context(context_);
    }
    context_ = nullptr;
    stream_ = nullptr;
    av_packet_free(&packet_);
    frameBytes_ = 0;
    headerWritten_ = false;
}

} // namespace velmar
