#pragma once

// core/sound/psg: the SN76489 sound generator: three tones and a noise channel, rendered
// band-limited into the machine's sample buffer.

#include <array>
#include <cstdint>

namespace velmar {

// The SN76489 programmable sound generator: three tone channels and one noise channel, each
// with a 4-bit attenuation of 2 dB per step. The bus hands it every byte written to the PSG
// port and asks it for the samples that have fallen due before each write; it stores them
// into the machine's sample buffer, where the FM unit then adds its own.
//
// The channels run on the chip's own clock (one count per 16 clock cycles): every output
// flip and every noise shift happens at its exact time between two samples and enters the
// output as a band-limited step, so the square waves carry no aliasing and keep their exact
// pitch. The output is delayed by kDelaySamples samples for that.
//
// Two traits of this generator: every output flip restores a channel's amplitude to full,
// after which it shrinks by 0.5% of full scale per sample's time down to 40%; and the tone
// channels can play a sine wave instead of a square wave.
//
// The generator's state is not part of a save state.
class T_PSG_CORE {
  public:
    // What the output currently holds of one channel, in 1 / 2^kFractionBits of a sample
    // unit: Value at time At (1/128 of a sample from the start of the next run), changing
    // by Slope per sample until SlopeEnd.
    struct Held {
        std::int64_t Value = 0;
        std::int64_t Slope = 0;
        std::int64_t At = 0;
        std::int64_t SlopeEnd = 0;
    };

    struct ToneChannel {
        std::uint8_t Attenuation = 0; // 0 loudest .. 15 silent
        std::uint16_t Period = 0;     // 10-bit period in counts of 16 clock cycles
        std::uint8_t Polarity = 0;    // output flip-flop, 0 or 1
        std::uint8_t Enabled = 0;     // 1 = mixed
        std::uint8_t SquareWave = 0;  // 1 = square, anything else = sine
        // Time to the next flip, in the generator's time units (see Configure).
        std::int64_t Counter = 0;
        // Time since the last flip, in 1/128 of a sample, up to the end of the decay.
        std::int64_t Since = 0;
        Held Out{};
    };

    struct NoiseChannel {
        std::uint8_t Attenuation = 0;
        std::uint16_t NoiseControl = 0; // bits 0-1 rate, bit 2 white (1) or periodic (0)
        std::uint8_t Polarity = 0;
        std::uint8_t Enabled = 0;
        std::int64_t Counter = 0;
        std::int64_t Since = 0;
        std::uint16_t TapMask = 0; // kWhiteNoiseTaps or kPeriodicNoiseTaps
        std::uint16_t ShiftRegister = 0;
        Held Out{};
    };

    // Command byte layout.
    static constexpr std::uint8_t kLatchBit = 0x80;
    static constexpr unsigned kLatchChannelShift = 5;
    static constexpr std::uint8_t kLatchChannelMask = 0x03;
    static constexpr std::uint8_t kLatchVolumeBit = 0x10;
    static constexpr std::uint8_t kLowNibbleMask = 0x0F;
    static constexpr std::uint8_t kPeriodHighMask = 0x3F;
    static constexpr std::uint16_t kPeriodLowMask = 0x00F;
    static constexpr std::uint8_t kNoiseChannel = 3;

    // Noise control bits and the shift register.
    static constexpr std::uint16_t kNoiseRateMask = 0x03;
    static constexpr std::uint8_t kNoiseWhiteBit = 0x04;
    static constexpr std::uint8_t kNoiseRateFromTone3 = 3;
    static constexpr std::uint16_t kWhiteNoiseTaps = 9;    // bits 0 and 3
    static constexpr std::uint16_t kPeriodicNoiseTaps = 1; // bit 0
    static constexpr std::uint16_t kShiftRegisterSeed = 0x2000;
    static constexpr unsigned kFeedbackShift = 15;

    static constexpr std::uint8_t kSilent = 15;
    // Periods below this play a constant level.
    static constexpr std::uint16_t kMinimumPeriod = 6;
    // A tone's peak at attenuation 0, in sample units; each step is 2 dB lower. Three loud
    // tones and the noise (twice a tone's swing) reach 5 x 2400 = 12000, which leaves room
    // for the FM unit's sample on top.
    static constexpr std::int32_t kFullLevel = 2400;

    // The band-limited step: kTaps samples long, centred kDelaySamples after the edge, at
    // kPhases positions between two samples.
    static constexpr int kTaps = 16;
    static constexpr int kDelaySamples = kTaps / 2 - 1;
    static constexpr int kPhases = 128;
    static constexpr int kFractionBits = 15;

    // Set-up for an output rate and a chip clock: the time units, the level table, the
    // band-limited step, and all channels and options switched on.
    void Configure(std::uint32_t Rate, std::uint32_t ClockHz);
    // Another chip clock (a console of the other region) at the same output rate; the
    // options stay.
    void SetClock(std::uint32_t ClockHz);
    // Power-on state of the sound registers: silent, counters and polarities cleared.
    void Reset();
    // One byte written by the CPU to the PSG port.
    void WriteData(std::uint8_t Data);
    // Stores the next Count samples into Out[0..Count).
    void RenderSamples(std::int16_t* Out, std::int32_t Count);

    void SetSquareWave(std::uint8_t Value);
    void SetToneEnabled1(std::uint8_t Value) { Tone[0].Enabled = Value; }
    void SetToneEnabled2(std::uint8_t Value) { Tone[1].Enabled = Value; }
    void SetToneEnabled3(std::uint8_t Value) { Tone[2].Enabled = Value; }
    void SetNoiseEnabled(std::uint8_t Value) { Noise.Enabled = Value; }
    void SetOutputEnabled(std::uint8_t Value) { OutputEnabled = Value; }

    // Tone 1 attenuation and period, tone 2 ..., tone 3 ..., noise attenuation, noise control.
    void GetStatus(std::array<std::uint16_t, 8>& Values) const;

    // Read-only views for read-outs and tests.
    const ToneChannel& GetTone(int Index) const { return Tone[static_cast<unsigned>(Index) % 3]; }
    const NoiseChannel& GetNoise() const { return Noise; }
    // A tone's peak at each attenuation, in sample units.
    double GetLevel(int Attenuation) const {
        return static_cast<double>(Levels[Attenuation & kLowNibbleMask]) / (1 << kFractionBits);
    }

  private:
    static constexpr std::int32_t kRunLength = 256;
    static constexpr std::int32_t kBufferLength = kRunLength + kTaps;

    void RenderRun(std::int16_t* Out, std::int32_t Count);
    void RunTone(ToneChannel& Channel, std::int32_t Count);
    void RunNoise(std::int32_t Count);
    void Settle(Held& Out, std::int64_t Value, std::int64_t Slope, std::int64_t At);
    void EndSlopeBefore(Held& Out, std::int64_t At);
    void Step(std::int64_t At, std::int64_t Size);
    void Bend(std::int64_t At, std::int64_t Size);
    std::int64_t TimeOf(std::int64_t Units) const;
    std::int64_t NoiseReload() const;
    std::int64_t Peak(std::uint8_t Attenuation) const;

    std::array<ToneChannel, 3> Tone{};
    NoiseChannel Noise{};
    std::array<std::uint8_t, 16> ParityTable{};
    std::uint8_t OutputEnabled = 0;
    std::uint8_t LatchedChannel = 0;
    std::uint8_t LatchedVolume = 0;
    std::uint32_t SampleRate = 0;
    // Time units: one count of the chip (16 clock cycles) is CountUnits, one sample
    // SampleUnits; both whole numbers, so every flip falls at its exact time.
    std::int64_t CountUnits = 0;
    std::int64_t SampleUnits = 0;
    // A tone's peak at each attenuation, in 1 / 2^kFractionBits of a sample unit.
    std::array<std::int64_t, 16> Levels{};
    // The band-limited step as the change it makes at each of its samples, per phase; each
    // phase sums to exactly 2^kFractionBits.
    std::array<std::array<std::int32_t, kTaps>, kPhases> StepTable{};
    // Changes of the output and of its slope still to come, from the next sample on, and
    // the output and slope reached so far.
    std::array<std::int64_t, kBufferLength> Steps{};
    std::array<std::int64_t, kBufferLength> Slopes{};
    std::int64_t Level = 0;
    std::int64_t Slope = 0;
};

} // namespace velmar
