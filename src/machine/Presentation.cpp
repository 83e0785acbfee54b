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
    StreamBytes = static_cast<std::int32_t>(kStreamBytes);
    LeadTarget = static_cast<std::uint32_t>(SamplesPerFrame) * 2 * kLeadFrames;
    PerfFrequency = clock_->PerformanceFrequency();
}

void Presenter::SetRegion(const RegionTiming& timing) {
    FramesPerSecond = timing.FramesPerSecond;
    SamplesPerFrame = static_cast<std::int32_t>(timing.SamplesPerFrame);
    LeadTarget = timing.SamplesPerFrame * 2 * kLeadFrames;
    quietFrames_ = 0;
    if (AviDumping == 1)
        AviInterval = static_cast<std::int32_t>(FramesPerSecond) / kAviFramesPerSecond;
    ResetStream();
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
    lastPlayCursor_ = 0;
    lastLead_ = 0;
    soundPaces_ = false;
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
}

void Presenter::PollInput() {
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
    // A light gun connects only its trigger (TL, the port's button 1): the rest of its pad's
    // lines stay released, and the trigger is the device's button 1 or the gun's own.
    const T_INTERCONNECT_CORE& bus = console_.Bus;
    const bool gunA = bus.GunPort == bus::kPortA, gunB = bus.GunPort == bus::kPortB;
    const bool trigger = gunTrigger_.load();
    FrameInput input;
    const auto key = [&input](std::uint32_t k, bool down) {
        if (down) input.Keys |= k;
    };
    const auto pad = [&](bool gun, const InputState& in, std::size_t flag) {
        return !gun && Pressed(in, flag);
    };
    key(kKeyP1Left, pad(gunA, in1, kInputLeft));
    key(kKeyP1Right, pad(gunA, in1, kInputRight));
    key(kKeyP1Up, pad(gunA, in1, kInputUp));
    key(kKeyP1Down, pad(gunA, in1, kInputDown));
    key(kKeyP1B1, Pressed(in1, ButtonTable[0]) || (gunA && trigger));
    key(kKeyP1B2, pad(gunA, in1, ButtonTable[1]));
    key(kKeyP2Left, pad(gunB, in2, kInputLeft));
    key(kKeyP2Right, pad(gunB, in2, kInputRight));
    key(kKeyP2Up, pad(gunB, in2, kInputUp));
    key(kKeyP2Down, pad(gunB, in2, kInputDown));
    key(kKeyP2B1, Pressed(in2, ButtonTable[2]) || (gunB && trigger));
    key(kKeyP2B2, pad(gunB, in2, ButtonTable[3]));
    key(kKeyPause, Pressed(in1, ButtonTable[kButtonPause]));
    key(kKeyReset, resetButtonRequested_.exchange(false));
    const std::uint32_t aim = gunAim_.load();
    input.AimX = static_cast<int>(aim & 0xFFFF) - 1;
    input.AimY = static_cast<int>(aim >> 16) - 1;
    TakeInput(input);
    if (tap_ != nullptr) tap_->Polled(input);
}

// The input into the pad bits, the gun's aim, the pause interrupt and the reset button.
void Presenter::TakeInput(const FrameInput& input) {
    using B = T_INTERCONNECT_CORE;
    T_INTERCONNECT_CORE& bus = console_.Bus;
    const auto set = [&](std::uint32_t k, void (B::*press)(), void (B::*release)()) {
        SetPad(bus, (input.Keys & k) != 0, press, release);
    };
    set(kKeyP1Left, &B::Pad1LeftPress, &B::Pad1LeftRelease);
    set(kKeyP1Right, &B::Pad1RightPress, &B::Pad1RightRelease);
    set(kKeyP1Up, &B::Pad1UpPress, &B::Pad1UpRelease);
    set(kKeyP1Down, &B::Pad1DownPress, &B::Pad1DownRelease);
    set(kKeyP1B1, &B::Pad1Button1Press, &B::Pad1Button1Release);
    set(kKeyP1B2, &B::Pad1Button2Press, &B::Pad1Button2Release);
    set(kKeyP2Left, &B::Pad2LeftPress, &B::Pad2LeftRelease);
    set(kKeyP2Right, &B::Pad2RightPress, &B::Pad2RightRelease);
    set(kKeyP2Up, &B::Pad2UpPress, &B::Pad2UpRelease);
    set(kKeyP2Down, &B::Pad2DownPress, &B::Pad2DownRelease);
    set(kKeyP2B1, &B::Pad2Button1Press, &B::Pad2Button1Release);
    set(kKeyP2B2, &B::Pad2Button2Press, &B::Pad2Button2Release);
    bus.GunX = input.AimX;
    bus.GunY = input.AimY;
    // The pause button raises one NMI per press, as the key goes down; holding it does not
    // repeat.
    const bool pauseDown = (input.Keys & kKeyPause) != 0;
    if (pauseDown && !pauseWasDown_) console_.Cpu.RaiseNmi();
    pauseWasDown_ = pauseDown;
    if ((input.Keys & kKeyReset) != 0) bus.ResetButtonPress();
    lastInput_ = input;
}

void Presenter::PressResetButtonNow() {
    console_.Bus.ResetButtonPress();
    AddToLastInput(kKeyReset);
}

void Presenter::AddToLastInput(std::uint32_t keys) {
    lastInput_.Keys |= keys;
    if (tap_ != nullptr) tap_->Changed(lastInput_);
}

void Presenter::AimGun(int x, int y) {
    const bool onPicture = x >= 0 && x < vdp::kScreenWidth && y >= 0 && y < vdp::kScreenHeight;
    gunAim_.store(onPicture ? static_cast<std::uint32_t>(x + 1) |
                                  (static_cast<std::uint32_t>(y + 1) << 16)
                            : 0);
}

// Copies the frame's samples into the looping stream and keeps the player LeadTarget
// behind the writer: playback starts once that much is written, and a player that has
// passed the writer (or that the writer is about to lap) is put back that far behind.
void Presenter::StreamSound() {
    StreamBuffer* sound = services_.Sound;
    soundPaces_ = false;
    if (sound == nullptr) return;
    const auto frameBytes = static_cast<std::uint32_t>(SamplesPerFrame) * 2;
    if (SkipFastSound(*sound)) return;
    const std::span<std::uint8_t> region = sound->Lock(WriteCursor, frameBytes);
    const std::size_t copied = std::min<std::size_t>(region.size(), frameBytes);
    if (copied > 0) CopySamples(region.data(), copied);
    sound->Unlock();

    const auto streamBytes = static_cast<std::uint32_t>(StreamBytes);
    WriteCursor += static_cast<std::uint32_t>(copied);
    if (WriteCursor >= streamBytes) WriteCursor = 0;
    PlayCursor = sound->GetPlayPosition();
    CursorDelta = PlayCursor < WriteCursor ? WriteCursor - PlayCursor
                                           : streamBytes - PlayCursor + WriteCursor;
    const auto keepLead = [&] {
        PlayCursor = (WriteCursor + streamBytes - LeadTarget) % streamBytes;
        sound->SetPlayPosition(PlayCursor);
        CursorDelta = LeadTarget;
        LeadAverage = LeadTarget;
    };
    if (!sound->IsPlaying()) {
        if (CursorDelta >= LeadTarget) {
            sound->Play();
            LeadAverage = CursorDelta;
            playerMoved_ = false;
        }
    } else {
        // The lead follows from the last one, what was written and how far the player moved,
        // so a player that has passed the writer shows as a lead under zero, however far.
        const std::uint32_t moved = (PlayCursor + streamBytes - lastPlayCursor_) % streamBytes;
        const std::int64_t lead = std::int64_t{lastLead_} + std::int64_t(copied) - moved;
        if (!playerMoved_ && moved == 0) {
            keepLead(); // the device has not begun to play: the player waits at the distance
        } else if (lead < std::int64_t{frameBytes} * kLeastLeadFrames) {
            if (LeadTarget < frameBytes * kMostLeadFrames) LeadTarget += frameBytes;
            quietFrames_ = 0;
            keepLead();
        } else if (lead + frameBytes > streamBytes) {
            keepLead();
        } else if (++quietFrames_ >= kQuietFrames && LeadTarget > frameBytes * kLeadFrames) {
            LeadTarget -= frameBytes;
            quietFrames_ = 0;
        }
        if (moved != 0) playerMoved_ = true;
    }
    lastPlayCursor_ = PlayCursor;
    lastLead_ = CursorDelta;
    if (!sound->IsPlaying()) return;
    soundPaces_ = sound->IsClocked();
    if (soundPaces_) LeadAverage += (CursorDelta - LeadAverage) / kLeadAverageFrames;
}

// While frames run unpaced, a frame's sound is left out while the player still has at least
// the lead to play: the stream keeps its pace and plays pieces of the game's sound.
bool Presenter::SkipFastSound(StreamBuffer& sound) {
    if (!Unpaced.load(std::memory_order_relaxed) || !sound.IsPlaying()) return false;
    const auto streamBytes = static_cast<std::uint32_t>(StreamBytes);
    const std::uint32_t play = sound.GetPlayPosition();
    const std::uint32_t moved = (play + streamBytes - lastPlayCursor_) % streamBytes;
    const std::int64_t lead = std::int64_t{lastLead_} - moved;
    if (lead < std::int64_t{LeadTarget}) return false;
    PlayCursor = play;
    CursorDelta = static_cast<std::uint32_t>(lead);
    lastPlayCursor_ = play;
    lastLead_ = CursorDelta;
    if (moved != 0) playerMoved_ = true;
    return true;
}

// The frame's samples into the stream at the volume chosen (silence when muted).
void Presenter::CopySamples(std::uint8_t* to, std::size_t bytes) const {
    const std::uint32_t volume = SoundMuted ? 0 : Volume.load(std::memory_order_relaxed);
    if (volume >= 100) {
        std::memcpy(to, console_.SampleBuffer.data(), bytes);
        return;
    }
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const auto scaled =
            static_cast<std::int16_t>(static_cast<std::int32_t>(console_.SampleBuffer[i / 2]) *
                                      static_cast<std::int32_t>(volume) / 100);
        std::memcpy(to + i, &scaled, 2);
    }
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

// How much longer (positive) or shorter each frame period is, so that the writer's lead
// returns to its target: proportional to the lead's distance from it, at most kMaxRateSkew.
double Presenter::RateSkew() const {
    if (!soundPaces_ || SamplesPerFrame == 0) return 0;
    const double error = (LeadAverage - LeadTarget) / (SamplesPerFrame * 2.0);
    return kMaxRateSkew * std::clamp(error, -1.0, 1.0);
}

// Holds each frame until one frame period after the previous one was due: one wait to that
// moment, no spinning. The periods follow the sound device's clock while it plays (through
// the writer's lead), else the wall clock. A frame that comes late is released at once and
// the next is due a period after it was due, so short stalls are caught up; after a long
// one (or a counter that goes backwards, or the first frame) the count starts from now.
void Presenter::Pace() {
    PerfNow = clock_->PerformanceCounter();
    if (PerfLast == 0 || FramesPerSecond == 0 || Unpaced.load(std::memory_order_relaxed) ||
        PerfNow < PerfLast) {
        PerfLast = PerfNow;
        return;
    }
    const double nominal = static_cast<double>(PerfFrequency) / FramesPerSecond;
    const auto period = static_cast<std::int64_t>(nominal * (1.0 + RateSkew()));
    const std::int64_t due = PerfLast + period;
    if (PerfNow - due > kCatchUpPeriods * period) {
        PerfLast = PerfNow;
        return;
    }
    if (PerfNow < due) clock_->WaitUntil(due);
    PerfLast = due;
}

} // namespace velmar
