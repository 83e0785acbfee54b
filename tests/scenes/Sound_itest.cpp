// Runs the sound test programs and measures what they play.

#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace velmar::scenes {
namespace {

constexpr int kSamplesPerFrame = 735;
constexpr double kSampleRate = 44100.0;
constexpr double kClock = 3546893.0;

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

// Frequency from the rising crossings of a band around zero, so that small ripples near
// zero do not count.
double Frequency(const std::vector<std::int16_t>& samples, int band) {
    int rising = 0;
    bool high = samples.empty() || samples.front() > 0;
    for (std::int16_t s : samples) {
        if (!high && s > band) {
            high = true;
            ++rising;
        } else if (high && s < -band) {
            high = false;
        }
    }
    return rising * kSampleRate / static_cast<double>(samples.size());
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
    const double ideal = kClock / (32.0 * 0xFE);
    EXPECT_NEAR(Frequency(samples, 256), ideal, ideal * 0.015);
    // A square wave at attenuation 0 swings to +-30 (x 256) after each flip.
    EXPECT_GE(Peak(samples), 28 * 256);
}

TEST(Sound, FmNoteIsDetectedAndSoundsOnlyWithTheFmUnitOn) {
    auto on = NewMachine(kJapanese);
    on->SetFmOutput(1);
    ASSERT_TRUE(static_cast<bool>(on->LoadCartridge(TestRom("fm_note"))));
    const auto samples = Record(*on, 30, 60);
    EXPECT_EQ(Ram(*on, kFmDetect), 0x01);
    // The engine's phase runs over 2^18 per sine period (an octave above the datasheet's
    // 2^19): F x (clock / 72) x 2^(block - 1) / 2^18.
    const double ideal = 0x122 * (kClock / 72.0) * 16.0 / 262144.0;
    EXPECT_GT(Peak(samples), 1000);
    EXPECT_NEAR(Frequency(samples, Peak(samples) / 4), ideal, ideal * 0.02);

    auto off = NewMachine(kJapanese);
    ASSERT_TRUE(static_cast<bool>(off->LoadCartridge(TestRom("fm_note"))));
    const auto silent = Record(*off, 30, 10);
    EXPECT_EQ(Ram(*off, kFmDetect), 0x00);
    EXPECT_EQ(Peak(silent), 0);
}

} // namespace
} // namespace velmar::scenes
