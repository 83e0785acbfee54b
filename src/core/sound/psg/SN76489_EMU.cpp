#include "core/sound/psg/SN76489_EMU.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmar {

namespace {

constexpr double kTwoPi = 6.28318530718;
constexpr double kSineAmplitude = 20.0;
constexpr std::int32_t kSineDivisor = 8;
// Noise counter reloads for the rates 0, 1 and 2; rate 3 follows tone 3's period.
constexpr std::array<std::int32_t, 3> kNoiseReloads = {16, 32, 64};

// The amplitude factor only ever takes the values of one sequence: 0.0 before the first
// flip, then 1.0 at each flip, lowered by kDecayPerSample per sample while above
// kDecayFloor. Its steps are numbered (0 for 0.0, 1 for 1.0), with the next step and the
// amplitude at each level worked out once here instead of in floating point each sample.
constexpr int kDecaySteps = 128;
constexpr std::uint8_t kFullDecay = 1;
struct DecaySequence {
    std::array<double, kDecaySteps> Value{};
    std::array<std::uint8_t, kDecaySteps> Next{};
    std::array<std::array<std::uint8_t, 16>, kDecaySteps> Amplitude{};
};
constexpr DecaySequence MakeDecaySequence() {
    DecaySequence Sequence;
    int Last = kFullDecay;
    Sequence.Value[kFullDecay] = 1.0;
    while (Sequence.Value[Last] > T_PSG_CORE::kDecayFloor) {
        Sequence.Next[Last] = static_cast<std::uint8_t>(Last + 1);
        Sequence.Value[Last + 1] = Sequence.Value[Last] - T_PSG_CORE::kDecayPerSample;
        ++Last;
    }
    Sequence.Next[Last] = static_cast<std::uint8_t>(Last);
    for (int Step = 0; Step <= Last; ++Step)
        for (int Volume = 0; Volume < 16; ++Volume)
            Sequence.Amplitude[Step][Volume] =
                static_cast<std::uint8_t>(static_cast<std::int32_t>(Volume * Sequence.Value[Step]));
    return Sequence;
}
constexpr DecaySequence kDecay = MakeDecaySequence();

// Lowers a counter by one sample's step. A counter whose reload is smaller than the step
// (tone 3 at period 0 driving the noise) keeps falling; it stops at the bottom of the range
// instead of wrapping round after hours of play.
[[gnu::always_inline]] inline std::int32_t CountDown(std::int32_t Counter, std::int32_t Amount) {
    std::int32_t Next = 0;
    if (__builtin_sub_overflow(Counter, Amount, &Next)) [[unlikely]]
        return Amount > 0 ? std::numeric_limits<std::int32_t>::min()
                          : std::numeric_limits<std::int32_t>::max();
    return Next;
}

[[gnu::always_inline]] inline std::int32_t Level(std::uint8_t Attenuation) {
    return T_PSG_CORE::kSilent - (Attenuation & T_PSG_CORE::kLowNibbleMask);
}

} // namespace

void T_PSG_CORE::Configure(std::uint32_t Fps, std::uint32_t Rate, std::uint32_t ClockHz,
                           std::uint32_t LinesPerFrame) {
    ClockDiv16 = ClockHz / 16;
    SampleRate = Rate;
    // The counters fall by ClockHz / (16 x Rate) per sample: the whole part every sample,
    // plus one whenever the accumulated fraction completes (5.073 at 3579545 Hz and
    // 44100 Hz), so the pitch follows the clock exactly on average.
    StepDenominator = 16ull * Rate;
    Step = Rate != 0 ? static_cast<std::int32_t>(ClockHz / StepDenominator) : 0;
    StepRemainder = Rate != 0 ? ClockHz % StepDenominator : 0;
    StepPhase = 0;
    FramesPerSecond = Fps;
    UsableLines = LinesPerFrame;
    // Samples are produced on the first lines of each frame only, the same number on each,
    // so the frame's sample count must divide evenly: 735 samples over 245 lines.
    const std::uint32_t SamplesPerFrame = Fps != 0 ? Rate / Fps : 0;
    while (UsableLines > 1 && SamplesPerFrame % UsableLines != 0) --UsableLines;

    for (ToneChannel& Channel : Tone) {
        Channel.Enabled = 1;
        Channel.SquareWave = 1;
    }
    Noise.Enabled = 1;
    OutputEnabled = 1;
}

void T_PSG_CORE::Reset() {
    for (ToneChannel& Channel : Tone) {
        Channel.Attenuation = kSilent;
        Channel.Polarity = 0;
        Channel.Counter = 0;
    }
    Noise.Attenuation = kSilent;
    Noise.Polarity = 0;
    Noise.Counter = 0;
    for (unsigned Value = 0; Value < ParityTable.size(); ++Value) {
        unsigned Bits = Value;
        std::uint8_t Parity = 0;
        for (; Bits != 0; Bits >>= 1) Parity ^= static_cast<std::uint8_t>(Bits & 1);
        ParityTable[Value] = Parity;
    }
}

void T_PSG_CORE::WriteData(std::uint8_t Data) {
    const bool IsLatch = (Data & kLatchBit) != 0;
    if (IsLatch) {
        LatchedChannel = (Data >> kLatchChannelShift) & kLatchChannelMask;
        LatchedVolume = (Data & kLatchVolumeBit) != 0 ? 1 : 0;
    }

    if (LatchedChannel == kNoiseChannel) {
        if (LatchedVolume == 1) {
            Noise.Attenuation = Data & kLowNibbleMask;
        } else {
            // Latch and data bytes alike rewrite the control and restart the register.
            Noise.TapMask = (Data & kNoiseWhiteBit) != 0 ? kWhiteNoiseTaps : kPeriodicNoiseTaps;
            Noise.ShiftRegister = kShiftRegisterSeed;
            Noise.NoiseControl = Data & kLowNibbleMask;
        }
        return;
    }

    ToneChannel& Channel = Tone[LatchedChannel];
    if (LatchedVolume == 1) {
        Channel.Attenuation = Data & kLowNibbleMask;
    } else if (IsLatch) {
        // The new period takes effect only when its data byte arrives.
        Channel.PeriodLow = Data & kLowNibbleMask;
    } else {
        Channel.Period =
            static_cast<std::uint16_t>((Data & kPeriodHighMask) * 16 + Channel.PeriodLow);
    }
}

[[gnu::always_inline]] inline std::int32_t T_PSG_CORE::NextStep() {
    StepPhase += StepRemainder;
    if (StepPhase < StepDenominator || StepDenominator == 0) return Step;
    StepPhase -= StepDenominator;
    return Step + 1;
}

// One tone channel through a run of samples, its outputs added to Sum. An expiry reloads the
// counter, flips the output and restores the full amplitude; the square wave then shrinks
// one step per sample, while the sine wave keeps its amplitude factor until the next flip.
void T_PSG_CORE::RunTone(ToneChannel& Channel, const std::int32_t* Amount, std::int32_t* Sum,
                         std::int32_t Count) {
    const std::int32_t Volume = Level(Channel.Attenuation);
    if (Channel.Period < kMinimumPeriod) {
        for (std::int32_t Index = 0; Index < Count; ++Index) Sum[Index] += Volume;
        return;
    }
    const std::int32_t Period = Channel.Period;
    std::int32_t Counter = Channel.Counter;
    std::uint8_t Polarity = Channel.Polarity;
    std::uint8_t Step = Channel.DecayStep;
    // One sample's count-down, written as selections, which the compiler may turn into
    // conditional moves.
    const auto advance = [&](std::int32_t amount) {
        Counter = CountDown(Counter, amount);
        const bool Expired = Counter < 0;
        Counter = Expired ? Counter + Period : Counter;
        Polarity ^= static_cast<std::uint8_t>(Expired);
        Step = Expired ? kFullDecay : Step;
    };
    if (Channel.SquareWave == 1) {
        for (std::int32_t Index = 0; Index < Count; ++Index) {
            advance(Amount[Index]);
            const std::int32_t Amplitude = 2 * kDecay.Amplitude[Step][Volume];
            Step = kDecay.Next[Step];
            Sum[Index] += Polarity == 1 ? Amplitude : -Amplitude;
        }
    } else {
        for (std::int32_t Index = 0; Index < Count; ++Index) {
            advance(Amount[Index]);
            const double Angle = static_cast<double>(Counter) / (2.0 * Period) * kTwoPi;
            const std::int32_t Sine = static_cast<std::int32_t>(std::sin(Angle) * kSineAmplitude);
            const std::int32_t Value = (Volume * Sine) / kSineDivisor;
            Sum[Index] += Polarity == 1 ? Value : -Value;
        }
    }
    Channel.Counter = Counter;
    Channel.Polarity = Polarity;
    Channel.DecayStep = Step;
    Channel.Decay = kDecay.Value[Step];
}

std::int32_t T_PSG_CORE::NoiseReload() const {
    const unsigned Rate = Noise.NoiseControl & kNoiseRateMask;
    if (Rate == kNoiseRateFromTone3) return Tone[2].Period;
    return kNoiseReloads[Rate];
}

// The noise channel through a run of samples. Expiries and the register's output bit come at
// no steady pattern; both are written as selections, which the compiler may turn into
// conditional moves.
void T_PSG_CORE::RunNoise(const std::int32_t* Amount, std::int32_t* Sum, std::int32_t Count) {
    const std::int32_t Reload = NoiseReload();
    const std::int32_t Volume = Level(Noise.Attenuation);
    const std::uint16_t TapMask = Noise.TapMask & kLowNibbleMask;
    std::int32_t Counter = Noise.Counter;
    std::uint8_t Polarity = Noise.Polarity;
    std::uint16_t Register = Noise.ShiftRegister;
    std::uint8_t Step = Noise.DecayStep;
    for (std::int32_t Index = 0; Index < Count; ++Index) {
        Counter = CountDown(Counter, Amount[Index]);
        const bool Expired = Counter < 0;
        // A reload shorter than a sample's step (noise following tone 3 at a period below
        // the step) expires on every sample; it must not run up a debt meanwhile, or a later,
        // longer period would stay stuck at expiring every sample.
        Counter = Expired ? std::max(Counter + Reload, 0) : Counter;
        Polarity ^= static_cast<std::uint8_t>(Expired);
        // The register advances on every second expiry.
        const std::uint16_t Feedback = ParityTable[Register & TapMask];
        const auto Shifted =
            static_cast<std::uint16_t>((Register >> 1) | (Feedback << kFeedbackShift));
        Register = Expired && Polarity == 1 ? Shifted : Register;
        Step = Expired ? kFullDecay : Step;
        const bool On = (Register & 1) != 0;
        const std::int32_t Amplitude = kDecay.Amplitude[Step][Volume];
        Step = On ? kDecay.Next[Step] : Step;
        Sum[Index] += On ? kNoiseMixFactor * Amplitude : 0;
    }
    Noise.Counter = Counter;
    Noise.Polarity = Polarity;
    Noise.ShiftRegister = Register;
    Noise.DecayStep = Step;
    Noise.Decay = kDecay.Value[Step];
}

// At most kRunLength samples. A switched-off channel is not computed: its counter, polarity
// and decay stand still; with the output off nothing moves and the samples are silent.
void T_PSG_CORE::RenderRun(std::int16_t* SampleBuffer, std::int32_t LastIndex, std::int32_t Count) {
    std::array<std::int32_t, kRunLength> Sum;
    std::fill_n(Sum.begin(), Count, 0);
    if (OutputEnabled == 1) {
        std::array<std::int32_t, kRunLength> Amount;
        for (std::int32_t Index = 0; Index < Count; ++Index) Amount[Index] = NextStep();
        for (ToneChannel& Channel : Tone)
            if (Channel.Enabled == 1) RunTone(Channel, Amount.data(), Sum.data(), Count);
        if (Noise.Enabled == 1) RunNoise(Amount.data(), Sum.data(), Count);
    }
    // At most 150 x 128: inside the 16-bit range; the clamp only guards it.
    constexpr std::int32_t kHigh = std::numeric_limits<std::int16_t>::max();
    constexpr std::int32_t kLow = std::numeric_limits<std::int16_t>::min();
    const bool InRange = SampleBuffer != nullptr && SampleIndex >= 0 &&
                         LastIndex < std::numeric_limits<std::int32_t>::max() &&
                         SampleIndex <= LastIndex - (Count - 1);
    if (InRange) {
        std::int16_t* Out = SampleBuffer + SampleIndex;
        for (std::int32_t Index = 0; Index < Count; ++Index)
            Out[Index] =
                static_cast<std::int16_t>(std::clamp(Sum[Index] * kOutputScale, kLow, kHigh));
        SampleIndex += Count;
        return;
    }
    // The machine's calling pattern keeps the index inside the buffer; anything else is
    // dropped rather than written past its end.
    for (std::int32_t Index = 0; Index < Count; ++Index) {
        if (SampleBuffer != nullptr && SampleIndex >= 0 && SampleIndex <= LastIndex)
            SampleBuffer[SampleIndex] =
                static_cast<std::int16_t>(std::clamp(Sum[Index] * kOutputScale, kLow, kHigh));
        if (SampleIndex < std::numeric_limits<std::int32_t>::max()) ++SampleIndex;
    }
}

void T_PSG_CORE::RenderSamples(std::int16_t* SampleBuffer, std::int32_t LastIndex,
                               std::int32_t Count) {
    while (Count > 0) {
        const std::int32_t Run = std::min(Count, kRunLength);
        RenderRun(SampleBuffer, LastIndex, Run);
        Count -= Run;
    }
}

void T_PSG_CORE::RenderSample(std::int16_t* SampleBuffer, std::int32_t LastIndex,
                              std::uint32_t Line) {
    if (Line >= UsableLines) {
        SampleIndex = 0;
        return;
    }
    RenderRun(SampleBuffer, LastIndex, 1);
}

void T_PSG_CORE::SetSquareWave(std::uint8_t Value) {
    for (ToneChannel& Channel : Tone) Channel.SquareWave = Value;
}

void T_PSG_CORE::GetStatus(std::array<std::uint16_t, 8>& Values) const {
    for (unsigned Index = 0; Index < Tone.size(); ++Index) {
        Values[2 * Index] = Tone[Index].Attenuation;
        Values[2 * Index + 1] = Tone[Index].Period;
    }
    Values[6] = Noise.Attenuation;
    Values[7] = Noise.NoiseControl;
}

} // namespace velmar
