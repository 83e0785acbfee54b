#pragma once

// The machine: the console (Console.h: the five cores and one frame of emulation), the
// emulation thread around it (EmulationThread.h), the presentation of each frame
// (Presenter.h: input, sound stream, picture, read-outs, pacing, AVI frames) and TSMS, the
// face that owns these three and offers the console's operations. It calls the services of
// platform/ through their interfaces only; which backends serve them is the caller's choice.

#include "core/util/FileIo.h"
#include "machine/Console.h"
#include "machine/EmulationThread.h"
#include "machine/MachineServices.h"
#include "machine/Presenter.h"
#include "machine/Rewinder.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmar {

namespace machine {
// Name given to a firmware run without a game.
inline constexpr const char* kBiosRamFileName = "BIOS.SMS";
} // namespace machine

// The emulated console as the window sees it: owns the Console, its Presenter and the
// EmulationThread, holds the run-time options and offers every command.
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

    // Lifecycle and commands. A cartridge is a plain ROM file (files/RomFiles reads zips too)
    // or an image read and checked already; it gets the mapper SetMapperChoice chose.
    FileResult LoadCartridge(const std::filesystem::path& fileName);
    FileResult LoadCartridge(const CartridgeImage& image);
    // The mapper for this and later cartridges (Auto by default): applied to the loaded one at
    // once, its registers starting afresh when the kind changes; reset the console after.
    void SetMapperChoice(MapperChoice choice);
    // The choice, the mapper the loaded cartridge runs on and the one Auto picks for it; read
    // while no frame runs (after a command, or with the machine paused).
    MapperChoice GetMapperChoice() const;
    MapperKind GetMapper() const;
    MapperKind GetAutoMapper() const;

    // The console's region, NTSC (60 frames a second) or PAL (50): the frame's lines and V
    // counter, the clock of the sound chips, the samples of a frame, the pacing and the
    // sound stream. The stream starts afresh; reset the console after.
    void SetRegion(ConsoleRegion region);
    ConsoleRegion GetRegion() const { return console_.GetRegion(); }

    void Reset();
    void ConsoleReset() { Reset(); }
    void GameReset();
    void RunBios();
    void SetBiosType(std::uint8_t value);
    void PauseEmulation();
    void ResumeEmulation();
    // Stores the name (its base names the game's files) and reads the cartridge RAM from that
    // file; a game without a RAM file starts from clear cartridge RAM. The same file then
    // receives the battery RAM, unless SetBatteryFile names another.
    void SetRamFileName(const std::string& fileName);
    std::string GetRamFileName() const;
    // Where the cartridge RAM is written when the game used it (on Reset and on pause), as the
    // caller resolved it (files/GameFiles). Empty: not written.
    void SetBatteryFile(const std::filesystem::path& file);
    // The file the cartridge RAM goes to; empty when it goes nowhere.
    const std::filesystem::path& BatteryFile() const { return batteryFile_; }
    // The data folder: a firmware run ("BIOS.SMS") keeps its cartridge RAM in RAM/BIOS.RAM
    // there. Without one, and without SetBatteryFile, that RAM is not written anywhere.
    void SetDataFolder(const std::filesystem::path& folder);
    // A state file holds the CPU block then the VDP block; loading refuses any file that is
    // not exactly kStateFileSize bytes and then changes nothing.
    FileResult SaveStateToFile(const std::filesystem::path& fileName);
    FileResult LoadStateFromFile(const std::filesystem::path& fileName);
    // Writes the current picture (filtered, 512 x 384, 24 bits) as a BMP; only when Ready.
    bool SaveSnapshot(const std::filesystem::path& fileName);
    // Video capture: one emulated frame in six, from the next frame on (AviCapture.cpp).
    bool StartAviDump(const std::filesystem::path& fileName, const std::string& shortName);
    // Finishes the file; reports why it could not be, or why the capture stopped by itself.
    FileResult StopAviDump();
    // The bytes SaveStateToFile and SaveSnapshot write (no snapshot before Ready), so that a
    // caller can write them with its other files.
    std::vector<std::uint8_t> StateBytes();
    std::vector<std::uint8_t> SnapshotBmp();

    // Battery RAM. A save that exists but cannot be read is never overwritten: the game starts
    // with clear RAM, nothing is written until SetBatteryFile names another file (a spare
    // beside the save, files/GameFiles), and BatteryRamNotice says why. A save that could not
    // be written is reported by BatteryRamSaveResult and written again at the next reset or
    // pause.
    bool BatteryRamUnreadable() const { return batteryUnreadable_; }
    const std::string& BatteryRamNotice() const { return batteryNotice_; }
    const FileResult& BatteryRamSaveResult() const { return batterySaved_; }

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
    // Plugs a Light Phaser into port A or B (bus::kPortA, bus::kPortB; the other port, or
    // both with 0, takes a pad). It is aimed at a point of the 256 x 192 picture (anywhere
    // else it sees nothing) and fired from any thread; both take effect at the next frame.
    void SetLightGun(std::uint8_t port);
    void AimGun(int x, int y) { presenter_.AimGun(x, y); }
    void PullGunTrigger(bool down) { presenter_.PullGunTrigger(down); }

    // Rewind and fast-forward. While rewinding (set from any thread, taken at the next
    // frame) each frame steps the game one frame back, silent, as far as states were kept;
    // it goes on from there once rewinding ends. States are kept only once recording is on
    // (the window switches it on), a minute of play at most; a reset or another game or
    // mapper forgets them. Fast-forward runs frames without waiting, the sound heard in
    // pieces. Neither changes the frames or samples of a run that uses neither.
    void SetRewindRecording(bool on);
    void SetRewinding(bool on) { rewinder_.Rewinding = on; }
    bool GetRewinding() const { return rewinder_.Rewinding.load(); }
    std::uint32_t RewindFramesKept() const { return rewinder_.FramesKept(); }
    std::size_t RewindBytesUsed() const { return rewinder_.BytesUsed(); }
    void SetFastForward(bool on) { presenter_.Unpaced = on; }
    bool GetFastForward() const { return presenter_.Unpaced.load(); }
    // The loudness heard, in per cent (above 100 taken as 100): the stream only, so the
    // samples of each frame, and captures, keep what the chips made.
    void SetVolume(std::uint8_t percent);
    // Captures started from now on take every frame and its sound (1), or one frame in six
    // without sound (0, as at creation).
    void SetAviWithSound(std::uint8_t value);

    // Driving. RunFrame runs one frame and presents it; it does nothing while the emulation
    // thread is running. ServiceHandOver presents a frame that the emulation thread has
    // handed over (does nothing when none waits). PollInput is the input step of the
    // presentation: the devices into the pad bits and the pause interrupt.
    void RunFrame();
    void ServiceHandOver();
    void PollInput();
    // An input recording's tap (null: none), told each frame's input; commands that change
    // the console otherwise (a reset, a state, a cartridge, an option) take it off first and
    // tell it why.
    void SetInputTap(InputTap* tap);
    // Whether a state was loaded since the last console reset.
    bool StateLoaded() const { return stateLoaded_; }
    // True while the emulation thread is asked to run frames.
    bool IsRunning() const;

    // Read-outs that are safe from any thread, also while frames run.
    std::uint32_t GetFps() const { return presenter_.Fps.load(std::memory_order_relaxed); }
    std::int32_t GetFramesDumped() const {
        return presenter_.FramesDumped.load(std::memory_order_relaxed);
    }
    bool GetAviDumping() const {
        return presenter_.AviDumping.load(std::memory_order_relaxed) == 1;
    }
    bool GetReady() const { return ready_.load(std::memory_order_relaxed) == 1; }

    // The parts themselves, for drivers and tests: only while no frame runs (the thread is
    // parked or was never started, or inside RunFrame's caller between frames).
    Console& GetConsole() { return console_; }
    const Console& GetConsole() const { return console_; }
    Presenter& GetPresenter() { return presenter_; }

  private:
    template <class F> void WithCoresStill(F&& command) { thread_.WithCoresStill(command); }
    void SaveBatteryRam();
    void KeepUnreadableSave(const FileResult& read);
    void Interrupt(const char* why);

    Console console_;
    Presenter presenter_;
    Rewinder rewinder_;
    std::atomic<std::uint8_t> ready_{0};
    std::string RamFileName;
    std::filesystem::path batteryFile_;
    std::filesystem::path firmwareBatteryFile_;
    bool batteryUnsaved_ = false;    // the last save failed: the next one writes again
    bool batteryUnreadable_ = false; // the save could not be read and is kept
    std::string batteryNotice_;
    FileResult batterySaved_;
    bool stateLoaded_ = false;
    // Declared last: destroyed first, so the thread is joined before the parts go.
    EmulationThread thread_;
};

} // namespace velmar
