#include "core/sound/ym2413/FmTables.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmar {

namespace {

// Truncation toward zero, kept inside the 32-bit range (NaN gives 0).
std::int32_t Trunc(double v) {
    if (!(v == v)) return 0;
    v = std::trunc(v);
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

constexpr double kPi = std::numbers::pi;

} // namespace

std::uint16_t LinToDb(double d) {
    if (d == 0.0) return kSilentDb;
    const std::int32_t db = -Trunc(20.0 * std::log10(d) / 0.1875);
    return static_cast<std::uint16_t>(std::clamp<std::int32_t>(db, 0, kSilentDb));
}

std::int32_t FmTables::RateAdjust(double x) const {
    return Trunc(static_cast<double>(Clock) * x / 72.0 / static_cast<double>(Rate) + 0.5);
}

void FmTables::Build(std::uint32_t clock, std::uint32_t rate) {
    Clock = clock != 0 ? clock : kFmDefaultClock;
    Rate = rate != 0 ? rate : kFmDefaultRate;

    for (int i = 0; i < 256; ++i) {
        const double s = std::sin(2.0 * kPi * i / 256.0);
        PmTable[i] = Trunc(256.0 * std::pow(2.0, 13.75 * s / 1200.0));
        AmTable[i] = Trunc((s + 1.0) * 12.8);
    }

    for (int i = 0; i < 256; ++i)
        DbToLinTable[i] =
            static_cast<std::int16_t>(Trunc(2047.0 * std::pow(10.0, -i * 0.1875 / 20.0)));
    for (int i = 256; i < kNegativeHalf; ++i) DbToLinTable[i] = 0;
    for (int i = 0; i < kNegativeHalf; ++i)
        DbToLinTable[i + kNegativeHalf] = static_cast<std::int16_t>(-DbToLinTable[i]);

    AttackCurveTable[0] = 128;
    for (int i = 1; i < 128; ++i)
        AttackCurveTable[i] = static_cast<std::uint16_t>(
            std::max(0, Trunc(127.0 - 128.0 * std::log(i) / std::log(128.0))));

    for (int f = 0; f < kKeyScaleGroups; ++f) {
        for (int block = 0; block < kBlocks; ++block) {
            const std::int32_t t = Trunc(KeyScaleTable[f] - 6.0 * (7 - block));
            for (int l = 0; l < kLevels; ++l) {
                for (int kl = 0; kl < kKeyScaleLevels; ++kl) {
                    std::int32_t v = 2 * l;
                    if (kl != 0 && t > 0) v = Trunc(2 * l + (t >> (3 - kl)) / 0.375);
                    LevelTable[f][block][l][kl] = v;
                }
            }
        }
    }

    for (int fhi = 0; fhi < 2; ++fhi) {
        for (int block = 0; block < kBlocks; ++block) {
            KeyRateTable[fhi][block][1] = static_cast<std::uint32_t>(block * 2 + fhi);
            KeyRateTable[fhi][block][0] = static_cast<std::uint32_t>(block / 2);
        }
    }

    for (int i = 0; i < 128; ++i) SineTable[i] = LinToDb(std::sin(2.0 * kPi * (i + 1) / kWaveSize));
    for (int i = 0; i < 128; ++i) SineTable[255 - i] = SineTable[i];
    for (int i = 0; i < 256; ++i)
        SineTable[256 + i] = static_cast<std::uint16_t>(SineTable[i] + kNegativeHalf);
    for (int i = 0; i < 256; ++i) HalfSineTable[i] = SineTable[i];
    // The half sine's second half is silence: an attenuation past the positive half's
    // range, where DbToLinTable holds zeros whatever the envelope adds.
    for (int i = 256; i < kWaveSize; ++i) HalfSineTable[i] = kWaveSilent;

    for (int n = 0; n < kInstrumentCount; ++n)
        DecodeInstrument(BuiltInPatches[n], DecodedPatches[2 * n], DecodedPatches[2 * n + 1]);

    // From here on the tables depend on the clock and the sample rate.
    for (int f = 0; f < kFNumbers; ++f)
        for (int block = 0; block < kBlocks; ++block)
            for (int ml = 0; ml < kMultipliers; ++ml)
                PhaseStepTable[f][block][ml] =
                    RateAdjust(static_cast<double>(((f * MultiplierTable[ml]) << block) >> 2) *
                               kPhaseStepScale);

    for (int r = 0; r < kRates; ++r) {
        for (int k = 0; k < kKeyRates; ++k) {
            const int rm = std::min(r + k / 4, 15);
            const int rl = k & 3;
            AttackRateTable[r][k] =
                (r == 0 || r == 15) ? 0
                                    : RateAdjust(static_cast<double>((3 * (rl + 4)) << (rm + 1)));
            DecayRateTable[r][k] =
                r == 0 ? 0 : RateAdjust(static_cast<double>((rl + 4) << (rm - 1)));
        }
    }

    const double chipRate = static_cast<double>(Clock) / 72.0;
    PitchLfoStep = RateAdjust(419430.4 / chipRate);
    AmLfoStep = RateAdjust(242483.2 / chipRate);
}

} // namespace velmar
