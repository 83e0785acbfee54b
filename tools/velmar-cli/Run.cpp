#include "Commands.h"
#include "Options.h"
#include "Output.h"
#include "Outputs.h"
#include "Replay.h"
#include "WavFile.h"

#include "core/util/FileIo.h"
#include "core/util/StagedFile.h"
#include "files/BatteryFiles.h"
#include "files/GameFiles.h"
#include "files/RomFiles.h"
#include "machine/TSMS.h"
#include "platform/ffmpeg/FfmpegAviWriter.h"
#include "platform/null/NullClock.h"
#include "platform/null/NullDisplay.h"
#include "platform/null/NullStreamBuffer.h"
#include "platform/null/ScriptedInput.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <sys/stat.h>

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

// The signal that asked the run to stop, or 0.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    gStopSignal = signal;
}

// SIGINT and SIGTERM end the run at the next frame, so that its files are cleaned up and the
// battery RAM is written instead of dying half way through a write. A call that blocks is
// interrupted rather than restarted, so the signal is always seen.
void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

// A whole file made after the run and written with the others.
Result Stage(StagedFile& file, const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (path.empty()) return {};
    if (Result opened = file.Open(path); !opened) return opened;
    if (Result written = file.Write(bytes); !written) return written;
    return file.Finish();
}

struct Outcome {
    int ExitCode = 0;
    double Seconds = 0.0;
    std::uint64_t Frames = 0;
};

// Runs the machine headless as the options say: the same path as the desktop's "Load Game
// ROM" or "Run BIOS", then the frames one by one, then the requested outputs. A run that
// fails or is stopped by a signal writes none of its outputs; the battery RAM is written
// either way.
Outcome Execute(const RunPlan& plan) {
    const RunOptions& o = plan.Options;
    Outcome outcome;
    const auto fail = [&outcome](const std::string& message) {
        outcome.ExitCode = Fail(message);
        return outcome;
    };
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
    std::unique_ptr<TSMS> machine; // made once the outputs pass; goes before its services

    // Every output is completed on disk first and put in place only when all of them are.
    WavFile wav;
    StagedFile shot;
    StagedFile state;
    RunOutputs outputs;
    outputs.Add("--avi", o.Avi, [&machine] { return machine->StopAviDump(); });
    outputs.Add("--wav", o.Wav, [&wav] { return wav.Commit(); });
    outputs.Add("--screenshot", o.Screenshot, [&shot] { return shot.Commit(); });
    outputs.Add("--state-out", o.StateOut, [&state] { return state.Commit(); });

    const std::filesystem::path dataDir = o.DataDir.empty()
                                              ? GameFiles::DefaultDataFolder(ProgramFolder())
                                              : std::filesystem::path(o.DataDir);
    if (dataDir.empty())
        return fail("no data folder: the program's folder is not writable and the user has no "
                    "home folder (give --data-dir)");
    GameFiles files(dataDir);
    if (const FileResult made = files.CreateFolders(); !made) return fail(made.error);
    if (const std::string problem = outputs.Check(); !problem.empty()) return fail(problem);

    machine = std::make_unique<TSMS>(services);

    ApplyOptions(o, *machine);

    if (o.Bios) {
        machine->Reset();
        machine->SetRamFileName("");
        machine->RunBios();
    } else {
        CartridgeImage image;
        if (const FileResult read = ReadCartridge(o.Rom, image); !read)
            return fail("cannot load ROM: " + read.error);
        machine->Reset();
        if (const FileResult loaded = machine->LoadCartridge(image); !loaded)
            return fail("cannot load ROM: " + loaded.error);
        machine->SetRamFileName(files.RamFileFor(o.Rom).string());
    }
    // The firmware run's RAM lies in the data folder, a game's beside its name.
    if (const std::string notice = AttachBatteryFile(*machine, files); !notice.empty())
        Fail(notice);
    if (const std::string problem = outputs.Check(machine->BatteryFile()); !problem.empty())
        return fail(problem);
    if (!o.StateIn.empty())
        if (FileResult loaded = machine->LoadStateFromFile(o.StateIn); !loaded)
            return fail("cannot load state " + loaded.error);
    // The pads are polled after each frame for the next one, so the keys of frame k are set
    // before frame k - 1 ends; frame 0's keys are polled before it starts.
    if (Result started = StartInput(plan, *machine, input1, input2); !started)
        return fail("--input: " + started.error);

    if (!o.Avi.empty() &&
        !machine->StartAviDump(o.Avi, std::filesystem::path(o.Avi).filename().string()))
        return fail("cannot start the video capture: " + avi.LastError());

    const std::uint32_t samplesPerFrame = TimingOf(o.Region).SamplesPerFrame;
    if (!o.Wav.empty()) {
        const std::uint64_t bytes = o.Frames * std::uint64_t{samplesPerFrame} * 2;
        if (bytes > WavFile::kMostDataBytes)
            return fail("--wav: a WAV file holds at most " +
                        std::to_string(WavFile::kMostDataBytes / 2 / samplesPerFrame) + " frames");
        if (Result opened = wav.Open(o.Wav, console::kDefaultSampleRate, bytes); !opened) {
            avi.Abort();
            return fail("cannot write sound: " + opened.error);
        }
    }

    std::string failure;
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t frame = 0;
    for (; frame < o.Frames && gStopSignal == 0; ++frame) {
        BeforeFrame(plan, frame, *machine, input1, input2);
        machine->RunFrame();
        if (!o.Avi.empty() && !machine->GetAviDumping()) break; // reported below
        if (!o.Wav.empty())
            if (Result added =
                    wav.Append({machine->GetConsole().SampleBuffer.data(), samplesPerFrame});
                !added) {
                failure = "cannot write sound: " + added.error;
                break;
            }
    }
    outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.Frames = frame;
    const int signal = gStopSignal;
    if (failure.empty() && signal != 0)
        failure = std::string("stopped by ") + (signal == SIGINT ? "SIGINT" : "SIGTERM") +
                  " after " + std::to_string(frame) + " of " + std::to_string(o.Frames) +
                  " frames; no outputs written";

    if (failure.empty() && !o.Avi.empty()) {
        if (!machine->GetAviDumping()) {
            const FileResult stopped = machine->StopAviDump();
            failure = "the video capture failed: " +
                      (stopped ? std::string("a frame was not written") : stopped.error);
        } else if (Result finished = avi.Finish(); !finished) {
            failure = "the video capture failed: " + finished.error;
        }
    }
    if (failure.empty() && !o.Wav.empty())
        if (Result finished = wav.Finish(); !finished)
            failure = "cannot write sound: " + finished.error;
    if (failure.empty() && !o.Screenshot.empty())
        if (Result staged = Stage(shot, o.Screenshot, machine->SnapshotBmp()); !staged)
            failure = "cannot write the screenshot: " + staged.error;
    if (failure.empty() && !o.StateOut.empty())
        if (Result staged = Stage(state, o.StateOut, machine->StateBytes()); !staged)
            failure = "cannot write the state: " + staged.error;

    if (failure.empty())
        if (Result committed = outputs.CommitAll(); !committed) failure = committed.error;
    if (!failure.empty()) {
        avi.Abort();
        (void)machine->StopAviDump();
        wav.Abort();
        shot.Abort();
        state.Abort();
    }

    machine->Reset(); // as at exit: the game's battery RAM is written when it was used
    if (const FileResult& saved = machine->BatteryRamSaveResult(); !saved)
        outcome.ExitCode = Fail("cannot write the battery RAM: " + saved.error);
    if (!failure.empty()) outcome.ExitCode = Fail(failure);
    if (signal != 0) outcome.ExitCode = 128 + signal;
    return outcome;
}

int Command(int argc, char** argv, bool bench) {
    std::string error;
    const std::optional<RunPlan> options =
        PlanRun(std::vector<std::string>(argv, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "velmar-cli: %s\n", error.c_str());
        return 2;
    }
    CatchStopSignals();
    const Outcome outcome = Execute(*options);
    if (outcome.ExitCode != 0) return outcome.ExitCode;
    if (bench) {
        const double fps =
            outcome.Seconds > 0.0 ? static_cast<double>(outcome.Frames) / outcome.Seconds : 0.0;
        std::printf("fps: %.1f  realtime: %.2f\n", fps,
                    fps / TimingOf(options->Options.Region).FramesPerSecond);
    }
    return FinishStdout();
}

} // namespace

int RunRun(int argc, char** argv) {
    return Command(argc, argv, false);
}
int RunBench(int argc, char** argv) {
    return Command(argc, argv, true);
}

} // namespace velmar::cli
