#include "Commands.h"
#include "Options.h"
#include "WavFile.h"

#include "core/util/FileIo.h"
#include "files/GameFiles.h"
#include "machine/TSMS.h"
#include "platform/ffmpeg/FfmpegAviWriter.h"
#include "platform/null/NullClock.h"
#include "platform/null/NullDisplay.h"
#include "platform/null/NullStreamBuffer.h"
#include "platform/null/ScriptedInput.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace velmar::cli {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "velmar-cli: %s\n", message.c_str());
    return 1;
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}

// Pad and pause keys as the two scripted devices report them: directions are flags 0-3,
// button 1 and 2 are input buttons 1 and 2, pause is button 3 of device 1 (the keys the
// machine is given with SetKeys(0, 1, 0, 1, 2)).
void SetInputs(std::uint32_t keys, ScriptedInput& input1, ScriptedInput& input2) {
    InputState one;
    InputState two;
    one.set(kInputUp, (keys & kKeyP1Up) != 0);
    one.set(kInputDown, (keys & kKeyP1Down) != 0);
    one.set(kInputLeft, (keys & kKeyP1Left) != 0);
    one.set(kInputRight, (keys & kKeyP1Right) != 0);
    one.set(kInputButton1, (keys & kKeyP1B1) != 0);
    one.set(kInputButton1 + 1, (keys & kKeyP1B2) != 0);
    one.set(kInputButton1 + 2, (keys & kKeyPause) != 0);
    two.set(kInputUp, (keys & kKeyP2Up) != 0);
    two.set(kInputDown, (keys & kKeyP2Down) != 0);
    two.set(kInputLeft, (keys & kKeyP2Left) != 0);
    two.set(kInputRight, (keys & kKeyP2Right) != 0);
    two.set(kInputButton1, (keys & kKeyP2B1) != 0);
    two.set(kInputButton1 + 1, (keys & kKeyP2B2) != 0);
    input1.SetState(one);
    input2.SetState(two);
}

struct Outcome {
    int ExitCode = 0;
    double Seconds = 0.0;
    std::uint64_t Frames = 0;
};

// Runs the machine headless as the options say: the same path as the desktop's "Load Game
// ROM" or "Run BIOS", then the frames one by one, then the requested outputs.
Outcome Execute(const RunOptions& o) {
    Outcome outcome;
    const auto fail = [&outcome](const std::string& message) {
        outcome.ExitCode = Fail(message);
        return outcome;
    };

    const std::filesystem::path dataDir = o.DataDir.empty()
                                              ? GameFiles::DefaultDataFolder(ProgramFolder())
                                              : std::filesystem::path(o.DataDir);
    GameFiles files(dataDir);
    if (!files.CreateFolders())
        return fail("cannot create the data folders in '" + dataDir.string() + "'");

    NullDisplay display;
    NullStreamBuffer sound;
    ScriptedInput input1;
    ScriptedInput input2;
    NullClock clock;
    FfmpegAviWriter avi;
    MachineServices services;
    services.Avi = &avi;
    services.Display = &display;
    services.Sound = &sound;
    services.Input1 = &input1;
    services.Input2 = &input2;
    services.Timer = &clock;
    auto machine = std::make_unique<TSMS>(services);

    machine->SetKeys(0, 1, 0, 1, 2);
    machine->SetBiosType(o.BiosType);
    machine->SetFrameskip(o.Frameskip);
    machine->SetHq2x(o.Hq2x ? 1 : 0);
    machine->SetMixer(o.Mixer ? 1 : 0);
    machine->SetFmOutput(o.Fm ? 1 : 0);

    if (o.Bios) {
        machine->Reset();
        machine->SetRamFileName("");
        machine->RunBios();
    } else {
        machine->Reset();
        const FileResult loaded = machine->LoadCartridge(o.Rom);
        if (!loaded) return fail("cannot load ROM: " + loaded.error);
        machine->SetRamFileName(files.RamFileFor(o.Rom).string());
    }
    // The firmware run's RAM lies in the data folder, a game's beside its name.
    machine->SetBatteryFile(files.BatteryFile(machine->GetRamFileName()));
    if (!o.StateIn.empty())
        if (FileResult loaded = machine->LoadStateFromFile(o.StateIn); !loaded)
            return fail("cannot load state " + loaded.error);

    if (!o.Avi.empty() &&
        !machine->StartAviDump(o.Avi, std::filesystem::path(o.Avi).filename().string()))
        return fail("cannot start the video capture '" + o.Avi + "'");

    WavFile wav;
    if (!o.Wav.empty()) {
        const std::uint64_t bytes =
            o.Frames * static_cast<std::uint64_t>(console::kSamplesPerFrame) * 2;
        if (bytes > WavFile::kMostDataBytes)
            return fail("--wav: a WAV file holds at most " +
                        std::to_string(WavFile::kMostDataBytes / 2 /
                                       static_cast<std::uint64_t>(console::kSamplesPerFrame)) +
                        " frames");
        if (FileResult opened = wav.Open(o.Wav, console::kDefaultSampleRate); !opened)
            return fail("cannot write sound: " + opened.error);
    }

    // The pads are polled after each frame for the next one, so the keys of frame k are set
    // before frame k - 1 ends; frame 0's keys are polled before it starts.
    SetInputs(o.KeysAt(0), input1, input2);
    if (o.KeysAt(0) != 0) machine->PollInput();
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t frame = 0; frame < o.Frames; ++frame) {
        if ((o.KeysAt(frame) & kKeyReset) != 0) machine->GameReset();
        SetInputs(o.KeysAt(frame + 1), input1, input2);
        machine->RunFrame();
        if (!o.Wav.empty() &&
            !wav.Append({machine->GetConsole().SampleBuffer.data(), console::kSamplesPerFrame}))
            break; // Finish reports the failure
    }
    if (!o.Avi.empty()) {
        const bool captured = machine->GetAviDumping();
        machine->StopAviDump();
        if (!captured) return fail("the video capture '" + o.Avi + "' failed while writing");
    }
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.Frames = o.Frames;

    if (!o.Screenshot.empty() && !machine->SaveSnapshot(o.Screenshot))
        return fail("cannot write screenshot '" + o.Screenshot + "'");
    if (!o.StateOut.empty())
        if (FileResult saved = machine->SaveStateToFile(o.StateOut); !saved)
            return fail("cannot write state " + saved.error);
    if (!o.Wav.empty())
        if (FileResult written = wav.Finish(); !written)
            return fail("cannot write sound: " + written.error);
    machine->Reset(); // as at exit: the game's battery RAM is written when it was used
    return outcome;
}

int Command(int argc, char** argv, bool bench) {
    std::string error;
    const std::optional<RunOptions> options = ParseRunOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "velmar-cli: %s\n", error.c_str());
        return 2;
    }
    const Outcome outcome = Execute(*options);
    if (outcome.ExitCode != 0) return outcome.ExitCode;
    if (bench) {
        const double fps =
            outcome.Seconds > 0.0 ? static_cast<double>(outcome.Frames) / outcome.Seconds : 0.0;
        std::printf("fps: %.1f  realtime: %.2f\n", fps, fps / 60.0);
    }
    return 0;
}

} // namespace

int RunRun(int argc, char** argv) {
    return Command(argc, argv, false);
}
int RunBench(int argc, char** argv) {
    return Command(argc, argv, true);
}

} // namespace velmar::cli
