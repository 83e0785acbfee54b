#pragma once

#include <cstdint>

namespace velmar {

// The Codemasters cartridge mapper: the first byte of each 16 KB slot (0x0000, 0x4000,
// 0x8000) is a register choosing the ROM bank of that slot; no kilobyte is fixed. Bit 7 of
// the 0x4000 register puts 8 KB of cartridge RAM at 0xA000-0xBFFF (the lower half of slot 2
// stays ROM). Nothing answers at 0xFFFC-0xFFFF.
//
// State: the banks in PageRegisters (reduced modulo the bank count), the RAM switch as bit 7
// of RamControl, so a save state keeps its layout.
struct CodemastersMapper {
    static constexpr std::uint8_t kRamEnable = 0x80;
    static constexpr std::uint16_t kRamStart = 0xA000;
    static constexpr std::uint16_t kRamMask = 0x1FFF; // 8 KB
    static constexpr std::uint16_t kSlotRamSwitch = 1;

    // Banks 0, 1 and 0, RAM off.
    template <class Memory> static void Reset(Memory& m) {
        m.PageRegisters = {0, 1, 0};
        m.RamControl = 0;
    }

    template <class Memory> static std::uint8_t Read(Memory& m, std::uint16_t address) {
        if (InRam(m, address)) {
            m.CartridgeRamUsed = 1;
            return m.CartridgeRam[address & kRamMask];
        }
        return *ReadPage(m, address);
    }

    template <class Memory>
    static const std::uint8_t* ReadPage(const Memory& m, std::uint16_t pageStart) {
        if (InRam(m, pageStart)) return nullptr; // marks the RAM used
        return m.RomAt(m.PageRegisters[pageStart >> Memory::kSlotShift],
                       pageStart & Memory::kSlotOffsetMask);
    }

    template <class Memory>
    static void Write(Memory& m, std::uint16_t address, std::uint8_t value) {
        if ((address & Memory::kSlotOffsetMask) == 0) {
            const unsigned slot = address >> Memory::kSlotShift;
            if (slot == kSlotRamSwitch) {
                m.RamControl = value & kRamEnable;
                value &= static_cast<std::uint8_t>(~kRamEnable);
            }
            m.PageRegisters[slot] = m.ReducedBank(value);
            return;
        }
        if (InRam(m, address)) {
            m.CartridgeRamUsed = 1;
            m.CartridgeRam[address & kRamMask] = value;
        }
    }

    template <class Memory> static void WriteHigh(Memory&, std::uint16_t, std::uint8_t) {}

  private:
    template <class Memory> static bool InRam(const Memory& m, std::uint16_t address) {
        return address >= kRamStart && (m.RamControl & kRamEnable) != 0;
    }
};

} // namespace velmar
