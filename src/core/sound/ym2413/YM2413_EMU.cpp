// Set-up, reset and the register-write side of the YM2413: instrument changes, key on and
// off, and the switch of channels 6-8 between melodic and rhythm use.

#include "core/sound/ym2413/YM2413_EMU.h"

#include <algorithm>

namespace velmar {

namespace {

constexpr std::uint32_t kEnvelopeSilent = 0x400000; // envelope phase of a silent slot
constexpr std::uint32_t kNoiseSeedReset = 0xFFFF;
constexpr std::uint32_t kEnvelopeShift = 15;

} // namespace

T_YM2413_OPLL_CORE::T_YM2413_OPLL_CORE() : Tables_(std::make_unique<FmTables>()) {}

void T_YM2413_OPLL_CORE::Configure(std::uint32_t sampleRate, std::uint32_t clockHz) {
    if (sampleRate == 0) sampleRate = kFmDefaultRate;
    if (clockHz == 0) clockHz = kFmDefaultClock;

    ChannelEnabled.fill(1);
    ClockHz = clockHz;
    SampleRate = sampleRate;
    Tables_->Build(clockHz, sampleRate);
    PitchLfoStep = Tables_->PitchLfoStep;
    AmLfoStep = Tables_->AmLfoStep;

    PatchTable = Tables_->DecodedPatches;
    RefreshPatches();
    Reset();

    FmEnabled = 1;
}

void T_YM2413_OPLL_CORE::Reset() {
    Unsettle();
    AddressLatch = 0;
    PitchLfoPhase = 0;
    AmLfoPhase = 0;
    NoiseSeed = kNoiseSeedReset;

    for (int i = 0; i < kFmSlots; ++i) {
        FmSlot& s = Slots[i];
        s = FmSlot{};
        s.Type = static_cast<std::uint8_t>(i & 1);
        s.EnvelopePhase = kEnvelopeSilent;
        s.Patch = NullPatch;
    }
    for (int c = 0; c < kFmChannels; ++c) {
        KeyStatus[c] = 0;
        SetPatch(c, 0);
    }
    for (int r = 0; r < fmreg::kRegisterCount; ++r) {
        AddressLatch = static_cast<std::uint8_t>(r);
        WriteData(0);
    }
}

void T_YM2413_OPLL_CORE::SetPatch(int channel, int instrument) {
    PatchNumber[channel] = instrument;
    Slots[2 * channel].Patch = PatchTable[2 * instrument];
    Slots[2 * channel + 1].Patch = PatchTable[2 * instrument + 1];
}

void T_YM2413_OPLL_CORE::RefreshPatches() {
    for (int c = 0; c < kFmChannels; ++c) {
        Slots[2 * c].Patch = PatchTable[2 * PatchNumber[c]];
        Slots[2 * c + 1].Patch = PatchTable[2 * PatchNumber[c] + 1];
    }
}

void T_YM2413_OPLL_CORE::UpdatePhaseStep(FmSlot& s) {
    s.PhaseStep =
        static_cast<std::uint32_t>(Tables_->PhaseStepTable[s.FNumber][s.Block][s.Patch.ML]);
}

void T_YM2413_OPLL_CORE::UpdateLevel(FmSlot& s) {
    const std::int32_t v = s.Type != 0 ? s.Volume : s.Patch.TL;
    s.Level =
        static_cast<std::uint32_t>(Tables_->LevelTable[s.FNumber >> 5][s.Block][v][s.Patch.KL]);
}

void T_YM2413_OPLL_CORE::UpdateKeyRate(FmSlot& s) {
    s.KeyRate = Tables_->KeyRateTable[s.FNumber >> 8][s.Block][s.Patch.KR];
}

void T_YM2413_OPLL_CORE::UpdateWave(FmSlot& s) {
    s.Wave = s.Patch.WF;
}

void T_YM2413_OPLL_CORE::UpdateEnvelopeStep(FmSlot& s) {
    const FmTables& t = *Tables_;
    const FmPatch& p = s.Patch;
    std::int32_t step = 0;
    switch (s.EnvelopeState) {
    case fmenv::Attack: step = t.AttackRateTable[p.AR][s.KeyRate]; break;
    case fmenv::Decay: step = t.DecayRateTable[p.DR][s.KeyRate]; break;
    case fmenv::Sustain: step = t.DecayRateTable[p.RR][s.KeyRate]; break;
    case fmenv::Release:
        if (s.Sustain != 0)
            step = t.DecayRateTable[5][s.KeyRate];
        else if (p.EG == 0)
            step = t.DecayRateTable[7][s.KeyRate];
        else
            step = t.DecayRateTable[p.RR][s.KeyRate];
        break;
    default: step = 0; break;
    }
    s.EnvelopeStep = static_cast<std::uint32_t>(step);
}

void T_YM2413_OPLL_CORE::RefreshSlot(FmSlot& s) {
    UpdatePhaseStep(s);
    UpdateLevel(s);
    UpdateKeyRate(s);
    UpdateWave(s);
    UpdateEnvelopeStep(s);
}

void T_YM2413_OPLL_CORE::SlotStart(FmSlot& s) {
    s.EnvelopeState = fmenv::Attack;
    s.EnvelopePhase = 0;
    s.Phase = 0;
}

void T_YM2413_OPLL_CORE::SlotStop(FmSlot& s) {
    if (s.EnvelopeState == fmenv::Attack) {
        // The release starts from the level the attack has reached.
        const std::uint32_t index = std::min<std::uint32_t>(s.EnvelopePhase >> kEnvelopeShift, 127);
        s.EnvelopePhase = static_cast<std::uint32_t>(Tables_->AttackCurveTable[index])
                          << kEnvelopeShift;
    }
    s.EnvelopeState = fmenv::Release;
}

void T_YM2413_OPLL_CORE::KeyOn(int channel) {
    if (SlotOn[2 * channel] == 0) SlotStart(Slots[2 * channel]);
    if (SlotOn[2 * channel + 1] == 0) SlotStart(Slots[2 * channel + 1]);
    KeyStatus[channel] = 1;
}

void T_YM2413_OPLL_CORE::KeyOff(int channel) {
    // The modulator keeps running; only the carrier is released.
    if (SlotOn[2 * channel + 1] != 0) SlotStop(Slots[2 * channel + 1]);
    KeyStatus[channel] = 0;
}

void T_YM2413_OPLL_CORE::RhythmKey(int slot, bool on) {
    if (on) {
        if (SlotOn[slot] == 0) SlotStart(Slots[slot]);
    } else if (SlotOn[slot] != 0) {
        SlotStop(Slots[slot]);
    }
}

void T_YM2413_OPLL_CORE::UpdateKeyFlags() {
    for (int c = 0; c < kFmChannels; ++c) {
        const std::int32_t on = Registers[fmreg::kKeyBlock + c] & fmreg::kKeyOnBit;
        SlotOn[2 * c] = on;
        SlotOn[2 * c + 1] = on;
    }
    const std::uint8_t x = Registers[fmreg::kRhythm];
    if ((x & fmreg::kRhythmMode) != 0) {
        SlotOn[kBassDrumModSlot] |= x & fmreg::kBassDrumKey;
        SlotOn[kBassDrumSlot] |= x & fmreg::kBassDrumKey;
        SlotOn[kSnareDrumSlot] |= x & fmreg::kSnareDrumKey;
        SlotOn[kHighHatSlot] |= x & fmreg::kHighHatKey;
        SlotOn[kTomTomSlot] |= x & fmreg::kTomTomKey;
        SlotOn[kTopCymbalSlot] |= x & fmreg::kTopCymbalKey;
    }
}

void T_YM2413_OPLL_CORE::UpdateRhythmMode() {
    const bool rhythm = RhythmMode();
    constexpr std::int32_t kRhythmInstrumentBit = 0x10;

    if ((PatchNumber[6] & kRhythmInstrumentBit) != 0) {
        if (!rhythm && SlotOn[kBassDrumSlot] == 0) {
            Slots[kBassDrumModSlot].EnvelopeState = fmenv::Finished;
            Slots[kBassDrumSlot].EnvelopeState = fmenv::Finished;
            SetPatch(6, Registers[fmreg::kInstVolume + 6] >> fmreg::kInstrumentShift);
        }
    } else if (rhythm) {
        PatchNumber[6] = kBassDrumInstrument;
        Slots[kBassDrumModSlot].EnvelopeState = fmenv::Finished;
        Slots[kBassDrumSlot].EnvelopeState = fmenv::Finished;
        Slots[kBassDrumModSlot].Patch = PatchTable[2 * kBassDrumInstrument];
        Slots[kBassDrumSlot].Patch = PatchTable[2 * kBassDrumInstrument + 1];
    }

    if ((PatchNumber[7] & kRhythmInstrumentBit) != 0) {
        if (!rhythm && (SlotOn[kHighHatSlot] & SlotOn[kSnareDrumSlot]) == 0) {
            Slots[kHighHatSlot].Type = 0;
            Slots[kHighHatSlot].EnvelopeState = fmenv::Finished;
            Slots[kSnareDrumSlot].EnvelopeState = fmenv::Finished;
            SetPatch(7, Registers[fmreg::kInstVolume + 7] >> fmreg::kInstrumentShift);
        }
    } else if (rhythm) {
        PatchNumber[7] = kHighHatSnareInstrument;
        Slots[kHighHatSlot].Type = 1;
        Slots[kHighHatSlot].EnvelopeState = fmenv::Finished;
        Slots[kSnareDrumSlot].EnvelopeState = fmenv::Finished;
        Slots[kHighHatSlot].Patch = PatchTable[2 * kHighHatSnareInstrument];
        Slots[kSnareDrumSlot].Patch = PatchTable[2 * kHighHatSnareInstrument + 1];
    }

    if ((PatchNumber[8] & kRhythmInstrumentBit) != 0) {
        if (!rhythm && (SlotOn[kTopCymbalSlot] & SlotOn[kTomTomSlot]) == 0) {
            Slots[kTomTomSlot].Type = 0;
            Slots[kTomTomSlot].EnvelopeState = fmenv::Finished;
            Slots[kTopCymbalSlot].EnvelopeState = fmenv::Finished;
            SetPatch(8, Registers[fmreg::kInstVolume + 8] >> fmreg::kInstrumentShift);
        }
    } else if (rhythm) {
        PatchNumber[8] = kTomTomCymbalInstrument;
        Slots[kTomTomSlot].Type = 1;
        Slots[kTomTomSlot].EnvelopeState = fmenv::Finished;
        Slots[kTopCymbalSlot].EnvelopeState = fmenv::Finished;
        Slots[kTomTomSlot].Patch = PatchTable[2 * kTomTomCymbalInstrument];
        Slots[kTopCymbalSlot].Patch = PatchTable[2 * kTomTomCymbalInstrument + 1];
    }
}

void T_YM2413_OPLL_CORE::WriteRhythm(std::uint8_t value) {
    UpdateRhythmMode();
    if ((value & fmreg::kRhythmMode) != 0) {
        if ((value & fmreg::kBassDrumKey) != 0)
            KeyOn(6);
        else
            KeyOff(6);
        RhythmKey(kSnareDrumSlot, (value & fmreg::kSnareDrumKey) != 0);
        RhythmKey(kTomTomSlot, (value & fmreg::kTomTomKey) != 0);
        RhythmKey(kTopCymbalSlot, (value & fmreg::kTopCymbalKey) != 0);
        RhythmKey(kHighHatSlot, (value & fmreg::kHighHatKey) != 0);
    }
    UpdateKeyFlags();
    for (int s = kBassDrumModSlot; s <= kTopCymbalSlot; ++s) RefreshSlot(Slots[s]);
}

void T_YM2413_OPLL_CORE::WriteUserInstrument(int reg, std::uint8_t value) {
    FmPatch& mod = PatchTable[0];
    FmPatch& car = PatchTable[1];
    switch (reg) {
    case fmreg::kUserModChar: DecodeCharacter(value, mod); break;
    case fmreg::kUserCarChar: DecodeCharacter(value, car); break;
    case fmreg::kUserModLevel: DecodeModulatorLevel(value, mod); break;
    case fmreg::kUserWaveFb: DecodeWaveFeedback(value, mod, car); break;
    case fmreg::kUserModAttack: DecodeRates(value, mod); break;
    case fmreg::kUserCarAttack: DecodeRates(value, car); break;
    case fmreg::kUserModSustain: DecodeSustainRelease(value, mod); break;
    case fmreg::kUserCarSustain: DecodeSustainRelease(value, car); break;
    default: return;
    }
    RefreshPatches();

    // Registers 0x00, 0x04, 0x06 touch the modulator, 0x01, 0x05, 0x07 the carrier.
    const int which = reg & 1;
    for (int c = 0; c < kFmChannels; ++c) {
        if (PatchNumber[c] != 0) continue;
        FmSlot& slot = Slots[2 * c + which];
        switch (reg) {
        case fmreg::kUserModChar:
        case fmreg::kUserCarChar:
            UpdatePhaseStep(slot);
            UpdateKeyRate(slot);
            UpdateEnvelopeStep(slot);
            break;
        case fmreg::kUserModLevel: UpdateLevel(Slots[2 * c]); break;
        case fmreg::kUserWaveFb:
            UpdateWave(Slots[2 * c]);
            UpdateWave(Slots[2 * c + 1]);
            break;
        default: UpdateEnvelopeStep(slot); break;
        }
    }
}

void T_YM2413_OPLL_CORE::WriteData(std::uint8_t value) {
    const int r = AddressLatch & fmreg::kAddressMask;
    Registers[r] = value;
    Unsettle();

    if (r <= fmreg::kUserCarSustain) {
        WriteUserInstrument(r, value);
    } else if (r == fmreg::kRhythm) {
        WriteRhythm(value);
    } else if (r >= fmreg::kFNumberLow && r < fmreg::kFNumberLow + kFmChannels) {
        const int c = r - fmreg::kFNumberLow;
        const std::int32_t f =
            (Registers[fmreg::kKeyBlock + c] & fmreg::kFNumberHighBit) * 256 + value;
        FmSlot& mod = Slots[2 * c];
        FmSlot& car = Slots[2 * c + 1];
        mod.FNumber = f;
        car.FNumber = f;
        RefreshSlot(mod);
        RefreshSlot(car);
    } else if (r >= fmreg::kKeyBlock && r < fmreg::kKeyBlock + kFmChannels) {
        const int c = r - fmreg::kKeyBlock;
        FmSlot& mod = Slots[2 * c];
        FmSlot& car = Slots[2 * c + 1];
        const std::int32_t f =
            (value & fmreg::kFNumberHighBit) * 256 + Registers[fmreg::kFNumberLow + c];
        const std::int32_t block = (value & fmreg::kBlockMask) >> fmreg::kBlockShift;
        const std::int32_t sustain = (value & fmreg::kSustainBit) != 0 ? 1 : 0;
        mod.FNumber = f;
        car.FNumber = f;
        mod.Block = block;
        car.Block = block;
        car.Sustain = sustain;
        if (mod.Type != 0) mod.Sustain = sustain;
        if ((value & fmreg::kKeyOnBit) != 0)
            KeyOn(c);
        else
            KeyOff(c);
        RefreshSlot(mod);
        RefreshSlot(car);
        UpdateKeyFlags();
        UpdateRhythmMode();
    } else if (r >= fmreg::kInstVolume && r < fmreg::kInstVolume + kFmChannels) {
        const int c = r - fmreg::kInstVolume;
        const int instrument = value >> fmreg::kInstrumentShift;
        const std::int32_t volume = (value & fmreg::kVolumeMask) * 4;
        if (RhythmMode() && c >= 6) {
            // Rhythm volumes: 0x37 high hat / snare drum, 0x38 tom-tom / top cymbal.
            if (c == 7)
                Slots[kHighHatSlot].Volume = instrument * 4;
            else if (c == 8)
                Slots[kTomTomSlot].Volume = instrument * 4;
        } else {
            SetPatch(c, instrument);
        }
        Slots[2 * c + 1].Volume = volume;
        RefreshSlot(Slots[2 * c]);
        RefreshSlot(Slots[2 * c + 1]);
    }
}

} // namespace velmar
