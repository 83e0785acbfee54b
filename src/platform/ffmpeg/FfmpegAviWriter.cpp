#include "platform/ffmpeg/FfmpegAviWriter.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cstdio>
#include <cstring>

namespace velmar {

namespace {
constexpr int kIoBufferBytes = 1 << 16;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}
} // namespace

FfmpegAviWriter::~FfmpegAviWriter() {
    (void)Close(); // a capture still running is finished as if stopped
}

int FfmpegAviWriter::WritePacket(void* self, std::uint8_t* data, int size) {
    auto* writer = static_cast<FfmpegAviWriter*>(self);
    if (size < 0 || !writer->file_.Write({data, static_cast<std::size_t>(size)}))
        return AVERROR(EIO);
    return size;
}

std::int64_t FfmpegAviWriter::SeekPacket(void* self, std::int64_t offset, int whence) {
    auto* writer = static_cast<FfmpegAviWriter*>(self);
    if ((whence & AVSEEK_SIZE) != 0) return writer->file_.Size();
    const std::int64_t at = writer->file_.Seek(offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(EIO) : at;
}

// The file's own failure says more (it carries the system's reason) than the muxer's.
Result FfmpegAviWriter::Failure(const std::string& reason) {
    lastError_ =
        !file_.Status() ? file_.Status().error : "'" + file_.Target().string() + "': " + reason;
    Abort();
    return {lastError_};
}

std::string FfmpegAviWriter::Open(const std::filesystem::path& path, int width, int height,
                                  int framesPerSecond) {
    Abort();
    lastError_.clear();
    if (width <= 0 || height <= 0 || framesPerSecond <= 0)
        return lastError_ = "bad video size or rate";
    if (Result opened = file_.Open(path); !opened) return lastError_ = opened.error;

    int rc = avformat_alloc_output_context2(&context_, nullptr, "avi", nullptr);
    if (rc < 0 || context_ == nullptr) {
        context_ = nullptr;
        return Failure("cannot create AVI context: " + AvError(rc)).error;
    }
    stream_ = avformat_new_stream(context_, nullptr);
    packet_ = av_packet_alloc();
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer != nullptr)
        io_ =
            avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &WritePacket, &SeekPacket);
    if (io_ == nullptr) av_free(buffer);
    if (stream_ == nullptr || packet_ == nullptr || io_ == nullptr)
        return Failure("out of memory").error;
    // The file is finished with its index and sizes filled in.
    io_->seekable = AVIO_SEEKABLE_NORMAL;
    context_->pb = io_;
    context_->flags |= AVFMT_FLAG_CUSTOM_IO;

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

    rc = avformat_write_header(context_, nullptr);
    if (rc >= 0) avio_flush(io_);
    if (rc < 0 || io_->error < 0 || !file_.Status())
        return Failure("cannot write the header: " + AvError(rc < 0 ? rc : io_->error)).error;
    framesWritten_ = 0;
    finished_ = false;
    return {};
}

bool FfmpegAviWriter::WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) {
    if (context_ == nullptr || !lastError_.empty()) return false;
    // Refused frames leave the file as it was.
    if (bytes != frameBytes_) return false;
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
    const int rc = av_write_frame(context_, packet_);
    av_packet_unref(packet_);
    if (rc < 0 || !file_.Status()) {
        // Kept open so that Close reports the reason and cleans up.
        lastError_ = !file_.Status() ? file_.Status().error
                                     : "'" + file_.Target().string() +
                                           "': cannot write a frame: " + AvError(rc);
        return false;
    }
    ++framesWritten_;
    return true;
}

Result FfmpegAviWriter::Finish() {
    if (finished_) return {};
    if (context_ == nullptr) return {};
    if (!lastError_.empty()) {
        const std::string reason = lastError_;
        Abort();
        lastError_ = reason;
        return {reason};
    }
    const int rc = av_write_trailer(context_);
    avio_flush(io_);
    if (rc < 0 || io_->error < 0 || !file_.Status())
        return Failure("cannot finish the file: " + AvError(rc < 0 ? rc : io_->error));
    Release();
    if (Result synced = file_.Finish(); !synced) return Failure(synced.error);
    finished_ = true;
    return {};
}

Result FfmpegAviWriter::Commit() {
    if (!finished_) return {};
    finished_ = false;
    Result committed = file_.Commit();
    if (!committed) lastError_ = committed.error;
    return committed;
}

Result FfmpegAviWriter::Close() {
    if (Result finished = Finish(); !finished) return finished;
    return Commit();
}

void FfmpegAviWriter::Abort() {
    Release();
    file_.Abort();
    finished_ = false;
}

void FfmpegAviWriter::Release() {
    if (context_ != nullptr) avformat_free_context(context_); // the I/O context is ours
    context_ = nullptr;
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    stream_ = nullptr;
    av_packet_free(&packet_);
    frameBytes_ = 0;
}

} // namespace velmar
