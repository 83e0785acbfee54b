#include "machine/Presenter.h"

#include <utility>

namespace velmar {

using namespace machine;

namespace {
// Names longer than the read-out's room keep their first 5 characters and their tail.
std::string ShortenAviName(const std::string& name) {
    if (name.size() <= kAviShortNameLength) return name;
    const std::size_t tailStart = name.size() - 19;
    const std::size_t tailLength = name.size() - 18;
    return name.substr(0, 5) + " ... " + name.substr(tailStart, tailLength);
}
} // namespace

bool Presenter::StartAviDump(const std::filesystem::path& fileName, const std::string& shortName) {
    AviWriter* avi = services_.Avi;
    aviFailure_ = {};
    if (avi != nullptr) (void)avi->Close();
    const bool sound = AviWithSound == 1;
    const auto open = [&] {
        return sound ? avi->OpenWithSound(fileName, kFrameWidth, kFrameHeight,
                                          static_cast<int>(FramesPerSecond),
                                          static_cast<int>(SampleRate))
                     : avi->Open(fileName, kFrameWidth, kFrameHeight, kAviFramesPerSecond);
    };
    if (avi == nullptr || !open().empty()) {
        AviShortName.clear();
        AviDumping = 0;
        AviInterval = 0;
        FramesDumped = 0;
        return false;
    }
    AviShortName = ShortenAviName(shortName);
    AviDumping = 1;
    FramesDumped = 0;
    // With sound every frame is kept, its samples beside it; without, one in six (five on a
    // 50 Hz console) from where the countdown stands.
    AviInterval = sound ? 1 : static_cast<std::int32_t>(FramesPerSecond) / kAviFramesPerSecond;
    if (sound) AviCountdown = 0;
    aviSound_ = sound;
    return true;
}

// Reports why the file could not be completed, or why a capture that stopped by itself did.
FileResult Presenter::StopAviDump() {
    FileResult result = std::exchange(aviFailure_, {});
    AviDumping = 0;
    if (services_.Avi != nullptr)
        if (FileResult closed = services_.Avi->Close(); !closed && result) result = closed;
    return result;
}

// Runs on the presentation side before the frame is shown.
void Presenter::DumpAviFrame() {
    if (AviCountdown > 0) {
        --AviCountdown;
        return;
    }
    console_.Vdp.RenderFrame(FrameDib.Pixels.data(), 24, FrameBitmap::kPitch, 1);
    FrameDib.MirrorVertically();
    AviWriter* avi = services_.Avi;
    const auto samples = static_cast<std::size_t>(SamplesPerFrame);
    const std::int16_t* sound = SoundMuted ? aviSilence_.data() : console_.SampleBuffer.data();
    if (avi == nullptr || !avi->WriteFrame(FrameDib.Pixels.data(), FrameDib.Pixels.size()) ||
        (aviSound_ && !avi->WriteSamples(sound, samples))) {
        AviDumping = 0;
        aviFailure_ = services_.Avi != nullptr ? services_.Avi->Close() : FileResult{};
        if (aviFailure_) aviFailure_.error = "the video capture stopped: a frame was not written";
        return;
    }
    ++FramesDumped;
    AviCountdown = AviInterval - 1;
}

void Presenter::PresentHandedOverFrame() {
    if (AviDumping == 1) DumpAviFrame();
    PresentFrame();
}

} // namespace velmar
