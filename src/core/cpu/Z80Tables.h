#pragma once

#include <array>
#include <cstdint>

namespace velmar::z80 {

// Bits of the flag register F.
inline constexpr std::uint8_t kFlagC = 0x01;  // carry
inline constexpr std::uint8_t kFlagN = 0x02;  // subtract
inline constexpr std::uint8_t kFlagPV = 0x04; // parity / overflow
inline constexpr std::uint8_t kFlag3 = 0x08;  // undocumented copy bit 3
inline constexpr std::uint8_t kFlagH = 0x10;  // half carry
inline constexpr std::uint8_t kFlag5 = 0x20;  // undocumented copy bit 5
inline constexpr std::uint8_t kFlagZ = 0x40;  // zero
inline constexpr std::uint8_t kFlagS = 0x80;  // sign

// Bits 3 and 5 change only through POP AF, EX AF,AF', DAA and state loads; every other
// flag update keeps them.
inline constexpr std::uint8_t kFlagsUndoc = kFlag3 | kFlag5;

// The interrupt acceptance rule waits one instruction after EI, and between an index
// prefix and its opcode.
inline constexpr std::uint8_t kOpcodeEi = 0xFB;
inline constexpr std::uint8_t kPrefixIx = 0xDD;
inline constexpr std::uint8_t kPrefixIy = 0xFD;

// Mode 1, and mode 0 with the 0xFF (RST 38h) that the console's bus reads during the
// acknowledge, go to kIrqVector in 13 T-states. Mode 2 reads the handler's address from
// I x 256 + kIm2VectorLow (the same 0xFF) in 19.
inline constexpr std::uint16_t kIrqVector = 0x0038;
inline constexpr std::uint8_t kIm2VectorLow = 0xFF;
inline constexpr std::uint32_t kIrqAcceptTStates = 13;
inline constexpr std::uint32_t kIm2AcceptTStates = 19;
inline constexpr std::uint16_t kNmiVector = 0x0066;
inline constexpr std::uint32_t kNmiAcceptTStates = 11;
// The instructions that reach a port: OUT (n),A, IN A,(n), and the ED group (IN r,(C),
// OUT (C),r and the block transfers).
inline constexpr std::uint8_t kOpcodeOutN = 0xD3;
inline constexpr std::uint8_t kOpcodeInN = 0xDB;
inline constexpr std::uint8_t kPrefixEd = 0xED;
// Where the I/O cycle of a port instruction samples or drives the data bus, in T-states from
// the start of the instruction: after the cycles before it, three T-states into its own
// (T1, T2 and the automatic wait state). IN/OUT (n): opcode and operand fetch first;
// IN/OUT (C): two opcode fetches; INI and its kin: the two fetches (4 + 5); OUTI and its kin:
// the two fetches and the memory read.
inline constexpr std::uint32_t kIoAtImmediatePort = 4 + 3 + 3;
inline constexpr std::uint32_t kIoAtPortC = 4 + 4 + 3;
inline constexpr std::uint32_t kIoAtBlockIn = 4 + 5 + 3;
inline constexpr std::uint32_t kIoAtBlockOut = 4 + 5 + 3 + 3;
// R advances by this much per executed instruction or block repetition.
inline constexpr std::uint8_t kRefreshStep = 3;

constexpr bool EvenParity(unsigned v) {
    unsigned ones = 0;
    for (int i = 0; i < 8; ++i) ones += (v >> i) & 1u;
    return (ones & 1u) == 0;
}

// Sign and zero of an 8-bit result.
inline constexpr std::array<std::uint8_t, 256> kSzTable = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v)
        t[v] = static_cast<std::uint8_t>((v & kFlagS) | (v == 0 ? kFlagZ : 0));
    return t;
}();

// Sign, zero and even parity of an 8-bit result.
inline constexpr std::array<std::uint8_t, 256> kSzpTable = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v)
        t[v] = static_cast<std::uint8_t>(kSzTable[v] | (EvenParity(v) ? kFlagPV : 0));
    return t;
}();

// DAA: index = A + 256 * C + 512 * H + 1024 * N; entry = new A * 256 + new F (all of F).
constexpr std::uint16_t DaaEntry(unsigned index) {
    const unsigned a = index & 0xFF;
    const bool c = (index & 0x100) != 0;
    const bool h = (index & 0x200) != 0;
    const bool n = (index & 0x400) != 0;
    unsigned correction = 0;
    bool newC = false;
    if (c || a > 0x99) {
        correction += 0x60;
        newC = true;
    }
    if (h || (a & 0x0F) > 9) correction += 0x06;
    const unsigned newA = (n ? a - correction : a + correction) & 0xFF;
    const bool newH = n ? (h && (a & 0x0F) < 6) : ((a & 0x0F) > 9);
    const unsigned f = (newA & kFlagS) | (newA == 0 ? kFlagZ : 0) | (newA & kFlagsUndoc) |
                       (newH ? kFlagH : 0) | (EvenParity(newA) ? kFlagPV : 0) | (n ? kFlagN : 0) |
                       (newC ? kFlagC : 0);
    return static_cast<std::uint16_t>((newA << 8) | f);
}

inline constexpr std::array<std::uint16_t, 2048> kDaaTable = [] {
    std::array<std::uint16_t, 2048> t{};
    for (unsigned i = 0; i < 2048; ++i) t[i] = DaaEntry(i);
    return t;
}();

} // namespace velmar::z80
