#include "machine/TSMS.h"

#include "machine/GameFiles.h"

#include <algorithm>

namespace velmar {

using namespace machine;

TSMS::TSMS(const MachineServices& services)
    : services_(services), clock_(services.Timer != nullptr ? services.Timer : &stillClock_) {
    Cpu.Reset(Bus);
    Bus.Connect(Vdp, Psg, Fm);
    Vdp.Reset();
    Psg.Reset();

    Ready = 0;
    FramesPerSecond = kDefaultFramesPerSecond;
    ClockHz = kDefaultClockHz;
    SampleRate = kDefaultSampleRate;
    Frameskip = 0;
    MixerOn = 1;
    WriteCursor = 0;
    PlayCursor = 0;
    VdpStatusOn = 0;
    PsgStatusOn = 0;
    Hq2xOn = 1;
    SamplesPerFrame = static_cast<std::int32_t>(SampleRate / FramesPerSecond);

    Psg.Configure(FramesPerSecond, SampleRate, ClockHz, kLinesPerFrame);
    Fm.Configure(FramesPerSecond, SampleRate, ClockHz, kLinesPerFrame);
    Fm.SetFmEnabled(0);

    WaveFormat.FormatTag = 1;
    WaveFormat.Channels = 1;
    WaveFormat.SamplesPerSec = SampleRate;
    WaveFormat.AvgBytesPerSec = SampleRate * 16 / 8;
    WaveFormat.BlockAlign = WaveFormat.Channels * 16 / 8;
    WaveFormat.BitsPerSample = 16;
    WaveFormat.ExtraSize = 0;
    StreamBytes = SamplesPerFrame * 2 * kStreamFrames;

    PerfFrequency = clock_->PerformanceFrequency();
    Cpu.SetBiosType(1);
}

// A name without a folder (the firmware run's "BIOS.SMS") never lands in whatever the
// current folder happens to be: it goes to the data folder, or nowhere. RAM that could not be
// written stays marked as used, so the next save tries again.
void TSMS::SaveBatteryRam() {
    if (RamFileName.empty() || (RamFileName == kBiosRamFileName && dataFolder_.empty())) return;
    if (batteryUnsaved_) Cpu.CartridgeRamUsed = 1;
    const std::filesystem::path file =
        batteryFile_.empty() ? GameFiles(dataFolder_).BatteryFile(RamFileName) : batteryFile_;
    batterySaved_ = Cpu.SaveBatteryRam(file);
    batteryUnsaved_ = !batterySaved_;
}

// A save that exists but cannot be read (permissions, size) is someone's progress: the game
// starts clear and its RAM goes to a new file beside the save.
void TSMS::KeepUnreadableSave(const std::string& fileName, const FileResult& read) {
    if (read) return;
    Cpu.CartridgeRam.fill(0);
    batteryFile_ = GameFiles::SpareRamFile(fileName, TimeStamp(std::chrono::system_clock::now()));
    batteryNotice_ = read.error + "; the save is kept and this run's cartridge RAM goes to '" +
                     batteryFile_.string() + "'";
}

void TSMS::SetDataFolder(const std::filesystem::path& folder) {
    WithCoresStill([&] { dataFolder_ = folder; });
}

FileResult TSMS::LoadCartridge(const std::filesystem::path& fileName) {
    FileResult result;
    WithCoresStill([&] {
        result = Cpu.LoadRom(fileName);
        if (result) Ready = 1;
    });
    return result;
}

void TSMS::Reset() {
    WithCoresStill([&] {
        SaveBatteryRam();
        Cpu.Reset(Bus);
        Bus.Connect(Vdp, Psg, Fm);
        Psg.Reset();
        Fm.Reset();
        Vdp.Reset();
        if (services_.Sound != nullptr && outputPrepared_) {
            services_.Sound->Stop();
            services_.Sound->SetPlayPosition(0);
        }
        WriteCursor = 0;
        PlayCursor = 0;
    });
}

// The reset button is one bit of a pad byte: while frames run it is pressed at the next
// presentation step, so the command never waits.
void TSMS::GameReset() {
    if (IsRunning() && !OnControlledThread()) {
        resetButtonRequested_.store(true);
        return;
    }
    Bus.ResetButtonPress();
}

void TSMS::RunBios() {
    Ready = 1;
    if (RamFileName.empty()) RamFileName = kBiosRamFileName;
}

void TSMS::SetBiosType(std::uint8_t value) {
    WithCoresStill([&] { Cpu.SetBiosType(value); });
}

void TSMS::SetRamFileName(const std::string& fileName) {
    WithCoresStill([&] {
        RamFileName = fileName;
        batteryFile_.clear();
        batteryNotice_.clear();
        batteryUnsaved_ = false;
        if (fileName.empty()) return;
        // Each cartridge has its own RAM: a game without a RAM file starts from a clear one
        // rather than inheriting, and later overwriting, another game's save.
        std::error_code ec;
        const auto status = std::filesystem::status(fileName, ec);
        if (std::filesystem::is_regular_file(status))
            KeepUnreadableSave(fileName, Cpu.LoadBatteryRam(fileName));
        else if (status.type() == std::filesystem::file_type::not_found)
            Cpu.CartridgeRam.fill(0);
        else
            (void)Cpu.LoadBatteryRam(fileName); // a folder or device holds no save
    });
}

std::string TSMS::GetRamFileName() const {
    return RamFileName;
}

FileResult TSMS::SaveStateToFile(const std::filesystem::path& fileName) {
    return WriteFileAtomic(fileName, StateBytes());
}

std::vector<std::uint8_t> TSMS::StateBytes() {
    std::vector<std::uint8_t> bytes;
    WithCoresStill([&] {
        StateWriter writer;
        Cpu.SaveState(writer);
        Vdp.SaveState(writer);
        bytes.assign(writer.Data().begin(), writer.Data().end());
    });
    return bytes;
}

// Only a file of exactly the state's size is taken: a truncated, empty or oversized file
// would otherwise leave the machine half old and half new while reporting success.
FileResult TSMS::LoadStateFromFile(const std::filesystem::path& fileName) {
    std::vector<std::uint8_t> bytes;
    if (FileResult read = ReadWholeFile(fileName, bytes, kStateFileSize); !read) return read;
    if (bytes.size() != kStateFileSize)
        return {"'" + fileName.string() + "': not a save state (" + std::to_string(bytes.size()) +
                " bytes, a state has " + std::to_string(kStateFileSize) + ")"};
    WithCoresStill([&] {
        StateReader reader(bytes);
        Cpu.LoadState(reader);
        Vdp.LoadState(reader);
    });
    return {};
}

bool TSMS::SaveSnapshot(const std::filesystem::path& fileName) {
    const std::vector<std::uint8_t> bmp = SnapshotBmp();
    return !bmp.empty() && static_cast<bool>(WriteFileAtomic(fileName, bmp));
}

std::vector<std::uint8_t> TSMS::SnapshotBmp() {
    std::vector<std::uint8_t> bmp;
    if (Ready != 1) return bmp;
    WithCoresStill([&] {
        Vdp.RenderFrame(FrameDib.Pixels.data(), 24, FrameBitmap::kPitch, 1);
        FrameDib.MirrorVertically();
        bmp = FrameDib.BmpBytes();
    });
    return bmp;
}

// An argument above 31 leaves its entry as it was.
void TSMS::SetKeys(std::uint32_t pad1Button1, std::uint32_t pad1Button2, std::uint32_t pad2Button1,
                   std::uint32_t pad2Button2, std::uint32_t pause) {
    const std::uint32_t keys[kButtonCount] = {pad1Button1, pad1Button2, pad2Button1, pad2Button2,
                                              pause};
    WithCoresStill([&] {
        for (std::size_t k = 0; k < kButtonCount; ++k)
            if (keys[k] <= kHighestButtonKey)
                ButtonTable[k] = static_cast<std::uint8_t>(keys[k] + kInputButton1);
    });
}

void TSMS::SetFrameskip(std::uint8_t value) {
    WithCoresStill([&] { Frameskip = value; });
}
void TSMS::SetBackground(std::uint8_t value) {
    WithCoresStill([&] { Vdp.SetBackgroundEnabled(value); });
}
void TSMS::SetSprites(std::uint8_t value) {
    WithCoresStill([&] { Vdp.SetSpritesEnabled(value); });
}
void TSMS::SetHq2x(std::uint8_t value) {
    WithCoresStill([&] { Hq2xOn = value; });
}
void TSMS::SetVdpStatus(std::uint8_t value) {
    WithCoresStill([&] { VdpStatusOn = value; });
}
void TSMS::SetPsgStatus(std::uint8_t value) {
    WithCoresStill([&] { PsgStatusOn = value; });
}
void TSMS::SetMixer(std::uint8_t value) {
    WithCoresStill([&] { MixerOn = value; });
}
void TSMS::SetPsgOutput(std::uint8_t value) {
    WithCoresStill([&] { Psg.SetOutputEnabled(value); });
}
void TSMS::SetPsgChannel(std::uint32_t channel, std::uint8_t value) {
    WithCoresStill([&] {
        switch (channel) {
        case 0: Psg.SetToneEnabled1(value); break;
        case 1: Psg.SetToneEnabled2(value); break;
        case 2: Psg.SetToneEnabled3(value); break;
        case 3: Psg.SetNoiseEnabled(value); break;
        default: break;
        }
    });
}
void TSMS::SetPsgWaveShape(std::uint8_t value) {
    WithCoresStill([&] { Psg.SetSquareWave(value); });
}
void TSMS::SetFmOutput(std::uint8_t value) {
    WithCoresStill([&] { Fm.SetFmEnabled(value); });
}
void TSMS::SetFmChannel(std::uint32_t channel, std::uint8_t value) {
    WithCoresStill([&] { Fm.SetChannelEnabled(static_cast<std::uint8_t>(channel), value); });
}

} // namespace velmar
