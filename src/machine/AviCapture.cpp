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
    if (avi == nullptr ||
        !avi->Open(fileName, kFrameWidth, kFrameHeight, kAviFramesPerSecond).empty()) {
        AviShortName.clear();
        AviDumping = 0;
        AviInterval = 0;
        FramesDumped = 0;
        return false;
    }
    AviShortName = ShortenAviName(shortName);
    AviDumping = 1;
    AviInterval = static_cast<std::int32_t>(FramesPerSecond) / kAviFramesPerSecond; // 6 or 5
    FramesDumped = 0; // AviCountdown keeps its value
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
    if (services_.Avi == nullptr ||
        !services_.Avi->WriteFrame(FrameDib.Pixels.data(), FrameDib.Pixels.size())) {
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
