#include "Replay.h"

#include "machine/TSMS.h"
#include "platform/null/ScriptedInput.h"

#include <algorithm>

namespace velmar::cli {

namespace {

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

void SetInput(const FrameInput& input, TSMS& machine, ScriptedInput& input1,
              ScriptedInput& input2) {
    SetInputs(input.Keys, input1, input2);
    machine.AimGun(input.AimX, input.AimY);
}

} // namespace

void ApplyOptions(const RunOptions& o, TSMS& machine) {
    machine.SetKeys(0, 1, 0, 1, 2);
    machine.SetBiosType(o.BiosType);
    machine.SetFrameskip(o.Frameskip);
    machine.SetHq2x(o.Hq2x ? 1 : 0);
    machine.SetMixer(o.Mixer ? 1 : 0);
    machine.SetFmOutput(o.Fm ? 1 : 0);
    machine.SetLightGun(o.GunPort);
    machine.SetMapperChoice(o.Mapper);
    machine.SetRegion(o.Region);
}

FrameInput RunPlan::InputAt(std::uint64_t frame) const {
    if (Recording) {
        const std::vector<FrameInput>& frames = Recording->Recording.Frames;
        return frame < frames.size() ? frames[frame] : FrameInput{};
    }
    const auto [x, y] = Options.AimAt(frame);
    return {Options.KeysAt(frame), x, y};
}

std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, std::string& error,
                               const std::filesystem::path& folder) {
    RunPlan plan;
    std::optional<RunOptions> options = ParseRunOptions(args, error);
    if (!options) return std::nullopt;
    if (options->Input.empty()) {
        plan.Options = std::move(*options);
        return plan;
    }
    RecordingFiles files;
    const std::filesystem::path file = folder / options->Input;
    if (Result read = ReadRecordingFiles(file, files); !read) {
        error = "--input: " + read.error;
        return std::nullopt;
    }
    if (!files.State.empty() && !options->StateIn.empty()) {
        error = "--state-in does not go with a recording that starts from a state";
        return std::nullopt;
    }
    std::vector<std::string> all = files.Recording.Options;
    all.insert(all.end(), args.begin(), args.end());
    options = ParseRunOptions(all, error);
    if (!options) {
        error = "--input '" + file.string() + "': " + error;
        return std::nullopt;
    }
    if (!options->FramesGiven) options->Frames = files.Recording.Frames.size();
    plan.Options = std::move(*options);
    plan.Recording = std::move(files);
    return plan;
}

Result StartInput(const RunPlan& plan, TSMS& machine, ScriptedInput& input1,
                  ScriptedInput& input2) {
    const FrameInput first = plan.InputAt(0);
    SetInput(first, machine, input1, input2);
    if (!plan.Recording) {
        if (first.Keys != 0 || first.AimX >= 0) machine.PollInput();
        return {};
    }
    const RecordingFiles& files = *plan.Recording;
    const std::string rom = std::filesystem::path(plan.Options.Rom).filename().string();
    if (const std::string mismatch = RecordingMismatch(files.Recording, LoadedRomCrc(machine), rom);
        !mismatch.empty())
        return {mismatch};
    Console& console = machine.GetConsole();
    if (!files.Ram.empty())
        std::copy(files.Ram.begin(), files.Ram.end(), console.Cpu.CartridgeRam.begin());
    if (!files.State.empty()) console.LoadState(files.State);
    machine.PollInput();
    return {};
}

void BeforeFrame(const RunPlan& plan, std::uint64_t frame, TSMS& machine, ScriptedInput& input1,
                 ScriptedInput& input2) {
    const std::uint32_t keys = plan.InputAt(frame).Keys;
    if ((keys & kKeyReset) != 0) machine.GameReset();
    if ((keys & kKeySilence) != 0) machine.GetConsole().Psg.Reset();
    SetInput(plan.InputAt(frame + 1), machine, input1, input2);
}

} // namespace velmar::cli
