#pragma once

#include "files/InputRecording.h"
#include "machine/FrameInput.h"

#include <filesystem>
#include <functional>
#include <string>

namespace velmar {

class TSMS;

// File, Record Input...: keeps the input of every frame the machine runs, from the next
// frame on, and writes it as an input recording when stopped. It is fed by the machine's own
// input step (an InputTap), so a replay gives the frames the play-through had.
class InputRecorder final : public InputTap {
  public:
    // Begins on a parked machine: the console is reset (a state loaded since the last reset
    // is taken first and loaded again, so the recording starts from it), the first frame's
    // input is polled, and every frame's input is kept from then on. gameName is empty for a
    // firmware run.
    Result Start(TSMS& machine, const std::filesystem::path& file, const std::string& gameName);
    // Ends the recording and writes it (with the state and cartridge RAM it started from
    // beside it). Nothing to do when none runs.
    Result Stop();
    bool Recording() const { return machine_ != nullptr; }
    // Frames recorded so far.
    std::size_t Frames() const;
    const std::filesystem::path& File() const { return file_; }

    // Told when a command ended the recording: why, and how writing it went.
    std::function<void(const std::string& why, const Result& written)> OnInterrupted;

    void Polled(const FrameInput& input) override;
    void Changed(const FrameInput& input) override;
    void Interrupted(const char* why) override;

  private:
    Result Finish();

    TSMS* machine_ = nullptr;
    std::filesystem::path file_;
    RecordingFiles files_;
};

} // namespace velmar
