#include "platform/sdl/SdlStreamBuffer.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace velmar {

namespace {
// About 12 ms of sound per callback at 44100 Hz: the writer's lead over the player need
// only be a little more than that.
constexpr Uint16 kDeviceSamples = 512;
// What a PulseAudio server buffers for the stream, in milliseconds. SDL asks the server for
// as little as one callback's worth, which wakes the server every few milliseconds (about a
// tenth of a core) and leaves it no slack on a busy machine; this much keeps it nearly idle
// and never short, while callbacks stay small. The user's own setting wins.
constexpr const char* kPulseLatencyMs = "30";
} // namespace

SdlStreamBuffer::~SdlStreamBuffer() {
    Close();
}

bool SdlStreamBuffer::Open(const WaveFormatRecord& format) {
    if (device_ != 0) return true;
    if (!subsystemStarted_) {
        (void)setenv("PULSE_LATENCY_MSEC", kPulseLatencyMs, 0);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            error_ = SDL_GetError();
            return false;
        }
        subsystemStarted_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.SamplesPerSec);
    want.format = AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.Channels);
    want.samples = kDeviceSamples;
    want.callback = &SdlStreamBuffer::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        error_ = SDL_GetError();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0); // the callback plays silence until Play
    return true;
}

void SdlStreamBuffer::Close() {
    if (device_ != 0) {
        if (locked_) Unlock();
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (subsystemStarted_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemStarted_ = false;
    }
    playing_ = false;
}

bool SdlStreamBuffer::Lost() const {
    return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

bool SdlStreamBuffer::Create(const WaveFormatRecord& format, std::uint32_t bytes) {
    if (!Open(format)) return false;
    SDL_LockAudioDevice(device_);
    data_.assign(bytes, 0);
    position_ = 0;
    playing_ = false;
    SDL_UnlockAudioDevice(device_);
    return true;
}

std::span<std::uint8_t> SdlStreamBuffer::Lock(std::uint32_t offset, std::uint32_t bytes) {
    if (device_ == 0 || locked_) return {};
    SDL_LockAudioDevice(device_);
    locked_ = true;
    if (offset >= data_.size()) return {};
    const std::size_t available = data_.size() - offset;
    return {data_.data() + offset, bytes < available ? bytes : available};
}

void SdlStreamBuffer::Unlock() {
    if (device_ == 0 || !locked_) return;
    locked_ = false;
    SDL_UnlockAudioDevice(device_);
}

std::uint32_t SdlStreamBuffer::GetPlayPosition() {
    if (device_ == 0) return 0;
    SDL_LockAudioDevice(device_);
    const std::uint32_t position = position_;
    SDL_UnlockAudioDevice(device_);
    return position;
}

void SdlStreamBuffer::SetPlayPosition(std::uint32_t position) {
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    const std::uint32_t wanted =
        data_.empty() ? 0 : static_cast<std::uint32_t>(position % data_.size());
    if (playing_ && played_ && wanted != position_) rewinds_.fetch_add(1);
    position_ = wanted;
    played_ = false;
    SDL_UnlockAudioDevice(device_);
}

bool SdlStreamBuffer::IsPlaying() {
    if (device_ == 0) return false;
    SDL_LockAudioDevice(device_);
    const bool playing = playing_;
    SDL_UnlockAudioDevice(device_);
    return playing;
}

void SdlStreamBuffer::Play() {
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    playing_ = !data_.empty();
    played_ = false;
    SDL_UnlockAudioDevice(device_);
}

void SdlStreamBuffer::Stop() {
    if (device_ == 0) return;
    SDL_LockAudioDevice(device_);
    playing_ = false;
    SDL_UnlockAudioDevice(device_);
}

void SdlStreamBuffer::Callback(void* self, std::uint8_t* out, int length) {
    static_cast<SdlStreamBuffer*>(self)->Fill(out, static_cast<std::uint32_t>(length));
}

// Runs on SDL's audio thread with the device locked.
void SdlStreamBuffer::Fill(std::uint8_t* out, std::uint32_t length) {
    if (!playing_ || data_.empty()) {
        std::memset(out, 0, length);
        return;
    }
    const auto size = static_cast<std::uint32_t>(data_.size());
    played_ = true;
    while (length > 0) {
        const std::uint32_t chunk = std::min(length, size - position_);
        std::memcpy(out, data_.data() + position_, chunk);
        out += chunk;
        length -= chunk;
        position_ = (position_ + chunk) % size;
    }
}

} // namespace velmar
