#pragma once

// A test file of `velmar-cli check`: cases, each a run of one ROM (with the options `run`
// takes, and a --press script or a recording) and checkpoints at its frames.

#include "Replay.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmar::cli {

// A place in the file (lines and columns from 1).
struct Where {
    std::uint32_t Line = 0;
    std::uint32_t Column = 0;
};

enum class CheckKind { Screenshot, Ram, Sound, Vram, Cram };

struct Checkpoint {
    CheckKind Kind = CheckKind::Screenshot;
    Where At;
    // Taken after this frame has run (the first is 0); a sound check's first frame.
    std::uint64_t Frame = 0;
    // A sound check's last frame.
    std::uint64_t Last = 0;

    // screenshot: the baseline picture (PNG or BMP), as written and found from the file's
    // folder; the filtered 512 x 384 picture or the console's 256 x 192; pixels that may
    // differ.
    std::string BaselineName;
    std::filesystem::path Baseline;
    bool Filtered = false;
    std::uint64_t Tolerance = 0;

    // ram: bytes from Address (0xC000-0xFFFF, as the CPU reads them) equal Values where Mask
    // has bits (all bits when there is no mask).
    std::uint16_t Address = 0;
    std::vector<std::uint8_t> Values;
    std::vector<std::uint8_t> Mask;

    // sound, one of: the level (RMS, dBFS) within Level; silent; the strongest frequency
    // within PitchTolerance Hz of Pitch.
    std::optional<std::pair<double, double>> Level;
    bool Silent = false;
    std::optional<double> Pitch;
    double PitchTolerance = 0;

    // vram / cram: the CRC-32 of the memory as eight hex digits ("" until --update fills it
    // in), and where its quoted value stands in the file's text (bytes).
    std::string Hash;
    std::size_t HashBegin = 0;
    std::size_t HashEnd = 0;

    // "screenshot at frame 120", "sound over frames 0-59", ...
    std::string Describe() const;
};

struct CheckCase {
    std::string Name;
    Where At;
    RunPlan Plan;
    std::vector<Checkpoint> Checkpoints;
};

struct CheckFile {
    std::filesystem::path Path;
    std::string Text;
    std::vector<CheckCase> Cases;
};

// Reads and checks the whole file, every ROM and recording it names included. The error is
// "FILE:LINE:COLUMN: why" for the first problem.
Result ReadCheckFile(const std::filesystem::path& file, CheckFile& out);

// The file's text with the hashes of some vram and cram checkpoints replaced.
std::string ReplaceHashes(const CheckFile& file,
                          const std::vector<std::pair<const Checkpoint*, std::string>>& hashes);

} // namespace velmar::cli
