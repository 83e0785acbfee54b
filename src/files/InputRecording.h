#pragma once

// An input recording: every frame's pad, pause and reset state from where it starts (a
// console reset, or a save state stored beside it), with the game's name, the hash of its
// ROM and the runner options it was made with. The desktop writes it and the command-line
// runner replays it, both through this file. The text format (a version line first) is
// described in the README.

#include "core/util/Result.h"
#include "machine/FrameInput.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmar {

class TSMS;

// "p1up" ... "reset": the keys a --press script and a recording name; a recording also
// writes "silence" (the window paused the game, which silences the sound chip).
struct KeyName {
    const char* Name;
    std::uint32_t Key;
};
std::span<const KeyName> KeyNames();
// Comma-separated key names into key bits; withSilence also takes "silence". Nothing on a
// failure, with why set.
std::optional<std::uint32_t> ParseKeyList(std::string_view text, bool withSilence,
                                          std::string& why);

// CRC-32 (the one zip files use).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);
// The loaded cartridge's ROM image (header removed) hashed; 0 without one.
std::uint32_t LoadedRomCrc(TSMS& machine);

struct InputRecording {
    static constexpr int kVersion = 1;
    // A recording holds at most this many frames (about 46 hours).
    static constexpr std::size_t kMostFrames = 10'000'000;

    // The game's name and its ROM's hash; an empty name for a firmware run.
    std::string RomName;
    std::uint32_t RomCrc = 0;
    // The runner's option words it was made with ("--bios-type", "export", "--fm", ...).
    std::vector<std::string> Options;
    // Files beside the recording: the save state it starts from (empty: a console reset) and
    // the cartridge RAM the game had (empty: clear).
    std::string StateFile;
    std::string RamFile;
    std::vector<FrameInput> Frames;

    std::string Text() const;
    // Reads the text; on failure "line N: why" and out is left as it was.
    static Result Parse(std::string_view text, InputRecording& out);
};

// A recording with its state and cartridge RAM, as read from or written to the disk. The
// state and the RAM are stored beside the recording, named after it (.vlr, .ram), when
// they are not empty.
struct RecordingFiles {
    InputRecording Recording;
    std::vector<std::uint8_t> State;
    std::vector<std::uint8_t> Ram;
};

// Reads a recording and the files it names; errors name the file (and the line).
Result ReadRecordingFiles(const std::filesystem::path& file, RecordingFiles& out);
// Writes the recording and the files beside it, each whole or not at all, the recording
// last; fills in the names of the files beside it.
Result WriteRecordingFiles(const std::filesystem::path& file, RecordingFiles& files);

// What a recording takes from a machine about to record: the game's name (empty for the
// firmware), its ROM's hash and the runner options it runs with.
InputRecording RecordingFor(TSMS& machine, const std::string& gameName);
// Why a recording does not belong to a ROM image of this hash (empty when it does).
std::string RecordingMismatch(const InputRecording& recording, std::uint32_t romCrc,
                              const std::string& romName);

} // namespace velmar
