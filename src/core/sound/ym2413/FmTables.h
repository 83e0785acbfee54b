#pragma once

// Lookup tables of the YM2413 engine. Everything logarithmic or trigonometric is computed
// here once, so the per-sample work is table lookups and integer additions.
//
// Units: attenuations in dB steps of 0.1875 dB, envelope levels in steps of 0.375 dB,
// total level in steps of 0.75 dB; phases have 9 bits (512 entries per sine period).

#include <array>
#include <cstdint>

#include "core/sound/ym2413/FmRegisters.h"

namespace velmar {

inline constexpr std::uint32_t kFmDefaultClock = 3579545;
// Phase steps keep this many bits of fraction below the 18-bit phase.
inline constexpr std::uint32_t kPhaseFractionBits = 8;
inline constexpr double kPhaseStepScale = 1u << kPhaseFractionBits;
inline constexpr std::uint32_t kFmDefaultRate = 44100;

inline constexpr int kWaveSize = 512;
inline constexpr int kDbToLinSize = 1024;
inline constexpr int kNegativeHalf = 512; // offset of the negative half of DbToLinTable
inline constexpr std::uint16_t kSilentDb = 255;
// A wave entry that stays silent at any envelope attenuation (0..254 added).
inline constexpr std::uint16_t kWaveSilent = 256;
inline constexpr int kFNumbers = 512;
inline constexpr int kBlocks = 8;
inline constexpr int kMultipliers = 16;
inline constexpr int kKeyScaleGroups = 16;
inline constexpr int kLevels = 64;
inline constexpr int kKeyScaleLevels = 4;
inline constexpr int kRates = 16;
inline constexpr int kKeyRates = 16;

// Twice the frequency multiplier (ML 0 means 1/2).
inline constexpr std::array<std::int32_t, kMultipliers> MultiplierTable{
    1, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 20, 24, 24, 30, 30};

// Key scale of level by F-number bits 8-5, twice the dB values.
inline constexpr std::array<double, kKeyScaleGroups> KeyScaleTable{
    0, 18, 24, 27.75, 30, 32.25, 33.75, 35.25, 36, 37.5, 38.25, 39, 39.75, 40.5, 41.25, 42};

// Envelope phase reached at each sustain level (SL 15 counts as 16).
inline constexpr std::array<std::uint32_t, kRates> SustainLevelTable{
    0 * 262144u,  1 * 262144u,  2 * 262144u,  3 * 262144u, 4 * 262144u,  5 * 262144u,
    6 * 262144u,  7 * 262144u,  8 * 262144u,  9 * 262144u, 10 * 262144u, 11 * 262144u,
    12 * 262144u, 13 * 262144u, 14 * 262144u, 4194304u};

struct FmTables {
    std::array<std::int32_t, 256> PmTable{};
    std::array<std::int32_t, 256> AmTable{};
    std::array<std::int16_t, kDbToLinSize> DbToLinTable{};
    std::array<std::uint16_t, 128> AttackCurveTable{};
    // The tables read every sample sit together ahead of the large ones read on writes.
    std::array<std::uint16_t, kWaveSize> SineTable{};
    std::array<std::uint16_t, kWaveSize> HalfSineTable{};
    // [F-number bits 8-5][block][level][KL], in envelope steps.
    std::array<std::array<std::array<std::array<std::int32_t, kKeyScaleLevels>, kLevels>, kBlocks>,
               kKeyScaleGroups>
        LevelTable{};
    // [F-number bit 8][block][KR]
    std::array<std::array<std::array<std::uint32_t, 2>, kBlocks>, 2> KeyRateTable{};
    // Decoded built-in instruments: entry 2n modulator, 2n + 1 carrier.
    std::array<FmPatch, kPatchCount> DecodedPatches{};
    // [F-number][block][ML], in 1/kPhaseStepScale units of the 18-bit phase.
    std::array<std::array<std::array<std::int32_t, kMultipliers>, kBlocks>, kFNumbers>
        PhaseStepTable{};
    // [rate][key-rate]
    std::array<std::array<std::int32_t, kKeyRates>, kRates> AttackRateTable{};
    std::array<std::array<std::int32_t, kKeyRates>, kRates> DecayRateTable{};
    std::int32_t PitchLfoStep = 0;
    std::int32_t AmLfoStep = 0;
    std::uint32_t Clock = 0;
    std::uint32_t Rate = 0;

    // Builds every table for chip clock C and output rate R (zero takes the console's
    // value).
    void Build(std::uint32_t clock, std::uint32_t rate);

    // An amount per chip sample (C / 72 Hz) converted to an amount per output sample.
    std::int32_t RateAdjust(double x) const;
};

// Attenuation in dB steps of a linear amplitude 0..1, 255 for silence.
std::uint16_t LinToDb(double d);

} // namespace velmar
