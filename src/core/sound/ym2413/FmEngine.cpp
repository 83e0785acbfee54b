// The per-sample side of the YM2413: LFOs, noise, phase and envelope generators, the
// operator outputs and the mix into the sample buffer.

#include <algorithm>

#include "core/sound/ym2413/YM2413_EMU.h"

namespace velmar {

namespace {

// The 18-bit phase (9 bits of wave position, 9 below) carries kPhaseFractionBits more
// below it, so that each note's step keeps its fraction and plays in tune.
constexpr std::uint32_t kPhaseMask = (1u << (18 + kPhaseFractionBits)) - 1;
constexpr std::uint32_t kPhaseOutShift = 9 + kPhaseFractionBits;
constexpr std::uint32_t kWaveMask = kWaveSize - 1;
constexpr std::int32_t kLfoPhaseMask = 0xFFFF;
constexpr std::int32_t kLfoIndexShift = 8;
constexpr std::uint32_t kNoiseFeedback = 0x8003020;
constexpr std::uint32_t kEnvelopeShift = 15;
constexpr std::uint32_t kAttackDone = 1u << 22;
constexpr std::uint32_t kMaxLevel = 127;
constexpr std::int32_t kMaxMelodicInstrument = 15;
constexpr std::int32_t kFeedbackShift = 9;
// The output stage's high-pass: y += x - x' - y / 2^10 in 2^16 fixed point.
constexpr int kCouplingFraction = 16;
constexpr int kCouplingShift = 10;
constexpr std::int64_t kCouplingOne = std::int64_t{1} << kCouplingFraction;
constexpr std::int64_t kOutputGainNumerator = T_YM2413_OPLL_CORE::kOutputGainNumerator;
constexpr int kOutputGainShift = T_YM2413_OPLL_CORE::kOutputGainShift;
constexpr int kFirstRhythmChannel = 6;
// Rhythm wave bases: 0, 3, 12 and 15 dB in dB steps, plus the negative half of the table.
constexpr std::uint32_t kBase0dB = 0;
constexpr std::uint32_t kBase3dB = 16;
constexpr std::uint32_t kBase12dB = 64;
constexpr std::uint32_t kBase15dB = 80;
constexpr std::uint32_t kNeg = kNegativeHalf;

constexpr std::uint32_t Bit(std::uint32_t v, int n) {
    return (v >> n) & 1u;
}

std::int16_t Saturate(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

} // namespace

[[gnu::always_inline]] inline void T_YM2413_OPLL_CORE::AdvanceSlot(FmSlot& s, const Lfo& lfo) {
    const FmPatch& p = s.Patch;

    std::uint32_t phase = s.Phase;
    if (p.PM != 0) {
        phase += static_cast<std::uint32_t>(
            (static_cast<std::uint64_t>(s.PhaseStep) * static_cast<std::uint32_t>(lfo.Pitch)) >> 8);
    } else {
        phase += s.PhaseStep;
    }
    phase &= kPhaseMask;
    s.Phase = phase;
    s.PhaseOut = phase >> kPhaseOutShift;

    std::uint32_t level = kMaxLevel;
    std::uint32_t& e = s.EnvelopePhase;
    switch (s.EnvelopeState) {
    case fmenv::Attack:
        level = Tables_->AttackCurveTable[std::min<std::uint32_t>(e >> kEnvelopeShift, kMaxLevel)];
        e += s.EnvelopeStep;
        if ((e & kAttackDone) != 0 || p.AR == 15) {
            level = 0;
            e = 0;
            s.EnvelopeState = fmenv::Decay;
            UpdateEnvelopeStep(s);
        }
        break;
    case fmenv::Decay:
        level = e >> kEnvelopeShift;
        e += s.EnvelopeStep;
        if (e >= SustainLevelTable[p.SL]) {
            e = SustainLevelTable[p.SL];
            s.EnvelopeState = p.EG == 1 ? fmenv::SustainHold : fmenv::Sustain;
            UpdateEnvelopeStep(s);
        }
        break;
    case fmenv::SustainHold:
        level = e >> kEnvelopeShift;
        if (p.EG == 0) {
            s.EnvelopeState = fmenv::Sustain;
            UpdateEnvelopeStep(s);
        }
        break;
    case fmenv::Sustain:
    case fmenv::Release:
        level = e >> kEnvelopeShift;
        e += s.EnvelopeStep;
        if (level >= 128) {
            s.EnvelopeState = fmenv::Finished;
            level = kMaxLevel;
        }
        break;
    default: break;
    }

    std::uint32_t out = 2 * (level + s.Level);
    if (p.AM != 0) out += static_cast<std::uint32_t>(lfo.Am);
    s.EnvelopeOut = out >= 256 ? kSilentDb : out;
}

// The modulator's newest output is the carrier's phase offset, in sine entries (up to
// +-2047, four periods). With feedback, the sum of its last two outputs shifted right by
// 9 - FB offsets its own phase: up to 1023 entries (two periods) at FB 7, 15 at FB 1.
[[gnu::always_inline]] inline std::int32_t T_YM2413_OPLL_CORE::ModulatorOutput(FmSlot& s) {
    const std::int16_t* d = Tables_->DbToLinTable.data();
    const std::uint16_t* w = WaveTable(s);
    s.Output1 = s.Output0;
    if (s.EnvelopeOut >= kSilentDb) {
        s.Output0 = 0;
    } else {
        const std::uint32_t index =
            (s.PhaseOut + static_cast<std::uint32_t>(s.Feedback)) & kWaveMask;
        s.Output0 = d[w[index] + s.EnvelopeOut];
    }
    s.Feedback = s.Patch.FB != 0 ? (s.Output1 + s.Output0) >> (kFeedbackShift - s.Patch.FB) : 0;
    return s.Output0;
}

[[gnu::always_inline]] inline std::int32_t
T_YM2413_OPLL_CORE::CarrierOutput(FmSlot& s, std::int32_t modulation) {
    s.Output1 = s.Output0;
    if (s.EnvelopeOut >= kSilentDb) {
        s.Output0 = 0;
    } else {
        const std::uint32_t index =
            (s.PhaseOut + static_cast<std::uint32_t>(modulation)) & kWaveMask;
        s.Output0 = Tables_->DbToLinTable[WaveTable(s)[index] + s.EnvelopeOut];
    }
    return (s.Output1 + s.Output0) >> 1;
}

std::int32_t T_YM2413_OPLL_CORE::TomTomOutput(const FmSlot& s) const {
    if (s.EnvelopeOut >= kSilentDb) return 0;
    return Tables_->DbToLinTable[WaveTable(s)[s.PhaseOut] + s.EnvelopeOut];
}

std::int32_t T_YM2413_OPLL_CORE::SnareDrumOutput(const FmSlot& s, std::uint32_t noise) const {
    if (s.EnvelopeOut >= kSilentDb) return 0;
    std::uint32_t base;
    if (Bit(s.PhaseOut, 7) != 0)
        base = noise != 0 ? kBase0dB : kBase15dB;
    else
        base = noise != 0 ? kNeg + kBase0dB : kNeg + kBase15dB;
    return Tables_->DbToLinTable[base + s.EnvelopeOut];
}

std::int32_t T_YM2413_OPLL_CORE::TopCymbalOutput(const FmSlot& s, std::uint32_t tomPhase) const {
    if (s.EnvelopeOut >= kSilentDb) return 0;
    const std::uint32_t a = (Bit(tomPhase, 1) ^ Bit(tomPhase, 8)) | Bit(tomPhase, 2);
    const std::uint32_t b = Bit(s.PhaseOut, 2) & (Bit(s.PhaseOut, 4) ^ 1u);
    const std::uint32_t base = (a | b) != 0 ? kNeg + kBase3dB : kBase3dB;
    return Tables_->DbToLinTable[base + s.EnvelopeOut];
}

std::int32_t T_YM2413_OPLL_CORE::HighHatOutput(const FmSlot& s, std::uint32_t snarePhase,
                                               std::uint32_t noise) const {
    if (s.EnvelopeOut >= kSilentDb) return 0;
    const std::uint32_t a = (Bit(s.PhaseOut, 1) ^ Bit(s.PhaseOut, 8)) | Bit(s.PhaseOut, 2);
    const std::uint32_t b = Bit(snarePhase, 2) & (Bit(snarePhase, 4) ^ 1u);
    std::uint32_t base;
    if ((a | b) != 0)
        base = noise != 0 ? kNeg + kBase3dB : kNeg + kBase12dB;
    else
        base = noise != 0 ? kBase3dB : kBase12dB;
    return Tables_->DbToLinTable[base + s.EnvelopeOut];
}

[[gnu::always_inline]] inline std::int32_t T_YM2413_OPLL_CORE::ChannelOutput(int channel) {
    FmSlot& car = Slots[2 * channel + 1];
    if (ChannelEnabled[channel] != 1 || car.EnvelopeState == fmenv::Finished) return 0;
    return CarrierOutput(car, ModulatorOutput(Slots[2 * channel]));
}

namespace {

// What a sample may change in a slot.
struct SlotMotion {
    std::uint32_t Phase;
    std::uint32_t PhaseOut;
    std::uint32_t EnvelopePhase;
    std::uint32_t EnvelopeOut;
    std::int32_t EnvelopeState;
    std::int32_t Output0;
    std::int32_t Output1;
    std::int32_t Feedback;

    explicit SlotMotion(const FmSlot& s)
        : Phase(s.Phase), PhaseOut(s.PhaseOut), EnvelopePhase(s.EnvelopePhase),
          EnvelopeOut(s.EnvelopeOut), EnvelopeState(s.EnvelopeState), Output0(s.Output0),
          Output1(s.Output1), Feedback(s.Feedback) {}
    friend bool operator==(const SlotMotion&, const SlotMotion&) = default;
};

} // namespace

std::int32_t T_YM2413_OPLL_CORE::SettlingChannel(int channel, const Lfo& lfo) {
    FmSlot& mod = Slots[2 * channel];
    FmSlot& car = Slots[2 * channel + 1];
    const SlotMotion modBefore(mod);
    const SlotMotion carBefore(car);
    AdvanceSlot(mod, lfo);
    AdvanceSlot(car, lfo);
    const std::int32_t out = ChannelOutput(channel);
    if (SlotMotion(mod) == modBefore && SlotMotion(car) == carBefore) {
        Settled_[channel] = 1;
        SettledOutput_[channel] = out;
    }
    return out;
}

[[gnu::always_inline]] inline std::int32_t T_YM2413_OPLL_CORE::MelodicChannel(int channel,
                                                                              const Lfo& lfo) {
    if (Settled_[channel] != 0) return SettledOutput_[channel];
    FmSlot& mod = Slots[2 * channel];
    FmSlot& car = Slots[2 * channel + 1];
    // With no phase or envelope step and no tremolo, a sample that changes nothing in
    // either slot is followed by identical ones.
    if (mod.PhaseStep == 0 && car.PhaseStep == 0 &&
        (mod.EnvelopeStep | car.EnvelopeStep |
         static_cast<std::uint32_t>(mod.Patch.AM | car.Patch.AM)) == 0)
        return SettlingChannel(channel, lfo);
    AdvanceSlot(mod, lfo);
    AdvanceSlot(car, lfo);
    return ChannelOutput(channel);
}

[[gnu::always_inline]] inline std::int32_t T_YM2413_OPLL_CORE::RhythmChannel(int channel,
                                                                             const Lfo& lfo) {
    const std::uint32_t noise = lfo.Noise;
    if (channel == kFirstRhythmChannel) {
        AdvanceSlot(Slots[kBassDrumModSlot], lfo);
        AdvanceSlot(Slots[kBassDrumSlot], lfo);
        if (ChannelEnabled[6] != 1 || Slots[kBassDrumSlot].EnvelopeState == fmenv::Finished)
            return 0;
        return CarrierOutput(Slots[kBassDrumSlot], ModulatorOutput(Slots[kBassDrumModSlot]));
    }
    // Channel 7 carries the high hat and snare drum, channel 8 the tom-tom and top cymbal;
    // each pair's second drum is subtracted.
    const bool hats = channel == kFirstRhythmChannel + 1;
    FmSlot& first = Slots[hats ? kHighHatSlot : kTomTomSlot];
    FmSlot& second = Slots[hats ? kSnareDrumSlot : kTopCymbalSlot];
    AdvanceSlot(first, lfo);
    AdvanceSlot(second, lfo);
    if (ChannelEnabled[channel] != 1) return 0;
    std::int32_t out = 0;
    if (hats) {
        if (first.EnvelopeState != fmenv::Finished)
            out += HighHatOutput(first, second.PhaseOut, noise);
        if (second.EnvelopeState != fmenv::Finished) out -= SnareDrumOutput(second, noise);
    } else {
        if (first.EnvelopeState != fmenv::Finished) out += TomTomOutput(first);
        if (second.EnvelopeState != fmenv::Finished) out -= TopCymbalOutput(second, first.PhaseOut);
    }
    return out;
}

// A run of at most kRunLength samples with the unit switched on, stored as the chip's
// output sums. The LFOs and the noise are stepped for the whole run first; then each
// channel is worked through the run on its own (its slots advance before its outputs are
// taken, and no channel reads another's slots, so the order across channels does not
// matter). The chip sends the rhythm section's output twice in each of its 72-clock
// cycles, the melody channels' once: the drums count double.
void T_YM2413_OPLL_CORE::RenderRun(std::int32_t* sum, std::int32_t count) {
    const FmTables& t = *Tables_;
    std::array<Lfo, kRunLength> lfo;
    for (std::int32_t n = 0; n < count; ++n) {
        PitchLfoPhase = (PitchLfoPhase + PitchLfoStep) & kLfoPhaseMask;
        AmLfoPhase = (AmLfoPhase + AmLfoStep) & kLfoPhaseMask;
        PitchLfoValue = t.PmTable[PitchLfoPhase >> kLfoIndexShift];
        AmLfoValue = t.AmTable[AmLfoPhase >> kLfoIndexShift];
        if ((NoiseSeed & 1) != 0) NoiseSeed ^= kNoiseFeedback;
        NoiseSeed >>= 1;
        lfo[n] = {PitchLfoValue, AmLfoValue, NoiseSeed & 1};
    }

    std::fill_n(sum, count, 0);
    // One copy of the channel code, kept small for the instruction cache.
#pragma GCC unroll 1
    for (int c = 0; c < kFmChannels; ++c) {
        if (c < kFirstRhythmChannel || PatchNumber[c] <= kMaxMelodicInstrument) {
            std::int32_t n = 0;
            for (; n < count && Settled_[c] == 0; ++n) sum[n] += MelodicChannel(c, lfo[n]);
            for (const std::int32_t out = SettledOutput_[c]; n < count; ++n) sum[n] += out;
        } else {
            for (std::int32_t n = 0; n < count; ++n) sum[n] += 2 * RhythmChannel(c, lfo[n]);
        }
    }
}

void T_YM2413_OPLL_CORE::RenderSums(std::int32_t* sums, std::int32_t count) {
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t run = std::min(count - done, kRunLength);
        if (FmEnabled == 1)
            RenderRun(sums + done, run);
        else
            std::fill_n(sums + done, run, 0);
        done += run;
    }
}

// The unit's output stage: the chip's sums AC-coupled (a first-order high-pass at about
// 7 Hz, so the half sine's offset does not shift the mix) and scaled by kOutputGain, then
// added to the PSG's samples and brought into range. Summed wide and clipped once: a
// clipped peak is far less audible than a wrapped one.
void T_YM2413_OPLL_CORE::RenderSamples(std::int16_t* out, std::int32_t count) {
    if (FmEnabled != 1 || out == nullptr) return;
    std::array<std::int32_t, kRunLength> sum;
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t run = std::min(count - done, kRunLength);
        RenderRun(sum.data(), run);
        for (std::int32_t n = 0; n < run; ++n) {
            CoupledLevel += static_cast<std::int64_t>(sum[n] - CoupledInput) * kCouplingOne;
            CoupledLevel -= CoupledLevel >> kCouplingShift;
            CoupledInput = sum[n];
            const auto level = static_cast<std::int32_t>((CoupledLevel * kOutputGainNumerator) >>
                                                         (kCouplingFraction + kOutputGainShift));
            std::int16_t& entry = out[done + n];
            entry = Saturate(entry + level);
        }
        done += run;
    }
}

} // namespace velmar
