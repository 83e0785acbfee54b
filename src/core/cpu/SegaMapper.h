#pragma once

#include <cstdint>

namespace velmar {

// The Sega cartridge mapper: the first KB of ROM is fixed, then three 16 KB slots whose ROM
// page comes from the registers at 0xFFFD, 0xFFFE and 0xFFFF; the register at 0xFFFC can put
// 32 KB of battery-backed cartridge RAM in slot 2. The registers themselves belong to the
// console memory (they are part of the saved state); the mapper reads and writes them.
//
// Memory is ConsoleMemory; the calls are templates so that they inline into the memory's
// access path.
struct SegaMapper {
    static constexpr std::uint16_t kFixedRomEnd = 0x0400; // never paged
    static constexpr std::uint16_t kRamControlAddress = 0xFFFC;
    static constexpr std::uint16_t kPage0Address = 0xFFFD;      // 0xFFFE page 1, 0xFFFF page 2
    static constexpr std::uint8_t kRamControlEnable = 0x08;     // cartridge RAM in slot 2
    static constexpr std::uint8_t kRamControlBankSelect = 0x04; // its second 16 KB

    // A read of 0x0000-0xBFFF with the cartridge mapped.
    template <class Memory> static std::uint8_t Read(Memory& m, std::uint16_t address) {
        const unsigned slot = address >> Memory::kSlotShift;
        const std::uint32_t offset = address & Memory::kSlotOffsetMask;
        if (address < kFixedRomEnd) return m.RomImage[address];
        if (slot == 2 && (m.RamControl & kRamControlEnable) != 0) {
            m.CartridgeRamUsed = 1;
            return m.CartridgeRam[RamIndex(m, offset)];
        }
        return m
            .RomImage[(m.PageRegisters[slot] * Memory::kBankSize + offset) & Memory::kRomImageMask];
    }

    // Where the reads of the 1 KB page starting at pageStart (below 0xC000, cartridge mapped)
    // come from, or nullptr when they must go through Read (cartridge RAM marks itself used).
    template <class Memory>
    static const std::uint8_t* ReadPage(const Memory& m, std::uint16_t pageStart) {
        const unsigned slot = pageStart >> Memory::kSlotShift;
        const std::uint32_t offset = pageStart & Memory::kSlotOffsetMask;
        if (pageStart < kFixedRomEnd) return &m.RomImage[pageStart];
        if (slot == 2 && (m.RamControl & kRamControlEnable) != 0) return nullptr;
        return &m.RomImage[(m.PageRegisters[slot] * Memory::kBankSize + offset) &
                           Memory::kRomImageMask];
    }

    // A write of 0x0000-0xBFFF: ROM ignores it, enabled cartridge RAM takes slot 2's.
    template <class Memory>
    static void Write(Memory& m, std::uint16_t address, std::uint8_t value) {
        if (address < Memory::kCartridgeSlotStart) return;
        if ((m.RamControl & kRamControlEnable) != 0) {
            m.CartridgeRamUsed = 1;
            m.CartridgeRam[RamIndex(m, address & Memory::kSlotOffsetMask)] = value;
        }
    }

    // A write of 0xC000-0xFFFF, before the work RAM takes it too.
    template <class Memory>
    static void WriteHigh(Memory& m, std::uint16_t address, std::uint8_t value) {
        if (address < kRamControlAddress) return;
        if (address == kRamControlAddress) {
            m.RamControl = value;
            return;
        }
        // BankCount is never 0 once reset or loaded; the guard keeps a hand-set 0 safe.
        const std::uint8_t banks = m.BankCount != 0 ? m.BankCount : 1;
        m.PageRegisters[address - kPage0Address] = static_cast<std::uint8_t>(value % banks);
    }

  private:
    template <class Memory> static std::uint32_t RamIndex(const Memory& m, std::uint32_t offset) {
        return ((m.RamControl & kRamControlBankSelect) != 0 ? Memory::kBankSize : 0) + offset;
    }
};

} // namespace velmar
