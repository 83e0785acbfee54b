#pragma once

#include "Options.h"

#include "files/InputRecording.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmar {
class ScriptedInput;
class TSMS;
} // namespace velmar

namespace velmar::cli {

// A run's options and its input: a --press script, or a recording (--input) whose option
// words come before the command line's.
struct RunPlan {
    RunOptions Options;
    std::optional<RecordingFiles> Recording;

    // What frame `frame` (the first is 0) is given.
    FrameInput InputAt(std::uint64_t frame) const;
};

// Parses the words and reads the recording they name (a relative name is taken from
// folder); the frames default to the recording's length. Nothing on a failure, with error
// set to one line.
std::optional<RunPlan> PlanRun(const std::vector<std::string>& args, std::string& error,
                               const std::filesystem::path& folder = {});

// The machine options of a run (firmware, frameskip, filter, sound, gun, mapper), before its
// cartridge or firmware is loaded.
void ApplyOptions(const RunOptions& o, TSMS& machine);

// Once the cartridge (or the firmware) is loaded: checks that a recording belongs to it, then
// puts its cartridge RAM and its state in place and takes the first frame's input, as the
// window did when the recording began.
Result StartInput(const RunPlan& plan, TSMS& machine, ScriptedInput& input1, ScriptedInput& input2);
// Before frame `frame`: its reset button and silence, and the next frame's input into the
// devices (the machine polls them after the frame).
void BeforeFrame(const RunPlan& plan, std::uint64_t frame, TSMS& machine, ScriptedInput& input1,
                 ScriptedInput& input2);

} // namespace velmar::cli
