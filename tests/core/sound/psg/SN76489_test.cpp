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

constexpr std::int32_t kLastIndex = 16383;
constexpr std::uint32_t kLines = 262;
constexpr std::uint32_t kUsableLines = 245;
constexpr std::uint32_t kWholeStepClock = 3528000;
constexpr std::uint32_t kConsoleClock = 3579545;

class PsgTest : public ::testing::Test {
  protected:
    PsgTest() { Init(Psg); }

    // The sample-exact tests run on a clock of exactly 5 x 16 x 44100 Hz, where every
    // sample lowers the counters by 5; the console's clock adds a sixth now and then.
    static void Init(T_PSG_CORE& Chip, std::uint32_t ClockHz = kWholeStepClock) {
        Chip.Reset();
        Chip.Configure(60, 44100, ClockHz, kLines);
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

    // One sample as the raw 16-bit entry. A line past the usable ones first puts the write
    // position back to entry 0 (that call advances nothing).
    static std::int16_t RawSample(T_PSG_CORE& Chip, std::array<std::int16_t, 16384>& Buffer) {
        Chip.RenderSample(Buffer.data(), kLastIndex, kUsableLines);
        Chip.RenderSample(Buffer.data(), kLastIndex, 0);
        return Buffer[0];
    }
    std::int16_t RawSample() { return RawSample(Psg, Buffer); }
    // The channel sum before scaling.
    int Next() { return RawSample() / T_PSG_CORE::kOutputScale; }

    // Plays whole frames as the machine does (three samples after each line's CPU slices)
    // and collects the frame's samples.
    std::vector<std::int16_t> PlayFrames(int Frames) {
        std::vector<std::int16_t> Samples;
        for (int Frame = 0; Frame < Frames; ++Frame) {
            for (std::uint32_t Line = 0; Line < kLines; ++Line)
                for (int Slice = 0; Slice < 3; ++Slice)
                    Psg.RenderSample(Buffer.data(), kLastIndex, Line);
            Samples.insert(Samples.end(), Buffer.begin(), Buffer.begin() + 735);
        }
        return Samples;
    }

    T_PSG_CORE Psg;
    std::array<std::int16_t, 16384> Buffer{};
};

// Rising sign changes (zeros skipped) = full cycles of the waveform.
int CountCycles(const std::vector<std::int16_t>& Samples) {
    int Cycles = 0;
    int LastSign = 0;
    for (std::int16_t Sample : Samples) {
        const int Sign = Sample > 0 ? 1 : (Sample < 0 ? -1 : 0);
        if (Sign == 0) continue;
        if (LastSign < 0 && Sign > 0) ++Cycles;
        LastSign = Sign;
    }
    return Cycles;
}

TEST_F(PsgTest, ConfigureDerivesStepLinesAndSwitchesEverythingOn) {
    EXPECT_EQ(Psg.GetStep(), 5);
    EXPECT_EQ(Psg.GetUsableLines(), 245u);
    for (int Channel = 0; Channel < 3; ++Channel) {
        EXPECT_EQ(Psg.GetTone(Channel).Enabled, 1);
        EXPECT_EQ(Psg.GetTone(Channel).SquareWave, 1);
    }
    EXPECT_EQ(Psg.GetNoise().Enabled, 1);

    // 50 frames per second: 882 samples, the largest divisor not above 313 lines is 294.
    T_PSG_CORE Pal;
    Pal.Configure(50, 44100, 3546893, 313);
    EXPECT_EQ(Pal.GetUsableLines(), 294u);

    // Nonsense set-ups neither divide by zero nor crash the renderer.
    T_PSG_CORE Broken;
    Broken.Reset();
    Broken.Configure(0, 0, 0, 0);
    Broken.RenderSample(Buffer.data(), kLastIndex, 0);
    Broken.Configure(60, 0, 3546893, 262);
    Broken.RenderSample(Buffer.data(), kLastIndex, 0);
    EXPECT_EQ(Broken.GetStep(), 0);
}

TEST_F(PsgTest, SilentAfterResetWithNothingWritten) {
    for (int Index = 0; Index < 2000; ++Index) ASSERT_EQ(RawSample(), 0) << Index;
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, 0);
}

TEST_F(PsgTest, LatchAndDataBytes) {
    // A lone latch byte only prepares the low period bits.
    Write({0x8F});
    EXPECT_EQ(Psg.GetTone(0).Period, 0);
    EXPECT_EQ(Psg.GetTone(0).PeriodLow, 15);
    Write({0x3F});
    EXPECT_EQ(Psg.GetTone(0).Period, 1023);
    // Another data byte reuses the same low bits; bit 6 of a data byte is ignored.
    Write({0x41});
    EXPECT_EQ(Psg.GetTone(0).Period, 0x01 * 16 + 15);

    // A data byte after a volume latch rewrites the attenuation, not the period.
    Write({0x9F, 0x03});
    EXPECT_EQ(Psg.GetTone(0).Attenuation, 3);
    EXPECT_EQ(Psg.GetTone(0).Period, 0x01 * 16 + 15);

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
    for (int Index = 0; Index < 20; ++Index) Next();
    EXPECT_NE(Psg.GetNoise().ShiftRegister, 0x2000);
    Write({0x32});
    EXPECT_EQ(Psg.GetNoise().NoiseControl, 2);
    EXPECT_EQ(Psg.GetNoise().TapMask, T_PSG_CORE::kPeriodicNoiseTaps);
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, 0x2000);
    EXPECT_EQ(Psg.GetNoise().Attenuation, 4);

    std::array<std::uint16_t, 8> Status{};
    Psg.GetStatus(Status);
    const std::array<std::uint16_t, 8> Expected = {3, 31, 15, 0x125, 7, 10, 4, 2};
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
        for (int Index = 0; Index < 50; ++Index)
            ASSERT_EQ(RawSample(Chip, Buffer), (15 + 12) * T_PSG_CORE::kOutputScale)
                << "shape " << Shape;
        EXPECT_EQ(Chip.GetTone(0).Counter, 0);
        EXPECT_EQ(Chip.GetTone(0).Polarity, 0);
    }
    // Period 6 is the first that oscillates.
    SetAttenuation(0, 0);
    SetPeriod(0, 6);
    EXPECT_EQ(Next(), 30);
    EXPECT_EQ(Psg.GetTone(0).Counter, 1);
}

TEST_F(PsgTest, SquareWaveLevelsAndDecay) {
    // Full level of each attenuation at a flip: 2 x (15 - attenuation).
    for (int Attenuation = 0; Attenuation < 16; ++Attenuation) {
        T_PSG_CORE Chip;
        Init(Chip);
        SetPeriod(Chip, 0, 100);
        Write(Chip, {0x90 | Attenuation});
        EXPECT_EQ(RawSample(Chip, Buffer), 2 * (15 - Attenuation) * T_PSG_CORE::kOutputScale)
            << Attenuation;
    }

    // Period 1023: the first sample flips high; the next flip comes 204 samples later.
    SetAttenuation(0, 0);
    SetPeriod(0, 1023);
    std::vector<int> Out;
    for (int Index = 0; Index < 205; ++Index) {
        Out.push_back(Next());
        if (Index == 119) {
            EXPECT_EQ(Psg.GetTone(0).Decay, 0.39999999999999947);
        }
    }
    EXPECT_EQ(Out[0], 30);
    EXPECT_EQ(Out[1], 28);
    EXPECT_EQ(Out[2], 28);
    EXPECT_EQ(Out[20], 26); // 15 x 0.9 = 13.5
    EXPECT_EQ(Out[119], 12);
    for (int Index = 120; Index < 204; ++Index) ASSERT_EQ(Out[Index], 10) << Index;
    EXPECT_EQ(Out[204], -30);
    EXPECT_EQ(Next(), -28);
}

TEST_F(PsgTest, SineWaveShape) {
    Psg.SetSquareWave(0);
    SetAttenuation(0, 0);
    SetPeriod(0, 1000);
    // Counter 995 after the first sample: near the end of a half wave the sine is ~0.
    std::vector<int> Out;
    for (int Index = 0; Index < 800; ++Index) Out.push_back(Next());
    EXPECT_EQ(Out[0], 0);
    // Counter 500 (sample 100): the crest, 15 x 20 div 8.
    EXPECT_EQ(Out[99], 37);
    int Max = -100;
    int Min = 100;
    for (int Index = 0; Index < 200; ++Index) {
        ASSERT_GE(Out[Index], 0) << Index;
        Max = std::max(Max, Out[Index]);
    }
    for (int Index = 200; Index < 400; ++Index) {
        ASSERT_LE(Out[Index], 0) << Index;
        Min = std::min(Min, Out[Index]);
    }
    EXPECT_EQ(Max, 37);
    EXPECT_EQ(Min, -37);
    // No decay: the second cycle's crest is as high as the first.
    EXPECT_EQ(Out[499], 37);
    EXPECT_EQ(Psg.GetTone(0).Decay, 1.0);

    // Back to square mid-wave: full-scale square from the decay the flip set.
    Psg.SetSquareWave(1);
    EXPECT_EQ(std::abs(Next()), 30);
    // Any value but 1 means sine.
    Psg.SetSquareWave(2);
    EXPECT_LT(std::abs(Next()), 30);
}

TEST_F(PsgTest, PeriodicNoiseComesOncePerSixteenPositions) {
    SetPeriod(2, 0); // noise rate 3 with tone 3 at period 0 expires at every sample
    Write({0xF0, 0xE3});
    std::vector<int> ShiftsWithBit0;
    int Shifts = 0;
    std::uint16_t Previous = Psg.GetNoise().ShiftRegister;
    for (int Index = 0; Index < 130; ++Index) {
        const std::int16_t Sample = RawSample();
        const std::uint16_t Register = Psg.GetNoise().ShiftRegister;
        if (Register != Previous) {
            ++Shifts;
            if (Register & 1) ShiftsWithBit0.push_back(Shifts);
        }
        Previous = Register;
        // Noise plays exactly while bit 0 is set, at 4 x its level, never negative.
        ASSERT_EQ(Sample, (Register & 1) ? 4 * 15 * T_PSG_CORE::kOutputScale : 0) << Index;
    }
    // One shift every second expiry.
    EXPECT_EQ(Shifts, 65);
    EXPECT_EQ(ShiftsWithBit0, (std::vector<int>{13, 29, 45, 61}));
}

TEST_F(PsgTest, WhiteNoiseSequenceFromTheSeed) {
    SetPeriod(2, 0);
    Write({0xF0, 0xE7});
    std::vector<std::uint16_t> Registers;
    std::uint16_t Previous = Psg.GetNoise().ShiftRegister;
    while (Registers.size() < 16) {
        RawSample();
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
    auto Expiries = [&](int Control, int Samples) {
        T_PSG_CORE Chip;
        Init(Chip);
        SetPeriod(Chip, 2, 40);
        Write(Chip, {0xE0 | Control});
        int Flips = 0;
        std::uint8_t Polarity = Chip.GetNoise().Polarity;
        for (int Index = 0; Index < Samples; ++Index) {
            RawSample(Chip, Buffer);
            if (Chip.GetNoise().Polarity != Polarity) ++Flips;
            Polarity = Chip.GetNoise().Polarity;
        }
        return Flips;
    };
    // Counters fall by 5 per sample: reloads 16, 32, 64 and tone 3's 40.
    EXPECT_EQ(Expiries(0, 320), 100);
    EXPECT_EQ(Expiries(1, 320), 50);
    EXPECT_EQ(Expiries(2, 320), 25);
    EXPECT_EQ(Expiries(3, 320), 40);

    // Following tone 3 at period 0, the noise expires every sample without running up a
    // debt: after a minute of that, a period of 254 gives its rate at once (one expiry per
    // 254 / 5 samples), not a minute of expiries on every sample.
    {
        T_PSG_CORE Chip;
        Init(Chip);
        Write(Chip, {0xE3});
        for (int Index = 0; Index < 60 * 44100; ++Index) RawSample(Chip, Buffer);
        SetPeriod(Chip, 2, 254);
        for (int Index = 0; Index < 60; ++Index) RawSample(Chip, Buffer);
        int Flips = 0;
        std::uint8_t Polarity = Chip.GetNoise().Polarity;
        for (int Index = 0; Index < 1016; ++Index) {
            RawSample(Chip, Buffer);
            Flips += Chip.GetNoise().Polarity != Polarity ? 1 : 0;
            Polarity = Chip.GetNoise().Polarity;
        }
        EXPECT_EQ(Flips, 20);
    }

    // Changing tone 3's period changes the noise rate from the next expiry on.
    SetPeriod(2, 20);
    Write({0xE3});
    std::vector<int> ExpiryAt;
    std::uint8_t Polarity = Psg.GetNoise().Polarity;
    for (int Index = 1; Index <= 40; ++Index) {
        if (Index == 10) SetPeriod(2, 40);
        RawSample();
        if (Psg.GetNoise().Polarity != Polarity) ExpiryAt.push_back(Index);
        Polarity = Psg.GetNoise().Polarity;
    }
    EXPECT_EQ(ExpiryAt, (std::vector<int>{1, 5, 9, 13, 21, 29, 37}));
}

TEST_F(PsgTest, FrameFillsEntriesZeroTo734) {
    SetAttenuation(0, 0);
    SetPeriod(0, 300);
    Buffer.fill(0x7777); // never a multiple of the output scale
    for (std::uint32_t Line = 0; Line < kLines; ++Line) {
        for (int Slice = 0; Slice < 3; ++Slice) {
            Psg.RenderSample(Buffer.data(), kLastIndex, Line);
            if (Line < kUsableLines)
                ASSERT_EQ(Psg.GetSampleIndex(), static_cast<int>(3 * Line) + Slice + 1);
            else
                ASSERT_EQ(Psg.GetSampleIndex(), 0);
        }
    }
    for (int Index = 0; Index < 735; ++Index) ASSERT_NE(Buffer[Index], 0x7777) << Index;
    EXPECT_EQ(Buffer[735], 0x7777);
    // The next frame starts again at entry 0.
    Buffer[0] = 0x7777;
    Psg.RenderSample(Buffer.data(), kLastIndex, 0);
    EXPECT_NE(Buffer[0], 0x7777);

    // A caller that never resets the position cannot write past the last index.
    std::array<std::int16_t, 12> Small{};
    Small.fill(0x7777);
    T_PSG_CORE Chip;
    Init(Chip);
    Write(Chip, {0x90});
    SetPeriod(Chip, 0, 300);
    for (int Index = 0; Index < 40; ++Index) Chip.RenderSample(Small.data(), 9, 0);
    EXPECT_NE(Small[9], 0x7777);
    EXPECT_EQ(Small[10], 0x7777);
    EXPECT_EQ(Small[11], 0x7777);
}

TEST_F(PsgTest, OutputAndChannelSwitches) {
    T_PSG_CORE Reference;
    for (T_PSG_CORE* Chip : {&Psg, &Reference}) {
        Init(*Chip);
        Write(*Chip, {0x90, 0xB2, 0xF0, 0xE4});
        SetPeriod(*Chip, 0, 123);
        SetPeriod(*Chip, 1, 77);
    }
    std::array<std::int16_t, 16384> ReferenceBuffer{};
    for (int Index = 0; Index < 50; ++Index)
        ASSERT_EQ(RawSample(), RawSample(Reference, ReferenceBuffer));

    // Output off: silence, and nothing advances; back on, the chip resumes where it stood.
    Psg.SetOutputEnabled(0);
    for (int Index = 0; Index < 30; ++Index) ASSERT_EQ(RawSample(), 0);
    Psg.SetOutputEnabled(2); // only 1 means on
    EXPECT_EQ(RawSample(), 0);
    Psg.SetOutputEnabled(1);
    for (int Index = 0; Index < 200; ++Index)
        ASSERT_EQ(RawSample(), RawSample(Reference, ReferenceBuffer)) << Index;

    // A switched-off channel is not computed: its counter and register stand still.
    Psg.SetToneEnabled1(0);
    Psg.SetNoiseEnabled(0);
    const T_PSG_CORE::ToneChannel Tone1 = Psg.GetTone(0);
    const std::uint16_t Register = Psg.GetNoise().ShiftRegister;
    const std::int32_t NoiseCounter = Psg.GetNoise().Counter;
    // Tone 2 alone (level 13) is left: between 2 x 5 and 2 x 13.
    for (int Index = 0; Index < 100; ++Index) {
        const int Sum = std::abs(Next());
        ASSERT_GE(Sum, 10) << Index;
        ASSERT_LE(Sum, 26) << Index;
    }
    EXPECT_EQ(Psg.GetTone(0).Counter, Tone1.Counter);
    EXPECT_EQ(Psg.GetTone(0).Polarity, Tone1.Polarity);
    EXPECT_EQ(Psg.GetNoise().ShiftRegister, Register);
    EXPECT_EQ(Psg.GetNoise().Counter, NoiseCounter);

    // Only tone 2 left; then only tone 3 (silent at period 0, attenuation 15).
    Psg.SetToneEnabled2(0);
    EXPECT_EQ(Next(), 0);
    Psg.SetToneEnabled3(0);
    EXPECT_EQ(Next(), 0);
    Psg.SetToneEnabled1(1);
    EXPECT_NE(Next(), 0);
}

TEST_F(PsgTest, LoudSumStaysInRange) {
    // Tones at period 0 stand still at a constant 15 each; run the periodic noise until
    // its bit reaches position 0.
    Write({0x90, 0xB0, 0xD0, 0xF0, 0xE0});
    std::int16_t Sample = 0;
    for (int Guard = 0; Guard < 1000; ++Guard) {
        Sample = RawSample();
        if (Psg.GetNoise().ShiftRegister & 1) break;
        ASSERT_EQ(Sample, 45 * T_PSG_CORE::kOutputScale);
    }
    // The register shifts at an expiry, which also restores the noise amplitude.
    EXPECT_EQ(Sample, (45 + 4 * 15) * T_PSG_CORE::kOutputScale);
    // Now all three tones flip high at once at full amplitude: 90 + up to 60, the loudest
    // the chip can be, and still well inside the 16-bit range with room for the FM unit.
    SetPeriod(0, 1000);
    SetPeriod(1, 1000);
    SetPeriod(2, 1000);
    ASSERT_EQ(Psg.GetNoise().ShiftRegister & 1, 1);
    const int Loudest = RawSample();
    EXPECT_GE(Loudest, (90 + 4 * 12) * T_PSG_CORE::kOutputScale);
    EXPECT_LE(Loudest, 150 * T_PSG_CORE::kOutputScale);
}

// Pitch over one second of frames: the counters fall by ClockHz / (16 x 44100) per sample,
// fraction included, so a tone of period P sounds at ClockHz / (32P): 440.4 Hz for period
// 254 on the console's clock.
TEST_F(PsgTest, MeasuredPitchFollowsTheClock) {
    EXPECT_NEAR(kConsoleClock / (32.0 * 254), 440.4, 0.01);
    for (int Shape : {1, 0}) {
        for (int Period : {100, 254, 1023}) {
            Init(Psg, kConsoleClock);
            Psg.SetSquareWave(static_cast<std::uint8_t>(Shape));
            SetAttenuation(0, 0);
            SetPeriod(0, Period);
            const std::vector<std::int16_t> Second = PlayFrames(60);
            ASSERT_EQ(Second.size(), 44100u);
            const double Measured = CountCycles(Second);
            const double Expected = kConsoleClock / (32.0 * Period);
            EXPECT_NEAR(Measured, Expected, 1.0) << "period " << Period << " shape " << Shape;
        }
    }
    // Over ten seconds the count of flips pins the pitch to 0.05%: 440.4 Hz is 8808
    // half-waves, where a step without its fraction gives 8681.
    Init(Psg, kConsoleClock);
    SetAttenuation(0, 0);
    SetPeriod(0, 254);
    int Flips = 0;
    std::uint8_t Polarity = Psg.GetTone(0).Polarity;
    for (int Index = 0; Index < 441000; ++Index) {
        RawSample();
        Flips += Psg.GetTone(0).Polarity != Polarity ? 1 : 0;
        Polarity = Psg.GetTone(0).Polarity;
    }
    EXPECT_NEAR(Flips, 8808, 4);
}

TEST_F(PsgTest, WritesAndSwitchesWhileTonesPlayKeepTheirPinnedOutput) {
    // Attenuations, periods (short ones included), noise controls and every switch change
    // while all four channels sound on the console's clock; the hash of every sample is
    // pinned, so any value kept between writes must follow each of them.
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
    Init(Psg, kConsoleClock);
    std::uint64_t Hash = 0xCBF29CE484222325ull;
    for (const Event& E : script) {
        for (int Index = 0; Index < E.wait; ++Index)
            Hash = (Hash ^ static_cast<std::uint16_t>(RawSample())) * 0x100000001B3ull;
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
    EXPECT_EQ(Hash, 0xE4D41C4DAD2C1795ull);
}

} // namespace
} // namespace velmar
