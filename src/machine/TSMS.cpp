#include "machine/TSMS.h"

#include <algorithm>

namespace velmar {

using namespace machine;

TSMS::TSMS(const MachineServices& services)
    : presenter_(console_, services), rewinder_(console_),
      thread_(rewinder_, presenter_, services.HandOver) {}

TSMS::~TSMS() = default;

// Only a file the caller resolved is written: a firmware run without a data folder or a
// battery file keeps its RAM nowhere rather than in whatever the current folder is. RAM that
// could not be written stays marked as used, so the next save tries again.
void TSMS::SaveBatteryRam() {
    if (batteryFile_.empty()) return;
    if (batteryUnsaved_) console_.Cpu.CartridgeRamUsed = 1;
    batterySaved_ = console_.Cpu.SaveBatteryRam(batteryFile_);
    batteryUnsaved_ = !batterySaved_;
}

// A save that exists but cannot be read (permissions, size) is someone's progress: the game
// starts clear and nothing is written over the save until the caller names another file.
void TSMS::KeepUnreadableSave(const FileResult& read) {
    if (read) return;
    console_.Cpu.CartridgeRam.fill(0);
    batteryFile_.clear();
    batteryUnreadable_ = true;
    batteryNotice_ = read.error + "; the save is kept";
}

void TSMS::SetBatteryFile(const std::filesystem::path& file) {
    WithCoresStill([&] { batteryFile_ = file; });
}

void TSMS::SetDataFolder(const std::filesystem::path& folder) {
    WithCoresStill([&] {
        firmwareBatteryFile_ = folder.empty() ? folder : folder / "RAM" / "BIOS.RAM";
        if (RamFileName == kBiosRamFileName) batteryFile_ = firmwareBatteryFile_;
    });
}

FileResult TSMS::LoadCartridge(const std::filesystem::path& fileName) {
    CartridgeImage image;
    if (FileResult read = ReadRomFile(fileName, image); !read) return read;
    return LoadCartridge(image);
}

FileResult TSMS::LoadCartridge(const CartridgeImage& image) {
    Interrupt("a cartridge was loaded");
    FileResult result;
    WithCoresStill([&] {
        result = console_.Cpu.LoadRomImage(image);
        if (result) ready_ = 1;
        if (result) rewinder_.Forget();
    });
    return result;
}

void TSMS::SetMapperChoice(MapperChoice choice) {
    Interrupt("the mapper changed");
    WithCoresStill([&] {
        console_.Cpu.SetMapperChoice(choice);
        rewinder_.Forget();
    });
}

MapperChoice TSMS::GetMapperChoice() const {
    return console_.Cpu.GetMapperChoice();
}

MapperKind TSMS::GetMapper() const {
    return console_.Cpu.GetMapper();
}

MapperKind TSMS::GetAutoMapper() const {
    return console_.Cpu.AutoMapper();
}

void TSMS::SetRegion(ConsoleRegion region) {
    Interrupt("the region changed");
    WithCoresStill([&] {
        console_.SetRegion(region);
        presenter_.SetRegion(TimingOf(region));
        rewinder_.Forget(); // its states ran on the other console
    });
}

void TSMS::Reset() {
    Interrupt("the console was reset");
    stateLoaded_ = false;
    WithCoresStill([&] {
        SaveBatteryRam();
        rewinder_.Forget();
        console_.Reset();
        presenter_.ResetStream();
    });
}

// The reset button is one bit of a pad byte: while frames run it is pressed at the next
// presentation step, so the command never waits.
void TSMS::GameReset() {
    if (IsRunning() && !thread_.OnControlledThread()) {
        presenter_.RequestResetButton();
        return;
    }
    WithCoresStill([&] { presenter_.PressResetButtonNow(); });
}

// An SG-1000 cartridge left in the slot does not keep the firmware from running: the console
// is a Master System again, and its firmware may start that cartridge.
void TSMS::RunBios() {
    Interrupt("the firmware was started");
    WithCoresStill([&] {
        console_.Cpu.SetSystem(CartridgeSystem::MasterSystem);
        ready_ = 1;
        if (!RamFileName.empty()) return;
        RamFileName = kBiosRamFileName;
        batteryFile_ = firmwareBatteryFile_;
    });
}

void TSMS::SetBiosType(std::uint8_t value) {
    Interrupt("the firmware changed");
    WithCoresStill([&] { console_.Cpu.SetBiosType(value); });
}

void TSMS::SetRamFileName(const std::string& fileName) {
    WithCoresStill([&] {
        RamFileName = fileName;
        batteryFile_ =
            fileName == kBiosRamFileName ? firmwareBatteryFile_ : std::filesystem::path(fileName);
        batteryNotice_.clear();
        batteryUnsaved_ = false;
        batteryUnreadable_ = false;
        if (fileName.empty()) return;
        // Each cartridge has its own RAM: a game without a RAM file starts from a clear one
        // rather than inheriting, and later overwriting, another game's save.
        std::error_code ec;
        const auto status = std::filesystem::status(fileName, ec);
        if (std::filesystem::is_regular_file(status))
            KeepUnreadableSave(console_.Cpu.LoadBatteryRam(fileName));
        else if (status.type() == std::filesystem::file_type::not_found)
            console_.Cpu.CartridgeRam.fill(0);
        else
            (void)console_.Cpu.LoadBatteryRam(fileName); // a folder or device holds no save
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
    WithCoresStill([&] { bytes = console_.SaveState(); });
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
    Interrupt("a state was loaded");
    WithCoresStill([&] { console_.LoadState(bytes); });
    stateLoaded_ = true;
    return {};
}

bool TSMS::SaveSnapshot(const std::filesystem::path& fileName) {
    const std::vector<std::uint8_t> bmp = SnapshotBmp();
    return !bmp.empty() && static_cast<bool>(WriteFileAtomic(fileName, bmp));
}

std::vector<std::uint8_t> TSMS::SnapshotBmp() {
    std::vector<std::uint8_t> bmp;
    if (!GetReady()) return bmp;
    WithCoresStill([&] { bmp = presenter_.SnapshotBmp(); });
    return bmp;
}

bool TSMS::StartAviDump(const std::filesystem::path& fileName, const std::string& shortName) {
    if (!GetReady()) return false;
    bool ok = false;
    WithCoresStill([&] { ok = presenter_.StartAviDump(fileName, shortName); });
    return ok;
}

// Reports why the file could not be completed, or why a capture that stopped by itself did.
FileResult TSMS::StopAviDump() {
    FileResult result;
    WithCoresStill([&] { result = presenter_.StopAviDump(); });
    return result;
}

// An argument above 31 leaves its entry as it was.
void TSMS::SetKeys(std::uint32_t pad1Button1, std::uint32_t pad1Button2, std::uint32_t pad2Button1,
                   std::uint32_t pad2Button2, std::uint32_t pause) {
    WithCoresStill([&] {
        presenter_.SetKeys({pad1Button1, pad1Button2, pad2Button1, pad2Button2, pause});
    });
}

void TSMS::SetLightGun(std::uint8_t port) {
    Interrupt("the light gun was plugged or unplugged");
    const std::uint8_t plugged = port == bus::kPortA || port == bus::kPortB ? port : 0;
    WithCoresStill([&] { console_.Bus.GunPort = plugged; });
}

void TSMS::SetRewindRecording(bool on) {
    WithCoresStill([&] { rewinder_.SetRecording(on); });
}
void TSMS::SetVolume(std::uint8_t percent) {
    presenter_.Volume = std::min<std::uint8_t>(percent, 100);
}
void TSMS::SetAviWithSound(std::uint8_t value) {
    WithCoresStill([&] { presenter_.AviWithSound = value == 1 ? 1 : 0; });
}

void TSMS::SetFrameskip(std::uint8_t value) {
    Interrupt("the frameskip changed");
    WithCoresStill([&] { console_.Frameskip = value; });
}
void TSMS::SetBackground(std::uint8_t value) {
    Interrupt("the background layer changed");
    WithCoresStill([&] { console_.Vdp.SetBackgroundEnabled(value); });
}
void TSMS::SetSprites(std::uint8_t value) {
    Interrupt("the sprite layer changed");
    WithCoresStill([&] { console_.Vdp.SetSpritesEnabled(value); });
}
void TSMS::SetHq2x(std::uint8_t value) {
    WithCoresStill([&] { presenter_.Hq2xOn = value; });
}
void TSMS::SetVdpStatus(std::uint8_t value) {
    WithCoresStill([&] { presenter_.VdpStatusOn = value; });
}
void TSMS::SetPsgStatus(std::uint8_t value) {
    WithCoresStill([&] { presenter_.PsgStatusOn = value; });
}
void TSMS::SetMixer(std::uint8_t value) {
    Interrupt("the mixer changed");
    WithCoresStill([&] { console_.MixerOn = value; });
}
void TSMS::SetPsgOutput(std::uint8_t value) {
    Interrupt("the PSG output changed");
    WithCoresStill([&] { console_.Psg.SetOutputEnabled(value); });
}
void TSMS::SetPsgChannel(std::uint32_t channel, std::uint8_t value) {
    Interrupt("a PSG channel was switched");
    WithCoresStill([&] {
        switch (channel) {
        case 0: console_.Psg.SetToneEnabled1(value); break;
        case 1: console_.Psg.SetToneEnabled2(value); break;
        case 2: console_.Psg.SetToneEnabled3(value); break;
        case 3: console_.Psg.SetNoiseEnabled(value); break;
        default: break;
        }
    });
}
void TSMS::SetPsgWaveShape(std::uint8_t value) {
    Interrupt("the PSG wave shape changed");
    WithCoresStill([&] { console_.Psg.SetSquareWave(value); });
}
void TSMS::SetFmOutput(std::uint8_t value) {
    Interrupt("the FM output changed");
    WithCoresStill([&] { console_.Fm.SetFmEnabled(value); });
}
void TSMS::SetFmChannel(std::uint32_t channel, std::uint8_t value) {
    Interrupt("an FM channel was switched");
    WithCoresStill(
        [&] { console_.Fm.SetChannelEnabled(static_cast<std::uint8_t>(channel), value); });
}

// Pausing holds the thread at a frame boundary; the battery RAM is saved either way.
void TSMS::PauseEmulation() {
    if (thread_.OnControlledThread()) { // a frame boundary is already being held
        SaveBatteryRam();
        return;
    }
    const bool wasRunning = thread_.Park();
    SaveBatteryRam();
    if (wasRunning) {
        console_.Psg.Reset(); // silences the chip
        presenter_.StopStream();
        presenter_.AddToLastInput(kKeySilence); // a recording replays the silence
    }
}

// Resumes only a parked machine that has a cartridge or the firmware to run.
void TSMS::ResumeEmulation() {
    if (!GetReady() || thread_.OnControlledThread()) return;
    thread_.Resume();
}

void TSMS::ServiceHandOver() {
    thread_.ServiceHandOver();
}

void TSMS::PollInput() {
    WithCoresStill([&] { presenter_.PollInput(); });
}

void TSMS::SetInputTap(InputTap* tap) {
    WithCoresStill([&] { presenter_.SetInputTap(tap); });
}

// Only the thread that gives commands sets the tap, so it reads it without parking.
void TSMS::Interrupt(const char* why) {
    InputTap* tap = presenter_.Tap();
    if (tap == nullptr) return;
    WithCoresStill([&] { presenter_.SetInputTap(nullptr); });
    tap->Interrupted(why);
}

bool TSMS::IsRunning() const {
    return thread_.IsRunning();
}

} // namespace velmar
