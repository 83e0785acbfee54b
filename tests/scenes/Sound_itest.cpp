// Runs the sound test programs and measures what they play.

#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <numbers>

namespace velmar::scenes {
namespace {

constexpr double kSampleRate = 44100.0;
constexpr double kClock = 3579545.0;
constexpr std::size_t kToneStarted = 0x13;
constexpr std::size_t kStep = 0x13; // psg_levels: the attenuation being played

// Runs frames and keeps every sample of the frames from `skip` on.
std::vector<std::int16_t> Record(TSMS& machine, int skip, int frames) {
    std::vector<std::int16_t> samples;
    const auto perFrame =
        static_cast<std::ptrdiff_t>(machine.GetConsole().Timing().SamplesPerFrame);
    for (int f = 0; f < skip + frames; ++f) {
        machine.RunFrame();
        if (f >= skip) {
            samples.insert(samples.end(), machine.GetConsole().SampleBuffer.begin(),
                           machine.GetConsole().SampleBuffer.begin() + perFrame);
        }
    }
    return samples;
}

// Frequency from the rising crossings of a band around zero (so that small ripples near
// zero do not count), timed from the first crossing to the last.
double Frequency(const std::vector<std::int16_t>& samples, int band) {
    int rising = 0;
    std::size_t first = 0, last = 0;
    bool high = samples.empty() || samples.front() > 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::int16_t s = samples[i];
        if (!high && s > band) {
            high = true;
            if (rising++ == 0) first = i;
            last = i;
        } else if (high && s < -band) {
            high = false;
        }
    }
    return rising < 2 ? 0.0 : (rising - 1) * kSampleRate / static_cast<double>(last - first);
}

int Peak(const std::vector<std::int16_t>& samples) {
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

bool RunUntil(TSMS& machine, std::size_t offset, int limit) {
    for (int f = 0; f < limit && Ram(machine, offset) != kReadyMagic; ++f) machine.RunFrame();
    return Ram(machine, offset) == kReadyMagic;
}

std::vector<double> WithoutMean(const std::vector<std::int16_t>& samples) {
    double mean = 0.0;
    for (std::int16_t s : samples) mean += s;
    mean /= static_cast<double>(samples.size());
    std::vector<double> out;
    for (std::int16_t s : samples) out.push_back(s - mean);
    return out;
}

double Rms(const std::vector<std::int16_t>& samples) {
    double sum = 0.0;
    for (double v : WithoutMean(samples)) sum += v * v;
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

// Sample positions of the rising crossings of the mean, with a hysteresis band of a
// quarter of the peak so that ringing near the mean does not count.
std::vector<std::size_t> RisingCrossings(const std::vector<std::int16_t>& samples) {
    const std::vector<double> v = WithoutMean(samples);
    double peak = 0.0;
    for (double x : v) peak = std::max(peak, std::abs(x));
    const double band = peak / 4;
    std::vector<std::size_t> rising;
    bool high = !v.empty() && v.front() > 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (!high && v[i] > band) {
            high = true;
            rising.push_back(i);
        } else if (high && v[i] < -band) {
            high = false;
        }
    }
    return rising;
}

// Magnitude spectrum of the first 2^k samples under a Blackman window, bin i at
// i x 44100 / 2^k Hz.
std::vector<double> Spectrum(const std::vector<std::int16_t>& samples) {
    std::size_t n = 1;
    while (n * 2 <= samples.size()) n *= 2;
    std::vector<std::complex<double>> a(n);
    const double pi = std::numbers::pi;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 2 * pi * static_cast<double>(i) / static_cast<double>(n - 1);
        a[i] = samples[i] * (0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2 * x));
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * pi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (std::size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k];
                const std::complex<double> t = a[i + k + len / 2] * wk;
                a[i + k] = u + t;
                a[i + k + len / 2] = u - t;
            }
        }
    }
    std::vector<double> magnitude(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) magnitude[i] = std::abs(a[i]);
    return magnitude;
}

double BinHz(const std::vector<double>& spectrum) {
    return kSampleRate / static_cast<double>(2 * spectrum.size());
}

// The strongest bin within `width` Hz of f.
double PeakNear(const std::vector<double>& spectrum, double f, double width) {
    const double bin = BinHz(spectrum);
    const auto lo = static_cast<std::size_t>(std::max(0.0, (f - width) / bin));
    const auto hi = std::min(spectrum.size() - 1, static_cast<std::size_t>((f + width) / bin));
    double peak = 0.0;
    for (std::size_t i = lo; i <= hi; ++i) peak = std::max(peak, spectrum[i]);
    return peak;
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

// A second of frames is a second of sound in either region, and the tone's pitch follows
// the region's clock as the consoles play it.
TEST(Sound, PsgToneHasItsPeriodsPitchAtFullVolumeInEachRegion) {
    const struct {
        ConsoleRegion region;
        int framesPerSecond;
        double pitch; // period 254 on the console's clock
    } cases[] = {{ConsoleRegion::Ntsc, 60, 440.4}, {ConsoleRegion::Pal, 50, 436.4}};
    for (const auto& c : cases) {
        auto machine = NewMachine(kJapanese);
        machine->SetRegion(c.region);
        machine->Reset();
        ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("psg_tone"))));
        const auto samples = Record(*machine, 30, 2 * c.framesPerSecond);
        ASSERT_EQ(Ram(*machine, kSceneReady), kReadyMagic);
        EXPECT_EQ(samples.size(), 2u * 44100u) << RegionName(c.region);
        EXPECT_NEAR(Frequency(samples, 256), c.pitch, 0.05) << RegionName(c.region);
        // A square wave at attenuation 0 swings to its full level after each flip.
        EXPECT_GE(Peak(samples), T_PSG_CORE::kFullLevel * 9 / 10);
    }
}

TEST(Sound, ToneStartingLateIsHeardThroughBothFirmwares) {
    // The program waits 100 frames before its first note; the export firmware's title
    // comes first and delays it by another 90.
    for (const std::uint8_t bios : {kJapanese, kExport}) {
        auto machine = BootCartridge(TestRom("late_tone"), bios, 0);
        const auto before = Record(*machine, 0, 100);
        EXPECT_NE(Ram(*machine, kSceneReady), kReadyMagic) << "still waiting, bios " << int(bios);
        EXPECT_EQ(Peak(before), 0);
        int waited = 100;
        while (Ram(*machine, kToneStarted) != kReadyMagic && waited < 300) {
            machine->RunFrame();
            ++waited;
        }
        ASSERT_EQ(Ram(*machine, kToneStarted), kReadyMagic) << "bios " << int(bios);
        const auto samples = Record(*machine, 1, 60);
        EXPECT_GE(Peak(samples), T_PSG_CORE::kFullLevel * 9 / 10) << "bios " << int(bios);
        EXPECT_NEAR(Frequency(samples, 256), 440.4, 440.4 * 0.003) << "bios " << int(bios);
    }
}

TEST(Sound, FmNoteIsDetectedAndSoundsOnlyWithTheFmUnitOn) {
    auto on = NewMachine(kJapanese);
    on->SetFmOutput(1);
    ASSERT_TRUE(static_cast<bool>(on->LoadCartridge(TestRom("fm_note"))));
    const auto samples = Record(*on, 30, 60);
    EXPECT_EQ(Ram(*on, kFmDetect), 0x01);
    // The engine's phase runs over 2^18 per sine period (an octave above the datasheet's
    // 2^19): F x (clock / 72) x 2^(block - 1) / 2^18 = 880.0 Hz.
    const double ideal = 0x122 * (kClock / 72.0) * 16.0 / 262144.0;
    EXPECT_GT(Peak(samples), 1000);
    EXPECT_NEAR(Frequency(samples, Peak(samples) / 4), ideal, ideal * 0.003);

    auto off = NewMachine(kJapanese);
    ASSERT_TRUE(static_cast<bool>(off->LoadCartridge(TestRom("fm_note"))));
    const auto silent = Record(*off, 30, 10);
    EXPECT_EQ(Ram(*off, kFmDetect), 0x00);
    EXPECT_EQ(Peak(silent), 0);
}

TEST(Sound, PsgLatchByteAloneChangesThePitchAtOnce) {
    auto machine = BootCartridge(TestRom("psg_latch"), kJapanese, 0);
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    // Period 240, then period 254 after the lone latch byte of its low bits.
    EXPECT_NEAR(Frequency(Record(*machine, 2, 20), 256), 466.1, 466.1 * 0.003);
    ASSERT_TRUE(RunUntil(*machine, kToneStarted, 60));
    EXPECT_NEAR(Frequency(Record(*machine, 1, 30), 256), 440.4, 440.4 * 0.003);
}

TEST(Sound, PsgAttenuationStepsAreTwoDecibelsApart) {
    auto machine = BootCartridge(TestRom("psg_levels"), kJapanese, 0);
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    // Each step's level over the whole frames of the step, its first two left out.
    std::array<std::vector<std::int16_t>, 16> steps;
    std::array<int, 16> frames{};
    for (int f = 0; f < 400 && Ram(*machine, kStep) != 15; ++f) {
        const int before = Ram(*machine, kStep);
        const auto frame = Record(*machine, 0, 1);
        const int step = Ram(*machine, kStep);
        if (step == before && step < 16 && ++frames[step] > 2)
            steps[step].insert(steps[step].end(), frame.begin(), frame.end());
    }
    ASSERT_EQ(Ram(*machine, kStep), 15);
    for (int step = 1; step < 15; ++step) {
        ASSERT_FALSE(steps[step].empty()) << step;
        EXPECT_NEAR(Db(Rms(steps[step - 1]) / Rms(steps[step])), 2.0, 0.2) << "step " << step;
    }
    EXPECT_EQ(Peak(Record(*machine, 1, 5)), 0) << "attenuation 15 is silence";
}

// Programs whose sound is timed by the CPU alone, with the pitch the Z80's T-states give at
// 59,736 T-states per frame and 60 frames a second.
TEST(Sound, CpuTimedSquareKeepsItsPitchOverWholeFrames) {
    struct Case {
        const char* rom;
        double hz;
    };
    const Case cases[] = {
        {"psg_cpu_square", 59736.0 * 60 / 2652},
        {"ixh_square", 59736.0 * 60 / 8144},
    };
    for (const Case& c : cases) {
        auto machine = BootCartridge(TestRom(c.rom), kJapanese, 0);
        ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60)) << c.rom;
        const auto rising = RisingCrossings(Record(*machine, 2, 120));
        ASSERT_GT(rising.size(), 100u) << c.rom;
        const double cycles = static_cast<double>(rising.size() - 1);
        EXPECT_NEAR(cycles * kSampleRate / static_cast<double>(rising.back() - rising.front()),
                    c.hz, c.hz * 0.005)
            << c.rom;
        // Every cycle, across the frame boundaries too, is as long as the others.
        const double period = kSampleRate / c.hz;
        for (std::size_t i = 1; i < rising.size(); ++i)
            ASSERT_NEAR(static_cast<double>(rising[i] - rising[i - 1]), period, 2.0)
                << c.rom << ", cycle " << i << " ending at sample " << rising[i];
    }
}

TEST(Sound, PsgToneCarriesNoAliasing) {
    auto machine = BootCartridge(TestRom("psg_tone"), kJapanese, 30);
    const auto spectrum = Spectrum(Record(*machine, 0, 90));
    const double bin = BinHz(spectrum);
    const double f0 = 440.4;
    const double tone = PeakNear(spectrum, f0, 5);
    // Every component away from the harmonics of the tone (and from 0 Hz) is at least
    // 60 dB below it.
    double worst = 0.0;
    double worstHz = 0.0;
    for (std::size_t i = 0; i < spectrum.size(); ++i) {
        const double f = static_cast<double>(i) * bin;
        const double harmonic = std::round(f / f0);
        if (f < 20 || std::abs(f - harmonic * f0) < 8) continue;
        if (spectrum[i] > worst) {
            worst = spectrum[i];
            worstHz = f;
        }
    }
    EXPECT_LT(Db(worst / tone), -60.0) << "at " << worstHz << " Hz";
}

TEST(Sound, FmModulatorDepthAndNoDcOffset) {
    auto machine = NewMachine(kJapanese);
    machine->SetFmOutput(1);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("fm_depth"))));
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    // Modulator TL 37 (27.75 dB below full: a peak of 84 of the 512 sine entries, an index
    // of 1.03 rad) on a carrier of the same frequency: the Bessel functions give harmonic 2
    // at -2.5 dB and harmonic 3 at -14.5 dB against the fundamental.
    const double note = 256 * (kClock / 72.0) * 8 / 262144.0;
    const auto spectrum = Spectrum(Record(*machine, 2, 24));
    const double fundamental = PeakNear(spectrum, note, 10);
    EXPECT_NEAR(Db(PeakNear(spectrum, 2 * note, 10) / fundamental), -2.5, 1.0);
    EXPECT_NEAR(Db(PeakNear(spectrum, 3 * note, 10) / fundamental), -14.5, 1.5);

    // The violin's carrier is a half sine, whose positive halves alone sit well above zero
    // on average; the unit's output is AC-coupled, as on the console.
    ASSERT_TRUE(RunUntil(*machine, kToneStarted, 60));
    const auto violin = Record(*machine, 10, 30);
    double mean = 0.0;
    for (std::int16_t s : violin) mean += s;
    mean /= static_cast<double>(violin.size());
    EXPECT_GT(Peak(violin), 500);
    EXPECT_LT(std::abs(mean), 0.001 * 32768);
}

} // namespace
} // namespace velmar::scenes
