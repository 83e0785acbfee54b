#pragma once

#include "core/cpu/Cartridge.h"

#include <cstdint>

namespace velmar {

// A cartridge without a mapper: up to 48 KB of ROM, banks 0, 1 and 2 fixed in the three
// slots; writes change nothing. An SG-1000 cartridge of 32 KB or less has 8 KB of RAM in
// slot 2 instead (0x8000-0x9FFF, seen again at 0xA000), as the cartridges that needed more
// than the console's 1 KB carried it; it is plain RAM, not battery-backed.
struct NoMapper {
    static constexpr std::uint16_t kRamMask = 0x1FFF; // 8 KB
    static constexpr std::uint32_t kLargestImageWithRam = 32768;

    template <class Memory> static void Reset(Memory& m) { m.PageRegisters = {0, 1, 2}; }

    template <class Memory> static std::uint8_t Read(Memory& m, std::uint16_t address) {
        return *ReadPage(m, address);
    }

    template <class Memory>
    static const std::uint8_t* ReadPage(const Memory& m, std::uint16_t pageStart) {
        if (HasRam(m, pageStart)) return &m.CartridgeRam[pageStart & kRamMask];
        return m.RomAt(pageStart >> Memory::kSlotShift, pageStart & Memory::kSlotOffsetMask);
    }

    template <class Memory>
    static void Write(Memory& m, std::uint16_t address, std::uint8_t value) {
        if (HasRam(m, address)) m.CartridgeRam[address & kRamMask] = value;
    }

    template <class Memory> static void WriteHigh(Memory&, std::uint16_t, std::uint8_t) {}

  private:
    template <class Memory> static bool HasRam(const Memory& m, std::uint16_t address) {
        return address >= Memory::kCartridgeSlotStart && m.System == CartridgeSystem::Sg1000 &&
               m.RomSize <= kLargestImageWithRam;
    }
};

} // namespace velmar
