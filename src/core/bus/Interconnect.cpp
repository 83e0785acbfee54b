#include "core/bus/Interconnect.h"

#include "core/sound/psg/SN76489_EMU.h"
#include "core/sound/ym2413/YM2413_EMU.h"

#include <algorithm>
#include <array>

namespace velmar {

using namespace bus;

void T_INTERCONNECT_CORE::Connect(T_VDP_CORE& vdp, T_PSG_CORE& psg, T_YM2413_OPLL_CORE& fm) {
    RenderDueSamples(); // on the chips these samples fell due on
    VDP = &vdp;
    PSG = &psg;
    FM = &fm;
    PortA = kPadReleased;
    PortB = kPadReleased;
    IoControl = kIoControlPowerOn;
    MemoryControlCopy = 0;
}

// TR of pad 1, when it is an output, reads back the level written to it.
std::uint8_t T_INTERCONNECT_CORE::PortAValue() const {
    if ((IoControl & kIoPad1TrInput) != 0) return PortA;
    std::uint8_t value = static_cast<std::uint8_t>(PortA & ~kPortAPad1Button2);
    if ((IoControl & kIoPad1TrLevel) != 0) value |= kPortAPad1Button2;
    return value;
}

// As soon as any of TH 1, TR 2, TH 2 is an output, all three read back their output levels.
// Reading port B releases the reset button.
std::uint8_t T_INTERCONNECT_CORE::PortBValue() {
    std::uint8_t value = PortB;
    if ((IoControl & kIoPortBLinesInput) != kIoPortBLinesInput) {
        value = static_cast<std::uint8_t>(PortB & kPortBKeptWhenDriven);
        if ((IoControl & kIoPad2ThLevel) != 0) value |= kPortBPad2Th;
        if ((IoControl & kIoPad1ThLevel) != 0) value |= kPortBPad1Th;
        if ((IoControl & kIoPad2TrLevel) != 0) value |= kPortBPad2Button2;
    }
    Release(PortB, kPortBResetButton);
    return value;
}

void T_INTERCONNECT_CORE::RenderBatch() {
    std::int32_t count = DueSamples;
    DueSamples = 0;
    std::array<std::int16_t, 256> spare;
    while (count > 0) {
        std::int16_t* out = spare.data();
        std::int32_t run = std::min<std::int32_t>(count, static_cast<std::int32_t>(spare.size()));
        if (SampleBuffer != nullptr && NextSample >= 0 && NextSample <= SampleLastIndex) {
            out = SampleBuffer + NextSample;
            run = static_cast<std::int32_t>(
                std::min<std::int64_t>(count, SampleLastIndex - NextSample + 1));
        }
        if (PSG != nullptr)
            PSG->RenderSamples(out, run);
        else
            std::fill_n(out, run, std::int16_t{0});
        if (FM != nullptr) FM->RenderSamples(out, run);
        NextSample += run;
        count -= run;
    }
}

std::uint8_t T_INTERCONNECT_CORE::ReadOtherPort(std::uint8_t port) {
    const bool odd = (port & 1) != 0;
    switch (port & kPortGroupMask) {
    case kGroupControl: return 0xFF;
    case kGroupCounters:
        if (odd || VDP == nullptr) return 0x00; // the H counter is not emulated
        return VDP->ReadVCounter();
    case kGroupVdp:
        if (VDP == nullptr) return 0xFF;
        return odd ? VDP->ReadStatus() : VDP->ReadData();
    default:
        if (odd) return PortBValue();
        if (port == kFmControlPort && (MemoryControlCopy & kMemoryControlFmDetect) != 0 &&
            FM != nullptr)
            return FM->ReadControl();
        return PortAValue();
    }
}

void T_INTERCONNECT_CORE::WriteOtherPort(std::uint8_t port, std::uint8_t value) {
    const bool odd = (port & 1) != 0;
    switch (port & kPortGroupMask) {
    case kGroupControl:
        if (odd)
            IoControl = value;
        else
            MemoryControlCopy = value;
        return;
    case kGroupCounters:
        if (PSG == nullptr) return;
        RenderDueSamples();
        PSG->WriteData(value);
        return;
    case kGroupVdp:
        if (VDP == nullptr) return;
        if (odd)
            VDP->WriteControl(value);
        else
            VDP->WriteData(value);
        return;
    default:
        if (FM == nullptr) return;
        if (port == kFmAddressPort)
            FM->WriteAddress(value);
        else if (port == kFmDataPort) {
            RenderDueSamples();
            FM->WriteData(value);
        } else if (port == kFmControlPort)
            FM->WriteControl(value);
        return;
    }
}

} // namespace velmar
