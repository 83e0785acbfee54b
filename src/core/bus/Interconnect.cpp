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
    gunPulseFrom_ = kNoGunPulse;
    gunEdgeTaken_ = true;
    gunCarry_ = 0;
}

// TR of pad 1, when it is an output, reads back the level written to it.
std::uint8_t T_INTERCONNECT_CORE::PortAValue() const {
    if ((IoControl & kIoPad1TrInput) != 0) return PortA;
    std::uint8_t value = static_cast<std::uint8_t>(PortA & ~kPortAPad1Button2);
    if ((IoControl & kIoPad1TrLevel) != 0) value |= kPortAPad1Button2;
    return value;
}

// As soon as any of TH 1, TR 2, TH 2 is an output, all three read back their output levels;
// while all are inputs, a light gun's TH shows what its sensor sees. Reading port B releases
// the reset button.
std::uint8_t T_INTERCONNECT_CORE::PortBValue() {
    std::uint8_t value = PortB;
    if ((IoControl & kIoPortBLinesInput) == kIoPortBLinesInput) {
        if (GunPort != 0 && GunPullsThLow())
            value = static_cast<std::uint8_t>(value &
                                              ~(GunPort == kPortA ? kPortBPad1Th : kPortBPad2Th));
    } else {
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
        if (VDP == nullptr) return 0x00;
        return odd ? ReadHCounter() : VDP->ReadVCounter();
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
        if (odd) {
            // A TH line the new directions and levels pull from high to low latches the H
            // counter, as a light gun's does.
            if (GunPort != 0) CatchUpGun();
            const std::uint8_t before = ThPins();
            IoControl = value;
            if ((before & ~ThPins()) != 0 && VDP != nullptr) VDP->LatchHCounter();
        } else {
            MemoryControlCopy = value;
        }
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

std::uint8_t T_INTERCONNECT_CORE::ThPins() const {
    const bool gunLow = GunPort != 0 && GunPullsThLow();
    const auto pin = [&](std::uint8_t port, std::uint8_t input, std::uint8_t level) {
        if ((IoControl & input) == 0) return (IoControl & level) != 0;
        return !(gunLow && GunPort == port);
    };
    return static_cast<std::uint8_t>((pin(kPortA, kIoPad1ThInput, kIoPad1ThLevel) ? 1 : 0) |
                                     (pin(kPortB, kIoPad2ThInput, kIoPad2ThLevel) ? 2 : 0));
}

// Whether the sensor holds TH low at this moment of the line.
bool T_INTERCONNECT_CORE::GunPullsThLow() const {
    if (VDP == nullptr) return false;
    const std::uint32_t now = VDP->LinePosition();
    return now < gunCarry_ || (now >= gunPulseFrom_ && now < gunPulseTo_);
}

// The falling edge of the line's pulse, once the beam is past it, latches the H counter where
// it fell when TH is an input there.
void T_INTERCONNECT_CORE::CatchUpGun() {
    if (gunEdgeTaken_ || VDP == nullptr || VDP->LinePosition() < gunPulseFrom_) return;
    TakeGunEdge();
}

// A pulse that begins while the one before still holds TH low makes no edge.
void T_INTERCONNECT_CORE::TakeGunEdge() {
    gunEdgeTaken_ = true;
    const std::uint8_t input = GunPort == kPortA ? kIoPad1ThInput : kIoPad2ThInput;
    if ((IoControl & input) != 0 && gunCarry_ <= gunPulseFrom_) VDP->LatchHCounterAt(gunPulseFrom_);
}

// The video chip has begun the line (and drawn it): the previous line's edge, if nobody
// looked, then what the sensor sees on this one.
void T_INTERCONNECT_CORE::GunLine(int line) {
    if (VDP == nullptr) return;
    if (!gunEdgeTaken_) TakeGunEdge();
    const std::uint32_t lineLength = console::kCyclesPerLine;
    gunCarry_ =
        gunPulseFrom_ != kNoGunPulse && gunPulseTo_ > lineLength ? gunPulseTo_ - lineLength : 0;
    gunPulseFrom_ = kNoGunPulse;
    if (line < 0 || line >= vdp::kScreenHeight || GunX < 0 || GunX >= vdp::kScreenWidth ||
        line < GunY - kGunSensorRows || line > GunY + kGunSensorRows)
        return;
    const std::uint16_t pixel =
        VDP->FrameBuffer[static_cast<std::size_t>(line) * vdp::kScreenWidth +
                         static_cast<std::size_t>(GunX)];
    const int red = pixel >> 11, green = (pixel >> 5) & 0x3F, blue = pixel & 0x1F;
    if (red + green / 2 + blue < kGunBrightness) return;
    gunPulseFrom_ = vdp::PixelTime(GunX);
    gunPulseTo_ = gunPulseFrom_ + kGunPulseTStates;
    gunEdgeTaken_ = false;
}

} // namespace velmar
