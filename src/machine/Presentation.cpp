#include "machine/Presenter.h"

#include <algorithm>

#include <cstring>
#include <string>

namespace velmar {

using namespace machine;

namespace {
bool Pressed(const InputState& state, std::size_t flag) {
    return flag < kInputStateFlags && state.test(flag);
}

template <class PressFn, class ReleaseFn>
void SetPad(T_INTERCONNECT_CORE& bus, bool pressed, PressFn press, ReleaseFn release) {
    if (pressed)
        (bus.*press)();
    else
        (bus.*release)();
}
} // namespace

Presenter::Presenter(Console& console, const MachineServices& services)
    : console_(console), services_(services),
      clock_(services.Timer != nullptr ? services.Timer : &stillClock_) {
    SamplesPerFrame = static_cast<std::int32_t>(SampleRate / FramesPerSecond);
    WaveFormat.FormatTag = 1;
    WaveFormat.Channels = 1;
    WaveFormat.SamplesPerSec = SampleRate;
    WaveFormat.AvgBytesPerSec = SampleRate * 16 / 8;
    WaveFormat.BlockAlign = WaveFormat.Channels * 16 / 8;
    WaveFormat.BitsPerSample = 16;
    WaveFormat.ExtraSize = 0;
    StreamBytes = SamplesPerFrame * 2 * kStreamFrames;
    PerfFrequency = clock_->PerformanceFrequency();
}

// Creates the sound stream and sizes the display, once, before the first frame.
void Presenter::PrepareOutput() {
    if (outputPrepared_) return;
    outputPrepared_ = true;
    if (services_.Sound != nullptr)
        services_.Sound->Create(WaveFormat, static_cast<std::uint32_t>(StreamBytes));
    if (services_.Display != nullptr) services_.Display->Resize(kFrameWidth, kFrameHeight);
    PerfLast = 0;
    secondStart_ = 0;
}

// The frames-per-second count: after at least 1000 ms the frames of that window become Fps.
// The difference is taken as an unsigned 64-bit value, so after the timer wraps the test
// stays false until a fresh start is taken.
void Presenter::CountFrame() {
    const std::uint32_t now = clock_->Milliseconds();
    const std::uint64_t elapsed =
        static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(secondStart_);
    if (elapsed >= 1000 && elapsed <= 0xFFFFFFFFull) {
        Fps = static_cast<std::uint32_t>(FrameCount);
        FrameCount = 0;
        secondStart_ = clock_->Milliseconds();
    }
    ++FrameCount;
}

void Presenter::ResetStream() {
    if (services_.Sound != nullptr && outputPrepared_) {
        services_.Sound->Stop();
        services_.Sound->SetPlayPosition(0);
    }
    WriteCursor = 0;
    PlayCursor = 0;
}

void Presenter::StopStream() {
    if (services_.Sound != nullptr) services_.Sound->Stop();
}

// An argument above 31 leaves its entry as it was.
void Presenter::SetKeys(const std::array<std::uint32_t, kButtonCount>& keys) {
    for (std::size_t k = 0; k < kButtonCount; ++k)
        if (keys[k] <= kHighestButtonKey)
            ButtonTable[k] = static_cast<std::uint8_t>(keys[k] + kInputButton1);
}

std::vector<std::uint8_t> Presenter::SnapshotBmp() {
    console_.Vdp.RenderFrame(FrameDib.Pixels.data(), 24, FrameBitmap::kPitch, 1);
    FrameDib.MirrorVertically();
    return FrameDib.BmpBytes();
}

// Presents one finished frame: input, sound, picture, read-outs, flip, pacing.
void Presenter::PresentFrame() {
    PollInput();
    StreamSound();
    DrawPicture();
    DrawReadouts();
    if (services_.Display != nullptr) services_.Display->Flip();
    Pace();
}

void Presenter::PollInput() {
    using B = T_INTERCONNECT_CORE;
    InputState in1{};
    InputState in2{};
    if (services_.Input1 != nullptr) {
        services_.Input1->Update();
        in1 = services_.Input1->State();
    }
    if (services_.Input2 != nullptr) {
        services_.Input2->Update();
        in2 = services_.Input2->State();
    }
    SetPad(console_.Bus, Pressed(in1, kInputLeft), &B::Pad1LeftPress, &B::Pad1LeftRelease);
    SetPad(console_.Bus, Pressed(in1, kInputRight), &B::Pad1RightPress, &B::Pad1RightRelease);
    SetPad(console_.Bus, Pressed(in1, kInputUp), &B::Pad1UpPress, &B::Pad1UpRelease);
    SetPad(console_.Bus, Pressed(in1, kInputDown), &B::Pad1DownPress, &B::Pad1DownRelease);
    SetPad(console_.Bus, Pressed(in1, ButtonTable[0]), &B::Pad1Button1Press,
           &B::Pad1Button1Release);
    SetPad(console_.Bus, Pressed(in1, ButtonTable[1]), &B::Pad1Button2Press,
           &B::Pad1Button2Release);
    SetPad(console_.Bus, Pressed(in2, kInputLeft), &B::Pad2LeftPress, &B::Pad2LeftRelease);
    SetPad(console_.Bus, Pressed(in2, kInputRight), &B::Pad2RightPress, &B::Pad2RightRelease);
    SetPad(console_.Bus, Pressed(in2, kInputUp), &B::Pad2UpPress, &B::Pad2UpRelease);
    SetPad(console_.Bus, Pressed(in2, kInputDown), &B::Pad2DownPress, &B::Pad2DownRelease);
    SetPad(console_.Bus, Pressed(in2, ButtonTable[2]), &B::Pad2Button1Press,
           &B::Pad2Button1Release);
    SetPad(console_.Bus, Pressed(in2, ButtonTable[3]), &B::Pad2Button2Press,
           &B::Pad2Button2Release);
    // The pause button raises one NMI per press, as the key goes down; holding it does not
    // repeat.
    const bool pauseDown = Pressed(in1, ButtonTable[kButtonPause]);
    if (pauseDown && !pauseWasDown_) console_.Cpu.RaiseNmi();
    pauseWasDown_ = pauseDown;
    if (resetButtonRequested_.exchange(false)) console_.Bus.ResetButtonPress();
}

// Copies the frame's samples into the looping stream and keeps the player a safe distance
// behind: rewound when it comes too close, started once enough is buffered.
void Presenter::StreamSound() {
    StreamBuffer* sound = services_.Sound;
    if (sound == nullptr) return;
    const auto frameBytes = static_cast<std::uint32_t>(SamplesPerFrame) * 2;
    const std::span<std::uint8_t> region = sound->Lock(WriteCursor, frameBytes);
    const std::size_t copied = std::min<std::size_t>(region.size(), frameBytes);
    if (copied > 0) std::memcpy(region.data(), console_.SampleBuffer.data(), copied);
    sound->Unlock();

    const auto streamBytes = static_cast<std::uint32_t>(StreamBytes);
    WriteCursor += static_cast<std::uint32_t>(copied);
    if (WriteCursor >= streamBytes) WriteCursor = 0;
    PlayCursor = sound->GetPlayPosition();
    CursorDelta = PlayCursor < WriteCursor ? WriteCursor - PlayCursor
                                           : streamBytes - PlayCursor + WriteCursor;
    const auto underrunBytes = static_cast<std::uint32_t>(StreamBytes * 4 / 10);
    const auto startBytes = streamBytes - static_cast<std::uint32_t>(StreamBytes / 10);
    if (CursorDelta < underrunBytes) sound->SetPlayPosition(0);
    if (!sound->IsPlaying() && CursorDelta > startBytes) sound->Play();
}

void Presenter::DrawPicture() {
    DisplaySurface* display = services_.Display;
    if (display == nullptr) return;
    if (display->Height() != kFrameHeight || display->Width() != kFrameWidth)
        display->Resize(kFrameWidth, kFrameHeight);
    SurfaceLock lock;
    if (!display->Lock(lock)) return;
    console_.Vdp.RenderFrame(lock.Pixels, lock.BitsPerPixel, lock.Pitch, Hq2xOn, displayCache_);
    display->Unlock();
}

// The read-outs, each in a black box with a yellow title and white lines.
void Presenter::DrawReadouts() {
    TextCanvas* canvas = services_.Canvas;
    if (canvas == nullptr) return;
    const auto begin = [canvas](int left, int top, int right, int bottom, int titleLeft,
                                int titleTop, const char* title) {
        canvas->SetFont("Courier New", 6, true, kCanvasWhite);
        canvas->SetBrush(kCanvasBlack);
        canvas->SetPen(kCanvasWhite);
        canvas->Rectangle(left, top, right, bottom);
        canvas->SetFont("Courier New", 6, true, kCanvasYellow);
        canvas->TextOut(titleLeft, titleTop, title);
        canvas->SetFont("Courier New", 6, true, kCanvasWhite);
    };
    const auto line = [canvas](int top, const char* label, std::uint32_t value) {
        canvas->TextOut(13, top, std::string(label) + std::to_string(value));
    };

    if (AviDumping == 1) {
        begin(10, 330, 245, 370, 13, 335, "              SMS VIDEO AVI DUMP             ");
        canvas->TextOut(13, 345, "AVI FileName : " + AviShortName);
        line(355, "Frames Dumped: ", static_cast<std::uint32_t>(FramesDumped));
        canvas->Release();
    }
    if (PsgStatusOn == 1) {
        std::array<std::uint16_t, 8> status{};
        console_.Psg.GetStatus(status);
        begin(10, 37, 125, 145, 13, 40, "  PSG STATUS  - V.U. ");
        static constexpr const char* kLabels[8] = {
            "Atenua TONE1: ", "Freque TONE1: ", "Atenua TONE2: ", "Freque TONE2: ",
            "Atenua TONE3: ", "Freque TONE3: ", "Atenua NOISE: ", "Freque NOISE: "};
        for (int i = 0; i < 8; ++i) line(50 + 10 * i, kLabels[i], status[i]);
        line(130, "Delta EMU/EX: ", CursorDelta);
        canvas->SetBrush(kCanvasBlack);
        canvas->SetPen(kCanvasWhite);
        for (int box = 0; box < 4; ++box) canvas->Rectangle(105, 52 + 20 * box, 120, 68 + 20 * box);
        canvas->SetBrush(kCanvasGreen);
        for (int box = 0; box < 4; ++box)
            canvas->Rectangle(105, 52 + 20 * box + status[2 * box], 120, 68 + 20 * box);
        canvas->Release();
    }
    if (VdpStatusOn == 1) {
        std::array<std::uint8_t, 7> info{};
        console_.Vdp.GetStatusInfo(info);
        begin(10, 157, 105, 255, 13, 160, "    VDP STATUS   ");
        // GetStatusInfo order: R1 bit 1, R0 bit 4, R1 bit 5, R8, R9, R1 bit 6, R10.
        line(170, "Sprites 8x16: ", info[0]);
        line(180, "Line INT    : ", info[1]);
        line(190, "Frame INT   : ", info[2]);
        line(200, "INT Counter : ", info[6]);
        line(210, "Horiz Scroll: ", info[3]);
        line(220, "Verti Scroll: ", info[4]);
        line(230, "Video Active: ", info[5]);
        line(240, "Frames p/ Sc: ", Fps / (static_cast<std::uint32_t>(console_.Frameskip) + 1));
        canvas->Release();
    }
}

// Holds each frame until one frame period has passed since the previous release. A counter
// that goes backwards ends the wait at once; the first frame is not held.
void Presenter::Pace() {
    PerfNow = clock_->PerformanceCounter();
    if (PerfLast != 0 && FramesPerSecond != 0) {
        const std::int64_t target = PerfFrequency / FramesPerSecond;
        const std::int64_t twoMilliseconds = PerfFrequency * 2 / 1000;
        for (;;) {
            PerfNow = clock_->PerformanceCounter();
            const std::int64_t elapsed = PerfNow - PerfLast;
            const std::int64_t remaining = target - elapsed;
            if (PerfNow < PerfLast || elapsed >= target) break;
            if (twoMilliseconds < remaining) {
                clock_->Sleep(1);
            } else {
                for (int i = 0; i < 11; ++i) clock_->Sleep(0);
            }
        }
        // A wait that ends a little late keeps the cadence: the next period starts where this
        // one was due, so the frames average exactly the frame rate and the sound keeps pace.
        // After a real stall (a quarter period or more) the count starts afresh from now.
        const std::int64_t late = PerfNow - PerfLast - target;
        if (PerfNow >= PerfLast && late >= 0 && late < target / 4) {
            PerfLast += target;
            return;
        }
    }
    PerfLast = PerfNow;
}

} // namespace velmar
