#include "CheckFile.h"

#include "core/util/FileIo.h"
#include "files/RomFiles.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace velmar::cli {

namespace {

namespace fs = std::filesystem;

// Larger files are not test files.
constexpr std::size_t kMostFileBytes = 16u << 20;

// The keys of a case that are not options of `run`.
constexpr const char* kCheckpointKeys[] = {"screenshot", "ram", "sound", "vram", "cram"};
// Options of `run` whose value names a file, found from the test file's folder.
constexpr const char* kPathOptions[] = {"input", "state-in"};
// Options of `run` that write files: a check writes only its report and pictures.
constexpr const char* kOutputOptions[] = {"wav", "avi", "state-out", "data-dir"};

template <std::size_t N> bool OneOf(std::string_view key, const char* const (&names)[N]) {
    return std::any_of(std::begin(names), std::end(names),
                       [key](const char* n) { return key == n; });
}

// A problem at a place in the file.
struct Problem {
    Where At;
    std::string Why;
};

Where WhereOf(const toml::source_region& region) {
    return {region.begin.line, region.begin.column};
}

class Reader {
  public:
    Reader(const CheckFile& file) : file_(file), folder_(file.Path.parent_path()) {}

    std::optional<Problem> ReadCase(const toml::table& table, std::size_t index, CheckCase& out);

  private:
    std::optional<Problem> ReadCheckpoint(CheckKind kind, const toml::table& table,
                                          Checkpoint& out);
    std::optional<Problem> ReadOptions(const toml::table& table, CheckCase& out);
    std::size_t Offset(Where at) const;

    const CheckFile& file_;
    fs::path folder_;
};

std::optional<Problem> Wrong(const toml::node& node, const std::string& why) {
    return Problem{WhereOf(node.source()), why};
}

// A whole number within [least, most].
std::optional<Problem> Whole(const toml::node& node, const char* key, std::int64_t least,
                             std::int64_t most, std::int64_t& out) {
    const auto* value = node.as_integer();
    if (value == nullptr || value->get() < least || value->get() > most)
        return Wrong(node, std::string(key) + " must be a whole number from " +
                               std::to_string(least) + " to " + std::to_string(most));
    out = value->get();
    return std::nullopt;
}

std::optional<Problem> Number(const toml::node& node, const char* key, double& out) {
    const std::optional<double> value = node.value<double>();
    if (!value || !std::isfinite(*value))
        return Wrong(node, std::string(key) + " must be a number");
    out = *value;
    return std::nullopt;
}

// Bytes: one whole number, or an array of them.
std::optional<Problem> Bytes(const toml::node& node, const char* key,
                             std::vector<std::uint8_t>& out) {
    const auto put = [&](const toml::node& n) -> std::optional<Problem> {
        std::int64_t v = 0;
        if (auto p = Whole(n, key, 0, 255, v)) return p;
        out.push_back(static_cast<std::uint8_t>(v));
        return std::nullopt;
    };
    if (const auto* array = node.as_array()) {
        if (array->empty()) return Wrong(node, std::string(key) + " holds no bytes");
        for (const toml::node& n : *array)
            if (auto p = put(n)) return p;
        return std::nullopt;
    }
    return put(node);
}

std::size_t Reader::Offset(Where at) const {
    std::size_t offset = 0;
    for (std::uint32_t line = 1; line < at.Line && offset < file_.Text.size(); ++line) {
        const std::size_t end = file_.Text.find('\n', offset);
        offset = end == std::string::npos ? file_.Text.size() : end + 1;
    }
    return std::min(offset + (at.Column > 0 ? at.Column - 1 : 0), file_.Text.size());
}

std::optional<Problem> Reader::ReadCheckpoint(CheckKind kind, const toml::table& table,
                                              Checkpoint& c) {
    c.Kind = kind;
    c.At = WhereOf(table.source());
    const char* name = kCheckpointKeys[static_cast<int>(kind)];
    std::set<std::string> seen;
    for (const auto& [key, node] : table) {
        const std::string k(key.str());
        seen.insert(k);
        std::int64_t n = 0;
        std::optional<Problem> p;
        const auto unknown = [&] {
            return Problem{WhereOf(key.source()),
                           "unknown key '" + k + "' in a " + name + " checkpoint"};
        };
        if (k == "frame" && kind != CheckKind::Sound) {
            p = Whole(node, "frame", 0, INT64_MAX, n);
            c.Frame = static_cast<std::uint64_t>(n);
        } else if ((k == "first" || k == "last") && kind == CheckKind::Sound) {
            p = Whole(node, k.c_str(), 0, INT64_MAX, n);
            (k == "first" ? c.Frame : c.Last) = static_cast<std::uint64_t>(n);
        } else if (kind == CheckKind::Screenshot && k == "baseline") {
            const auto* text = node.as_string();
            if (text == nullptr || text->get().empty())
                return Wrong(node, "baseline must name a picture file (.png or .bmp)");
            c.BaselineName = text->get();
            c.Baseline = folder_ / c.BaselineName;
        } else if (kind == CheckKind::Screenshot && k == "filtered") {
            if (!node.is_boolean()) return Wrong(node, "filtered must be true or false");
            c.Filtered = node.as_boolean()->get();
        } else if (kind == CheckKind::Screenshot && k == "tolerance") {
            p = Whole(node, "tolerance", 0, 512 * 384, n);
            c.Tolerance = static_cast<std::uint64_t>(n);
        } else if (kind == CheckKind::Ram && k == "address") {
            p = Whole(node, "address", 0xC000, 0xFFFF, n);
            c.Address = static_cast<std::uint16_t>(n);
        } else if (kind == CheckKind::Ram && (k == "values" || k == "mask")) {
            p = Bytes(node, k.c_str(), k == "values" ? c.Values : c.Mask);
        } else if (kind == CheckKind::Sound && k == "level") {
            const auto* range = node.as_array();
            std::pair<double, double> level;
            if (range == nullptr || range->size() != 2 ||
                Number(*range->get(0), "level", level.first) ||
                Number(*range->get(1), "level", level.second) || level.second < level.first)
                return Wrong(node, "level must be [LEAST, MOST] in dBFS");
            c.Level = level;
        } else if (kind == CheckKind::Sound && k == "silent") {
            if (!node.is_boolean() || !node.as_boolean()->get())
                return Wrong(node, "silent must be true (or left out)");
            c.Silent = true;
        } else if (kind == CheckKind::Sound && k == "pitch") {
            double hz = 0;
            if (Number(node, "pitch", hz) || hz < 20 || hz > 22050)
                return Wrong(node, "pitch must be a frequency from 20 to 22050 Hz");
            c.Pitch = hz;
        } else if (kind == CheckKind::Sound && k == "tolerance") {
            if (Number(node, "tolerance", c.PitchTolerance) || c.PitchTolerance < 0)
                return Wrong(node, "tolerance must be a number of Hz, 0 or more");
        } else if ((kind == CheckKind::Vram || kind == CheckKind::Cram) && k == "hash") {
            const auto* text = node.as_string();
            std::string h = text != nullptr ? text->get() : std::string("?");
            std::transform(h.begin(), h.end(), h.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
            if (!h.empty() &&
                (h.size() != 8 || h.find_first_not_of("0123456789abcdef") != std::string::npos))
                return Wrong(node,
                             "hash must be eight hex digits (\"\" until --update fills it in)");
            c.Hash = h;
            // The quoted value: the first quote after the key's '='.
            const std::size_t keyAt = Offset(WhereOf(key.source()));
            const std::size_t open = file_.Text.find_first_of("\"'", file_.Text.find('=', keyAt));
            const std::size_t close =
                open == std::string::npos ? open : file_.Text.find(file_.Text[open], open + 1);
            if (close == std::string::npos) return Wrong(node, "hash must be a quoted string");
            c.HashBegin = open;
            c.HashEnd = close + 1;
        } else {
            return unknown();
        }
        if (p) return p;
    }
    const auto missing = [&](const char* key) {
        return Problem{c.At, std::string("a ") + name + " checkpoint needs " + key};
    };
    switch (kind) {
    case CheckKind::Screenshot:
        if (!seen.contains("frame")) return missing("frame");
        if (!seen.contains("baseline")) return missing("baseline");
        break;
    case CheckKind::Ram:
        if (!seen.contains("frame")) return missing("frame");
        if (!seen.contains("address")) return missing("address");
        if (!seen.contains("values")) return missing("values");
        if (c.Mask.size() == 1) c.Mask.resize(c.Values.size(), c.Mask[0]);
        if (!c.Mask.empty() && c.Mask.size() != c.Values.size())
            return Problem{c.At, "mask must hold one byte, or as many as values"};
        if (c.Address + c.Values.size() > 0x10000)
            return Problem{c.At, "the bytes run past address 0xFFFF"};
        break;
    case CheckKind::Sound:
        if (!seen.contains("first")) return missing("first");
        if (!seen.contains("last")) return missing("last");
        if (c.Last < c.Frame) return Problem{c.At, "last comes before first"};
        if (int(c.Level.has_value()) + int(c.Silent) + int(c.Pitch.has_value()) != 1)
            return Problem{c.At, "a sound checkpoint needs one of level, silent and pitch"};
        if (seen.contains("tolerance") && !c.Pitch)
            return Problem{c.At, "tolerance goes with pitch"};
        if (c.Pitch && !seen.contains("tolerance")) c.PitchTolerance = *c.Pitch / 100;
        break;
    case CheckKind::Vram:
    case CheckKind::Cram:
        if (!seen.contains("frame")) return missing("frame");
        if (!seen.contains("hash")) return missing("hash (\"\" until --update fills it in)");
        break;
    }
    return std::nullopt;
}

// The case's other keys are options of `run`, by their names without the dashes: a string or
// a number is the option's value, true gives the option alone, false leaves it out, an array
// gives it once per element. The words go through run's own parser.
std::optional<Problem> Reader::ReadOptions(const toml::table& table, CheckCase& out) {
    std::vector<std::string> words;
    std::vector<std::pair<std::string, Where>> keys;
    for (const auto& [key, node] : table) {
        const std::string k(key.str());
        if (k == "name" || OneOf(k, kCheckpointKeys)) continue;
        const Where at = WhereOf(key.source());
        if (OneOf(k, kOutputOptions))
            return Problem{at, "'" + k + "' writes a file: a check writes only its report"};
        keys.emplace_back(k, at);
        const auto word = [&](const toml::node& n) -> std::optional<Problem> {
            std::string value;
            if (const auto* s = n.as_string())
                value = s->get();
            else if (const auto* i = n.as_integer())
                value = std::to_string(i->get());
            else
                return Wrong(n, "'" + k + "' takes a string or a whole number");
            if (k == "rom" || OneOf(k, kPathOptions)) value = (folder_ / value).string();
            if (k != "rom") words.push_back("--" + k);
            words.push_back(value);
            return std::nullopt;
        };
        if (const auto* flag = node.as_boolean()) {
            if (flag->get()) words.push_back("--" + k);
        } else if (const auto* array = node.as_array()) {
            for (const toml::node& n : *array)
                if (auto p = word(n)) return p;
        } else if (auto p = word(node)) {
            return p;
        }
        if (k == "rom") {
            const std::string rom = words.back();
            CartridgeImage image;
            if (const auto* s = node.as_string(); s == nullptr)
                return Wrong(node, "rom must name a file");
            if (FileResult read = ReadCartridge(rom, image); !read) return Wrong(node, read.error);
        }
    }
    std::string error;
    std::optional<RunPlan> plan = PlanRun(words, error);
    if (!plan) {
        // The problem is the key whose option the parser names.
        for (const auto& [k, at] : keys) {
            const std::string flag = "--" + k;
            if (error.starts_with("unknown option '" + flag + "'"))
                return Problem{at, "unknown key '" + k + "'"};
            const std::size_t found = error.find(flag);
            if (found != std::string::npos &&
                (found + flag.size() == error.size() ||
                 std::string_view(" ':").find(error[found + flag.size()]) != std::string::npos))
                return Problem{at, error};
        }
        return Problem{out.At, error};
    }
    out.Plan = std::move(*plan);
    if (out.Plan.Recording) {
        // A recording for another ROM is refused here, before anything runs.
        CartridgeImage image;
        if (!out.Plan.Options.Rom.empty() && ReadCartridge(out.Plan.Options.Rom, image)) {
            const std::string mismatch =
                RecordingMismatch(out.Plan.Recording->Recording, Crc32(image.Bytes),
                                  fs::path(out.Plan.Options.Rom).filename().string());
            const auto input = std::find_if(keys.begin(), keys.end(),
                                            [](const auto& k) { return k.first == "input"; });
            if (!mismatch.empty()) return Problem{input->second, mismatch};
        }
    }
    return std::nullopt;
}

std::optional<Problem> Reader::ReadCase(const toml::table& table, std::size_t index,
                                        CheckCase& out) {
    out.At = WhereOf(table.source());
    out.Name = "case " + std::to_string(index + 1);
    if (const toml::node* name = table.get("name")) {
        const auto* text = name->as_string();
        if (text == nullptr || text->get().empty())
            return Wrong(*name, "name must be a string that is not empty");
        out.Name = text->get();
    }
    if (auto p = ReadOptions(table, out)) return p;
    const std::uint64_t frames = out.Plan.Options.Frames;
    for (int kind = 0; kind < 5; ++kind) {
        const toml::node* node = table.get(kCheckpointKeys[kind]);
        if (node == nullptr) continue;
        const auto read = [&](const toml::node& n) -> std::optional<Problem> {
            const auto* t = n.as_table();
            if (t == nullptr)
                return Wrong(n, std::string(kCheckpointKeys[kind]) +
                                    " checkpoints are tables ([[case." + kCheckpointKeys[kind] +
                                    "]])");
            Checkpoint c;
            if (auto p = ReadCheckpoint(static_cast<CheckKind>(kind), *t, c)) return p;
            const std::uint64_t last = c.Kind == CheckKind::Sound ? c.Last : c.Frame;
            if (last >= frames) {
                const toml::node* at = t->get(c.Kind == CheckKind::Sound ? "last" : "frame");
                return Wrong(*at, "frame " + std::to_string(last) + " lies beyond the run (" +
                                      std::to_string(frames) + " frames: 0 to " +
                                      std::to_string(frames == 0 ? 0 : frames - 1) + ")");
            }
            out.Checkpoints.push_back(std::move(c));
            return std::nullopt;
        };
        if (const auto* array = node->as_array()) {
            for (const toml::node& n : *array)
                if (auto p = read(n)) return p;
        } else if (auto p = read(*node)) {
            return p;
        }
    }
    if (out.Checkpoints.empty()) return Problem{out.At, "case '" + out.Name + "' checks nothing"};
    std::stable_sort(out.Checkpoints.begin(), out.Checkpoints.end(),
                     [](const Checkpoint& a, const Checkpoint& b) {
                         const auto end = [](const Checkpoint& c) {
                             return c.Kind == CheckKind::Sound ? c.Last : c.Frame;
                         };
                         return end(a) < end(b);
                     });
    return std::nullopt;
}

} // namespace

std::string Checkpoint::Describe() const {
    switch (Kind) {
    case CheckKind::Screenshot: return "screenshot at frame " + std::to_string(Frame);
    case CheckKind::Ram: return "ram at frame " + std::to_string(Frame);
    case CheckKind::Sound:
        return "sound over frames " + std::to_string(Frame) + "-" + std::to_string(Last);
    case CheckKind::Vram: return "vram at frame " + std::to_string(Frame);
    case CheckKind::Cram: return "cram at frame " + std::to_string(Frame);
    }
    return {};
}

Result ReadCheckFile(const fs::path& file, CheckFile& out) {
    std::vector<std::uint8_t> bytes;
    if (Result read = ReadWholeFile(file, bytes, kMostFileBytes); !read) return read;
    CheckFile f;
    f.Path = file;
    f.Text.assign(bytes.begin(), bytes.end());
    const auto at = [&file](Where w, const std::string& why) {
        return Result{file.string() + ":" + std::to_string(w.Line) + ":" +
                      std::to_string(w.Column) + ": " + why};
    };
    toml::table root;
    try {
        root = toml::parse(f.Text, file.string());
    } catch (const toml::parse_error& e) {
        return at(WhereOf(e.source()), std::string(e.description()));
    }
    for (const auto& [key, node] : root)
        if (key.str() != "case")
            return at(WhereOf(key.source()),
                      "unknown key '" + std::string(key.str()) + "' (cases are [[case]] tables)");
    const toml::array* cases = root["case"].as_array();
    if (cases == nullptr || cases->empty())
        return at({1, 1}, "no cases (each case is a [[case]] table)");
    Reader reader(f);
    std::set<std::string> names;
    for (std::size_t i = 0; i < cases->size(); ++i) {
        const toml::table* table = cases->get(i)->as_table();
        if (table == nullptr) return at(WhereOf(cases->get(i)->source()), "a case is a table");
        CheckCase c;
        if (auto p = reader.ReadCase(*table, i, c)) return at(p->At, p->Why);
        if (!names.insert(c.Name).second) return at(c.At, "a second case named '" + c.Name + "'");
        f.Cases.push_back(std::move(c));
    }
    out = std::move(f);
    return {};
}

std::string ReplaceHashes(const CheckFile& file,
                          const std::vector<std::pair<const Checkpoint*, std::string>>& hashes) {
    auto sorted = hashes;
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.first->HashBegin > b.first->HashBegin; });
    std::string text = file.Text;
    for (const auto& [c, hash] : sorted)
        text.replace(c->HashBegin, c->HashEnd - c->HashBegin, "\"" + hash + "\"");
    return text;
}

} // namespace velmar::cli
