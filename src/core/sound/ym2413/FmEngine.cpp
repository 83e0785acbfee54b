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
constexpr int kFirstRhythmChannel = 6;
// The channel sum's scale into the sample. Against the PSG's 128 per level step this keeps
// the two chips' loudness balance of 2 to 256 at half of both, so that a busy tune fits
// the 16-bit range: each chip alone always does (PSG at most 19200, nine FM channels at
// most 18423), together only every channel of both at its peak at once would not.
constexpr std::int32_t kOutputScale = 1;

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

[[gnu::always_inline]] inline std::int32_t T_YM2413_OPLL_CORE::ModulatorOutput(FmSlot& s) {
    const std::int16_t* d = Tables_->DbToLinTable.data();
    const std::uint16_t* w = WaveTable(s);
    s.Output1 = s.Output0;
    if (s.EnvelopeOut >= kSilentDb) {
        s.Output0 = 0;
    } else if (s.Patch.FB != 0) {
        const std::int32_t f = (s.Feedback >> 1) >> (7 - s.Patch.FB);
        const std::uint32_t index = (s.PhaseOut + static_cast<std::uint32_t>(f)) & kWaveMask;
        s.Output0 = d[w[index] + s.EnvelopeOut];
    } else {
        s.Output0 = d[w[s.PhaseOut] + s.EnvelopeOut];
    }
    s.Feedback = (s.Output1 + s.Output0) >> 5;
    return s.Feedback;
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

// A run of at most kRunLength samples of usable lines with the unit switched on. The LFOs
// and the noise are stepped for the whole run first; then each channel is worked through
// the run on its own (its slots advance before its outputs are taken, and no channel reads
// another's slots, so the order across channels does not matter). Summed wide and brought
// into range once at the end: clipping a loud chord is far less audible than letting it
// wrap.
void T_YM2413_OPLL_CORE::RenderRun(std::int16_t* buffer, std::int32_t lastIndex,
                                   std::int32_t count) {
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

    std::array<std::int32_t, kRunLength> sum;
    std::fill_n(sum.begin(), count, 0);
    // One copy of the channel code, kept small for the instruction cache.
#pragma GCC unroll 1
    for (int c = 0; c < kFmChannels; ++c) {
        if (c < kFirstRhythmChannel || PatchNumber[c] <= kMaxMelodicInstrument) {
            std::int32_t n = 0;
            for (; n < count && Settled_[c] == 0; ++n) sum[n] += MelodicChannel(c, lfo[n]);
            for (const std::int32_t out = SettledOutput_[c]; n < count; ++n) sum[n] += out;
        } else {
            for (std::int32_t n = 0; n < count; ++n) sum[n] += RhythmChannel(c, lfo[n]);
        }
    }

    for (std::int32_t n = 0; n < count; ++n, ++SampleIndex) {
        if (buffer != nullptr && SampleIndex >= 0 && SampleIndex <= lastIndex) {
            std::int16_t& entry = buffer[SampleIndex];
            entry = Saturate(entry + sum[n] * kOutputScale);
        }
    }
}

void T_YM2413_OPLL_CORE::RenderSample(std::int16_t* buffer, std::int32_t lastIndex,
                                      std::uint32_t line) {
    if (line >= UsableLines) {
        SampleIndex = 0;
        return;
    }
    if (FmEnabled == 1)
        RenderRun(buffer, lastIndex, 1);
    else
        ++SampleIndex;
}

void T_YM2413_OPLL_CORE::RenderSamples(std::int16_t* buffer, std::int32_t lastIndex,
                                       std::int32_t count) {
    if (FmEnabled != 1) {
        SampleIndex += count;
        return;
    }
    while (count > 0) {
        const std::int32_t run = std::min(count, kRunLength);
        RenderRun(buffer, lastIndex, run);
        count -= run;
    }
}

} // namespace velmar
