#pragma once

#include "core/cpu/Z80Engine.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace velmar::test {

// A Z80 with 64 KB of RAM that records every memory and port access, with a settable
// interrupt line and port inputs.
class Z80TestSystem : public Z80Engine<Z80TestSystem> {
  public:
    enum class Kind { Read, Write, PortIn, PortOut };
    struct Access {
        Kind kind;
        std::uint16_t address;
        std::uint8_t value;
        bool operator==(const Access&) const = default;
    };

    std::array<std::uint8_t, 0x10000> Memory{};
    std::array<std::uint8_t, 256> PortInput{};
    std::vector<Access> Log;
    std::uint8_t IrqLine = 0;

    std::uint8_t ReadMemory(std::uint16_t a) {
        Log.push_back({Kind::Read, a, Memory[a]});
        return Memory[a];
    }
    void WriteMemory(std::uint16_t a, std::uint8_t v) {
        Log.push_back({Kind::Write, a, v});
        Memory[a] = v;
    }
    std::uint8_t ReadPort(std::uint8_t port) {
        Log.push_back({Kind::PortIn, port, PortInput[port]});
        return PortInput[port];
    }
    void WritePort(std::uint8_t port, std::uint8_t v) { Log.push_back({Kind::PortOut, port, v}); }
    std::uint8_t IrqPending() { return IrqLine; }

    // Places code at an address and points PC at it.
    void Load(std::uint16_t at, std::initializer_list<std::uint8_t> code) {
        std::uint16_t a = at;
        for (std::uint8_t b : code) Memory[a++] = b;
        PC = at;
    }
    // The accesses of the given kind only, in order.
    std::vector<Access> Only(Kind kind) const {
        std::vector<Access> out;
        for (const Access& a : Log)
            if (a.kind == kind) out.push_back(a);
        return out;
    }
    // Writes only (the fetch reads make read logs long).
    std::vector<Access> Writes() const { return Only(Kind::Write); }
    std::uint16_t HL() const { return static_cast<std::uint16_t>((H << 8) | L); }
    std::uint16_t BC() const { return static_cast<std::uint16_t>((B << 8) | C); }
    std::uint16_t DE() const { return static_cast<std::uint16_t>((D << 8) | E); }
};

} // namespace velmar::test
