#pragma once

#include "core/bus/Interconnect.h"
#include "core/sound/psg/SN76489_EMU.h"
#include "core/sound/ym2413/YM2413_EMU.h"
#include "core/util/FileIo.h"
#include "core/vdp/Vdp.h"
#include "machine/FrameBitmap.h"
#include "platform/AviWriter.h"
#include "platform/Clock.h"
#include "platform/DisplaySurface.h"
#include "platform/FrameHandOver.h"
#include "platform/InputDevice.h"
#include "platform/StreamBuffer.h"
#include "platform/TextCanvas.h"
#include "platform/null/NullClock.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace velmar {

namespace machine {
inline constexpr int kLinesPerFrame = 262;
inline constexpr std::uint32_t kCyclesPerLine = 228;
inline constexpr std::uint32_t kSlicesPerLine = 3;
inline constexpr std::uint32_t kCyclesPerSlice = kCyclesPerLine / kSlicesPerLine; // 76
inline constexpr std::uint32_t kCyclesPerFrame = kCyclesPerLine * kLinesPerFrame; // 59736
inline constexpr std::size_t kSampleBufferSize = 16384;
// Entries zeroed when sound generation is off.
inline constexpr std::size_t kSilencedSamples = 8192;
inline constexpr std::uint32_t kDefaultClockHz = 3546893;
inline constexpr std::uint32_t kDefaultFramesPerSecond = 60;
inline constexpr std::uint32_t kDefaultSampleRate = 44100;
inline constexpr std::int32_t kStreamFrames = 12;
inline constexpr int kFrameWidth = FrameBitmap::kWidth;
inline constexpr int kFrameHeight = FrameBitmap::kHeight;
inline constexpr int kAviFramesPerSecond = 10;
inline constexpr std::int32_t kAviInterval = 6;
inline constexpr std::size_t kAviShortNameLength = 30;
inline constexpr std::size_t kStateFileSize = 57444;
inline constexpr std::size_t kButtonCount = 5;
// Pad-1 button 1, pad-1 button 2, pad-2 button 1, pad-2 button 2, pause.
inline constexpr std::size_t kButtonPause = 4;
inline constexpr std::uint32_t kHighestButtonKey = 31;
// Name given to a firmware run without a game.
inline constexpr const char* kBiosRamFileName = "BIOS.SMS";
} // namespace machine

// The services a machine is handed. Every pointer may be null: that service is then absent
// (no picture, no sound, released pads, a clock that stands still, presentation on the
// emulation thread). The machine never owns them; they must outlive it.
struct MachineServices {
    DisplaySurface* Display = nullptr;
    TextCanvas* Canvas = nullptr;
    StreamBuffer* Sound = nullptr;
    InputDevice* Input1 = nullptr;
    InputDevice* Input2 = nullptr;
    Clock* Timer = nullptr;
    FrameHandOver* HandOver = nullptr;
    AviWriter* Avi = nullptr;
};

// The emulated console: owns the five chip cores, holds the run-time options, runs frames
// and presents them.
//
// Frames are run either by the machine's own emulation thread (ResumeEmulation starts it,
// PauseEmulation parks it at the next frame boundary) or by a driver calling RunFrame()
// while the thread is not running. After each frame the thread hands over to the
// presentation side: through MachineServices::HandOver when one is given (the receiver
// calls ServiceHandOver on its own thread), inline otherwise. Commands that touch the cores
// park a running thread for their duration; the per-line path takes no lock.
//
// The object is large (the CPU holds a 1 MB ROM image): create it on the heap.
class TSMS {
  public:
    explicit TSMS(const MachineServices& services);
    ~TSMS();
    TSMS(const TSMS&) = delete;
    TSMS& operator=(const TSMS&) = delete;

    // Lifecycle and commands.
    FileResult LoadCartridge(const std::filesystem::path& fileName);
    void Reset();
    void ConsoleReset() { Reset(); }
    void GameReset();
    void RunBios();
    void SetBiosType(std::uint8_t value);
    void PauseEmulation();
    void ResumeEmulation();
    void SetRamFileName(const std::string& fileName);
    std::string GetRamFileName() const;
    // Where the per-game folders live (RAM, VLR, BMP, AVI). A firmware run keeps its
    // cartridge RAM in RAM/BIOS.RAM there; with no data folder it is not written.
    void SetDataFolder(const std::filesystem::path& folder);
    // A state file holds the CPU block then the VDP block; loading refuses any file that is
    // not exactly kStateFileSize bytes and then changes nothing.
    FileResult SaveStateToFile(const std::filesystem::path& fileName);
    FileResult LoadStateFromFile(const std::filesystem::path& fileName);
    // Writes the current picture (filtered, 512 x 384, 24 bits) as a BMP; only when Ready.
    bool SaveSnapshot(const std::filesystem::path& fileName);
    // Video capture: one emulated frame in six, from the next frame on (AviCapture.cpp).
    bool StartAviDump(const std::filesystem::path& fileName, const std::string& shortName);
    void StopAviDump();

    // Options.
    void SetKeys(std::uint32_t pad1Button1, std::uint32_t pad1Button2, std::uint32_t pad2Button1,
                 std::uint32_t pad2Button2, std::uint32_t pause);
    void SetFrameskip(std::uint8_t value);
    void SetBackground(std::uint8_t value);
    void SetSprites(std::uint8_t value);
    void SetHq2x(std::uint8_t value);
    void SetVdpStatus(std::uint8_t value);
    void SetPsgStatus(std::uint8_t value);
    void SetMixer(std::uint8_t value);
    void SetPsgOutput(std::uint8_t value);
    void SetPsgChannel(std::uint32_t channel, std::uint8_t value);
    void SetPsgWaveShape(std::uint8_t value);
    void SetFmOutput(std::uint8_t value);
    void SetFmChannel(std::uint32_t channel, std::uint8_t value);

    // Driving. RunFrame runs one frame and presents it; it does nothing while the emulation
    // thread is running. ServiceHandOver presents a frame that the emulation thread has
    // handed over (does nothing when none waits). PollInput is the input step of the
    // presentation: the devices into the pad bits and the pause interrupt.
    void RunFrame();
    void ServiceHandOver();
    void PollInput();
    // True while the emulation thread is asked to run frames.
    bool IsRunning() const;

    // Read-outs for the window, read between frames or while the machine is paused.
    std::uint32_t GetFps() const { return Fps; }
    std::int32_t GetFramesDumped() const { return FramesDumped; }
    bool GetAviDumping() const { return AviDumping == 1; }
    bool GetReady() const { return Ready == 1; }

    // Cores.
    T_VDP_CORE Vdp;
    T_PSG_CORE Psg;
    T_YM2413_OPLL_CORE Fm;
    T_Z80_CPU_CORE Cpu;
    T_INTERCONNECT_CORE Bus;

    std::uint8_t Ready = 0;
    std::int64_t PerfNow = 0;
    std::int64_t PerfFrequency = 0;
    std::int64_t PerfLast = 0;
    std::uint32_t FramesPerSecond = 0;
    std::uint32_t Fps = 0;
    std::int32_t FrameCount = 0;
    std::string RamFileName;
    std::array<std::uint8_t, machine::kButtonCount> ButtonTable{};
    std::uint32_t ClockHz = 0;
    std::array<std::int16_t, machine::kSampleBufferSize> SampleBuffer{};
    std::int32_t SamplesPerFrame = 0;
    std::uint32_t SampleRate = 0;
    WaveFormatRecord WaveFormat{};
    std::uint8_t MixerOn = 0;
    std::uint32_t WriteCursor = 0;
    std::uint32_t PlayCursor = 0;
    std::uint32_t CursorDelta = 0;
    std::int32_t StreamBytes = 0;
    std::uint8_t VdpStatusOn = 0;
    std::uint8_t PsgStatusOn = 0;
    std::uint8_t Frameskip = 0;
    std::int32_t FrameskipCounter = 0;
    std::uint8_t Hq2xOn = 0;
    std::uint8_t AviDumping = 0;
    std::int32_t AviCountdown = 0;
    std::int32_t AviInterval = 0;
    std::int32_t FramesDumped = 0;
    std::string AviShortName;
    // The snapshot and capture picture.
    FrameBitmap FrameDib;
    // Whether the last frame was drawn (frameskip).
    bool LastFrameDrawn = false;

  private:
    // Frame loop (FrameLoop.cpp).
    void EmulateFrame();
    void HandOverFrame(bool onEmulationThread);
    void CountFrame();
    void ThreadBody();
    void PrepareOutput();

    // Presentation (Presentation.cpp): the capture frame, then the frame itself.
    void PresentHandedOverFrame();
    void DumpAviFrame();
    void PresentFrame();
    void StreamSound();
    void DrawPicture();
    void DrawReadouts();
    void Pace();

    // Threading (MachineThread.cpp). Park stops a running thread at its next frame boundary
    // and reports whether it was running; Unpark lets it run again.
    bool Park();
    void Unpark();
    template <class F> void WithCoresStill(F&& command);
    bool OnControlledThread() const;

    void SaveBatteryRam();

    MachineServices services_;
    std::filesystem::path dataFolder_;
    NullClock stillClock_;
    Clock* clock_;
    std::uint32_t secondStart_ = 0;
    bool outputPrepared_ = false;
    std::atomic<bool> resetButtonRequested_{false};

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
    bool threadStarted_ = false;
    bool runRequested_ = false;
    bool parked_ = true;
    bool handOverPending_ = false;
    bool terminate_ = false;
    std::thread::id emulationThreadId_{};
    std::thread::id presentingThreadId_{};
};

template <class F> void TSMS::WithCoresStill(F&& command) {
    if (OnControlledThread()) {
        command();
        return;
    }
    const bool wasRunning = Park();
    command();
    if (wasRunning) Unpark();
}

} // namespace velmar
