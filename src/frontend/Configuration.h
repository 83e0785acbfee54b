#pragma once

#include "core/Region.h"
#include "core/cpu/Cartridge.h"
#include "core/util/FileIo.h"
#include "frontend/ProfileFile.h"

#include <array>
#include <cstdint>
#include <string>

namespace velmar {

// One pad's stored set-up: key codes (1 to 255, 0 = none) or, for the buttons of a pad on
// the joystick, joystick button numbers (0 to 31). Button3 is the pause (pad 1 only).
struct PadSetup {
    std::int32_t Up = 0;
    std::int32_t Down = 0;
    std::int32_t Left = 0;
    std::int32_t Right = 0;
    std::int32_t Button1 = 0;
    std::int32_t Button2 = 0;
    std::int32_t Button3 = 0;
    bool Joypad = false;
    bool operator==(const PadSetup&) const = default;
};

struct ControllerSetup {
    PadSetup Pad1;
    PadSetup Pad2;
    // True when the file held a bad value and the defaults stand in.
    bool FellBack = false;

    // Both pads on the keyboard: arrows with C, X and Enter; Y, H, G, J with K and L.
    static ControllerSetup Defaults();
};

inline constexpr const char* kIniFileName = "Velmar.ini";
inline constexpr const char* kGeneralSection = "GENERAL_OPTIONS";
inline constexpr const char* kDefaultPathKey = "DEFAULT_PATH";
inline constexpr const char* kPauseOnFocusLossKey = "PAUSE_ON_FOCUS_LOSS";
inline constexpr const char* kMapperSection = "MAPPER";
inline constexpr const char* kRegionKey = "REGION";

// Reads both pads' set-up. A value that is not a decimal integer, a key code outside 0 to
// 255 or a joystick button outside 0 to 31 makes the whole set-up fall back to the
// defaults. Pad 2's JOYPAD is only read when pad 1 is not on the joystick; a flag is set
// only by the text "1".
ControllerSetup ReadControllerSetup(const ProfileFile& file);

// Writes one pad's section (pad 1 or 2): UP, DOWN, LEFT, RIGHT, BUTTON_1, BUTTON_2,
// BUTTON_3 (pad 1 only), JOYPAD. On failure the error is "Unable to write to {file}".
FileResult WritePadSetup(ProfileFile& file, int pad, const PadSetup& setup);

// Whether the game pauses while the window is not in front: on unless the file says "0".
bool ReadPauseOnFocusLoss(const ProfileFile& file);

// The console's region, REGION in GENERAL_OPTIONS: "ntsc" or "pal"; NTSC when the key is
// missing or holds anything else.
ConsoleRegion ReadRegion(const ProfileFile& file);
FileResult WriteRegion(ProfileFile& file, ConsoleRegion region);

// The folder the ROM dialog opens in (empty: its own default).
std::string ReadDefaultPath(const ProfileFile& file);
// Stores the folder of a chosen ROM file: the text before its last '/' ("/" for a file in
// the root folder). A folder holding a line break is not stored. Failures are ignored.
void WriteDefaultPath(ProfileFile& file, const std::string& romFile);

// The mapper chosen for a game (by its base name) in section MAPPER: "sega", "codemasters",
// "korean" or "none"; Auto when the game has no entry or an unknown one. The base name is
// stored with '%', '=', ';', '[', ']', quotes, blanks and control characters written as %XX,
// so that any file name makes one key. A game without a name is not stored.
MapperChoice ReadGameMapper(const ProfileFile& file, const std::string& game);
FileResult WriteGameMapper(ProfileFile& file, const std::string& game, MapperChoice choice);

// The five numbers handed to the machine's SetKeys for a set-up: a pad on the joystick
// passes its joystick buttons, a pad on the keyboard 0 and 1; the pause is pad 1's
// joystick button when pad 1 is on the joystick, else 2 (its Pause key).
std::array<std::uint32_t, 5> ButtonKeys(const ControllerSetup& setup);

} // namespace velmar
