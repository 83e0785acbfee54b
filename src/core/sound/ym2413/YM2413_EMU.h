#pragma once

// The YM2413 FM sound unit: nine two-operator channels, or six channels plus five rhythm
// instruments. It adds its samples to the entries of the machine's sample buffer where the
// PSG has just stored its own.

#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "core/sound/ym2413/FmRegisters.h"
#include "core/sound/ym2413/FmTables.h"

namespace velmar {

// Values of FmSlot::EnvelopeState.
namespace fmenv {
inline constexpr std::int32_t Idle = 0;
inline constexpr std::int32_t Attack = 1;
inline constexpr std::int32_t Decay = 2;
inline constexpr std::int32_t SustainHold = 3;
inline constexpr std::int32_t Sustain = 4;
inline constexpr std::int32_t Release = 5;
inline constexpr std::int32_t Finished = 6;
} // namespace fmenv

// One operator. Slot 2c is the modulator and 2c + 1 the carrier of channel c.
struct FmSlot {
    FmPatch Patch{};
    // 1 for carriers and for the high hat and tom-tom modulators in rhythm mode: the level
    // then comes from the slot volume instead of TL, and the sustain flag applies.
    std::uint8_t Type = 0;
    std::int32_t Feedback = 0; // a modulator's own phase offset for its next output
    std::int32_t Output0 = 0;  // current raw output
    std::int32_t Output1 = 0;  // previous raw output
    std::int32_t Wave = 0;     // 0 sine, 1 half sine
    std::uint32_t Phase = 0;   // 18-bit phase with kPhaseFractionBits of fraction below
    std::uint32_t PhaseStep = 0;
    std::uint32_t PhaseOut = 0; // phase >> 9
    std::int32_t FNumber = 0;
    std::int32_t Block = 0;
    std::int32_t Volume = 0; // volume nibble x 4
    std::int32_t Sustain = 0;
    std::uint32_t Level = 0; // envelope steps
    std::uint32_t KeyRate = 0;
    std::int32_t EnvelopeState = fmenv::Idle;
    std::uint32_t EnvelopePhase = 0; // 22-bit accumulator, level = phase >> 15
    std::uint32_t EnvelopeStep = 0;
    std::uint32_t EnvelopeOut = 0; // dB steps, 255 = silent
};

inline constexpr int kFmSlots = 18;
inline constexpr int kFmChannels = 9;
// Rhythm-mode slots.
inline constexpr int kBassDrumModSlot = 12;
inline constexpr int kBassDrumSlot = 13;
inline constexpr int kHighHatSlot = 14;
inline constexpr int kSnareDrumSlot = 15;
inline constexpr int kTomTomSlot = 16;
inline constexpr int kTopCymbalSlot = 17;

class T_YM2413_OPLL_CORE {
  public:
    T_YM2413_OPLL_CORE();

    // Set-up: tables, patches, reset; switches the unit on. Zero arguments take the
    // console's values (44100, 3579545).
    void Configure(std::uint32_t sampleRate, std::uint32_t clockHz);
    // Chip reset; options, the control latch and the output stage stay.
    void Reset();

    void WriteAddress(std::uint8_t value) { AddressLatch = value; }
    void WriteData(std::uint8_t value);
    void WriteControl(std::uint8_t value) { ControlLatch = value; }
    std::uint8_t ReadControl() const { return FmEnabled == 1 ? ControlLatch : 0; }

    // The unit's next count samples, through its output stage, added to out[0..count)
    // (where the PSG has stored its own). Switched off, the unit adds nothing and stands
    // still.
    void RenderSamples(std::int16_t* out, std::int32_t count);
    // The chip's own next count output sums (melody plus twice the rhythm section) stored
    // in sums[0..count), before the output stage; zeros when the unit is switched off.
    void RenderSums(std::int32_t* sums, std::int32_t count);

    // The output stage scales the chip's sums by 5/8, so that the PSG's four channels and
    // the chip's at their loudest stay inside the 16-bit range together.
    static constexpr std::int64_t kOutputGainNumerator = 5;
    static constexpr int kOutputGainShift = 3;

    void SetFmEnabled(std::uint8_t value) { FmEnabled = value; }
    void SetChannelEnabled(std::uint8_t channel, std::uint8_t value) {
        if (channel < kFmChannels) ChannelEnabled[channel] = value;
        Unsettle();
    }

    const FmTables& Tables() const { return *Tables_; }

    // Register state.
    std::uint8_t AddressLatch = 0;
    std::array<std::uint8_t, fmreg::kRegisterCount> Registers{};
    std::array<std::int32_t, kFmSlots> SlotOn{};
    // LFOs: phases 0..65535 in 1/65536 of a period; values from PmTable / AmTable.
    std::int32_t PitchLfoStep = 0;
    std::int32_t PitchLfoPhase = 0;
    std::int32_t PitchLfoValue = 0;
    std::int32_t AmLfoStep = 0;
    std::int32_t AmLfoPhase = 0;
    std::int32_t AmLfoValue = 0;
    std::uint32_t NoiseSeed = 0;
    std::array<std::int32_t, kFmChannels> PatchNumber{};
    std::array<std::int32_t, kFmChannels> KeyStatus{};
    std::array<FmSlot, kFmSlots> Slots{};
    std::array<std::uint8_t, kFmChannels> ChannelEnabled{};
    std::array<FmPatch, kPatchCount> PatchTable{};
    std::uint8_t ControlLatch = 0;
    std::uint8_t FmEnabled = 0;
    std::uint32_t ClockHz = 0;
    std::uint32_t SampleRate = 0;
    // The output stage's high-pass: the last sum and the level, in 2^16 fixed point.
    std::int32_t CoupledInput = 0;
    std::int64_t CoupledLevel = 0;

  private:
    bool RhythmMode() const { return (Registers[fmreg::kRhythm] & fmreg::kRhythmMode) != 0; }

    void SetPatch(int channel, int instrument);
    void RefreshPatches();
    void RefreshSlot(FmSlot& s);
    void UpdatePhaseStep(FmSlot& s);
    void UpdateLevel(FmSlot& s);
    void UpdateKeyRate(FmSlot& s);
    void UpdateWave(FmSlot& s);
    void UpdateEnvelopeStep(FmSlot& s);
    void KeyOn(int channel);
    void KeyOff(int channel);
    void SlotStart(FmSlot& s);
    void SlotStop(FmSlot& s);
    void UpdateKeyFlags();
    void UpdateRhythmMode();
    void WriteRhythm(std::uint8_t value);
    void WriteUserInstrument(int reg, std::uint8_t value);
    void RhythmKey(int slot, bool on);

    // Per-sample engine. A sample's LFO values and noise bit, shared by all channels.
    struct Lfo {
        std::int32_t Pitch;
        std::int32_t Am;
        std::uint32_t Noise;
    };
    static constexpr std::int32_t kRunLength = 256;
    void RenderRun(std::int32_t* sum, std::int32_t count);
    void AdvanceSlot(FmSlot& s, const Lfo& lfo);
    std::int32_t ModulatorOutput(FmSlot& s);
    std::int32_t CarrierOutput(FmSlot& s, std::int32_t modulation);
    std::int32_t ChannelOutput(int channel);
    std::int32_t MelodicChannel(int channel, const Lfo& lfo);
    std::int32_t SettlingChannel(int channel, const Lfo& lfo);
    std::int32_t RhythmChannel(int channel, const Lfo& lfo);
    // Forgets every settled channel; called by anything that changes a channel's inputs.
    void Unsettle() { Settled_.fill(0); }
    std::int32_t TomTomOutput(const FmSlot& s) const;
    std::int32_t SnareDrumOutput(const FmSlot& s, std::uint32_t noise) const;
    std::int32_t TopCymbalOutput(const FmSlot& s, std::uint32_t tomPhase) const;
    std::int32_t HighHatOutput(const FmSlot& s, std::uint32_t snarePhase,
                               std::uint32_t noise) const;
    const std::uint16_t* WaveTable(const FmSlot& s) const {
        return s.Wave == 0 ? Tables_->SineTable.data() : Tables_->HalfSineTable.data();
    }

    std::unique_ptr<FmTables> Tables_;
    // A melodic channel whose phases and envelopes stand still and whose outputs have
    // stopped changing gives the same sample until a register write or a channel switch:
    // it is settled, and its output is kept instead of being worked out each sample.
    // Slot fields changed directly from outside are not seen until the next write.
    std::array<std::uint8_t, kFmChannels> Settled_{};
    std::array<std::int32_t, kFmChannels> SettledOutput_{};
};

} // namespace velmar
