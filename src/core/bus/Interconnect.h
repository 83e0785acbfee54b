#pragma once

// core/bus: the console's I/O port decode to the video chip, the sound chips, the pad ports
// and the control ports.

#include "core/cpu/Z80CpuCore.h"
#include "core/vdp/Vdp.h"

#include <cstdint>

namespace velmar {

class T_PSG_CORE;
class T_YM2413_OPLL_CORE;

namespace bus {

// Pad port A (0xDC), active low.
inline constexpr std::uint8_t kPortAPad1Up = 0x01;
inline constexpr std::uint8_t kPortAPad1Down = 0x02;
inline constexpr std::uint8_t kPortAPad1Left = 0x04;
inline constexpr std::uint8_t kPortAPad1Right = 0x08;
inline constexpr std::uint8_t kPortAPad1Button1 = 0x10;
inline constexpr std::uint8_t kPortAPad1Button2 = 0x20; // TR of pad 1
inline constexpr std::uint8_t kPortAPad2Up = 0x40;
inline constexpr std::uint8_t kPortAPad2Down = 0x80;
// Pad port B (0xDD), active low.
inline constexpr std::uint8_t kPortBPad2Left = 0x01;
inline constexpr std::uint8_t kPortBPad2Right = 0x02;
inline constexpr std::uint8_t kPortBPad2Button1 = 0x04;
inline constexpr std::uint8_t kPortBPad2Button2 = 0x08; // TR of pad 2
inline constexpr std::uint8_t kPortBResetButton = 0x10;
inline constexpr std::uint8_t kPortBPad1Th = 0x40;
inline constexpr std::uint8_t kPortBPad2Th = 0x80;
// Port B bits that keep their pad value when the TH/TR outputs are reflected.
inline constexpr std::uint8_t kPortBKeptWhenDriven = 0x37;

// I/O control register (odd ports 0x01-0x3F).
inline constexpr std::uint8_t kIoPad1TrInput = 0x01;
inline constexpr std::uint8_t kIoPad1ThInput = 0x02;
inline constexpr std::uint8_t kIoPad2TrInput = 0x04;
inline constexpr std::uint8_t kIoPad2ThInput = 0x08;
inline constexpr std::uint8_t kIoPortBLinesInput = kIoPad1ThInput | kIoPad2TrInput | kIoPad2ThInput;
inline constexpr std::uint8_t kIoPad1TrLevel = 0x10;
inline constexpr std::uint8_t kIoPad1ThLevel = 0x20;
inline constexpr std::uint8_t kIoPad2TrLevel = 0x40;
inline constexpr std::uint8_t kIoPad2ThLevel = 0x80;

// Where a controller is plugged in.
inline constexpr std::uint8_t kPortA = 1;
inline constexpr std::uint8_t kPortB = 2;

// The Light Phaser: its sensor sees the aimed point on this many lines above and below it,
// and pulls TH low for this long once the beam passes that point where the picture is
// bright (the sum of its colour's three 5-bit-scaled components at least the threshold).
inline constexpr int kGunSensorRows = 2;
inline constexpr std::uint32_t kGunPulseTStates = 80;
inline constexpr int kGunBrightness = 48;
inline constexpr std::uint32_t kNoGunPulse = 0xFFFFFFFF;

// Memory control copy (even ports 0x00-0x3F): the FM detect read at 0xF2.
inline constexpr std::uint8_t kMemoryControlFmDetect = 0x04;

inline constexpr std::uint8_t kPadReleased = 0xFF;
inline constexpr std::uint8_t kIoControlPowerOn = 0x0F;

// Port groups.
inline constexpr std::uint8_t kPortGroupMask = 0xC0;
inline constexpr std::uint8_t kGroupControl = 0x00;
inline constexpr std::uint8_t kGroupCounters = 0x40; // V counter / H counter, PSG
inline constexpr std::uint8_t kGroupVdp = 0x80;
inline constexpr std::uint8_t kGroupPads = 0xC0; // pads, FM unit
inline constexpr std::uint8_t kFmAddressPort = 0xF0;
inline constexpr std::uint8_t kFmDataPort = 0xF1;
inline constexpr std::uint8_t kFmControlPort = 0xF2;

} // namespace bus

// The console's I/O bus: decodes the Z80's 8-bit port numbers to the video chip, the sound
// chips and the pad ports, and passes the video chip's interrupt line to the CPU. It owns
// the two pad bytes; the chips are only referenced.
class T_INTERCONNECT_CORE {
  public:
    // Stores the chips and returns the pad lines and the control bytes to power-on values.
    void Connect(T_VDP_CORE& vdp, T_PSG_CORE& psg, T_YM2413_OPLL_CORE& fm);

    // The video chip's ports and counters are decoded here, inline in the CPU's port path;
    // the rest goes through ReadOtherPort and WriteOtherPort.
    std::uint8_t ReadPort(std::uint8_t port) {
        if (VDP != nullptr) [[likely]] {
            const unsigned group = port & bus::kPortGroupMask;
            const bool odd = (port & 1) != 0;
            if (group == bus::kGroupVdp) return odd ? VDP->ReadStatus() : VDP->ReadData();
            if (group == bus::kGroupCounters) return odd ? ReadHCounter() : VDP->ReadVCounter();
        }
        return ReadOtherPort(port);
    }
    void WritePort(std::uint8_t port, std::uint8_t value) {
        if ((port & bus::kPortGroupMask) == bus::kGroupVdp && VDP != nullptr) [[likely]] {
            if ((port & 1) != 0)
                VDP->WriteControl(value);
            else
                VDP->WriteData(value);
            return;
        }
        WriteOtherPort(port, value);
    }

    // Sound samples are rendered in batches. The frame loop counts each sample as it falls
    // due (when the CPU reaches its point in the frame) instead of rendering it; the batch
    // is rendered, PSG first and then FM, before any write that changes what the chips play
    // and at the end of the frame, so every write lands between the same two samples. The
    // buffer is the machine's sample buffer, valid entries 0..lastIndex; setting it starts
    // the frame's samples at entry 0. Samples past its end are computed and dropped.
    void SetSampleBuffer(std::int16_t* buffer, std::int32_t lastIndex) {
        RenderDueSamples();
        SampleBuffer = buffer;
        SampleLastIndex = lastIndex;
        NextSample = 0;
    }
    void SampleDue() { ++DueSamples; }
    void RenderDueSamples() {
        if (DueSamples != 0) RenderBatch();
    }

    // After the video chip's step of each line: the light gun looks at the line just begun.
    void StartLine(int line) {
        if (GunPort != 0) [[unlikely]]
            GunLine(line);
    }

    // 1 while the video chip asserts its interrupt output. The CPU samples it when a run
    // starts and after each port access, the only times it can change.
    std::uint8_t IrqPending() const { return VDP != nullptr ? VDP->IrqPending() : 0; }

    void Pad1UpPress() { Press(PortA, bus::kPortAPad1Up); }
    void Pad1UpRelease() { Release(PortA, bus::kPortAPad1Up); }
    void Pad1DownPress() { Press(PortA, bus::kPortAPad1Down); }
    void Pad1DownRelease() { Release(PortA, bus::kPortAPad1Down); }
    void Pad1LeftPress() { Press(PortA, bus::kPortAPad1Left); }
    void Pad1LeftRelease() { Release(PortA, bus::kPortAPad1Left); }
    void Pad1RightPress() { Press(PortA, bus::kPortAPad1Right); }
    void Pad1RightRelease() { Release(PortA, bus::kPortAPad1Right); }
    void Pad1Button1Press() { Press(PortA, bus::kPortAPad1Button1); }
    void Pad1Button1Release() { Release(PortA, bus::kPortAPad1Button1); }
    void Pad1Button2Press() { Press(PortA, bus::kPortAPad1Button2); }
    void Pad1Button2Release() { Release(PortA, bus::kPortAPad1Button2); }
    void Pad2UpPress() { Press(PortA, bus::kPortAPad2Up); }
    void Pad2UpRelease() { Release(PortA, bus::kPortAPad2Up); }
    void Pad2DownPress() { Press(PortA, bus::kPortAPad2Down); }
    void Pad2DownRelease() { Release(PortA, bus::kPortAPad2Down); }
    void Pad2LeftPress() { Press(PortB, bus::kPortBPad2Left); }
    void Pad2LeftRelease() { Release(PortB, bus::kPortBPad2Left); }
    void Pad2RightPress() { Press(PortB, bus::kPortBPad2Right); }
    void Pad2RightRelease() { Release(PortB, bus::kPortBPad2Right); }
    void Pad2Button1Press() { Press(PortB, bus::kPortBPad2Button1); }
    void Pad2Button1Release() { Release(PortB, bus::kPortBPad2Button1); }
    void Pad2Button2Press() { Press(PortB, bus::kPortBPad2Button2); }
    void Pad2Button2Release() { Release(PortB, bus::kPortBPad2Button2); }
    // The console's RESET button: reads as pressed until the next read of port B.
    void ResetButtonPress() { Press(PortB, bus::kPortBResetButton); }

    std::uint8_t PortA = bus::kPadReleased;
    std::uint8_t PortB = bus::kPadReleased;
    std::uint8_t MemoryControlCopy = 0;
    std::uint8_t IoControl = bus::kIoControlPowerOn;
    // A Light Phaser on port A or B (0: none), aimed at a point of the 256 x 192 picture
    // (anywhere else it sees nothing). Its trigger is the port's button 1 (TL). Plugging it
    // in, aiming and pulling the trigger happen between frames; a console reset keeps them.
    std::uint8_t GunPort = 0;
    int GunX = -1;
    int GunY = -1;

  private:
    static void Press(std::uint8_t& port, std::uint8_t bit) {
        port = static_cast<std::uint8_t>(port & ~bit);
    }
    static void Release(std::uint8_t& port, std::uint8_t bit) {
        port = static_cast<std::uint8_t>(port | bit);
    }
    std::uint8_t ReadOtherPort(std::uint8_t port);
    void WriteOtherPort(std::uint8_t port, std::uint8_t value);
    std::uint8_t PortAValue() const;
    std::uint8_t PortBValue();
    void RenderBatch();
    // Port 0x7F: the latched H counter, after any edge the gun made since the last look.
    std::uint8_t ReadHCounter() {
        if (GunPort != 0) [[unlikely]]
            CatchUpGun();
        return VDP->ReadHCounter();
    }
    // The two TH pins as they stand (bit 0 port A, bit 1 port B; 1 = high).
    std::uint8_t ThPins() const;
    bool GunPullsThLow() const;
    void CatchUpGun();
    void TakeGunEdge();
    void GunLine(int line);

    T_VDP_CORE* VDP = nullptr;
    T_PSG_CORE* PSG = nullptr;
    T_YM2413_OPLL_CORE* FM = nullptr;
    // The gun's pulse on the current line (from, to: T-states into it; kNoGunPulse: none),
    // whether its falling edge has been dealt with, and how long a pulse begun on the line
    // before keeps TH low into this one.
    std::uint32_t gunPulseFrom_ = bus::kNoGunPulse;
    std::uint32_t gunPulseTo_ = 0;
    bool gunEdgeTaken_ = true;
    std::uint32_t gunCarry_ = 0;
    std::int16_t* SampleBuffer = nullptr;
    std::int32_t SampleLastIndex = -1;
    std::int32_t DueSamples = 0;
    std::int64_t NextSample = 0;
};

} // namespace velmar
