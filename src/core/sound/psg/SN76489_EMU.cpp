#include "core/sound/psg/SN76489_EMU.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>

namespace velmar {

namespace {

constexpr std::uint32_t kDefaultRate = 44100;
constexpr std::uint32_t kDefaultClock = 3579545;
// Noise counter reloads for the rates 0, 1 and 2; rate 3 follows tone 3's period.
constexpr std::array<std::int64_t, 3> kNoiseReloads = {16, 32, 64};

// Times inside a run are counted in 1/128 of a sample (kPhases per sample).
constexpr int kPhaseBits = 7;
static_assert(T_PSG_CORE::kPhases == 1 << kPhaseBits);
// The amplitude shrinks by 0.5% of full scale per sample, for 120 samples, to 40%.
constexpr std::int64_t kDecaySamples = 120;
constexpr std::int64_t kDecayEnd = kDecaySamples << kPhaseBits;
// One sample unit in the channels' fixed point.
constexpr std::int64_t kOne = std::int64_t{1} << T_PSG_CORE::kFractionBits;
constexpr std::int64_t kDecayDivisor = 200;
// A sine tone's peak against a square tone's: 37.5 to 30.
constexpr double kSineScale = 1.25;
// The band-limited step: a windowed sinc cut off at 0.4 of the sample rate (17.6 kHz at
// 44100 Hz) under a Kaiser window of beta 7.
constexpr double kCutoff = 0.40;
constexpr double kKaiserBeta = 7.0;

double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

std::int16_t ToSample(std::int64_t Level) {
    constexpr int kShift = 2 * T_PSG_CORE::kFractionBits;
    const std::int64_t Value = (Level + (std::int64_t{1} << (kShift - 1))) >> kShift;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(
        Value, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

} // namespace

void T_PSG_CORE::SetClock(std::uint32_t ClockHz) {
    if (ClockHz == 0) ClockHz = kDefaultClock;
    // One count lasts 16 / ClockHz seconds and one sample 1 / Rate: in units of
    // 1 / (ClockHz x Rate) second, divided by their common factor, both are whole.
    const std::int64_t Count = 16ll * (SampleRate != 0 ? SampleRate : kDefaultRate);
    const std::int64_t Common = std::gcd(Count, static_cast<std::int64_t>(ClockHz));
    CountUnits = Count / Common;
    SampleUnits = ClockHz / Common;
}

void T_PSG_CORE::Configure(std::uint32_t Rate, std::uint32_t ClockHz) {
    if (Rate == 0) Rate = kDefaultRate;
    SampleRate = Rate;
    SetClock(ClockHz);

    // 2 dB per attenuation step: amplitude x 10^(-k/10); 15 is silence.
    for (int Step = 0; Step < kSilent; ++Step)
        Levels[Step] =
            std::llround(kFullLevel * std::pow(10.0, -Step / 10.0) * (1 << kFractionBits));
    Levels[kSilent] = 0;

    const double HalfWidth = kTaps / 2;
    for (int Phase = 0; Phase < kPhases; ++Phase) {
        std::array<double, kTaps> Tap{};
        double Sum = 0.0;
        for (int Index = 0; Index < kTaps; ++Index) {
            const double T = Index - kDelaySamples - static_cast<double>(Phase) / kPhases;
            const double X = 2.0 * kCutoff * T;
            const double Sinc =
                X == 0.0 ? 1.0 : std::sin(std::numbers::pi * X) / (std::numbers::pi * X);
            const double Edge = T / HalfWidth;
            const double Window =
                BesselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - Edge * Edge))) /
                BesselI0(kKaiserBeta);
            Tap[Index] = Sinc * Window;
            Sum += Tap[Index];
        }
        // Rounded taps, the largest one taking up the rounding so that each phase adds
        // exactly one whole step.
        std::int32_t Whole = 0;
        int Largest = 0;
        for (int Index = 0; Index < kTaps; ++Index) {
            StepTable[Phase][Index] =
                static_cast<std::int32_t>(std::lround(Tap[Index] / Sum * (1 << kFractionBits)));
            Whole += StepTable[Phase][Index];
            if (Tap[Index] > Tap[Largest]) Largest = Index;
        }
        StepTable[Phase][Largest] += (1 << kFractionBits) - Whole;
    }

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
        // A latch byte sets the low four period bits at once, the high six stay.
        Channel.Period = static_cast<std::uint16_t>((Channel.Period & ~kPeriodLowMask) |
                                                    (Data & kLowNibbleMask));
    } else {
        Channel.Period = static_cast<std::uint16_t>(((Data & kPeriodHighMask) << 4) |
                                                    (Channel.Period & kPeriodLowMask));
    }
}

// A channel's peak at an attenuation, in 1 / 2^kFractionBits of a sample unit.
std::int64_t T_PSG_CORE::Peak(std::uint8_t Attenuation) const {
    return Levels[Attenuation & kLowNibbleMask];
}

// The run's time (1/128 of a sample) of a point given in time units from its start.
std::int64_t T_PSG_CORE::TimeOf(std::int64_t Units) const {
    return (Units << kPhaseBits) / SampleUnits;
}

// A band-limited step of Size at time At of the run.
void T_PSG_CORE::Step(std::int64_t At, std::int64_t Size) {
    const std::int32_t* Tap = StepTable[static_cast<std::size_t>(At & (kPhases - 1))].data();
    std::int64_t* To = Steps.data() + (At >> kPhaseBits);
    for (int Index = 0; Index < kTaps; ++Index) To[Index] += Size * Tap[Index];
}

// A change of Size in the slope at time At, the output delayed as the steps are: from the
// sample after it the output changes by the new slope, by its remaining fraction at that
// sample.
void T_PSG_CORE::Bend(std::int64_t At, std::int64_t Size) {
    const std::int64_t Index = (At >> kPhaseBits) + kDelaySamples + 1;
    const std::int64_t Fraction = At & (kPhases - 1);
    Slopes[static_cast<std::size_t>(Index)] += Size * kOne;
    Steps[static_cast<std::size_t>(Index)] -= Size * Fraction * (kOne / kPhases);
}

// A shrinking amplitude stops at 40%: its slope ends, if that is no later than At.
void T_PSG_CORE::EndSlopeBefore(Held& Out, std::int64_t At) {
    if (Out.Slope == 0 || Out.SlopeEnd > At) return;
    Out.Value += (Out.Slope >> kPhaseBits) * (Out.SlopeEnd - Out.At);
    Bend(Out.SlopeEnd, -Out.Slope);
    Out.Slope = 0;
    Out.At = Out.SlopeEnd;
}

// The channel's output becomes Value at time At, changing by SlopeTo per sample from there
// for kDecaySamples samples. Slopes are whole multiples of 128, so every value on the way is
// whole and the output the steps and slopes add up to is exactly the channel's.
void T_PSG_CORE::Settle(Held& Out, std::int64_t Value, std::int64_t SlopeTo, std::int64_t At) {
    EndSlopeBefore(Out, At);
    const std::int64_t Old = Out.Value + (Out.Slope >> kPhaseBits) * (At - Out.At);
    if (Value != Old) Step(At, Value - Old);
    if (SlopeTo != Out.Slope) Bend(At, SlopeTo - Out.Slope);
    Out = {Value, SlopeTo, At, At + kDecayEnd};
}

namespace {

// The amplitude's fall per sample, a whole multiple of 128.
std::int64_t DecaySlope(std::int64_t Peak) {
    return (Peak / kDecayDivisor) & ~std::int64_t{T_PSG_CORE::kPhases - 1};
}

// What a decaying output holds Since (1/128 of a sample) after its flip.
std::int64_t Decayed(std::int64_t Peak, std::int64_t Since) {
    return Peak - (DecaySlope(Peak) >> kPhaseBits) * std::min(Since, kDecayEnd);
}

} // namespace

// One tone channel through a run of Count samples: its output at the start follows what
// was written since the last run, then each flip enters at its exact time.
void T_PSG_CORE::RunTone(ToneChannel& Channel, std::int32_t Count) {
    const std::int64_t End = static_cast<std::int64_t>(Count) << kPhaseBits;
    const std::int64_t Peak = this->Peak(Channel.Attenuation);
    const std::int64_t Fall = DecaySlope(Peak);
    if (Channel.Period < kMinimumPeriod) {
        // A constant level, half a flip's swing; the counter, polarity and decay stand still.
        Settle(Channel.Out, Peak / 2, 0, 0);
    } else if (Channel.SquareWave == 1) {
        const std::int64_t Sign = Channel.Polarity == 1 ? 1 : -1;
        const std::int64_t Falling = Channel.Since < kDecayEnd ? -Sign * Fall : 0;
        Settle(Channel.Out, Sign * Decayed(Peak, Channel.Since), Falling, 0);
        Channel.Out.SlopeEnd = kDecayEnd - std::min(Channel.Since, kDecayEnd);
        const std::int64_t Units = static_cast<std::int64_t>(Count) * SampleUnits;
        const std::int64_t Reload = Channel.Period * CountUnits;
        std::int64_t Flip = Channel.Counter;
        std::int64_t LastFlip = -Channel.Since;
        for (; Flip < Units; Flip += Reload) {
            const std::int64_t At = TimeOf(Flip);
            Channel.Polarity ^= 1;
            const std::int64_t Up = Channel.Polarity == 1 ? 1 : -1;
            Settle(Channel.Out, Up * Peak, -Up * Fall, At);
            LastFlip = At;
        }
        Channel.Counter = Flip - Units;
        Channel.Since = std::min(End - LastFlip, kDecayEnd);
    } else {
        // The sine wave is smooth: its value at each sample, its half waves between flips.
        EndSlopeBefore(Channel.Out, 0);
        if (Channel.Out.Slope != 0) Settle(Channel.Out, Channel.Out.Value, 0, 0);
        const double Amplitude = kSineScale * static_cast<double>(Peak);
        const std::int64_t Reload = Channel.Period * CountUnits;
        std::int64_t Flip = Channel.Counter;
        std::int64_t Last = Channel.Out.Value;
        for (std::int32_t Index = 0; Index < Count; ++Index) {
            const std::int64_t Now = Index * SampleUnits;
            for (; Flip <= Now; Flip += Reload) Channel.Polarity ^= 1;
            const double Angle =
                std::numbers::pi * static_cast<double>(Flip - Now) / static_cast<double>(Reload);
            const double Sine = Channel.Polarity == 1 ? std::sin(Angle) : -std::sin(Angle);
            const std::int64_t Value = std::llround(Amplitude * Sine);
            Steps[static_cast<std::size_t>(Index + kDelaySamples)] += (Value - Last) * kOne;
            Last = Value;
        }
        Channel.Counter = Flip - static_cast<std::int64_t>(Count) * SampleUnits;
        Channel.Since = 0;
        Channel.Out = {Last, 0, End, End};
    }
    EndSlopeBefore(Channel.Out, End);
}

std::int64_t T_PSG_CORE::NoiseReload() const {
    const unsigned Rate = Noise.NoiseControl & kNoiseRateMask;
    const std::int64_t Counts = Rate == kNoiseRateFromTone3 ? Tone[2].Period : kNoiseReloads[Rate];
    // Following tone 3 at period 0, the noise advances on every count.
    return std::max<std::int64_t>(Counts, 1) * CountUnits;
}

// The noise channel through a run: at each expiry the polarity flips, every second one
// shifts the register, and the output (twice a tone's swing while the register's bit 0 is
// set, nothing while it is clear) is restored to full and decays from there.
void T_PSG_CORE::RunNoise(std::int32_t Count) {
    const std::int64_t End = static_cast<std::int64_t>(Count) << kPhaseBits;
    const std::int64_t Peak = 2 * this->Peak(Noise.Attenuation);
    const std::int64_t Fall = DecaySlope(Peak);
    const std::uint16_t TapMask = Noise.TapMask & kLowNibbleMask;
    const bool WasOn = (Noise.ShiftRegister & 1) != 0;
    Settle(Noise.Out, WasOn ? Decayed(Peak, Noise.Since) : 0,
           WasOn && Noise.Since < kDecayEnd ? -Fall : 0, 0);
    Noise.Out.SlopeEnd = kDecayEnd - std::min(Noise.Since, kDecayEnd);
    const std::int64_t Units = static_cast<std::int64_t>(Count) * SampleUnits;
    const std::int64_t Reload = NoiseReload();
    std::int64_t Expiry = Noise.Counter;
    std::int64_t Last = -Noise.Since;
    for (; Expiry < Units; Expiry += Reload) {
        const std::int64_t At = TimeOf(Expiry);
        Noise.Polarity ^= 1;
        if (Noise.Polarity == 1) {
            const auto Feedback =
                static_cast<std::uint16_t>(ParityTable[Noise.ShiftRegister & TapMask]);
            Noise.ShiftRegister = static_cast<std::uint16_t>((Noise.ShiftRegister >> 1) |
                                                             (Feedback << kFeedbackShift));
        }
        if ((Noise.ShiftRegister & 1) != 0)
            Settle(Noise.Out, Peak, -Fall, At);
        else if (Noise.Out.Value != 0 || Noise.Out.Slope != 0)
            Settle(Noise.Out, 0, 0, At);
        Last = At;
    }
    Noise.Counter = Expiry - Units;
    Noise.Since = std::min(End - Last, kDecayEnd);
    EndSlopeBefore(Noise.Out, End);
}

// At most kRunLength samples. A switched-off channel is not computed: its counter,
// polarity and decay stand still and it leaves the output; with the output off nothing
// moves and the samples are silent.
void T_PSG_CORE::RenderRun(std::int16_t* Out, std::int32_t Count) {
    if (OutputEnabled != 1) {
        std::fill_n(Out, Count, std::int16_t{0});
        return;
    }
    const std::int64_t End = static_cast<std::int64_t>(Count) << kPhaseBits;
    for (ToneChannel& Channel : Tone) {
        if (Channel.Enabled == 1)
            RunTone(Channel, Count);
        else
            Settle(Channel.Out, 0, 0, 0);
    }
    if (Noise.Enabled == 1)
        RunNoise(Count);
    else
        Settle(Noise.Out, 0, 0, 0);

    for (std::int32_t Index = 0; Index < Count; ++Index) {
        Slope += Slopes[static_cast<std::size_t>(Index)];
        Level += Slope + Steps[static_cast<std::size_t>(Index)];
        Out[Index] = ToSample(Level);
    }
    // What is still to come moves to the front; the next run starts at this one's end.
    std::copy(Steps.begin() + Count, Steps.begin() + Count + kTaps, Steps.begin());
    std::copy(Slopes.begin() + Count, Slopes.begin() + Count + kTaps, Slopes.begin());
    std::fill(Steps.begin() + kTaps, Steps.begin() + Count + kTaps, 0);
    std::fill(Slopes.begin() + kTaps, Slopes.begin() + Count + kTaps, 0);
    const auto Rebase = [End](Held& Output) {
        Output.Value += (Output.Slope >> kPhaseBits) * (End - Output.At);
        Output.At = 0;
        Output.SlopeEnd -= End;
    };
    for (ToneChannel& Channel : Tone) Rebase(Channel.Out);
    Rebase(Noise.Out);
}

void T_PSG_CORE::RenderSamples(std::int16_t* Out, std::int32_t Count) {
    if (Out == nullptr) return;
    while (Count > 0) {
        const std::int32_t Run = std::min(Count, kRunLength);
        RenderRun(Out, Run);
        Out += Run;
        Count -= Run;
    }
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
