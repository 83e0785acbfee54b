// Runs the sound test programs and measures what they play.

#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace velmar::scenes {
namespace {

constexpr int kSamplesPerFrame = 735;
constexpr double kSampleRate = 44100.0;
constexpr double kClock = 3579545.0;
constexpr std::size_t kToneStarted = 0x13;

// Runs frames and keeps every sample of the frames from `skip` on.
std::vector<std::int16_t> Record(TSMS& machine, int skip, int frames) {
    std::vector<std::int16_t> samples;
    for (int f = 0; f < skip + frames; ++f) {
        machine.RunFrame();
        if (f >= skip) {
            samples.insert(samples.end(), machine.GetConsole().SampleBuffer.begin(),
                           machine.GetConsole().SampleBuffer.begin() + kSamplesPerFrame);
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

TEST(Sound, PsgToneHasItsPeriodsPitchAtFullVolume) {
    auto machine = BootCartridge(TestRom("psg_tone"), kJapanese, 0);
    const auto samples = Record(*machine, 30, 60);
    ASSERT_EQ(Ram(*machine, kSceneReady), kReadyMagic);
    // Period 254 on the console's clock: 440.4 Hz.
    EXPECT_NEAR(Frequency(samples, 256), 440.4, 440.4 * 0.003);
    // A square wave at attenuation 0 swings to +-30 (x 128) after each flip.
    EXPECT_GE(Peak(samples), 28 * T_PSG_CORE::kOutputScale);
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
        EXPECT_GE(Peak(samples), 28 * T_PSG_CORE::kOutputScale) << "bios " << int(bios);
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

} // namespace
} // namespace velmar::scenes
