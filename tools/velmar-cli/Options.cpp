#include "Options.h"

#include "files/InputRecording.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace velmar::cli {

namespace {

constexpr std::uint64_t kMostFrames = 100'000'000;

bool ParseNumber(std::string_view text, std::uint64_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParsePress(std::string_view text, PressRange& range, std::string& why) {
    const std::size_t colon = text.find(':');
    const std::size_t dash = text.find('-');
    if (colon == std::string_view::npos || dash == std::string_view::npos || dash > colon) {
        why = "expected A-B:KEYS";
        return false;
    }
    if (!ParseNumber(text.substr(0, dash), range.First) ||
        !ParseNumber(text.substr(dash + 1, colon - dash - 1), range.Last)) {
        why = "frame numbers must be whole numbers";
        return false;
    }
    if (range.Last < range.First) {
        why = "the last frame comes before the first";
        return false;
    }
    const std::optional<std::uint32_t> keys = ParseKeyList(text.substr(colon + 1), false, why);
    if (!keys) return false;
    range.Keys = *keys;
    return true;
}

// A-B:X,Y with X below 256 and Y below 192.
bool ParseAim(std::string_view text, AimRange& range, std::string& why) {
    const std::size_t colon = text.find(':');
    const std::size_t dash = text.find('-');
    const std::size_t comma = text.find(',', colon == std::string_view::npos ? 0 : colon);
    std::uint64_t x = 0, y = 0;
    if (colon == std::string_view::npos || dash > colon || comma == std::string_view::npos ||
        !ParseNumber(text.substr(0, dash), range.First) ||
        !ParseNumber(text.substr(dash + 1, colon - dash - 1), range.Last) ||
        !ParseNumber(text.substr(colon + 1, comma - colon - 1), x) ||
        !ParseNumber(text.substr(comma + 1), y)) {
        why = "expected A-B:X,Y (whole numbers)";
        return false;
    }
    if (range.Last < range.First) {
        why = "the last frame comes before the first";
        return false;
    }
    if (x > 255 || y > 191) {
        why = "the point lies outside the 256 x 192 picture";
        return false;
    }
    range.X = static_cast<int>(x);
    range.Y = static_cast<int>(y);
    return true;
}

bool OnOff(std::string_view text, bool& out) {
    if (text == "on") {
        out = true;
        return true;
    }
    if (text == "off") {
        out = false;
        return true;
    }
    return false;
}

} // namespace

std::uint32_t RunOptions::KeysAt(std::uint64_t frame) const {
    std::uint32_t keys = 0;
    for (const PressRange& r : Presses)
        if (frame >= r.First && frame <= r.Last) keys |= r.Keys;
    return keys;
}

std::pair<int, int> RunOptions::AimAt(std::uint64_t frame) const {
    std::pair<int, int> point{-1, -1};
    for (const AimRange& r : Aims)
        if (frame >= r.First && frame <= r.Last) point = {r.X, r.Y};
    return point;
}

std::optional<RunOptions> ParseRunOptions(const std::vector<std::string>& args,
                                          std::string& error) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    return ParseRunOptions(static_cast<int>(argv.size()), argv.data(), error);
}

std::optional<RunOptions> ParseRunOptions(int argc, char** argv, std::string& error) {
    RunOptions o;
    const auto fail = [&error](const std::string& message) {
        error = message;
        return std::optional<RunOptions>{};
    };
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&](std::string_view& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string_view v;
        if (arg == "--bios") {
            o.Bios = true;
        } else if (arg == "--fm") {
            o.Fm = true;
        } else if (arg == "--frames" || arg == "--frameskip" || arg == "--bios-type" ||
                   arg == "--press" || arg == "--data-dir" || arg == "--screenshot" ||
                   arg == "--wav" || arg == "--mixer" || arg == "--hq2x" || arg == "--state-in" ||
                   arg == "--state-out" || arg == "--avi" || arg == "--gun" || arg == "--aim" ||
                   arg == "--mapper" || arg == "--region" || arg == "--input") {
            if (!value(v)) return fail(std::string(arg) + " needs a value");
            if (arg == "--frames") {
                std::uint64_t n = 0;
                if (!ParseNumber(v, n) || n > kMostFrames)
                    return fail("bad --frames value '" + std::string(v) +
                                "' (a whole number from 0 to 100,000,000)");
                o.Frames = n;
                o.FramesGiven = true;
            } else if (arg == "--frameskip") {
                std::uint64_t n = 0;
                if (!ParseNumber(v, n) || n > 255)
                    return fail("bad --frameskip value '" + std::string(v) + "' (0 to 255)");
                o.Frameskip = static_cast<std::uint8_t>(n);
            } else if (arg == "--bios-type") {
                if (v == "export")
                    o.BiosType = 1;
                else if (v == "japan")
                    o.BiosType = 0;
                else
                    return fail("bad --bios-type value '" + std::string(v) + "' (export or japan)");
            } else if (arg == "--press") {
                PressRange range;
                std::string why;
                if (!ParsePress(v, range, why))
                    return fail("bad --press value '" + std::string(v) + "': " + why);
                o.Presses.push_back(range);
            } else if (arg == "--gun") {
                if (v != "a" && v != "b")
                    return fail("bad --gun value '" + std::string(v) + "' (a or b)");
                o.GunPort = v == "a" ? 1 : 2;
            } else if (arg == "--aim") {
                AimRange range;
                std::string why;
                if (!ParseAim(v, range, why))
                    return fail("bad --aim value '" + std::string(v) + "': " + why);
                o.Aims.push_back(range);
            } else if (arg == "--mapper") {
                const std::optional<MapperChoice> choice = ParseMapperChoice(v);
                if (!choice)
                    return fail("bad --mapper value '" + std::string(v) +
                                "' (auto, sega, codemasters, korean or none)");
                o.Mapper = *choice;
            } else if (arg == "--region") {
                const std::optional<ConsoleRegion> region = ParseRegion(v);
                if (!region)
                    return fail("bad --region value '" + std::string(v) + "' (ntsc or pal)");
                o.Region = *region;
            } else if (arg == "--mixer" || arg == "--hq2x") {
                bool& flag = arg == "--mixer" ? o.Mixer : o.Hq2x;
                if (!OnOff(v, flag))
                    return fail("bad " + std::string(arg) + " value '" + std::string(v) +
                                "' (on or off)");
            } else {
                if (v.empty()) return fail(std::string(arg) + " needs a value");
                std::string& target = arg == "--data-dir"     ? o.DataDir
                                      : arg == "--screenshot" ? o.Screenshot
                                      : arg == "--wav"        ? o.Wav
                                      : arg == "--state-in"   ? o.StateIn
                                      : arg == "--avi"        ? o.Avi
                                      : arg == "--input"      ? o.Input
                                                              : o.StateOut;
                target = v;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return fail("unknown option '" + std::string(arg) + "'");
        } else {
            if (!o.Rom.empty()) return fail("more than one ROM given");
            o.Rom = arg;
        }
    }
    if (o.Bios && !o.Rom.empty()) return fail("give either a ROM or --bios, not both");
    if (!o.Input.empty() && (!o.Presses.empty() || !o.Aims.empty()))
        return fail("--press and --aim do not go with --input: the recording holds the input");
    if (!o.Aims.empty() && o.GunPort == 0) return fail("--aim needs a light gun (--gun a or b)");
    if (!o.Bios && o.Rom.empty()) return fail("no ROM given (or --bios)");
    return o;
}

} // namespace velmar::cli
