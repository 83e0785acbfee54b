#pragma once

// core/sound/psg: the SN76489 sound generator: three tones and a noise channel, one sample
// per call into the machine's sample buffer.

#include <array>
#include <cstdint>

namespace velmar {

// The SN76489 programmable sound generator: three tone channels and one noise channel, each
// with a 4-bit attenuation. The bus hands it every byte written to the PSG port; the machine
// asks it for one sample after each CPU slice of a line and it stores that sample into the
// machine's sample buffer, where the FM unit then adds its own.
//
// Two traits of this generator: every output flip restores a channel's amplitude to full,
// after which it shrinks by 0.5% of full scale per sample down to 40%; and the tone channels
// can play a sine wave instead of a square wave.
//
// The generator's state is not part of a save state.
class T_PSG_CORE {
  public:
    struct ToneChannel {
        double Decay = 0.0;           // amplitude factor, 1.0 after each flip
        std::uint8_t DecayStep = 0;   // position of Decay in its sequence, 0 for 0.0
        std::uint8_t Attenuation = 0; // 0 loudest .. 15 silent
        std::uint16_t Period = 0;     // 10-bit period in units of 16 clock cycles
        std::uint8_t Polarity = 0;    // output flip-flop, 0 or 1
        std::uint8_t PeriodLow = 0;   // low 4 period bits of the last latch byte
        std::uint8_t Enabled = 0;     // 1 = mixed
        std::uint8_t SquareWave = 0;  // 1 = square, anything else = sine
        std::int32_t Counter = 0;     // down-counter
    };

    struct NoiseChannel {
        double Decay = 0.0;
        std::uint8_t DecayStep = 0;
        std::uint8_t Attenuation = 0;
        std::uint16_t NoiseControl = 0; // bits 0-1 rate, bit 2 white (1) or periodic (0)
        std::uint8_t Polarity = 0;
        std::uint8_t Enabled = 0;
        std::int32_t Counter = 0;
        std::uint16_t TapMask = 0; // kWhiteNoiseTaps or kPeriodicNoiseTaps
        std::uint16_t ShiftRegister = 0;
    };

    // Command byte layout.
    static constexpr std::uint8_t kLatchBit = 0x80;
    static constexpr unsigned kLatchChannelShift = 5;
    static constexpr std::uint8_t kLatchChannelMask = 0x03;
    static constexpr std::uint8_t kLatchVolumeBit = 0x10;
    static constexpr std::uint8_t kLowNibbleMask = 0x0F;
    static constexpr std::uint8_t kPeriodHighMask = 0x3F;
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
    static constexpr double kDecayFloor = 0.4;
    static constexpr double kDecayPerSample = 0.005;
    // Sum of channel outputs to 16-bit sample. Four loud channels reach 150 x 128 = 19200,
    // which leaves room for the FM unit's sample that is added on top.
    static constexpr std::int32_t kOutputScale = 128;
    static constexpr std::int32_t kNoiseMixFactor = 4;

    // Set-up: `Step`, `UsableLines` and all channels and options switched on.
    void Configure(std::uint32_t Fps, std::uint32_t Rate, std::uint32_t ClockHz,
                   std::uint32_t LinesPerFrame);
    // Power-on state of the sound registers: silent, counters and polarities cleared.
    void Reset();
    // One byte written by the CPU to the PSG port.
    void WriteData(std::uint8_t Data);
    // Computes one sample and stores it at the next entry of SampleBuffer (valid entries
    // 0..LastIndex). Lines at or beyond `UsableLines` restart the frame's entries at 0.
    void RenderSample(std::int16_t* SampleBuffer, std::int32_t LastIndex, std::uint32_t Line);
    // Count samples of usable lines in a row, exactly as Count calls of RenderSample would
    // store them, each channel worked through the whole run at once.
    void RenderSamples(std::int16_t* SampleBuffer, std::int32_t LastIndex, std::int32_t Count);

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
    std::int32_t GetStep() const { return Step; }
    std::uint32_t GetUsableLines() const { return UsableLines; }
    std::int32_t GetSampleIndex() const { return SampleIndex; }

  private:
    std::int32_t NextStep();
    static constexpr std::int32_t kRunLength = 256;
    void RunTone(ToneChannel& Channel, const std::int32_t* Amount, std::int32_t* Sum,
                 std::int32_t Count);
    void RunNoise(const std::int32_t* Amount, std::int32_t* Sum, std::int32_t Count);
    std::int32_t NoiseReload() const;
    void RenderRun(std::int16_t* SampleBuffer, std::int32_t LastIndex, std::int32_t Count);

    std::array<ToneChannel, 3> Tone{};
    NoiseChannel Noise{};
    std::array<std::uint8_t, 16> ParityTable{};
    std::uint8_t OutputEnabled = 0;
    std::uint8_t LatchedChannel = 0;
    std::uint8_t LatchedVolume = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t ClockDiv16 = 0;
    std::int32_t Step = 0; // whole part of the per-sample step
    // The step's fraction, StepRemainder / StepDenominator, accumulated in StepPhase.
    std::uint64_t StepRemainder = 0;
    std::uint64_t StepDenominator = 0;
    std::uint64_t StepPhase = 0;
    std::uint32_t UsableLines = 0;
    std::uint32_t FramesPerSecond = 0;
    std::int32_t SampleIndex = 0;
};

} // namespace velmar
