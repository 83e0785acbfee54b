#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "core/sound/ym2413/YM2413_EMU.h"

namespace velmar {
namespace {

constexpr int kLastIndex = 16383;
constexpr int kSamplesPerFrame = 735;

class Ym2413Test : public ::testing::Test {
  protected:
    void SetUp() override { fm.Configure(44100, 3579545); }

    static void Write(T_YM2413_OPLL_CORE& chip, std::uint8_t reg, std::uint8_t value) {
        chip.WriteAddress(reg);
        chip.WriteData(value);
    }
    void Write(std::uint8_t reg, std::uint8_t value) { Write(fm, reg, value); }

    // The chip's output sums of one frame (735 samples), before the unit's output stage.
    static std::vector<std::int32_t> Frame(T_YM2413_OPLL_CORE& chip) {
        std::vector<std::int32_t> sums(kSamplesPerFrame);
        chip.RenderSums(sums.data(), kSamplesPerFrame);
        return sums;
    }
    static std::vector<std::int32_t> Frames(T_YM2413_OPLL_CORE& chip, int count) {
        std::vector<std::int32_t> all;
        for (int i = 0; i < count; ++i) {
            const auto f = Frame(chip);
            all.insert(all.end(), f.begin(), f.end());
        }
        return all;
    }
    // A frame of the unit's samples added to the PSG's, `psg` in every entry.
    static std::vector<std::int16_t> Mixed(T_YM2413_OPLL_CORE& chip, std::int16_t psg) {
        std::vector<std::int16_t> buffer(kSamplesPerFrame, psg);
        chip.RenderSamples(buffer.data(), kSamplesPerFrame);
        return buffer;
    }
    // Samples one at a time, for envelope stepping.
    void Step(int count) {
        std::int32_t scratch = 0;
        for (int i = 0; i < count; ++i) fm.RenderSums(&scratch, 1);
    }
    std::int32_t Next() {
        std::int32_t sum = 0;
        fm.RenderSums(&sum, 1);
        return sum;
    }

    // User instrument that sounds as a plain sine at full level: the modulator never
    // leaves its attack (AR 0, so it stays silent) and the carrier attacks at once and holds.
    static void PureSineInstrument(T_YM2413_OPLL_CORE& chip) {
        Write(chip, 0x00, 0x20); // modulator EG 1, ML 0
        Write(chip, 0x01, 0x21); // carrier EG 1, ML 1
        Write(chip, 0x02, 0x3F); // modulator TL 63
        Write(chip, 0x03, 0x00); // sine waves, no feedback
        Write(chip, 0x04, 0x00); // modulator AR 0
        Write(chip, 0x05, 0xF0); // carrier AR 15, DR 0
        Write(chip, 0x06, 0x00);
        Write(chip, 0x07, 0x00); // carrier SL 0, RR 0
    }
    // Key on channel c with instrument/volume byte iv at F-number f and block b.
    static void Note(T_YM2413_OPLL_CORE& chip, int c, std::uint8_t iv, int f, int b) {
        Write(chip, static_cast<std::uint8_t>(0x30 + c), iv);
        Write(chip, static_cast<std::uint8_t>(0x10 + c), static_cast<std::uint8_t>(f & 0xFF));
        Write(chip, static_cast<std::uint8_t>(0x20 + c),
              static_cast<std::uint8_t>(0x10 | (b << 1) | (f >> 8)));
    }

    FmSlot& Carrier(int c) { return fm.Slots[2 * c + 1]; }
    FmSlot& Modulator(int c) { return fm.Slots[2 * c]; }

    T_YM2413_OPLL_CORE fm;
};

template <class T> bool AllZero(const std::vector<T>& v) {
    return std::all_of(v.begin(), v.end(), [](T s) { return s == 0; });
}

TEST_F(Ym2413Test, ConfigureAndReset) {
    T_YM2413_OPLL_CORE fresh;
    EXPECT_EQ(fresh.FmEnabled, 0);
    EXPECT_EQ(fresh.ReadControl(), 0);

    EXPECT_EQ(fm.FmEnabled, 1);
    EXPECT_EQ(fm.PitchLfoStep, 10);
    EXPECT_EQ(fm.AmLfoStep, 5);
    EXPECT_EQ(fm.AddressLatch, 63);
    EXPECT_EQ(fm.NoiseSeed, 0xFFFFu);
    for (int c = 0; c < kFmChannels; ++c) {
        EXPECT_EQ(fm.ChannelEnabled[c], 1);
        EXPECT_EQ(fm.PatchNumber[c], 0);
    }
    EXPECT_EQ(fm.PatchTable[2], fm.Tables().DecodedPatches[2]);
    EXPECT_EQ(fm.PatchTable[37], fm.Tables().DecodedPatches[37]);
    for (int s = 0; s < kFmSlots; ++s) {
        EXPECT_EQ(fm.Slots[s].Type, s & 1);
        EXPECT_EQ(fm.Slots[s].EnvelopeState, fmenv::Idle);
        EXPECT_EQ(fm.Slots[s].EnvelopePhase, 0x400000u);
    }
    EXPECT_TRUE(AllZero(Frame(fm)));

    // A machine reset silences playing notes but keeps the options and the latches.
    PureSineInstrument(fm);
    Note(fm, 0, 0x00, 256, 4);
    Write(0x0E, 0x30);
    fm.SetChannelEnabled(2, 0);
    fm.WriteControl(0x77);
    EXPECT_FALSE(AllZero(Frame(fm)));
    fm.Reset();
    EXPECT_EQ(fm.ChannelEnabled[2], 0);
    EXPECT_EQ(fm.ReadControl(), 0x77);
    EXPECT_EQ(fm.PatchTable[1], NullPatch);
    EXPECT_EQ(fm.Registers[0x0E], 0);
    EXPECT_EQ(fm.PatchNumber[6], 0);
    EXPECT_TRUE(AllZero(Frame(fm)));

    // Zero arguments take the console's values instead of dividing by zero.
    T_YM2413_OPLL_CORE odd;
    odd.Configure(0, 0);
    EXPECT_EQ(odd.SampleRate, 44100u);
    EXPECT_EQ(odd.ClockHz, 3579545u);
}

TEST_F(Ym2413Test, ControlPortAndUnitSwitch) {
    fm.SetFmEnabled(0);
    fm.WriteControl(0x5A);
    EXPECT_EQ(fm.ReadControl(), 0);
    fm.SetFmEnabled(1);
    EXPECT_EQ(fm.ReadControl(), 0x5A);
    fm.SetFmEnabled(2); // only 1 means on
    EXPECT_EQ(fm.ReadControl(), 0);

    // Switched off: register writes still act and the PSG's samples stay as they are.
    fm.SetFmEnabled(0);
    PureSineInstrument(fm);
    Note(fm, 0, 0x00, 256, 4);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.KeyStatus[0], 1);
    const auto off = Mixed(fm, 1234);
    EXPECT_TRUE(std::all_of(off.begin(), off.end(), [](std::int16_t s) { return s == 1234; }));
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Attack); // nothing advanced
    fm.SetFmEnabled(1);
    const auto on = Mixed(fm, 1234);
    EXPECT_NE(std::count(on.begin(), on.end(), 1234), kSamplesPerFrame);
}

TEST_F(Ym2413Test, OneAdditionPerEntryThroughTheOutputStage) {
    PureSineInstrument(fm);
    Note(fm, 0, 0x00, 256, 4);
    std::vector<std::int16_t> buffer(1000, 100);
    fm.RenderSamples(buffer.data(), kSamplesPerFrame);
    for (int i = kSamplesPerFrame; i < 1000; ++i) ASSERT_EQ(buffer[i], 100) << i;

    // The same frame added to zeros differs by exactly the PSG's value, and follows the
    // chip's sums at 5/8 of their size (the output stage's high-pass passes 388 Hz).
    T_YM2413_OPLL_CORE twin, raw;
    for (T_YM2413_OPLL_CORE* chip : {&twin, &raw}) {
        chip->Configure(44100, 3579545);
        PureSineInstrument(*chip);
        Note(*chip, 0, 0x00, 256, 4);
    }
    const auto plain = Mixed(twin, 0);
    const auto sums = Frame(raw);
    for (int i = 0; i < kSamplesPerFrame; ++i) {
        ASSERT_EQ(buffer[i], plain[i] + 100) << i;
        ASSERT_NEAR(plain[i], sums[i] * 5 / 8, 2048 * 5 / 8 * 0.05) << i;
    }
    fm.RenderSamples(nullptr, 5); // nowhere to add: nothing happens
}

TEST_F(Ym2413Test, ChannelRegistersReachBothSlots) {
    for (int c = 0; c < kFmChannels; ++c) {
        const int f = 0x100 | (0x20 + c);
        Note(fm, c, static_cast<std::uint8_t>(0x30 | c), f, 5);
        for (FmSlot* s : {&Modulator(c), &Carrier(c)}) {
            EXPECT_EQ(s->FNumber, f) << c;
            EXPECT_EQ(s->Block, 5) << c;
            EXPECT_EQ(s->EnvelopeState, fmenv::Attack) << c;
            EXPECT_EQ(s->KeyRate, fm.Tables().KeyRateTable[1][5][s->Patch.KR]) << c;
        }
        EXPECT_EQ(fm.PatchNumber[c], 3);
        EXPECT_EQ(fm.KeyStatus[c], 1);
        EXPECT_EQ(fm.SlotOn[2 * c], 0x10);
        EXPECT_EQ(fm.SlotOn[2 * c + 1], 0x10);
        EXPECT_EQ(Modulator(c).Patch, fm.PatchTable[6]);
        EXPECT_EQ(Carrier(c).Patch, fm.PatchTable[7]);
        EXPECT_EQ(Carrier(c).Volume, 4 * c);
        // Instrument 3 multiplies the modulator by 3 (ML 3) and the carrier by 1.
        EXPECT_EQ(Modulator(c).PhaseStep,
                  static_cast<std::uint32_t>(fm.Tables().PhaseStepTable[f][5][3]));
        EXPECT_EQ(Carrier(c).PhaseStep,
                  static_cast<std::uint32_t>(fm.Tables().PhaseStepTable[f][5][1]));
        // Carrier level from the volume, modulator level from TL (26, KL 2).
        EXPECT_EQ(Carrier(c).Level,
                  static_cast<std::uint32_t>(fm.Tables().LevelTable[f >> 5][5][4 * c][0]));
        EXPECT_EQ(Modulator(c).Level,
                  static_cast<std::uint32_t>(fm.Tables().LevelTable[f >> 5][5][26][2]));
    }
    // An F-number low write keeps bit 8 from the key register; a key register write
    // takes the low bits from the F-number register.
    Write(0x10, 0x05);
    EXPECT_EQ(Carrier(0).FNumber, 0x105);
    Write(0x20, 0x14); // key on, block 2, F-number bit 8 clear, sustain off
    EXPECT_EQ(Carrier(0).FNumber, 0x05);
    EXPECT_EQ(Carrier(0).Block, 2);
    Write(0x20, 0x24); // key off with sustain
    EXPECT_EQ(fm.KeyStatus[0], 0);
    EXPECT_EQ(Carrier(0).Sustain, 1);
    EXPECT_EQ(Modulator(0).Sustain, 0); // only a modulator of type 1 takes the flag
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Release);
    EXPECT_EQ(Modulator(0).EnvelopeState, fmenv::Attack); // never stopped by a key-off
    EXPECT_EQ(Carrier(0).EnvelopeStep,
              static_cast<std::uint32_t>(fm.Tables().DecayRateTable[5][Carrier(0).KeyRate]));

    // The address latch keeps only six bits; 0x0F and 0x3F are storage only.
    T_YM2413_OPLL_CORE twin;
    twin.Configure(44100, 3579545);
    for (int c = 0; c < kFmChannels; ++c) Note(twin, c, 0x30, 0x123, 4);
    T_YM2413_OPLL_CORE other;
    other.Configure(44100, 3579545);
    for (int c = 0; c < kFmChannels; ++c) Note(other, c, 0x30, 0x123, 4);
    Write(other, 0x0F, 0xFF);
    Write(other, 0x3F, 0xFF);
    Write(other, 0xC0 | 0x39, 0xAB); // register 0x39
    EXPECT_EQ(other.Registers[0x0F], 0xFF);
    EXPECT_EQ(other.Registers[0x3F], 0xFF);
    EXPECT_EQ(other.Registers[0x39], 0xAB);
    EXPECT_EQ(Frames(twin, 3), Frames(other, 3));
}

TEST_F(Ym2413Test, UserInstrumentWritesReachOnlyUserChannels) {
    Note(fm, 0, 0x00, 256, 4); // user instrument
    Note(fm, 1, 0x30, 256, 4); // instrument 3
    const std::uint32_t builtInStep = Carrier(1).PhaseStep;
    Write(0x01, 0x02); // carrier ML 2
    EXPECT_EQ(fm.PatchTable[1].ML, 2);
    EXPECT_EQ(Carrier(0).Patch.ML, 2);
    EXPECT_EQ(Carrier(0).PhaseStep,
              static_cast<std::uint32_t>(fm.Tables().PhaseStepTable[256][4][2]));
    EXPECT_EQ(Carrier(1).PhaseStep, builtInStep);
    Write(0x03, 0x1D); // carrier WF 1, modulator WF 1, FB 5
    EXPECT_EQ(Carrier(0).Wave, 1);
    EXPECT_EQ(Modulator(0).Wave, 1);
    EXPECT_EQ(Modulator(0).Patch.FB, 5);
    EXPECT_EQ(Carrier(1).Wave, fm.PatchTable[7].WF);
    Write(0x02, 0x8A); // modulator KL 2, TL 10
    EXPECT_EQ(Modulator(0).Level, static_cast<std::uint32_t>(fm.Tables().LevelTable[8][4][10][2]));
    Write(0x04, 0x52); // modulator AR 5 in the attack state: its step follows
    EXPECT_EQ(Modulator(0).EnvelopeStep,
              static_cast<std::uint32_t>(fm.Tables().AttackRateTable[5][Modulator(0).KeyRate]));
}

TEST_F(Ym2413Test, EnvelopeRunsThroughItsStates) {
    Write(0x01, 0x21); // carrier EG 1, ML 1
    Write(0x05, 0xFA); // carrier AR 15 (instant), DR 10
    Write(0x07, 0x4F); // SL 4, RR 15
    Note(fm, 0, 0x00, 256, 4);
    Step(1);
    // AR 15: level 0 at the first update.
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Decay);
    EXPECT_EQ(Carrier(0).EnvelopeOut, 0u);
    EXPECT_EQ(Carrier(0).EnvelopePhase, 0u);
    int guard = 0;
    while (Carrier(0).EnvelopeState == fmenv::Decay && ++guard < 100000) Step(1);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::SustainHold);
    EXPECT_EQ(Carrier(0).EnvelopePhase, SustainLevelTable[4]);
    Step(1000);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::SustainHold); // held while keyed
    EXPECT_EQ(Carrier(0).EnvelopeOut, 2 * (SustainLevelTable[4] >> 15));

    // Key off: release at RR, then the carrier finishes and leaves the mix.
    Write(0x20, 0x09);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Release);
    EXPECT_EQ(Carrier(0).EnvelopeStep,
              static_cast<std::uint32_t>(fm.Tables().DecayRateTable[15][Carrier(0).KeyRate]));
    guard = 0;
    while (Carrier(0).EnvelopeState == fmenv::Release && ++guard < 100000) Step(1);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Finished);
    EXPECT_TRUE(AllZero(Frame(fm)));

    // EG 0 (percussive): the decay runs on into Sustain at RR instead of holding.
    Write(0x01, 0x01);
    Write(0x20, 0x19);
    Step(1);
    guard = 0;
    while (Carrier(0).EnvelopeState == fmenv::Decay && ++guard < 100000) Step(1);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Sustain);
    // Key off of a percussive sound without sustain releases at rate 7.
    Write(0x20, 0x09);
    EXPECT_EQ(Carrier(0).EnvelopeStep,
              static_cast<std::uint32_t>(fm.Tables().DecayRateTable[7][Carrier(0).KeyRate]));
}

TEST_F(Ym2413Test, KeyOnTwiceAndKeyOffDuringAttack) {
    Write(0x01, 0x21);
    Write(0x05, 0x10); // carrier AR 1: a slow attack
    Write(0x07, 0x0F);
    Note(fm, 0, 0x00, 256, 4);
    Step(3000);
    ASSERT_EQ(Carrier(0).EnvelopeState, fmenv::Attack);
    const FmSlot before = Carrier(0);
    ASSERT_GT(before.EnvelopePhase >> 15, 1u);

    // A second key-on without a key-off does not restart the note.
    Write(0x20, 0x19);
    EXPECT_EQ(Carrier(0).EnvelopePhase, before.EnvelopePhase);
    EXPECT_EQ(Carrier(0).Phase, before.Phase);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Attack);

    // A key-off in the attack releases from the level the attack reached.
    Write(0x20, 0x09);
    const std::uint32_t reached = fm.Tables().AttackCurveTable[before.EnvelopePhase >> 15];
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Release);
    EXPECT_EQ(Carrier(0).EnvelopePhase, reached << 15);
    Step(1);
    EXPECT_EQ(Carrier(0).EnvelopeOut, 2 * reached);
    EXPECT_LT(Carrier(0).EnvelopeOut, 255u);

    // After the key-off a key-on restarts from phase 0.
    Write(0x20, 0x19);
    EXPECT_EQ(Carrier(0).EnvelopeState, fmenv::Attack);
    EXPECT_EQ(Carrier(0).EnvelopePhase, 0u);
    EXPECT_EQ(Carrier(0).Phase, 0u);
}

TEST_F(Ym2413Test, RhythmModeSwitchesOnAndOff) {
    Write(0x36, 0x30);
    Write(0x37, 0x50);
    Write(0x38, 0x70);
    EXPECT_EQ(fm.PatchNumber[6], 3);
    // Drum keys without the rhythm bit do nothing.
    Write(0x0E, 0x1F);
    EXPECT_EQ(fm.KeyStatus[6], 0);
    for (int s = 12; s < 18; ++s) EXPECT_EQ(fm.Slots[s].EnvelopeState, fmenv::Idle) << s;
    EXPECT_EQ(fm.SlotOn[kBassDrumSlot], 0);

    Write(0x0E, 0x20);
    EXPECT_EQ(fm.PatchNumber[6], 16);
    EXPECT_EQ(fm.PatchNumber[7], 17);
    EXPECT_EQ(fm.PatchNumber[8], 18);
    for (int s = 12; s < 18; ++s) {
        EXPECT_EQ(fm.Slots[s].EnvelopeState, fmenv::Finished) << s;
        EXPECT_EQ(fm.Slots[s].Patch, fm.PatchTable[s + 20]) << s;
    }
    EXPECT_EQ(fm.Slots[kHighHatSlot].Type, 1);
    EXPECT_EQ(fm.Slots[kTomTomSlot].Type, 1);
    EXPECT_EQ(fm.Slots[kBassDrumModSlot].Type, 0);
    EXPECT_TRUE(AllZero(Frame(fm)));

    // Rhythm volumes: 0x37 high hat (high nibble) and snare drum; 0x36 high nibble unused.
    Write(0x37, 0xA5);
    EXPECT_EQ(fm.Slots[kHighHatSlot].Volume, 40);
    EXPECT_EQ(fm.Slots[kSnareDrumSlot].Volume, 20);
    EXPECT_EQ(fm.Slots[kHighHatSlot].Level, 80u); // F-number 0, block 0: 2 x 40
    EXPECT_EQ(fm.PatchNumber[7], 17);
    Write(0x38, 0x6C);
    EXPECT_EQ(fm.Slots[kTomTomSlot].Volume, 24);
    EXPECT_EQ(fm.Slots[kTopCymbalSlot].Volume, 48);
    Write(0x36, 0xF2);
    EXPECT_EQ(fm.PatchNumber[6], 16);
    EXPECT_EQ(fm.Slots[kBassDrumSlot].Volume, 8);
    EXPECT_EQ(fm.Slots[kBassDrumModSlot].Volume, 0);

    // Keys: bass drum starts both of its slots, the others one slot each.
    Write(0x0E, 0x31);
    EXPECT_EQ(fm.Slots[kBassDrumModSlot].EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.Slots[kBassDrumSlot].EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.Slots[kHighHatSlot].EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.Slots[kSnareDrumSlot].EnvelopeState, fmenv::Finished);
    EXPECT_EQ(fm.KeyStatus[6], 1);
    EXPECT_EQ(fm.SlotOn[kBassDrumSlot], 0x10);
    EXPECT_EQ(fm.SlotOn[kHighHatSlot], 0x01);
    Write(0x0E, 0x2E); // bass drum and high hat off; snare, tom-tom, cymbal on
    EXPECT_EQ(fm.Slots[kBassDrumSlot].EnvelopeState, fmenv::Release);
    EXPECT_EQ(fm.Slots[kHighHatSlot].EnvelopeState, fmenv::Release);
    EXPECT_EQ(fm.Slots[kSnareDrumSlot].EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.Slots[kTomTomSlot].EnvelopeState, fmenv::Attack);
    EXPECT_EQ(fm.Slots[kTopCymbalSlot].EnvelopeState, fmenv::Attack);

    // Clearing the mode while the bass drum key flag is still up keeps channel 6 as a drum
    // until the next write sees the flag gone.
    Write(0x0E, 0x30);
    Write(0x0E, 0x00);
    EXPECT_EQ(fm.PatchNumber[6], 16);
    EXPECT_EQ(fm.PatchNumber[7], 10); // from 0x37 = 0xA5
    EXPECT_EQ(fm.PatchNumber[8], 6);  // from 0x38 = 0x6C
    EXPECT_EQ(fm.Slots[kHighHatSlot].Type, 0);
    EXPECT_EQ(fm.Slots[kTomTomSlot].Type, 0);
    Write(0x0E, 0x00);
    EXPECT_EQ(fm.PatchNumber[6], 15); // from 0x36 = 0xF2
    EXPECT_EQ(fm.Slots[kBassDrumModSlot].Patch, fm.PatchTable[30]);
    EXPECT_EQ(fm.Slots[kTopCymbalSlot].Patch, fm.PatchTable[13]);
    for (int s = 12; s < 18; ++s) EXPECT_EQ(fm.Slots[s].EnvelopeState, fmenv::Finished) << s;

    // Melodic again: 0x37 selects the instrument.
    Write(0x37, 0x95);
    EXPECT_EQ(fm.PatchNumber[7], 9);
}

TEST_F(Ym2413Test, RhythmSoundsAndFollowsItsChannelSwitches) {
    // Pitch the drums as a game does, then strike all five.
    static constexpr std::uint8_t kDrums[][2] = {
        {0x16, 0x20}, {0x26, 0x05}, {0x17, 0x50}, {0x27, 0x05}, {0x18, 0xC0},
        {0x28, 0x01}, {0x36, 0x00}, {0x37, 0x00}, {0x38, 0x00}, {0x0E, 0x3F}};
    for (const auto& w : kDrums) Write(w[0], w[1]);
    const auto all = Frames(fm, 2);
    EXPECT_FALSE(AllZero(all));

    auto only = [&](int channel) {
        T_YM2413_OPLL_CORE chip;
        chip.Configure(44100, 3579545);
        for (int c = 0; c < kFmChannels; ++c)
            chip.SetChannelEnabled(static_cast<std::uint8_t>(c), c == channel ? 1 : 0);
        for (const auto& w : kDrums) Write(chip, w[0], w[1]);
        return Frames(chip, 2);
    };
    const auto bass = only(6), hatSnare = only(7), tomCymbal = only(8);
    EXPECT_FALSE(AllZero(bass));
    EXPECT_FALSE(AllZero(hatSnare));
    EXPECT_FALSE(AllZero(tomCymbal));
    EXPECT_TRUE(AllZero(only(0)));
    // The three drum channels are independent, so their sum is the whole mix.
    for (std::size_t i = 0; i < all.size(); ++i)
        ASSERT_EQ(all[i], bass[i] + hatSnare[i] + tomCymbal[i]) << i;
}

TEST_F(Ym2413Test, RhythmInstrumentOutputs) {
    // Drums at F-number 0 keep their phases where they are put, and with AR 15 and volume
    // 0 every envelope is at 0 dB in the first sample, so that sample shows the waveform
    // rule alone. The noise bit of the first sample is 1 (seed 0xFFFF -> 0x40067EF).
    auto first = [](std::uint8_t keys, int slot, std::uint32_t phaseOut) {
        T_YM2413_OPLL_CORE chip;
        chip.Configure(44100, 3579545);
        Write(chip, 0x0E, 0x20);
        Write(chip, 0x0E, keys);
        if (slot >= 0) chip.Slots[slot].Phase = phaseOut << (9 + kPhaseFractionBits);
        std::int32_t sample = 0;
        chip.RenderSums(&sample, 1);
        EXPECT_EQ(chip.NoiseSeed, 0x40067EFu);
        return sample;
    };
    // dB steps 0, 16 (3 dB) and 203 (the sine's first entry) in linear terms, counted twice
    // as the rhythm section's output is.
    constexpr int kFull = 2 * 2047, k3dB = 2 * 1449, kSineStart = 2 * 25;
    // Snare drum (subtracted): phase bit 7 clear with noise -> negative full level.
    EXPECT_EQ(first(0x28, -1, 0), kFull);
    EXPECT_EQ(first(0x28, kSnareDrumSlot, 0x80), -kFull);
    // High hat: with neither phase pattern, noise 1 -> +3 dB down; own phase bit 2 -> negative.
    EXPECT_EQ(first(0x21, -1, 0), k3dB);
    EXPECT_EQ(first(0x21, kHighHatSlot, 0x04), -k3dB);
    EXPECT_EQ(first(0x21, kHighHatSlot, 0x002), -k3dB); // bit 1 xor bit 8
    EXPECT_EQ(first(0x21, kHighHatSlot, 0x102), k3dB);  // bits 1 and 8 cancel
    EXPECT_EQ(first(0x21, kHighHatSlot, 0x106), -k3dB); // bit 2 on its own
    // Top cymbal (subtracted): bit 2 without bit 4 of its own phase selects the negative half.
    EXPECT_EQ(first(0x22, -1, 0), -k3dB);
    EXPECT_EQ(first(0x22, kTopCymbalSlot, 0x04), k3dB);
    EXPECT_EQ(first(0x22, kTopCymbalSlot, 0x14), -k3dB);
    // Tom-tom: the plain sine at phase 0.
    EXPECT_EQ(first(0x24, -1, 0), kSineStart);
    // Nothing keyed in rhythm mode: silence.
    EXPECT_EQ(first(0x20, -1, 0), 0);
}

TEST_F(Ym2413Test, LoudSumSaturatesAndChannelsSwitchSeparately) {
    // Nine identical full-level sines; a reference chip mixes only channel 0.
    T_YM2413_OPLL_CORE single;
    single.Configure(44100, 3579545);
    PureSineInstrument(fm);
    PureSineInstrument(single);
    for (int c = 0; c < kFmChannels; ++c) {
        Note(fm, c, 0x00, 256, 4);
        Note(single, c, 0x00, 256, 4);
        if (c != 0) single.SetChannelEnabled(static_cast<std::uint8_t>(c), 0);
    }
    const auto nine = Frames(fm, 2);
    const auto one = Frames(single, 2);
    for (std::size_t i = 0; i < nine.size(); ++i) ASSERT_EQ(nine[i], 9 * one[i]) << i;
    EXPECT_EQ(*std::max_element(nine.begin(), nine.end()), 9 * 2047);
    // Nine channels at full level, in phase, reach 5/8 of that through the output stage;
    // on top of a loud PSG sample the sum saturates instead of wrapping.
    const auto alone = Mixed(fm, 0);
    EXPECT_NEAR(*std::max_element(alone.begin(), alone.end()), 9 * 2047 * 5 / 8, 300);
    const auto loud = Mixed(fm, 31000);
    EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);
    EXPECT_GT(*std::min_element(loud.begin(), loud.end()), 31000 - 9 * 2047);

    // Channel switches: off removes the channel, on again brings it back at once.
    T_YM2413_OPLL_CORE eight;
    eight.Configure(44100, 3579545);
    PureSineInstrument(eight);
    for (int c = 0; c < kFmChannels; ++c) Note(eight, c, 0x00, 256, 4);
    eight.SetChannelEnabled(4, 0);
    eight.SetChannelEnabled(9, 0); // no such channel: ignored
    eight.SetChannelEnabled(200, 0);
    for (int c = 0; c < kFmChannels; ++c) EXPECT_EQ(eight.ChannelEnabled[c], c == 4 ? 0 : 1);
    const auto less = Frame(eight);
    for (std::size_t i = 0; i < less.size(); ++i) ASSERT_EQ(less[i], 8 * one[i]) << i;
    // Back on, it joins the mix again (after one sample of its stale previous output).
    eight.SetChannelEnabled(4, 1);
    const auto again = Frame(eight);
    for (std::size_t i = 1; i < again.size(); ++i)
        ASSERT_EQ(again[i], nine[kSamplesPerFrame + i]) << i;
}

// Fundamental of a tone: the carrier advances its 18-bit phase (with 8 bits of fraction
// below) by the phase step each output sample, so it plays step x 44100 / 2^26 Hz, where
// the step is RateAdjust(256 x (((F x MultiplierTable[ML]) << block) >> 2)).
constexpr double kPhasePeriod = 67108864.0; // 2^26
double ExpectedPitch(int fNumber, int block, int twiceMultiplier) {
    const double x = static_cast<double>(((fNumber * twiceMultiplier) << block) >> 2);
    const double step = std::trunc(3579545.0 * x * 256.0 / 72.0 / 44100.0 + 0.5);
    return step * 44100.0 / kPhasePeriod;
}

// Goertzel: the magnitude of one frequency component.
double Magnitude(const std::vector<std::int32_t>& s, double freq) {
    const double w = 2.0 * std::numbers::pi * freq / 44100.0;
    const double k = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (std::int32_t x : s) {
        const double s0 = x + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2));
}

TEST_F(Ym2413Test, MeasuredPitchMatchesThePhaseStep) {
    // A plain sine at F-number 256, block 4, ML 1 on the console's clock: 388.4 Hz, with
    // the step's fraction kept (591053 / 256 = 2308.8).
    PureSineInstrument(fm);
    Note(fm, 0, 0x00, 256, 4);
    EXPECT_EQ(Carrier(0).PhaseStep, 591053u);
    const double expected = ExpectedPitch(256, 4, 2);
    EXPECT_NEAR(expected, 388.4, 0.05);
    const auto second = Frames(fm, 60);
    ASSERT_EQ(second.size(), 44100u);
    EXPECT_EQ(*std::max_element(second.begin(), second.end()), 2047);

    // Rising zero crossings, placed between samples by linear interpolation.
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < second.size(); ++i) {
        if (second[i - 1] < 0 && second[i] >= 0) {
            const double at = static_cast<double>(i - 1) +
                              static_cast<double>(-second[i - 1]) / (second[i] - second[i - 1]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    ASSERT_GT(crossings, 300);
    const double measured = (crossings - 1) * 44100.0 / (last - first);
    EXPECT_NEAR(measured, expected, 0.05);

    // Built-in instruments (1: violin, 9: organ; modulator and carrier both ML 1): the
    // spectrum peaks at the carrier's pitch, 388.4 Hz for F-number 256, block 4, and has
    // nothing below it.
    struct Case {
        std::uint8_t instrument;
        int fNumber, block;
        double pitch;
    };
    for (const Case c : {Case{0x10, 256, 4, 388.4}, Case{0x90, 428, 5, ExpectedPitch(428, 5, 2)}}) {
        T_YM2413_OPLL_CORE chip;
        chip.Configure(44100, 3579545);
        Note(chip, 3, c.instrument, c.fNumber, c.block);
        EXPECT_NEAR(chip.Slots[7].PhaseStep * 44100.0 / kPhasePeriod, c.pitch, c.pitch * 0.003)
            << int(c.instrument);
        Frames(chip, 10); // past the attack
        const auto tone = Frames(chip, 60);
        double best = 0, bestFreq = 0;
        for (double f = c.pitch * 0.3; f <= c.pitch * 1.2; f += 0.25) {
            const double m = Magnitude(tone, f);
            if (m > best) best = m, bestFreq = f;
        }
        EXPECT_NEAR(bestFreq, c.pitch, c.pitch * 0.003) << int(c.instrument);
        EXPECT_GT(Magnitude(tone, c.pitch), 20 * Magnitude(tone, c.pitch * 0.5));
    }
}

TEST_F(Ym2413Test, ModulationAndFeedbackFollowTheirRules) {
    // User instrument: both slots attack at once and hold at 0 dB, ML 1, modulator TL 0
    // and feedback FB; the samples follow the operator rules step by step: modulator
    // D[W[(phase + feedback) & 511]] with feedback = (its last two outputs) >> (9 - FB),
    // carrier D[W[(phase + the modulator's newest output) & 511]] averaged with its
    // previous output. The feedback offset peaks at 1023 entries for FB 7 and 15 for FB 1
    // (one more below zero, as the shift rounds down).
    for (const auto& [fb, peak] : {std::pair{0, 0}, {1, 15}, {4, 127}, {7, 1023}}) {
        T_YM2413_OPLL_CORE chip;
        chip.Configure(44100, 3579545);
        for (const auto& [reg, value] : {std::pair{0x00, 0x21},
                                         {0x01, 0x21},
                                         {0x02, 0x00},
                                         {0x03, fb},
                                         {0x04, 0xF0},
                                         {0x05, 0xF0},
                                         {0x06, 0x00},
                                         {0x07, 0x00}})
            Write(chip, static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
        Note(chip, 0, 0x00, 256, 4);
        const FmTables& t = chip.Tables();
        const std::uint32_t step = chip.Slots[0].PhaseStep;
        std::uint32_t phase = 0;
        std::int32_t modOut0 = 0, feedback = 0, carOut0 = 0, widest = 0;
        for (int i = 0; i < 4000; ++i) {
            std::int32_t sample = 0;
            chip.RenderSums(&sample, 1);
            phase = (phase + step) & ((1u << (18 + kPhaseFractionBits)) - 1);
            const std::uint32_t out = phase >> (9 + kPhaseFractionBits);
            const std::int32_t modOut1 = modOut0;
            modOut0 =
                t.DbToLinTable[t.SineTable[(out + static_cast<std::uint32_t>(feedback)) & 511]];
            feedback = fb == 0 ? 0 : (modOut1 + modOut0) >> (9 - fb);
            widest = std::max(widest, feedback);
            const std::int32_t carOut1 = carOut0;
            carOut0 =
                t.DbToLinTable[t.SineTable[(out + static_cast<std::uint32_t>(modOut0)) & 511]];
            ASSERT_EQ(sample, (carOut1 + carOut0) >> 1) << "FB " << fb << " sample " << i;
            ASSERT_EQ(chip.Slots[0].Feedback, feedback) << "FB " << fb << " sample " << i;
        }
        EXPECT_LE(widest, peak) << "FB " << fb;
        EXPECT_GE(widest, peak * 95 / 100) << "FB " << fb;
    }
}

TEST_F(Ym2413Test, TremoloAndVibratoBitsAndDepth) {
    // Byte 0 bit 7 is tremolo (AM), bit 6 vibrato (PM), for the user instrument and the
    // built-in ones alike (instrument 12's modulator has AM only, its carrier both).
    Write(0x00, 0x80);
    Write(0x01, 0x40);
    EXPECT_EQ(fm.PatchTable[0].AM, 1);
    EXPECT_EQ(fm.PatchTable[0].PM, 0);
    EXPECT_EQ(fm.PatchTable[1].AM, 0);
    EXPECT_EQ(fm.PatchTable[1].PM, 1);
    EXPECT_EQ(fm.PatchTable[24].AM, 1);
    EXPECT_EQ(fm.PatchTable[24].PM, 0);

    // Modulator with tremolo only: its phase runs at exactly its step and its level swings
    // with the amplitude LFO. Carrier with vibrato only: its level holds and its phase
    // swings around the step by at most 1.2% (13.75 cents) without moving its pitch on
    // average, so a vibrato note stays in its octave.
    for (const auto& [reg, value] : {std::pair{0x02, 0x00},
                                     {0x03, 0x00},
                                     {0x04, 0xF0},
                                     {0x05, 0xF0},
                                     {0x06, 0x00},
                                     {0x07, 0x00}})
        Write(static_cast<std::uint8_t>(reg), static_cast<std::uint8_t>(value));
    Note(fm, 0, 0x00, 256, 4);
    Step(10);
    const std::uint32_t mask = (1u << (18 + kPhaseFractionBits)) - 1;
    const std::uint32_t step = Carrier(0).PhaseStep;
    ASSERT_EQ(Modulator(0).PhaseStep, step);
    std::uint64_t carrierTravel = 0;
    std::uint32_t lowest = 255, highest = 0, carrierLevels = 0;
    std::uint32_t lastCarrierLevel = Carrier(0).EnvelopeOut;
    double widest = 0;
    constexpr int kSamples = 44100;
    for (int i = 0; i < kSamples; ++i) {
        const std::uint32_t mod = Modulator(0).Phase;
        const std::uint32_t car = Carrier(0).Phase;
        Step(1);
        ASSERT_EQ((Modulator(0).Phase - mod) & mask, step) << i;
        const std::uint32_t moved = (Carrier(0).Phase - car) & mask;
        carrierTravel += moved;
        widest = std::max(widest, std::abs(static_cast<double>(moved) / step - 1.0));
        lowest = std::min(lowest, Modulator(0).EnvelopeOut);
        highest = std::max(highest, Modulator(0).EnvelopeOut);
        if (Carrier(0).EnvelopeOut != lastCarrierLevel) ++carrierLevels;
    }
    EXPECT_GE(highest - lowest, 20u) << "tremolo reaches about 4.8 dB";
    EXPECT_EQ(carrierLevels, 0u) << "no tremolo on the vibrato slot";
    EXPECT_GT(widest, 0.005);
    EXPECT_LT(widest, 0.013);
    EXPECT_NEAR(static_cast<double>(carrierTravel) / kSamples / step, 1.0, 0.003);
}

TEST_F(Ym2413Test, RegisterWritesWhileNotesPlayKeepTheirPinnedOutput) {
    // Every kind of register write lands while notes sound, a few hundred samples apart:
    // the user instrument's bytes, F-numbers, blocks, sustain, key on and off, instrument
    // and volume changes, rhythm mode on and off with its keys and volumes, the test
    // register and the channel switches. Values the engine keeps between writes must
    // follow each of them, so the hash of every sample stays as pinned.
    constexpr int kSwitch = 0x100; // kSwitch + c: channel c switched by value
    struct Event {
        int wait; // samples rendered before the write
        int reg;
        int value;
    };
    const Event script[] = {
        {0, 0x00, 0x61},   {0, 0x01, 0x61},       {0, 0x02, 0x1E},    {0, 0x03, 0x17},
        {0, 0x04, 0xF0},   {0, 0x05, 0x7F},       {0, 0x06, 0x00},    {0, 0x07, 0x17},
        {0, 0x30, 0x03},   {0, 0x10, 0x81},       {0, 0x20, 0x19},    {0, 0x31, 0x54},
        {0, 0x11, 0xC3},   {0, 0x21, 0x17},       {0, 0x32, 0xC2},    {0, 0x12, 0x21},
        {0, 0x22, 0x3A},   {0, 0x33, 0xB0},       {0, 0x13, 0x5A},    {0, 0x23, 0x15},
        {300, 0x00, 0xE2}, {300, 0x01, 0xD3},     {300, 0x02, 0x9A},  {300, 0x03, 0xC8},
        {300, 0x04, 0x85}, {300, 0x05, 0x96},     {300, 0x06, 0x32},  {300, 0x07, 0x44},
        {300, 0x10, 0x40}, {250, 0x20, 0x1F},     {250, 0x11, 0x99},  {250, 0x21, 0x37},
        {250, 0x30, 0x10}, {250, 0x30, 0x05},     {250, 0x31, 0x9F},  {250, 0x32, 0x20},
        {400, 0x21, 0x27}, {400, 0x20, 0x09},     {300, 0x22, 0x2A},  {300, 0x23, 0x05},
        {900, 0x20, 0x1D}, {200, 0x21, 0x37},     {200, 0x0F, 0xFF},  {100, 0x0F, 0x00},
        {100, 0x16, 0x20}, {0, 0x26, 0x05},       {0, 0x17, 0x50},    {0, 0x27, 0x05},
        {0, 0x18, 0xC0},   {0, 0x28, 0x01},       {200, 0x0E, 0x20},  {200, 0x0E, 0x3F},
        {300, 0x36, 0x03}, {200, 0x37, 0x5A},     {200, 0x38, 0x28},  {300, 0x0E, 0x25},
        {300, 0x0E, 0x3A}, {200, 0x17, 0x80},     {200, 0x28, 0x03},  {300, 0x0E, 0x30},
        {300, 0x0E, 0x00}, {200, 0x36, 0x61},     {0, 0x26, 0x17},    {200, 0x37, 0x72},
        {0, 0x27, 0x19},   {200, 0x38, 0x00},     {0, 0x28, 0x15},    {300, 0x06, 0xF5},
        {300, 0x0E, 0x2F}, {300, 0x0E, 0x00},     {200, kSwitch, 0},  {200, kSwitch + 7, 0},
        {200, kSwitch, 1}, {200, kSwitch + 7, 1}, {200, 0x24, 0x3B},  {0, 0x34, 0x70},
        {300, 0x34, 0xE4}, {300, 0x24, 0x2B},     {2000, 0x20, 0x00}, {3000, 0x0E, 0x00},
    };
    std::uint64_t hash = 0xCBF29CE484222325ull;
    const auto play = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const std::int32_t sample = Next();
            hash = (hash ^ static_cast<std::uint16_t>(sample)) * 0x100000001B3ull;
        }
    };
    for (const Event& e : script) {
        play(e.wait);
        if (e.reg >= kSwitch)
            fm.SetChannelEnabled(static_cast<std::uint8_t>(e.reg - kSwitch),
                                 static_cast<std::uint8_t>(e.value));
        else
            Write(static_cast<std::uint8_t>(e.reg), static_cast<std::uint8_t>(e.value));
    }
    EXPECT_EQ(hash, 0x42C06060A864DB90ull);

    // A held note at F-number 0 comes to a steady level (the sine's first entry, 25) that
    // the channel switch must still silence and bring back.
    T_YM2413_OPLL_CORE chip;
    chip.Configure(44100, 3579545);
    PureSineInstrument(chip);
    Note(chip, 0, 0x00, 0, 0);
    const auto level = [&chip] {
        std::int32_t sample = 0;
        chip.RenderSums(&sample, 1);
        return sample;
    };
    for (const auto& [on, expected] : {std::pair{1, 25}, {0, 0}, {1, 25}}) {
        chip.SetChannelEnabled(0, static_cast<std::uint8_t>(on));
        for (int i = 0; i < 3; ++i) level();
        EXPECT_EQ(level(), expected) << "switch " << on;
    }
}

} // namespace
} // namespace velmar
