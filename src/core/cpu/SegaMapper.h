#pragma once

#include <cstdint>

namespace velmar {

// The Sega cartridge mapper: the first KB of ROM is fixed, then three 16 KB slots whose ROM
// page comes from the registers at 0xFFFD, 0xFFFE and 0xFFFF; the register at 0xFFFC can put
// 32 KB of battery-backed cartridge RAM in slot 2. The registers themselves belong to the
// console memory (they are part of the saved state); the mapper reads and writes them.
//
// Every mapper has this shape: stateless, its calls templates on the console memory
// (ConsoleMemory) so that they inline into the memory's slow path; the CPU's per-access path
// never reaches a mapper, it reads through the page table that ReadPage fills.
struct SegaMapper {
    static constexpr std::uint16_t kFixedRomEnd = 0x0400; // never paged
    static constexpr std::uint16_t kRamControlAddress = 0xFFFC;
    static constexpr std::uint16_t kPage0Address = 0xFFFD;      // 0xFFFE page 1, 0xFFFF page 2
    static constexpr std::uint8_t kRamControlEnable = 0x08;     // cartridge RAM in slot 2
    static constexpr std::uint8_t kRamControlBankSelect = 0x04; // its second 16 KB

    // Pages 0, 1, 2 (not reduced); RamControl stays.
    template <class Memory> static void Reset(Memory& m) { m.PageRegisters = {0, 1, 2}; }

    // A read of 0x0000-0xBFFF with the cartridge mapped.
    template <class Memory> static std::uint8_t Read(Memory& m, std::uint16_t address) {
        if (InRam(m, address)) {
            m.CartridgeRamUsed = 1;
            return m.CartridgeRam[RamIndex(m, address & Memory::kSlotOffsetMask)];
        }
        return *ReadPage(m, address);
    }

    // Where the reads of the 1 KB page starting at pageStart (below 0xC000, cartridge mapped)
    // come from, or nullptr when they must go through Read (cartridge RAM marks itself used).
    template <class Memory>
    static const std::uint8_t* ReadPage(const Memory& m, std::uint16_t pageStart) {
        if (pageStart < kFixedRomEnd) return &m.RomImage[pageStart];
        if (InRam(m, pageStart)) return nullptr;
        return m.RomAt(m.PageRegisters[pageStart >> Memory::kSlotShift],
                       pageStart & Memory::kSlotOffsetMask);
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

    // A write of 0xFFFC-0xFFFF, before the work RAM takes it too.
    template <class Memory>
    static void WriteHigh(Memory& m, std::uint16_t address, std::uint8_t value) {
        if (address < kRamControlAddress) return;
        if (address == kRamControlAddress) {
            m.RamControl = value;
            return;
        }
        m.PageRegisters[address - kPage0Address] = m.ReducedBank(value);
    }

  private:
    template <class Memory> static bool InRam(const Memory& m, std::uint16_t address) {
        return address >= Memory::kCartridgeSlotStart && (m.RamControl & kRamControlEnable) != 0;
    }
    template <class Memory> static std::uint32_t RamIndex(const Memory& m, std::uint32_t offset) {
        return ((m.RamControl & kRamControlBankSelect) != 0 ? Memory::kBankSize : 0) + offset;
    }
};

} // namespace velmar
