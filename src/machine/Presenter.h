#pragma once

#include "core/ConsoleConstants.h"
#include "core/util/FileIo.h"
#include "filters/Hq2x.h"
#include "machine/Console.h"
#include "machine/FrameBitmap.h"
#include "machine/FrameInput.h"
#include "machine/MachineServices.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmar {

namespace machine {
using namespace console;
inline constexpr int kAviFramesPerSecond = 10;
inline constexpr std::size_t kAviShortNameLength = 30;
inline constexpr std::size_t kButtonCount = 5;
// Pad-1 button 1, pad-1 button 2, pad-2 button 1, pad-2 button 2, pause.
inline constexpr std::size_t kButtonPause = 4;
inline constexpr std::uint32_t kHighestButtonKey = 31;
// The sound writer keeps this many frames (50 ms; 60 ms at 50 frames a second) ahead of the
// player.
inline constexpr std::uint32_t kLeadFrames = 3;
// A lead under one frame after a write means the player has passed the writer: it is put
// back behind by the lead aimed at, which grows by a frame at each such pass, up to
// kMostLeadFrames (a busy machine), and shrinks by one after kQuietFrames without one.
inline constexpr std::uint32_t kLeastLeadFrames = 1;
inline constexpr std::uint32_t kMostLeadFrames = 8;
inline constexpr std::uint32_t kQuietFrames = 1800;
// While the sound device paces, the frame period is stretched or shortened to hold the
// lead, in proportion to how far the lead is off, up to this fraction when it is a frame
// or more off (a sound card's clock is off by far less; the game's speed by as little).
inline constexpr double kMaxRateSkew = 0.01;
// The lead is followed as an average over about this many frames.
inline constexpr double kLeadAverageFrames = 32;
// A frame later than this many periods is not caught up: the pacing starts afresh.
inline constexpr std::int64_t kCatchUpPeriods = 4;
static_assert(kFrameWidth == FrameBitmap::kWidth && kFrameHeight == FrameBitmap::kHeight);
} // namespace machine

// The presentation side of each frame: the pads and the pause button from the input devices,
// the samples into the sound stream, the picture and the read-outs on the display, the AVI
// frame, and after it the frames-per-second count and the pacing. It holds the
// MachineServices and runs on whichever thread presents (the window thread through a
// hand-over, or the emulation thread), always while no frame is being emulated; the count
// and the pacing run on the thread that runs the frames, after the presentation.
//
// Fps, FramesDumped and AviDumping may be read from any thread; every other field only
// while the machine is parked.
class Presenter {
  public:
    Presenter(Console& console, const MachineServices& services);

    // Once, before the first frame: creates the sound stream and sizes the display.
    void PrepareOutput();
    // A finished frame: the capture frame while a capture runs, then input, sound, picture,
    // read-outs and flip.
    void PresentHandedOverFrame();
    // The input step: the devices into the pad bits and the pause interrupt; the tap (when
    // one is set) is told what the frame about to run takes.
    void PollInput();
    void SetInputTap(InputTap* tap) { tap_ = tap; }
    InputTap* Tap() const { return tap_; }
    // Between frames: the reset button pressed for the frame about to run, or anything else
    // that joins its input (kKeySilence).
    void PressResetButtonNow();
    void AddToLastInput(std::uint32_t keys);
    // After each frame: the frames completed in the last second become Fps.
    void CountFrame();
    // Holds the frame until its time has come (Pace below); runs after each presentation.
    void Pace();
    // The stream half of the hard reset: stopped, rewound, cursors at 0.
    void ResetStream();
    // The region's frame rate and samples a frame: the pacing, the stream's frames (the
    // stream keeps its length, a whole number of frames in either region) and the capture's
    // interval follow; the stream starts afresh.
    void SetRegion(const RegionTiming& timing);
    // Pausing stops the stream without touching the cursors.
    void StopStream();
    // The console's reset button, pressed at the next input step.
    void RequestResetButton() { resetButtonRequested_.store(true); }
    // The Light Phaser's aim (a point of the 256 x 192 picture; anywhere else it sees
    // nothing) and its trigger, from any thread: taken at the next input step, where the
    // trigger joins the gun port's button 1 from the input device.
    void AimGun(int x, int y);
    void PullGunTrigger(bool down) { gunTrigger_.store(down); }
    void SetKeys(const std::array<std::uint32_t, machine::kButtonCount>& keys);

    // Renders the filtered 512 x 384 picture into FrameDib and writes it as a BMP.
    // The Snapshot picture as the bytes of a BMP file.
    std::vector<std::uint8_t> SnapshotBmp();
    bool StartAviDump(const std::filesystem::path& fileName, const std::string& shortName);
    FileResult StopAviDump();

    std::int64_t PerfNow = 0;
    std::int64_t PerfFrequency = 0;
    std::int64_t PerfLast = 0;
    std::uint32_t FramesPerSecond = console::kDefaultFramesPerSecond;
    std::atomic<std::uint32_t> Fps{0};
    std::int32_t FrameCount = 0;
    std::array<std::uint8_t, machine::kButtonCount> ButtonTable{};
    std::int32_t SamplesPerFrame = 0;
    std::uint32_t SampleRate = console::kDefaultSampleRate;
    WaveFormatRecord WaveFormat{};
    std::uint32_t WriteCursor = 0;
    std::uint32_t PlayCursor = 0;
    std::uint32_t CursorDelta = 0;
    std::int32_t StreamBytes = 0;
    // The lead the writer aims to keep over the player (kLeadFrames, more after the player
    // passed the writer), and its running average while the sound device paces the frames.
    std::uint32_t LeadTarget = 0;
    double LeadAverage = 0;
    // Frames follow each other without waiting (fast-forward); read at each pacing step.
    // The stream then takes a frame's sound only when the player needs more, so it plays
    // on at its own speed with the frames between left out.
    std::atomic<bool> Unpaced{false};
    // The loudness of the stream in per cent (100: as the chips made it), from any thread.
    // Only the copy into the stream is scaled: the frame's samples, and captures with them,
    // keep what the chips made.
    std::atomic<std::uint8_t> Volume{100};
    // The frame's sound is not to be heard (it was played again while rewinding): the stream
    // and a capture with sound get silence. Set by the frame step before the hand-over.
    bool SoundMuted = false;
    // Captures take every frame and its sound (1) or one frame in six without sound.
    std::uint8_t AviWithSound = 0;
    std::uint8_t VdpStatusOn = 0;
    std::uint8_t PsgStatusOn = 0;
    std::uint8_t Hq2xOn = 1;
    std::atomic<std::uint8_t> AviDumping{0};
    std::int32_t AviCountdown = 0;
    std::int32_t AviInterval = 0;
    std::atomic<std::int32_t> FramesDumped{0};
    std::string AviShortName;
    // The snapshot and capture picture.
    FrameBitmap FrameDib;

  private:
    // Without a clock service time stands still: pacing never waits.
    class StillClock final : public Clock {
      public:
        std::uint32_t Milliseconds() override { return 0; }
        std::int64_t PerformanceCounter() override { return 0; }
        std::int64_t PerformanceFrequency() override { return 1000000; }
        void WaitUntil(std::int64_t) override {}
    };

    void DumpAviFrame();
    void PresentFrame();
    void TakeInput(const FrameInput& input);
    void StreamSound();
    // True when the stream need not take this frame's sound (fast-forward with enough
    // queued); the lead is followed all the same.
    bool SkipFastSound(StreamBuffer& sound);
    void CopySamples(std::uint8_t* to, std::size_t bytes) const;
    void DrawPicture();
    void DrawReadouts();
    double RateSkew() const;

    Console& console_;
    MachineServices services_;
    StillClock stillClock_;
    Clock* clock_;
    std::uint32_t secondStart_ = 0;
    bool outputPrepared_ = false;
    bool soundPaces_ = false;          // the last frame's stream was played by a clocked device
    std::uint32_t lastPlayCursor_ = 0; // the player and the lead after the last frame
    std::uint32_t lastLead_ = 0;
    bool playerMoved_ = false;      // the player has moved since playback started
    std::uint32_t quietFrames_ = 0; // frames played since the player last passed the writer
    std::atomic<bool> resetButtonRequested_{false};
    std::atomic<std::uint32_t> gunAim_{0}; // x + 1 in the low half, y + 1 in the high; 0: off
    std::atomic<bool> gunTrigger_{false};
    FileResult aviFailure_; // why a capture stopped by itself
    bool aviSound_ = false; // the capture running takes every frame and its sound
    std::array<std::int16_t, console::kSampleBufferSize> aviSilence_{}; // a muted frame's sound
    bool pauseWasDown_ = false; // the pause key as the last input poll saw it
    FrameInput lastInput_;      // what the last input poll gave
    InputTap* tap_ = nullptr;
    // The displayed picture's last frame: its unchanged blocks are copied, not scaled again.
    // Snapshots and capture frames are scaled whole.
    Hq2xCache displayCache_;
};

} // namespace velmar
