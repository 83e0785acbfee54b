#pragma once

#include "core/cpu/Z80Engine.h"

#include <array>
#include <cstdint>

namespace velmar {

// A Z80 with 64 KB of plain RAM and nothing on its ports: reads return 0xFF, writes are
// dropped, and the interrupt line is never asserted. Runs CP/M test programs.
class FlatZ80 : public Z80Engine<FlatZ80> {
  public:
    static constexpr std::size_t kMemorySize = 0x10000;

    std::array<std::uint8_t, kMemorySize> Memory{};

    std::uint8_t ReadMemory(std::uint16_t address) { return Memory[address]; }
    void WriteMemory(std::uint16_t address, std::uint8_t value) { Memory[address] = value; }
    std::uint8_t ReadPort(std::uint8_t) { return 0xFF; }
    void WritePort(std::uint8_t, std::uint8_t) {}
    std::uint8_t IrqPending() { return 0; }
};

extern template class Z80Engine<FlatZ80>;

} // namespace velmar
