#include "frontend/Configuration.h"

#include <charconv>
#include <string_view>

namespace velmar {

namespace {

constexpr const char* kSections[2] = {"CONTROLLER_1", "CONTROLLER_2"};

// Decimal text (surrounding blanks allowed) to a signed 32-bit integer.
bool ToInteger(const std::string& text, std::int32_t& out) {
    std::size_t b = text.find_first_not_of(" \t");
    std::size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos) return false;
    const char* first = text.data() + b;
    const char* last = text.data() + e + 1;
    if (*first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last;
}

bool InRange(std::int32_t v, std::int32_t most) {
    return v >= 0 && v <= most;
}

std::string MapperKey(const std::string& game) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key;
    for (const char c : game) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= ' ' || b == 0x7F || std::string_view("%=;[]\"'").find(c) != std::string_view::npos)
            key += {'%', kHex[b >> 4], kHex[b & 15]};
        else
            key += c;
    }
    return key;
}

} // namespace

ControllerSetup ControllerSetup::Defaults() {
    ControllerSetup s;
    s.Pad1 = {38, 40, 37, 39, 67, 88, 13, false};
    s.Pad2 = {89, 72, 71, 74, 75, 76, 0, false};
    return s;
}

ControllerSetup ReadControllerSetup(const ProfileFile& file) {
    const ControllerSetup defaults = ControllerSetup::Defaults();
    ControllerSetup s = defaults;
    struct Field {
        int Pad;
        const char* Key;
        std::int32_t PadSetup::*Member;
    };
    static constexpr Field kOrder[] = {
        {0, "BUTTON_1", &PadSetup::Button1}, {0, "BUTTON_2", &PadSetup::Button2},
        {1, "BUTTON_1", &PadSetup::Button1}, {1, "BUTTON_2", &PadSetup::Button2},
        {0, "BUTTON_3", &PadSetup::Button3}, {0, "LEFT", &PadSetup::Left},
        {0, "RIGHT", &PadSetup::Right},      {0, "UP", &PadSetup::Up},
        {0, "DOWN", &PadSetup::Down},        {1, "LEFT", &PadSetup::Left},
        {1, "RIGHT", &PadSetup::Right},      {1, "UP", &PadSetup::Up},
        {1, "DOWN", &PadSetup::Down},
    };
    PadSetup* pads[2] = {&s.Pad1, &s.Pad2};
    const PadSetup* fallback[2] = {&defaults.Pad1, &defaults.Pad2};
    for (const Field& f : kOrder) {
        const std::string text =
            file.Read(kSections[f.Pad], f.Key, std::to_string(fallback[f.Pad]->*f.Member));
        std::int32_t value = 0;
        if (!ToInteger(text, value) || !InRange(value, 255)) {
            ControllerSetup d = defaults;
            d.FellBack = true;
            return d;
        }
        pads[f.Pad]->*f.Member = value;
    }
    s.Pad1.Joypad = file.Read(kSections[0], "JOYPAD", "0") == "1";
    s.Pad2.Joypad = !s.Pad1.Joypad && file.Read(kSections[1], "JOYPAD", "0") == "1";
    // Buttons of a pad on the joystick are joystick button numbers.
    const auto buttonsFit = [](const PadSetup& p, bool withPause) {
        return !p.Joypad || (InRange(p.Button1, 31) && InRange(p.Button2, 31) &&
                             (!withPause || InRange(p.Button3, 31)));
    };
    if (!buttonsFit(s.Pad1, true) || !buttonsFit(s.Pad2, false)) {
        ControllerSetup d = defaults;
        d.FellBack = true;
        return d;
    }
    return s;
}

FileResult WritePadSetup(ProfileFile& file, int pad, const PadSetup& setup) {
    const char* section = kSections[pad == 2 ? 1 : 0];
    const std::pair<const char*, std::string> values[] = {
        {"UP", std::to_string(setup.Up)},
        {"DOWN", std::to_string(setup.Down)},
        {"LEFT", std::to_string(setup.Left)},
        {"RIGHT", std::to_string(setup.Right)},
        {"BUTTON_1", std::to_string(setup.Button1)},
        {"BUTTON_2", std::to_string(setup.Button2)},
        {"BUTTON_3", std::to_string(setup.Button3)},
        {"JOYPAD", setup.Joypad ? "1" : "0"},
    };
    for (const auto& [key, value] : values) {
        if (pad == 2 && std::string(key) == "BUTTON_3") continue;
        if (!file.Write(section, key, value)) return {"Unable to write to " + file.Path().string()};
    }
    return {};
}

bool ReadPauseOnFocusLoss(const ProfileFile& file) {
    return file.Read(kGeneralSection, kPauseOnFocusLossKey, "1") != "0";
}

ConsoleRegion ReadRegion(const ProfileFile& file) {
    return ParseRegion(file.Read(kGeneralSection, kRegionKey, "ntsc"))
        .value_or(ConsoleRegion::Ntsc);
}

FileResult WriteRegion(ProfileFile& file, ConsoleRegion region) {
    return file.Write(kGeneralSection, kRegionKey, RegionName(region));
}

std::string ReadDefaultPath(const ProfileFile& file) {
    return file.Read(kGeneralSection, kDefaultPathKey, "");
}

void WriteDefaultPath(ProfileFile& file, const std::string& romFile) {
    const std::size_t slash = romFile.find_last_of('/');
    if (slash == std::string::npos) return;
    const std::string folder = slash == 0 ? "/" : romFile.substr(0, slash);
    if (folder.find_first_of("\r\n") != std::string::npos) return;
    (void)file.Write(kGeneralSection, kDefaultPathKey, folder);
}

MapperChoice ReadGameMapper(const ProfileFile& file, const std::string& game) {
    if (game.empty()) return MapperChoice::Auto;
    return ParseMapperChoice(file.Read(kMapperSection, MapperKey(game), "auto"))
        .value_or(MapperChoice::Auto);
}

FileResult WriteGameMapper(ProfileFile& file, const std::string& game, MapperChoice choice) {
    if (game.empty()) return {};
    return file.Write(kMapperSection, MapperKey(game), MapperChoiceName(choice));
}

std::array<std::uint32_t, 5> ButtonKeys(const ControllerSetup& s) {
    const auto pair = [](const PadSetup& p) {
        return p.Joypad ? std::array<std::uint32_t, 2>{static_cast<std::uint32_t>(p.Button1),
                                                       static_cast<std::uint32_t>(p.Button2)}
                        : std::array<std::uint32_t, 2>{0, 1};
    };
    const auto one = pair(s.Pad1);
    const auto two = pair(s.Pad2);
    const std::uint32_t pause = s.Pad1.Joypad ? static_cast<std::uint32_t>(s.Pad1.Button3) : 2;
    return {one[0], one[1], two[0], two[1], pause};
}

} // namespace velmar
