#include "CheckRun.h"

#include "Picture.h"
#include "SoundMeter.h"

#include "core/util/FileIo.h"
#include "files/RomFiles.h"
#include "machine/TSMS.h"
#include "platform/null/ScriptedInput.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace velmar::cli {

namespace {

namespace fs = std::filesystem;

// A stretch of sound whose level stays below this is silent.
constexpr double kSilentDbfs = -60.0;
constexpr std::size_t kMostBaselineBytes = 64u << 20;

std::string Format(const char* format, double a, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// The console's own picture, 256 x 192, its RGB565 pixels widened to 8 bits a colour.
Picture ConsolePicture(const Console& console) {
    Picture p{vdp::kScreenWidth, vdp::kScreenHeight, {}};
    p.Rgb.reserve(console.Vdp.FrameBuffer.size() * 3);
    for (const std::uint16_t px : console.Vdp.FrameBuffer) {
        const unsigned r = (px >> 11) & 31, g = (px >> 5) & 63, b = px & 31;
        p.Rgb.push_back(static_cast<std::uint8_t>((r << 3) | (r >> 2)));
        p.Rgb.push_back(static_cast<std::uint8_t>((g << 2) | (g >> 4)));
        p.Rgb.push_back(static_cast<std::uint8_t>((b << 3) | (b >> 2)));
    }
    return p;
}

// A name made of the case's name and the frame, for the pictures beside the report.
std::string OutputStem(const std::string& caseName, std::uint64_t frame) {
    std::string stem;
    for (const char ch : caseName)
        stem += std::isalnum(static_cast<unsigned char>(ch)) != 0 || ch == '-' ? ch : '_';
    return stem.substr(0, 100) + "-frame" + std::to_string(frame);
}

class CaseRun {
  public:
    CaseRun(const CheckCase& c, bool update, const fs::path& outFolder,
            std::vector<PendingFile>& files,
            std::vector<std::pair<const Checkpoint*, std::string>>& hashes)
        : case_(c), update_(update), outFolder_(outFolder), files_(files), hashes_(hashes) {}

    void Run();
    CaseOutcome Outcome;

  private:
    void Check(const Checkpoint& c, const SoundMeter* meter);
    std::optional<std::string> Screenshot(const Checkpoint& c);
    std::optional<std::string> Ram(const Checkpoint& c);
    std::optional<std::string> Sound(const Checkpoint& c, const SoundMeter& meter);
    std::optional<std::string> Hash(const Checkpoint& c);
    void Fail(const std::string& what) { Outcome.Failures.push_back(what); }

    const CheckCase& case_;
    bool update_;
    fs::path outFolder_;
    std::vector<PendingFile>& files_;
    std::vector<std::pair<const Checkpoint*, std::string>>& hashes_;
    std::unique_ptr<TSMS> machine_;
};

void CaseRun::Run() {
    const RunOptions& o = case_.Plan.Options;
    ScriptedInput input1;
    ScriptedInput input2;
    MachineServices services;
    services.Input1 = &input1;
    services.Input2 = &input2;
    machine_ = std::make_unique<TSMS>(services);
    ApplyOptions(o, *machine_);
    // No battery file: a check starts with clear cartridge RAM and writes none.
    if (o.Bios) {
        machine_->Reset();
        machine_->RunBios();
    } else {
        CartridgeImage image;
        FileResult loaded = ReadCartridge(o.Rom, image);
        machine_->Reset();
        if (loaded) loaded = machine_->LoadCartridge(image);
        if (!loaded) return Fail("cannot load ROM: " + loaded.error);
    }
    if (!o.StateIn.empty())
        if (FileResult loaded = machine_->LoadStateFromFile(o.StateIn); !loaded)
            return Fail("cannot load state " + loaded.error);
    if (Result started = StartInput(case_.Plan, *machine_, input1, input2); !started)
        return Fail("input: " + started.error);

    // Sound checkpoints measure while their frames run; the others look after their frame.
    std::vector<std::optional<SoundMeter>> meters(case_.Checkpoints.size());
    std::size_t next = 0;
    const Console& console = machine_->GetConsole();
    for (std::uint64_t frame = 0; next < case_.Checkpoints.size(); ++frame) {
        BeforeFrame(case_.Plan, frame, *machine_, input1, input2);
        machine_->RunFrame();
        for (std::size_t i = next; i < case_.Checkpoints.size(); ++i) {
            const Checkpoint& c = case_.Checkpoints[i];
            if (c.Kind != CheckKind::Sound || frame < c.Frame || frame > c.Last) continue;
            if (!meters[i]) meters[i].emplace(console::kDefaultSampleRate);
            meters[i]->Add({console.SampleBuffer.data(), console::kSamplesPerFrame});
        }
        for (; next < case_.Checkpoints.size(); ++next) {
            const Checkpoint& c = case_.Checkpoints[next];
            if ((c.Kind == CheckKind::Sound ? c.Last : c.Frame) != frame) break;
            Check(c, meters[next] ? &*meters[next] : nullptr);
        }
    }
}

void CaseRun::Check(const Checkpoint& c, const SoundMeter* meter) {
    std::optional<std::string> why;
    switch (c.Kind) {
    case CheckKind::Screenshot: why = Screenshot(c); break;
    case CheckKind::Ram: why = Ram(c); break;
    case CheckKind::Sound: why = Sound(c, *meter); break;
    case CheckKind::Vram:
    case CheckKind::Cram: why = Hash(c); break;
    }
    if (why) Fail(c.Describe() + ": " + *why);
}

std::optional<std::string> CaseRun::Screenshot(const Checkpoint& c) {
    Picture actual;
    if (c.Filtered) {
        if (Result decoded = DecodePicture(machine_->SnapshotBmp(), "snapshot.bmp", actual);
            !decoded)
            return "no picture: " + decoded.error;
    } else {
        actual = ConsolePicture(machine_->GetConsole());
    }
    const auto rewrite = [&](const std::string& because) -> std::optional<std::string> {
        files_.push_back({c.Baseline, EncodePicture(actual, c.Baseline)});
        Outcome.Updated.push_back(c.BaselineName + " written (" + because + ")");
        return std::nullopt;
    };
    std::vector<std::uint8_t> bytes;
    std::error_code ec;
    if (!fs::exists(c.Baseline, ec)) {
        if (update_) return rewrite("it was missing");
        return "the baseline " + c.BaselineName + " is missing (--update writes it)";
    }
    Picture expected;
    Result read = ReadWholeFile(c.Baseline, bytes, kMostBaselineBytes);
    if (read) read = DecodePicture(bytes, c.Baseline, expected);
    if (!read) {
        if (update_) return rewrite("it could not be read");
        return "the baseline " + c.BaselineName + ": " + read.error;
    }
    if (expected.Width != actual.Width || expected.Height != actual.Height) {
        const std::string sizes =
            std::to_string(expected.Width) + " x " + std::to_string(expected.Height) +
            ", the picture " + std::to_string(actual.Width) + " x " + std::to_string(actual.Height);
        if (update_) return rewrite("it was " + sizes);
        return "the baseline " + c.BaselineName + " is " + sizes;
    }
    const PictureDifference d = ComparePictures(expected, actual);
    if (d.Pixels <= c.Tolerance) return std::nullopt;
    const std::string count = std::to_string(d.Pixels) + " pixel" + (d.Pixels == 1 ? "" : "s");
    if (update_) return rewrite(count + " differed");
    const std::string stem = OutputStem(case_.Name, c.Frame);
    const fs::path actualFile = outFolder_ / (stem + ".actual.png");
    const fs::path diffFile = outFolder_ / (stem + ".diff.png");
    files_.push_back({actualFile, EncodePicture(actual, actualFile)});
    files_.push_back({diffFile, EncodePicture(d.Marked, diffFile)});
    return count + " differ from " + c.BaselineName + " (tolerance " + std::to_string(c.Tolerance) +
           "); see " + actualFile.string() + " and " + diffFile.string();
}

std::optional<std::string> CaseRun::Ram(const Checkpoint& c) {
    Console& console = machine_->GetConsole();
    for (std::size_t i = 0; i < c.Values.size(); ++i) {
        const auto address = static_cast<std::uint16_t>(c.Address + i);
        const std::uint8_t mask = c.Mask.empty() ? 0xFF : c.Mask[i];
        const std::uint8_t value = console.Cpu.ReadMemory(address);
        if ((value & mask) == (c.Values[i] & mask)) continue;
        return "0x" + Hex(address, 4) + " holds 0x" + Hex(value, 2) + ", expected 0x" +
               Hex(c.Values[i], 2) + (mask != 0xFF ? " under mask 0x" + Hex(mask, 2) : "");
    }
    return std::nullopt;
}

std::optional<std::string> CaseRun::Sound(const Checkpoint& c, const SoundMeter& meter) {
    const double level = meter.LevelDbfs();
    const std::string heard = std::isinf(level) ? "no sound" : Format("level %.1f dBFS", level);
    if (c.Silent) {
        if (level < kSilentDbfs) return std::nullopt;
        return "not silent: " + heard + Format(" (silent is below %.0f dBFS)", kSilentDbfs);
    }
    if (c.Level) {
        if (level >= c.Level->first && level <= c.Level->second) return std::nullopt;
        return heard + Format(", expected %.1f to %.1f dBFS", c.Level->first, c.Level->second);
    }
    const double hz = meter.DominantHz();
    if (hz > 0 && std::abs(hz - *c.Pitch) <= c.PitchTolerance) return std::nullopt;
    const std::string found = hz > 0 ? Format("strongest frequency %.1f Hz", hz) : heard;
    return found + Format(", expected %.1f Hz within %.1f Hz", *c.Pitch, c.PitchTolerance);
}

std::optional<std::string> CaseRun::Hash(const Checkpoint& c) {
    const T_VDP_CORE& vdp = machine_->GetConsole().Vdp;
    const std::uint32_t crc =
        c.Kind == CheckKind::Vram ? Crc32(vdp.Vram) : Crc32(std::span(vdp.Cram));
    const std::string actual = Hex(crc, 8);
    if (actual == c.Hash) return std::nullopt;
    const std::string kind = c.Kind == CheckKind::Vram ? "vram" : "cram";
    if (update_) {
        hashes_.emplace_back(&c, actual);
        Outcome.Updated.push_back(kind + " hash at frame " + std::to_string(c.Frame) + " " +
                                  (c.Hash.empty() ? "filled in" : "changed") + " (" + actual + ")");
        return std::nullopt;
    }
    if (c.Hash.empty()) return "no hash yet: it is " + actual + " (--update fills it in)";
    return "hash " + actual + ", expected " + c.Hash;
}

} // namespace

CaseOutcome RunCase(const CheckCase& c, bool update, const fs::path& outFolder,
                    std::vector<PendingFile>& files,
                    std::vector<std::pair<const Checkpoint*, std::string>>& hashes) {
    const auto start = std::chrono::steady_clock::now();
    CaseRun run(c, update, outFolder, files, hashes);
    run.Run();
    run.Outcome.Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return std::move(run.Outcome);
}

} // namespace velmar::cli
