#include "frontend/InputRecorder.h"

#include "machine/TSMS.h"

#include <algorithm>

namespace velmar {

Result InputRecorder::Start(TSMS& machine, const std::filesystem::path& file,
                            const std::string& gameName) {
    if (Recording()) return {"a recording is running already"};
    machine.PauseEmulation();
    files_ = {};
    files_.Recording = RecordingFor(machine, gameName);
    if (machine.StateLoaded()) files_.State = machine.StateBytes();
    const auto& ram = machine.GetConsole().Cpu.CartridgeRam;
    if (std::any_of(ram.begin(), ram.end(), [](std::uint8_t b) { return b != 0; }))
        files_.Ram.assign(ram.begin(), ram.end());
    // The runner starts a replay from a console reset too, and its frameskip afresh.
    machine.Reset();
    Console& console = machine.GetConsole();
    if (!files_.State.empty()) console.LoadState(files_.State);
    console.FrameskipCounter = 0;
    machine_ = &machine;
    file_ = file;
    machine.SetInputTap(this);
    machine.PollInput();
    return {};
}

std::size_t InputRecorder::Frames() const {
    return files_.Recording.Frames.empty() ? 0 : files_.Recording.Frames.size() - 1;
}

Result InputRecorder::Stop() {
    if (!Recording()) return {};
    machine_->SetInputTap(nullptr);
    return Finish();
}

// The last input polled is for a frame that has not run.
Result InputRecorder::Finish() {
    machine_ = nullptr;
    if (!files_.Recording.Frames.empty()) files_.Recording.Frames.pop_back();
    return WriteRecordingFiles(file_, files_);
}

void InputRecorder::Polled(const FrameInput& input) {
    files_.Recording.Frames.push_back(input);
}

void InputRecorder::Changed(const FrameInput& input) {
    if (!files_.Recording.Frames.empty()) files_.Recording.Frames.back() = input;
}

void InputRecorder::Interrupted(const char* why) {
    const Result written = Finish();
    if (OnInterrupted) OnInterrupted(why, written);
}

} // namespace velmar
