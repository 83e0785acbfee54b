#pragma once

#include "core/Region.h"
#include "core/cpu/Cartridge.h"
#include "machine/FrameInput.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmar::cli {

// Keys a --press script can hold: the machine's frame keys (p1up ... reset).
using PressKey = FrameKey;

// Keys held during frames First..Last inclusive (the first frame is 0).
struct PressRange {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
    std::uint32_t Keys = 0;
};

// Where a light gun aims during frames First..Last inclusive: a point of the 256 x 192
// picture.
struct AimRange {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
    int X = 0;
    int Y = 0;
};

struct RunOptions {
    std::string Rom;
    bool Bios = false;
    std::uint64_t Frames = 600;
    bool FramesGiven = false;  // --frames was given (else a recording's length is run)
    std::uint8_t BiosType = 1; // 1 export, 0 japan
    std::vector<PressRange> Presses;
    std::uint8_t Frameskip = 0;
    std::string DataDir;
    std::string Screenshot;
    std::string Wav;
    std::string StateIn;
    std::string Input; // an input recording to replay
    std::string StateOut;
    std::string Avi;
    bool Fm = false;
    bool Mixer = true;
    bool Hq2x = true;
    std::uint8_t GunPort = 0; // 1 port A, 2 port B; its trigger is that pad's button 1
    std::vector<AimRange> Aims;
    MapperChoice Mapper = MapperChoice::Auto;
    ConsoleRegion Region = ConsoleRegion::Ntsc;

    // The keys held during one frame.
    std::uint32_t KeysAt(std::uint64_t frame) const;
    // The point aimed at during one frame (the last range that covers it), or -1, -1.
    std::pair<int, int> AimAt(std::uint64_t frame) const;
};

// Parses the arguments after the command name. On failure returns nothing and sets error to
// one line naming the problem.
std::optional<RunOptions> ParseRunOptions(int argc, char** argv, std::string& error);
std::optional<RunOptions> ParseRunOptions(const std::vector<std::string>& args, std::string& error);

} // namespace velmar::cli
