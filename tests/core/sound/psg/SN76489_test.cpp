#include "core/sound/psg/SN76489_EMU.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace velmar {
namespace {

constexpr std::uint32_t kClock = 3579545;
constexpr double kCountsPerSample = kClock / 16.0 / 44100.0; // 5.07

class PsgTest : public ::testing::Test {
  protected:
    PsgTest() { Init(Psg); }

    static void Init(T_PSG_CORE& Chip) {
        Chip.Reset();
        Chip.Configure(44100, kClock);
    }

    static void Write(T_PSG_CORE& Chip, std::initializer_list<int> Bytes) {
        for (int Byte : Bytes) Chip.WriteData(static_cast<std::uint8_t>(Byte));
    }
    void Write(std::initializer_list<int> Bytes) { Write(Psg, Bytes); }

    static void SetPeriod(T_PSG_CORE& Chip, int Channel, int Period) {
        Write(Chip, {0x80 | (Channel << 5) | (Period & 0x0F), (Period >> 4) & 0x3F});
    }
    void SetPeriod(int Channel, int Period) { SetPeriod(Psg, Channel, Period); }
    void SetAttenuation(int Channel, int Attenuation) {
        Write({0x90 | (Channel << 5) | Attenuation});
    }

    static std::vector<std::int16_t> Play(T_PSG_CORE& Chip, int Count) {
        std::vector<std::int16_t> Samples(static_cast<std::size_t>(Count));
        Chip.RenderSamples(Samples.data(), Count);
        return Samples;
    }
    std::vector<std::int16_t> Play(int Count) { return Play(Psg, Count); }
    std::int16_t Next() { return Play(1).front(); }

    T_PSG_CORE Psg;
};

// Rising crossings through a band of a tenth of the peak = full cycles of the waveform.
int CountCycles(const std::vector<std::int16_t>& Samples) {
    const int Band = *std::max_element(Samples.begin(), Samples.end()) / 10;
    int Cycles = 0;
    bool High = true;
    for (std::int16_t Sample : Samples) {
        if (!High && Sample > Band) {
            High = true;
            ++Cycles;
        } else if (High && Sample < -Band) {
            High = false;
        }
    }
    return Cycles;
}

TEST_F(PsgTest, ConfigureSwitchesEverythingOnAndSilenceFollowsReset) {
    for (int Channel = 0; Channel < 3; ++Channel) {
        EXPECT_EQ(Psg.GetTone(Channel).Enabled, 1);
        EXPECT_EQ(Psg.GetTone(Channel).SquareWave, 1);
    }
    EXPECT_EQ(Psg.GetNoise().Enabled, 1);
    const auto Silence = Play(2000);
    EXPECT_TRUE(std::all_of(Silence.begin(), Silence.end(), [](std::int16_t S) { return S == 0; }));
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, 0);

    // 2 dB per attenuation step, 15 silent.
    for (int Step = 1; Step < 15; ++Step)
        EXPECT_NEAR(20 * std::log10(Psg.GetLevel(Step - 1) / Psg.GetLevel(Step)), 2.0, 1e-4);
    EXPECT_EQ(Psg.GetLevel(0), T_PSG_CORE::kFullLevel);
    EXPECT_EQ(Psg.GetLevel(15), 0.0);

    // Nonsense set-ups take the console's values instead of dividing by zero.
    T_PSG_CORE Broken;
    Broken.Reset();
    Broken.Configure(0, 0);
    Write(Broken, {0x90});
    SetPeriod(Broken, 0, 254);
    EXPECT_NE(Play(Broken, 200), std::vector<std::int16_t>(200, 0));
}

TEST_F(PsgTest, LatchAndDataBytes) {
    // A latch byte sets the low four period bits at once; a data byte the high six, keeping
    // the low ones.
    Write({0x8F});
    EXPECT_EQ(Psg.GetTone(0).Period, 15);
    Write({0x3F});
    EXPECT_EQ(Psg.GetTone(0).Period, 1023);
    Write({0x80});
    EXPECT_EQ(Psg.GetTone(0).Period, 1008);
    Write({0x41}); // bit 6 of a data byte is ignored
    EXPECT_EQ(Psg.GetTone(0).Period, 0x01 * 16);

    // A data byte after a volume latch rewrites the attenuation, not the period.
    Write({0x9F, 0x03});
    EXPECT_EQ(Psg.GetTone(0).Attenuation, 3);
    EXPECT_EQ(Psg.GetTone(0).Period, 0x01 * 16);

    // Tone 2 and 3 periods assemble from their own low bits.
    Write({0xA5, 0x12, 0xCA, 0x00});
    EXPECT_EQ(Psg.GetTone(1).Period, 0x12 * 16 + 5);
    EXPECT_EQ(Psg.GetTone(2).Period, 10);
    Write({0xD7});
    EXPECT_EQ(Psg.GetTone(2).Attenuation, 7);
    EXPECT_EQ(Psg.GetTone(2).Period, 10);

    // Noise: volume, then control by latch and again by a following data byte.
    Write({0xF4});
    EXPECT_EQ(Psg.GetNoise().Attenuation, 4);
    Write({0xE5});
    EXPECT_EQ(Psg.GetNoise().NoiseControl, 5);
    EXPECT_EQ(Psg.GetNoise().TapMask, T_PSG_CORE::kWhiteNoiseTaps);
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, 0x2000);
    Play(20);
    EXPECT_NE(Psg.GetNoise().ShiftRegister, 0x2000);
    Write({0x32});
    EXPECT_EQ(Psg.GetNoise().NoiseControl, 2);
    EXPECT_EQ(Psg.GetNoise().TapMask, T_PSG_CORE::kPeriodicNoiseTaps);
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, 0x2000);
    EXPECT_EQ(Psg.GetNoise().Attenuation, 4);

    std::array<std::uint16_t, 8> Status{};
    Psg.GetStatus(Status);
    const std::array<std::uint16_t, 8> Expected = {3, 16, 15, 0x125, 7, 10, 4, 2};
    EXPECT_EQ(Status, Expected);
}

TEST_F(PsgTest, PeriodsBelowSixPlayAConstantLevel) {
    for (int Shape : {1, 0}) {
        T_PSG_CORE Chip;
        Init(Chip);
        Chip.SetSquareWave(static_cast<std::uint8_t>(Shape));
        Write(Chip, {0x90, 0xB3}); // tone 1 at 0, tone 2 at 3
        SetPeriod(Chip, 0, 5);
        SetPeriod(Chip, 1, 1);
        const auto Held = Play(Chip, 100);
        const int Level = static_cast<int>(std::lround((Chip.GetLevel(0) + Chip.GetLevel(3)) / 2));
        for (int Index = 20; Index < 100; ++Index)
            ASSERT_NEAR(Held[Index], Level, 1) << "shape " << Shape << ", sample " << Index;
        EXPECT_EQ(Chip.GetTone(0).Counter, 0);
        EXPECT_EQ(Chip.GetTone(0).Polarity, 0);
    }
}

// Period 1023 flips every 201.7 samples: each half wave starts at the full level, shrinks
// by 0.5% of it per sample and holds at 40% from 120 samples after the flip.
TEST_F(PsgTest, SquareWaveDecaysAfterEachFlip) {
    SetAttenuation(0, 0);
    SetPeriod(0, 1023);
    const auto Out = Play(1000);
    const double Full = Psg.GetLevel(0);
    std::vector<std::size_t> Flips;
    for (std::size_t Index = 20; Index < Out.size(); ++Index)
        if ((Out[Index - 1] < 0) != (Out[Index] < 0)) Flips.push_back(Index);
    ASSERT_GE(Flips.size(), 4u);
    EXPECT_NEAR(static_cast<double>(Flips[3] - Flips[1]), 2 * 1023 / kCountsPerSample, 1.0);
    for (std::size_t Half = 1; Half + 1 < Flips.size(); ++Half) {
        const std::size_t From = Flips[Half];
        const double Sign = Out[From + 20] > 0 ? 1.0 : -1.0;
        for (int After : {20, 60, 100})
            EXPECT_NEAR(Sign * Out[From + After], Full * (1 - 0.005 * After), Full * 0.01) << After;
        for (int After : {125, 150, 190})
            EXPECT_NEAR(Sign * Out[From + After], Full * 0.4, Full * 0.01) << After;
    }
}

TEST_F(PsgTest, SineWaveShape) {
    Psg.SetSquareWave(0);
    SetAttenuation(0, 0);
    SetPeriod(0, 1000);
    const auto Out = Play(2000);
    const double Peak = 1.25 * Psg.GetLevel(0);
    const auto [Low, High] = std::minmax_element(Out.begin() + 20, Out.end());
    EXPECT_NEAR(*High, Peak, Peak * 0.01);
    EXPECT_NEAR(*Low, -Peak, Peak * 0.01);
    // A smooth wave: no sample jumps by more than the sine's own slope allows.
    const double MostPerSample = 2 * 3.1416 * Peak / (2 * 1000 / kCountsPerSample);
    for (std::size_t Index = 21; Index < Out.size(); ++Index)
        ASSERT_LE(std::abs(Out[Index] - Out[Index - 1]), MostPerSample + 2) << Index;
    // Any value but 1 means sine; back to square mid-wave it swings at the square's level.
    Psg.SetSquareWave(2);
    EXPECT_LE(std::abs(Next()), Peak + 1);
    Psg.SetSquareWave(1);
    const auto Square = Play(400);
    EXPECT_GT(*std::max_element(Square.begin(), Square.end()), 0.9 * Psg.GetLevel(0));
}

TEST_F(PsgTest, PeriodicNoiseComesOncePerSixteenPositions) {
    // Rate 0: the register shifts every 32 counts; the seed bit reaches bit 0 after 13
    // shifts and then every 16, a pulse train at 3579545 / 8192 = 437.0 Hz.
    Write({0xF0, 0xE0});
    std::vector<int> ShiftsWithBit0;
    int Shifts = 0;
    std::uint16_t Previous = Psg.GetNoise().ShiftRegister;
    while (Shifts < 62) {
        Next();
        if (Psg.GetNoise().ShiftRegister != Previous) {
            ++Shifts;
            if (Psg.GetNoise().ShiftRegister & 1) ShiftsWithBit0.push_back(Shifts);
        }
        Previous = Psg.GetNoise().ShiftRegister;
    }
    EXPECT_EQ(ShiftsWithBit0, (std::vector<int>{13, 29, 45, 61}));
    const auto Second = Play(44100);
    int Pulses = 0;
    for (std::size_t Index = 1; Index < Second.size(); ++Index)
        Pulses += Second[Index - 1] < Psg.GetLevel(0) && Second[Index] >= Psg.GetLevel(0);
    EXPECT_NEAR(Pulses, 437, 1);
}

TEST_F(PsgTest, WhiteNoiseSequenceFromTheSeed) {
    Write({0xF0, 0xE4});
    std::vector<std::uint16_t> Registers;
    std::uint16_t Previous = Psg.GetNoise().ShiftRegister;
    while (Registers.size() < 16) {
        Next();
        if (Psg.GetNoise().ShiftRegister != Previous) {
            Previous = Psg.GetNoise().ShiftRegister;
            Registers.push_back(Previous);
        }
    }
    // The seed bit walks down; at bit 3 it feeds back (taps 0 and 3) into bit 15.
    EXPECT_EQ(Registers[0], 0x1000);
    EXPECT_EQ(Registers[9], 0x0008);
    EXPECT_EQ(Registers[10], 0x8004);
    EXPECT_EQ(Registers[11], 0x4002);
    EXPECT_EQ(Registers[12], 0x2001);
    EXPECT_EQ(Registers[13], 0x9000);
    EXPECT_EQ(Registers[14], 0x4800);
}

TEST_F(PsgTest, NoiseRates) {
    auto Expiries = [&](int Control, int Tone3, int Samples) {
        T_PSG_CORE Chip;
        Init(Chip);
        SetPeriod(Chip, 2, Tone3);
        Write(Chip, {0xE0 | Control});
        int Flips = 0;
        std::uint8_t Polarity = Chip.GetNoise().Polarity;
        for (int Index = 0; Index < Samples; ++Index) {
            Play(Chip, 1);
            if (Chip.GetNoise().Polarity != Polarity) ++Flips;
            Polarity = Chip.GetNoise().Polarity;
        }
        return Flips;
    };
    // Reloads of 16, 32, 64 counts and tone 3's 40; following tone 3 at period 0, one
    // count, and no debt left behind when its period grows again.
    const double Counts = 4410 * kCountsPerSample;
    EXPECT_NEAR(Expiries(0, 40, 4410), Counts / 16, 1);
    EXPECT_NEAR(Expiries(1, 40, 4410), Counts / 32, 1);
    EXPECT_NEAR(Expiries(2, 40, 4410), Counts / 64, 1);
    EXPECT_NEAR(Expiries(3, 40, 4410), Counts / 40, 1);
    {
        // White noise shifting on every second count: the register is the seed shifted
        // about 441 x 5.07 / 2 = 1118 times.
        T_PSG_CORE Chip;
        Init(Chip);
        Write(Chip, {0xE7});
        Play(Chip, 441);
        std::uint16_t Register = 0x2000;
        int Shifts = 0;
        for (; Shifts < 1130 && Register != Chip.GetNoise().ShiftRegister; ++Shifts)
            Register = static_cast<std::uint16_t>((Register >> 1) |
                                                  (((Register ^ (Register >> 3)) & 1) << 15));
        EXPECT_NEAR(Shifts, 441 * kCountsPerSample / 2, 1);
    }

    // Changing tone 3's period changes the noise rate from the next expiry on.
    SetPeriod(2, 254);
    Write({0xE3});
    Play(44100);
    SetPeriod(2, 20);
    int Flips = 0;
    std::uint8_t Polarity = Psg.GetNoise().Polarity;
    for (int Index = 0; Index < 441; ++Index) {
        Next();
        Flips += Psg.GetNoise().Polarity != Polarity ? 1 : 0;
        Polarity = Psg.GetNoise().Polarity;
    }
    EXPECT_NEAR(Flips, 441 * kCountsPerSample / 20, 2);
}

TEST_F(PsgTest, RenderWritesExactlyItsEntriesInAnyBatches) {
    // Three tones and noise; the same samples in one batch, in batches of every size up
    // to 300, and one by one.
    T_PSG_CORE Whole, Pieces, Single;
    for (T_PSG_CORE* Chip : {&Whole, &Pieces, &Single}) {
        Init(*Chip);
        Write(*Chip, {0x90, 0xB2, 0xD5, 0xF3, 0xE4});
        SetPeriod(*Chip, 0, 123);
        SetPeriod(*Chip, 1, 7);
        SetPeriod(*Chip, 2, 300);
    }
    constexpr int kTotal = 299 * 300 / 2;
    std::vector<std::int16_t> All(kTotal + 1, 0x7777);
    Whole.RenderSamples(All.data(), kTotal);
    EXPECT_EQ(All.back(), 0x7777);
    All.pop_back();
    std::vector<std::int16_t> InPieces;
    for (int Size = 1; Size < 300; ++Size) {
        const auto Piece = Play(Pieces, Size);
        InPieces.insert(InPieces.end(), Piece.begin(), Piece.end());
    }
    std::vector<std::int16_t> OneByOne;
    for (int Index = 0; Index < kTotal; ++Index) OneByOne.push_back(Play(Single, 1).front());
    EXPECT_EQ(InPieces, All);
    EXPECT_EQ(OneByOne, All);
}

TEST_F(PsgTest, OutputAndChannelSwitches) {
    T_PSG_CORE Reference;
    for (T_PSG_CORE* Chip : {&Psg, &Reference}) {
        Init(*Chip);
        Write(*Chip, {0x90, 0xB2, 0xF0, 0xE4});
        SetPeriod(*Chip, 0, 123);
        SetPeriod(*Chip, 1, 77);
    }
    EXPECT_EQ(Play(50), Play(Reference, 50));

    // Output off: silence, and nothing advances; back on, the chip resumes where it stood.
    Psg.SetOutputEnabled(0);
    EXPECT_EQ(Play(30), std::vector<std::int16_t>(30, 0));
    Psg.SetOutputEnabled(2); // only 1 means on
    EXPECT_EQ(Next(), 0);
    Psg.SetOutputEnabled(1);
    EXPECT_EQ(Play(200), Play(Reference, 200));

    // A switched-off channel is not computed: its counter and register stand still, and it
    // leaves the output.
    Psg.SetToneEnabled1(0);
    Psg.SetNoiseEnabled(0);
    const T_PSG_CORE::ToneChannel Tone1 = Psg.GetTone(0);
    const std::uint16_t Register = Psg.GetNoise().ShiftRegister;
    const std::int64_t NoiseCounter = Psg.GetNoise().Counter;
    const auto Tone2 = Play(400);
    EXPECT_EQ(Psg.GetTone(0).Counter, Tone1.Counter);
    EXPECT_EQ(Psg.GetTone(0).Polarity, Tone1.Polarity);
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, Register);
    EXPECT_EQ(Psg.GetNoise().Counter, NoiseCounter);
    // Tone 2 alone (attenuation 2) is left.
    const double Level = Psg.GetLevel(2);
    for (std::size_t Index = 100; Index < Tone2.size(); ++Index)
        ASSERT_LE(std::abs(Tone2[Index]), 1.25 * Level) << Index;

    // Only tone 3 left: silent at period 0, attenuation 15.
    Psg.SetToneEnabled2(0);
    Play(100);
    EXPECT_EQ(Next(), 0);
    Psg.SetToneEnabled1(1);
    Play(100);
    EXPECT_NE(Play(200), std::vector<std::int16_t>(200, 0));
}

TEST_F(PsgTest, LoudSumStaysInRange) {
    // Three tones at the same low pitch flip together at full level while white noise plays
    // at full level: the loudest the chip can be, overshoot of its band-limited edges
    // included, is still far inside the 16-bit range with room for the FM unit.
    Write({0x90, 0xB0, 0xD0, 0xF0, 0xE4});
    for (int Channel = 0; Channel < 3; ++Channel) SetPeriod(Channel, 1000);
    const auto Out = Play(44100);
    const auto [Low, High] = std::minmax_element(Out.begin(), Out.end());
    EXPECT_GT(*High, 3 * 0.9 * T_PSG_CORE::kFullLevel);
    EXPECT_LT(*High, 5 * 1.2 * T_PSG_CORE::kFullLevel);
    EXPECT_GT(*Low, -3 * 1.2 * T_PSG_CORE::kFullLevel);
}

// Pitch over one second: the counters run on the chip's clock, so a tone of period P
// sounds at ClockHz / (32P): 440.4 Hz for period 254.
TEST_F(PsgTest, MeasuredPitchFollowsTheClock) {
    for (int Shape : {1, 0}) {
        for (int Period : {100, 254, 1023}) {
            Init(Psg);
            Psg.SetSquareWave(static_cast<std::uint8_t>(Shape));
            SetAttenuation(0, 0);
            SetPeriod(0, Period);
            const double Measured = CountCycles(Play(44100));
            EXPECT_NEAR(Measured, kClock / (32.0 * Period), 1.0)
                << "period " << Period << " shape " << Shape;
        }
    }
    // Over ten seconds the count of flips pins the pitch to 0.05%: 440.4 Hz is 8808
    // half-waves.
    Init(Psg);
    SetAttenuation(0, 0);
    SetPeriod(0, 254);
    int Flips = 0;
    std::uint8_t Polarity = Psg.GetTone(0).Polarity;
    for (int Index = 0; Index < 441000; ++Index) {
        Next();
        Flips += Psg.GetTone(0).Polarity != Polarity ? 1 : 0;
        Polarity = Psg.GetTone(0).Polarity;
    }
    EXPECT_NEAR(Flips, 8808, 4);
}

TEST_F(PsgTest, WritesAndSwitchesWhileTonesPlayKeepTheirPinnedOutput) {
    // Attenuations, periods (short ones included), noise controls and every switch change
    // while all four channels sound; the hash of every sample is pinned, so any value kept
    // between writes must follow each of them.
    constexpr int kSquare = 0x100, kOutput = 0x101, kTone = 0x102; // kTone + c: switch c
    struct Event {
        int wait; // samples before the byte or switch
        int what; // a byte for the port, or one of the switches
        int value;
    };
    const Event script[] = {
        {0, 0x81, 0},    {0, 0x0F, 0},        {0, 0x90, 0},      {0, 0xA5, 0},
        {0, 0x06, 0},    {0, 0xB3, 0},        {0, 0xC2, 0},      {0, 0x03, 0},
        {0, 0xD8, 0},    {0, 0xE4, 0},        {0, 0xF2, 0},      {500, 0x97, 0},
        {300, 0x8F, 0},  {0, 0x3F, 0},        {300, 0xE6, 0},    {300, 0xE3, 0},
        {300, 0xC4, 0},  {0, 0x00, 0},        {300, 0xE7, 0},    {300, 0xDF, 0},
        {200, 0x82, 0},  {0, 0x00, 0},        {300, 0x0A, 0},    {300, kSquare, 0},
        {400, 0x9C, 0},  {300, kSquare, 1},   {300, kTone, 0},   {300, kTone + 3, 0},
        {300, kTone, 1}, {200, kTone + 3, 1}, {200, kOutput, 0}, {200, kOutput, 1},
        {200, 0xF0, 0},  {0, 0xE1, 0},        {300, 0xBF, 0},    {300, 0xE5, 0},
        {2000, 0x9F, 0}, {1000, 0xFF, 0},
    };
    std::uint64_t Hash = 0xCBF29CE484222325ull;
    for (const Event& E : script) {
        for (std::int16_t Sample : Play(E.wait))
            Hash = (Hash ^ static_cast<std::uint16_t>(Sample)) * 0x100000001B3ull;
        const auto Value = static_cast<std::uint8_t>(E.value);
        if (E.what == kSquare)
            Psg.SetSquareWave(Value);
        else if (E.what == kOutput)
            Psg.SetOutputEnabled(Value);
        else if (E.what == kTone)
            Psg.SetToneEnabled1(Value);
        else if (E.what == kTone + 3)
            Psg.SetNoiseEnabled(Value);
        else
            Psg.WriteData(static_cast<std::uint8_t>(E.what));
    }
    EXPECT_EQ(Hash, 0x9FCEE7468EFB5351ull);
}

} // namespace
} // namespace velmar
