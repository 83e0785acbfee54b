#pragma once

#include <cstdint>

namespace velmar {

// The Korean cartridge mapper: banks 0 and 1 fixed in slots 0 and 1, and one register at
// 0xA000 choosing the bank of slot 2 (kept in PageRegisters[2], reduced modulo the bank
// count). Nothing answers at 0xFFFC-0xFFFF.
struct KoreanMapper {
    static constexpr std::uint16_t kRegisterAddress = 0xA000;

    template <class Memory> static void Reset(Memory& m) { m.PageRegisters = {0, 1, 2}; }

    template <class Memory> static std::uint8_t Read(Memory& m, std::uint16_t address) {
        return *ReadPage(m, address);
    }

    template <class Memory>
    static const std::uint8_t* ReadPage(const Memory& m, std::uint16_t pageStart) {
        const unsigned slot = pageStart >> Memory::kSlotShift;
        return m.RomAt(slot == 2 ? m.PageRegisters[2] : slot, pageStart & Memory::kSlotOffsetMask);
    }

    template <class Memory>
    static void Write(Memory& m, std::uint16_t address, std::uint8_t value) {
        if (address == kRegisterAddress) m.PageRegisters[2] = m.ReducedBank(value);
    }

    template <class Memory> static void WriteHigh(Memory&, std::uint16_t, std::uint8_t) {}
};

} // namespace velmar
