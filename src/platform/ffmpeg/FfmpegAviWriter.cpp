#include "platform/ffmpeg/FfmpegAviWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
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
    return OpenFile(path, width, height, framesPerSecond, 0);
}

std::string FfmpegAviWriter::OpenWithSound(const std::filesystem::path& path, int width, int height,
                                           int framesPerSecond, int sampleRate) {
    if (sampleRate <= 0) return lastError_ = "bad sample rate";
    return OpenFile(path, width, height, framesPerSecond, sampleRate);
}

std::string FfmpegAviWriter::OpenFile(const std::filesystem::path& path, int width, int height,
                                      int framesPerSecond, int sampleRate) {
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

    stream_->time_base = AVRational{1, framesPerSecond};
    stream_->avg_frame_rate = AVRational{framesPerSecond, 1};
    stream_->r_frame_rate = AVRational{framesPerSecond, 1};
    frameBytes_ = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    if (sampleRate > 0) {
        if (std::string failed = AddEncodedVideo(width, height, framesPerSecond); !failed.empty())
            return Failure(failed).error;
        AddSound(sampleRate);
        if (sound_ == nullptr) return Failure("out of memory").error;
    } else {
        AVCodecParameters* par = stream_->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_RAWVIDEO;
        par->codec_tag = 0; // BI_RGB: uncompressed, rows bottom-up
        par->format = AV_PIX_FMT_BGR24;
        par->width = width;
        par->height = height;
        par->bits_per_coded_sample = 24;
    }

    rc = avformat_write_header(context_, nullptr);
    if (rc >= 0) avio_flush(io_);
    if (rc < 0 || io_->error < 0 || !file_.Status())
        return Failure("cannot write the header: " + AvError(rc < 0 ? rc : io_->error)).error;
    framesWritten_ = 0;
    samplesWritten_ = 0;
    finished_ = false;
    return {};
}

// Ut Video on planar RGB: lossless, each frame on its own, and quick enough for every frame.
std::string FfmpegAviWriter::AddEncodedVideo(int width, int height, int framesPerSecond) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_UTVIDEO);
    if (codec == nullptr) return "this FFmpeg has no Ut Video encoder";
    encoder_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    if (encoder_ == nullptr || frame_ == nullptr) return "out of memory";
    encoder_->width = width;
    encoder_->height = height;
    encoder_->pix_fmt = AV_PIX_FMT_GBRP;
    encoder_->time_base = AVRational{1, framesPerSecond};
    encoder_->framerate = AVRational{framesPerSecond, 1};
    encoder_->thread_count = 1;
    (void)av_opt_set(encoder_->priv_data, "pred", "median", 0);
    if (int rc = avcodec_open2(encoder_, codec, nullptr); rc < 0)
        return "cannot start the video encoder: " + AvError(rc);
    if (int rc = avcodec_parameters_from_context(stream_->codecpar, encoder_); rc < 0)
        return "cannot describe the video stream: " + AvError(rc);
    frame_->format = AV_PIX_FMT_GBRP;
    frame_->width = width;
    frame_->height = height;
    if (int rc = av_frame_get_buffer(frame_, 0); rc < 0)
        return "cannot allocate a frame: " + AvError(rc);
    return {};
}

void FfmpegAviWriter::AddSound(int sampleRate) {
    sound_ = avformat_new_stream(context_, nullptr);
    if (sound_ == nullptr) return;
    AVCodecParameters* par = sound_->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_PCM_S16LE;
    par->sample_rate = sampleRate;
    av_channel_layout_default(&par->ch_layout, 1);
    par->bits_per_coded_sample = 16;
    par->block_align = 2;
    par->bit_rate = std::int64_t{sampleRate} * 16;
    sound_->time_base = AVRational{1, sampleRate};
}

bool FfmpegAviWriter::Failed(const std::string& what, int code) {
    // Kept open so that Close reports the reason and cleans up.
    lastError_ = !file_.Status()
                     ? file_.Status().error
                     : "'" + file_.Target().string() + "': " + what + ": " + AvError(code);
    return false;
}

bool FfmpegAviWriter::WriteFrame(const std::uint8_t* bottomUpBgr, std::size_t bytes) {
    if (context_ == nullptr || !lastError_.empty()) return false;
    // Refused frames leave the file as it was.
    if (bytes != frameBytes_) return false;
    if (encoder_ != nullptr) return EncodeFrame(bottomUpBgr);
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
    if (rc < 0 || !file_.Status()) return Failed("cannot write a frame", rc);
    ++framesWritten_;
    return true;
}

// The frame top-down into the encoder's planes (green, blue, red), then whatever packets it
// has ready into the file.
bool FfmpegAviWriter::EncodeFrame(const std::uint8_t* bottomUpBgr) {
    if (int rc = av_frame_make_writable(frame_); rc < 0) return Failed("cannot write a frame", rc);
    const int width = frame_->width;
    const int height = frame_->height;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bottomUpBgr + static_cast<std::size_t>(height - 1 - y) *
                                                   static_cast<std::size_t>(width) * 3;
        std::uint8_t* g = frame_->data[0] + static_cast<std::ptrdiff_t>(y) * frame_->linesize[0];
        std::uint8_t* b = frame_->data[1] + static_cast<std::ptrdiff_t>(y) * frame_->linesize[1];
        std::uint8_t* r = frame_->data[2] + static_cast<std::ptrdiff_t>(y) * frame_->linesize[2];
        for (int x = 0; x < width; ++x, in += 3) {
            b[x] = in[0];
            g[x] = in[1];
            r[x] = in[2];
        }
    }
    frame_->pts = framesWritten_;
    if (int rc = avcodec_send_frame(encoder_, frame_); rc < 0)
        return Failed("cannot encode a frame", rc);
    if (!DrainEncoder()) return false;
    ++framesWritten_;
    return true;
}

bool FfmpegAviWriter::DrainEncoder() {
    for (;;) {
        av_packet_unref(packet_);
        const int rc = avcodec_receive_packet(encoder_, packet_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
        if (rc < 0) return Failed("cannot encode a frame", rc);
        packet_->stream_index = stream_->index;
        av_packet_rescale_ts(packet_, encoder_->time_base, stream_->time_base);
        if (int written = av_interleaved_write_frame(context_, packet_);
            written < 0 || !file_.Status())
            return Failed("cannot write a frame", written);
    }
}

bool FfmpegAviWriter::WriteSamples(const std::int16_t* samples, std::size_t count) {
    if (context_ == nullptr || sound_ == nullptr || !lastError_.empty()) return false;
    if (count == 0) return true;
    av_packet_unref(packet_);
    if (av_new_packet(packet_, static_cast<int>(count * 2)) < 0) return false;
    for (std::size_t i = 0; i < count; ++i) { // little-endian whatever the machine
        const auto v = static_cast<std::uint16_t>(samples[i]);
        packet_->data[2 * i] = static_cast<std::uint8_t>(v);
        packet_->data[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    packet_->stream_index = sound_->index;
    packet_->pts = packet_->dts = samplesWritten_;
    packet_->duration = static_cast<std::int64_t>(count);
    packet_->flags |= AV_PKT_FLAG_KEY;
    const int rc = av_interleaved_write_frame(context_, packet_);
    if (rc < 0 || !file_.Status()) return Failed("cannot write the sound", rc);
    samplesWritten_ += static_cast<std::int64_t>(count);
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
    // The encoder's last packets, then the trailer.
    if (encoder_ != nullptr) {
        if (const int sent = avcodec_send_frame(encoder_, nullptr); sent < 0)
            return Failure("cannot finish the video: " + AvError(sent));
        if (!DrainEncoder()) {
            const std::string reason = lastError_;
            Abort();
            lastError_ = reason;
            return {reason};
        }
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
    sound_ = nullptr;
    av_packet_free(&packet_);
    avcodec_free_context(&encoder_);
    av_frame_free(&frame_);
    frameBytes_ = 0;
}

} // namespace velmar
