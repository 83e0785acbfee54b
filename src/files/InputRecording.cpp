#include "files/InputRecording.h"

#include "core/util/FileIo.h"
#include "core/util/StagedFile.h"
#include "machine/TSMS.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace velmar {

namespace {

constexpr KeyName kKeyNames[] = {
    {"p1up", kKeyP1Up},       {"p1down", kKeyP1Down}, {"p1left", kKeyP1Left},
    {"p1right", kKeyP1Right}, {"p1b1", kKeyP1B1},     {"p1b2", kKeyP1B2},
    {"p2up", kKeyP2Up},       {"p2down", kKeyP2Down}, {"p2left", kKeyP2Left},
    {"p2right", kKeyP2Right}, {"p2b1", kKeyP2B1},     {"p2b2", kKeyP2B2},
    {"pause", kKeyPause},     {"reset", kKeyReset},   {"silence", kKeySilence},
};
constexpr std::size_t kPressKeyCount = std::size(kKeyNames) - 1; // all but "silence"

constexpr const char* kMagic = "velmar-input";
constexpr std::size_t kCartridgeRamBytes = ConsoleMemory::kCartridgeRamSize;
// Larger files are not recordings this program wrote (a frame line is under 100 bytes).
constexpr std::size_t kMostFileBytes = 256u << 20;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

bool Number(std::string_view text, std::uint64_t& out, int base = 10) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

// The first word of a line and the rest after one space.
std::pair<std::string_view, std::string_view> Split(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return {line, {}};
    return {line.substr(0, space), line.substr(space + 1)};
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        if (space != 0) words.emplace_back(text.substr(0, space));
        if (space == std::string_view::npos) break;
        text.remove_prefix(space + 1);
    }
    return words;
}

std::string KeyList(std::uint32_t keys) {
    std::string text;
    for (const KeyName& k : kKeyNames)
        if ((keys & k.Key) != 0) text += (text.empty() ? "" : ",") + std::string(k.Name);
    return text;
}

// A name beside the recording, or nothing: only a plain file name is taken, so a recording
// cannot lead the runner to read elsewhere.
bool PlainName(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// "FIRST[-LAST] [KEYS|-] [X,Y]": one or more frames holding the same input.
bool ParseFrames(std::string_view line, std::uint64_t& first, std::uint64_t& last,
                 FrameInput& input, std::string& why) {
    const std::vector<std::string> words = Words(line);
    if (words.empty() || words.size() > 3) {
        why = "expected FIRST[-LAST] KEYS [X,Y]";
        return false;
    }
    const std::string_view range = words[0];
    const std::size_t dash = range.find('-');
    if (!Number(range.substr(0, dash), first) ||
        !Number(dash == std::string_view::npos ? range.substr(0, dash) : range.substr(dash + 1),
                last)) {
        why = "bad frame range '" + words[0] + "'";
        return false;
    }
    if (last < first) {
        why = "the last frame comes before the first";
        return false;
    }
    input = {};
    if (words.size() >= 2 && words[1] != "-") {
        const std::optional<std::uint32_t> keys = ParseKeyList(words[1], true, why);
        if (!keys) return false;
        input.Keys = *keys;
    }
    if (words.size() == 3) {
        const std::string_view aim = words[2];
        const std::size_t comma = aim.find(',');
        std::uint64_t x = 0, y = 0;
        if (comma == std::string_view::npos || !Number(aim.substr(0, comma), x) ||
            !Number(aim.substr(comma + 1), y) || x > 255 || y > 191) {
            why = "bad aim '" + words[2] + "' (X,Y within the 256 x 192 picture)";
            return false;
        }
        input.AimX = static_cast<int>(x);
        input.AimY = static_cast<int>(y);
    }
    return true;
}

} // namespace

std::span<const KeyName> KeyNames() {
    return {kKeyNames, kPressKeyCount};
}

std::optional<std::uint32_t> ParseKeyList(std::string_view text, bool withSilence,
                                          std::string& why) {
    if (text.empty()) {
        why = "no keys given";
        return std::nullopt;
    }
    const std::span<const KeyName> names{kKeyNames,
                                         withSilence ? std::size(kKeyNames) : kPressKeyCount};
    std::uint32_t keys = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view name = text.substr(0, comma);
        const auto found = std::find_if(names.begin(), names.end(),
                                        [name](const KeyName& k) { return name == k.Name; });
        if (name.empty()) {
            why = "empty key name";
            return std::nullopt;
        }
        if (found == names.end()) {
            why = "unknown key '" + std::string(name) + "'";
            return std::nullopt;
        }
        keys |= found->Key;
        if (comma == std::string_view::npos) return keys;
        text.remove_prefix(comma + 1);
    }
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) c = kCrcTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t LoadedRomCrc(TSMS& machine) {
    const auto& cpu = machine.GetConsole().Cpu;
    return Crc32(
        std::span(cpu.RomImage).first(std::min<std::size_t>(cpu.RomSize, cpu.RomImage.size())));
}

std::string InputRecording::Text() const {
    std::string text = std::string(kMagic) + " " + std::to_string(kVersion) + "\n";
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", RomCrc);
    if (!RomName.empty()) text += "rom " + std::string(crc) + " " + RomName + "\n";
    text += "options";
    for (const std::string& word : Options) text += " " + word;
    text += "\n";
    if (!StateFile.empty()) text += "state " + StateFile + "\n";
    if (!RamFile.empty()) text += "ram " + RamFile + "\n";
    text += "frames " + std::to_string(Frames.size()) + "\n";
    for (std::size_t first = 0; first < Frames.size();) {
        std::size_t last = first;
        while (last + 1 < Frames.size() && Frames[last + 1] == Frames[first]) ++last;
        const FrameInput& in = Frames[first];
        text += std::to_string(first);
        if (last != first) text += "-" + std::to_string(last);
        text += " " + (in.Keys != 0 ? KeyList(in.Keys) : std::string("-"));
        if (in.AimX >= 0 && in.AimY >= 0)
            text += " " + std::to_string(in.AimX) + "," + std::to_string(in.AimY);
        text += "\n";
        first = last + 1;
    }
    return text;
}

Result InputRecording::Parse(std::string_view text, InputRecording& out) {
    InputRecording r;
    std::size_t lineNumber = 0;
    bool haveFrames = false;
    std::uint64_t frameCount = 0;
    std::uint64_t nextFrame = 0; // frame lines come in order, without overlaps
    const auto fail = [&lineNumber](const std::string& why) {
        return Result{"line " + std::to_string(lineNumber) + ": " + why};
    };
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (lineNumber == 1) {
            const auto [magic, version] = Split(line);
            std::uint64_t v = 0;
            if (magic != kMagic || !Number(version, v))
                return fail("not an input recording (it starts with \"" + std::string(kMagic) +
                            " VERSION\")");
            if (v != kVersion)
                return fail("recording version " + std::string(version) +
                            "; this program reads version " + std::to_string(kVersion));
            continue;
        }
        if (line.empty() || line[0] == '#') continue;
        const auto [word, rest] = Split(line);
        if (haveFrames) {
            std::uint64_t first = 0, last = 0;
            FrameInput input;
            std::string why;
            if (!ParseFrames(line, first, last, input, why)) return fail(why);
            if (first < nextFrame) return fail("frames out of order or repeated");
            if (last >= frameCount)
                return fail("frame " + std::to_string(last) + " lies past the recording's " +
                            std::to_string(frameCount) + " frames");
            std::fill(r.Frames.begin() + static_cast<std::ptrdiff_t>(first),
                      r.Frames.begin() + static_cast<std::ptrdiff_t>(last) + 1, input);
            nextFrame = last + 1;
        } else if (word == "rom") {
            const auto [crc, name] = Split(rest);
            std::uint64_t value = 0;
            if (crc.size() != 8 || !Number(crc, value, 16) || name.empty())
                return fail("expected \"rom CRC32 NAME\" (eight hex digits)");
            r.RomCrc = static_cast<std::uint32_t>(value);
            r.RomName = name;
        } else if (word == "options") {
            r.Options = Words(rest);
        } else if (word == "state" || word == "ram") {
            if (!PlainName(rest))
                return fail("'" + std::string(word) + "' names a file beside the recording");
            (word == "state" ? r.StateFile : r.RamFile) = rest;
        } else if (word == "frames") {
            if (!Number(rest, frameCount) || frameCount > kMostFrames)
                return fail("bad frame count '" + std::string(rest) + "' (at most " +
                            std::to_string(kMostFrames) + ")");
            r.Frames.assign(frameCount, FrameInput{});
            haveFrames = true;
        } else {
            return fail("unknown line '" + std::string(word) + "'");
        }
    }
    if (lineNumber == 0) return {"line 1: empty file"};
    if (!haveFrames) return fail("no \"frames\" line");
    out = std::move(r);
    return {};
}

Result ReadRecordingFiles(const std::filesystem::path& file, RecordingFiles& out) {
    std::vector<std::uint8_t> bytes;
    if (Result read = ReadWholeFile(file, bytes, kMostFileBytes); !read) return read;
    RecordingFiles files;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (Result parsed = InputRecording::Parse(text, files.Recording); !parsed)
        return {"'" + file.string() + "' " + parsed.error};
    const std::filesystem::path folder = file.parent_path();
    if (!files.Recording.StateFile.empty()) {
        const std::filesystem::path state = folder / files.Recording.StateFile;
        if (Result read = ReadWholeFile(state, files.State, console::kStateFileSize + 1); !read)
            return {"the recording's state: " + read.error};
        if (files.State.size() != console::kStateFileSize)
            return {"the recording's state '" + state.string() + "' is not a save state"};
    }
    if (!files.Recording.RamFile.empty()) {
        const std::filesystem::path ram = folder / files.Recording.RamFile;
        if (Result read = ReadWholeFile(ram, files.Ram, kCartridgeRamBytes + 1); !read)
            return {"the recording's cartridge RAM: " + read.error};
        if (files.Ram.size() != kCartridgeRamBytes)
            return {"the recording's cartridge RAM '" + ram.string() + "' is not " +
                    std::to_string(kCartridgeRamBytes) + " bytes"};
    }
    out = std::move(files);
    return {};
}

Result WriteRecordingFiles(const std::filesystem::path& file, RecordingFiles& files) {
    InputRecording& r = files.Recording;
    const std::string stem = file.stem().string();
    r.StateFile = files.State.empty() ? "" : stem + ".vlr";
    r.RamFile = files.Ram.empty() ? "" : stem + ".ram";
    const std::string text = r.Text();
    StagedFile staged[3];
    const std::filesystem::path folder = file.parent_path();
    const std::pair<std::filesystem::path, std::span<const std::uint8_t>> parts[3] = {
        {r.StateFile.empty() ? "" : folder / r.StateFile, files.State},
        {r.RamFile.empty() ? "" : folder / r.RamFile, files.Ram},
        {file, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}},
    };
    for (int i = 0; i < 3; ++i) {
        if (parts[i].first.empty()) continue;
        if (Result opened = staged[i].Open(parts[i].first); !opened) return opened;
        if (Result written = staged[i].Write(parts[i].second); !written) return written;
        if (Result finished = staged[i].Finish(); !finished) return finished;
    }
    for (StagedFile& s : staged)
        if (s.IsOpen())
            if (Result committed = s.Commit(); !committed) return committed;
    return {};
}

InputRecording RecordingFor(TSMS& machine, const std::string& gameName) {
    const Console& console = machine.GetConsole();
    InputRecording r;
    r.RomName = gameName;
    if (gameName.empty())
        r.Options.push_back("--bios");
    else
        r.RomCrc = LoadedRomCrc(machine);
    r.Options.insert(r.Options.end(),
                     {"--bios-type", console.Cpu.BiosType == 1 ? "export" : "japan"});
    if (!gameName.empty())
        r.Options.insert(r.Options.end(),
                         {"--mapper", MapperChoiceName(machine.GetMapperChoice())});
    if (console.Fm.FmEnabled == 1) r.Options.push_back("--fm");
    if (console.MixerOn != 1) r.Options.insert(r.Options.end(), {"--mixer", "off"});
    if (console.Frameskip != 0)
        r.Options.insert(r.Options.end(), {"--frameskip", std::to_string(console.Frameskip)});
    if (console.Bus.GunPort != 0)
        r.Options.insert(r.Options.end(),
                         {"--gun", console.Bus.GunPort == bus::kPortA ? "a" : "b"});
    if (machine.GetRegion() != ConsoleRegion::Ntsc)
        r.Options.insert(r.Options.end(), {"--region", RegionName(machine.GetRegion())});
    return r;
}

std::string RecordingMismatch(const InputRecording& recording, std::uint32_t crc,
                              const std::string& romName) {
    if (recording.RomName.empty() || crc == recording.RomCrc) return {};
    char text[160];
    std::snprintf(text, sizeof text, "(CRC-32 %08x), not for '", recording.RomCrc);
    char ours[32];
    std::snprintf(ours, sizeof ours, "' (CRC-32 %08x)", crc);
    return "the recording was made for '" + recording.RomName + "' " + text + romName + ours;
}

} // namespace velmar
