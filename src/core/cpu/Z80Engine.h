#pragma once

#include "core/cpu/Z80Tables.h"
#include "core/util/TStateClock.h"

#include <cstdint>
#include <utility>

namespace velmar {

// The Z80 instruction engine, written once for every memory and port map.
//
// CRTP: Sys derives from Z80Engine<Sys> and provides (inline where it matters; public, or
// with Z80Engine<Sys> as a friend):
//   std::uint8_t ReadMemory(std::uint16_t); void WriteMemory(std::uint16_t, std::uint8_t);
//   std::uint8_t ReadPort(std::uint8_t);   void WritePort(std::uint8_t, std::uint8_t);
//   std::uint8_t IrqPending();             // 1 = maskable interrupt line asserted
// The interrupt line is sampled when a run starts and after every port access: it may change
// between runs and through the ports, never on its own during a run.
// A memory map with a faster path for the CPU may also provide
//   void SyncMemoryMap();                  // called when a run or a single step starts
//   std::uint8_t ReadMapped(std::uint16_t); void WriteMapped(std::uint16_t, std::uint8_t);
//   void ReadOpcodeBytes(std::uint16_t pc, std::uint8_t& op, std::uint8_t& op1,
//                        std::uint8_t& op3);  // the bytes at pc, pc+1 and pc+3
// which the engine then uses for its own accesses.
//
// F holds the packed flags at all times; bits 3 and 5 are only ever written by POP AF,
// EX AF,AF', DAA and state loads.
template <class Sys> class Z80Engine {
  public:
    // Register file; X2 is the alternate register X'. F holds the packed flags between
    // instructions.
    std::uint8_t A = 0, A2 = 0, B = 0, B2 = 0, C = 0, C2 = 0, D = 0, D2 = 0, E = 0, E2 = 0, H = 0,
                 H2 = 0, L = 0, L2 = 0, F = 0, F2 = 0;
    std::uint8_t I = 0, R = 0;
    std::uint16_t SP = 0, PC = 0, IX = 0, IY = 0;
    // NmiLock and NmiLockCount are no longer used (one NMI is raised per press of the pause
    // key); they stay so that the object keeps its layout.
    std::uint8_t Halted = 0, IM = 0, IFF1 = 0, IFF2 = 0, NmiLock = 0;
    std::int32_t NmiLockCount = 0;
    std::uint8_t LastOpcode = 0;
    // T-states already spent from the next RunCycles budget: the overrun of the last
    // instruction of the previous call, and the cost of an NMI taken between calls.
    std::uint32_t OwedTStates = 0;
    // Where the CPU is in time, for chips that follow the beam (see TStateClock).
    TStateClock Clock;

    // Executes one instruction (or one repetition of a block instruction); returns T-states.
    int ExecuteInstruction();
    // Runs instructions until the budget is used up. What the last instruction runs past the
    // budget is owed and taken from the next call's budget, so that consecutive calls add up
    // to exactly the sum of their budgets. Returns the T-states this call ran.
    std::uint32_t RunCycles(std::uint32_t budget);
    // Non-maskable interrupt (the pause button): IFF1 = 0 with IFF2 unchanged (RETN copies
    // it back), a halted CPU leaves HALT, the address after the current instruction is
    // pushed, PC = 0x0066; 11 T-states, taken from the next RunCycles budget.
    void RaiseNmi();
    // The CPU half of the console reset: A..L, F and all alternates = 0, PC = SP = 0,
    // Halted = 0, nothing owed; keeps I, R, IX, IY, IFF1, IFF2, IM, LastOpcode.
    void ResetRegisters();

  private:
    using u8 = std::uint8_t;
    using u16 = std::uint16_t;

    Sys& Self() { return static_cast<Sys&>(*this); }
    template <class S = Sys> static constexpr bool HasMappedPath() {
        return requires(S & s, u8 & b) {
            s.SyncMemoryMap();
            s.ReadMapped(u16{});
            s.WriteMapped(u16{}, u8{});
            s.ReadOpcodeBytes(u16{}, b, b, b);
        };
    }
    void SyncMemory() {
        if constexpr (HasMappedPath()) Self().SyncMemoryMap();
    }
    // Port accesses, ioAt T-states into the instruction; each one samples the interrupt line
    // again.
    u8 In(u8 port, std::uint32_t ioAt) {
        Clock.IntoInstruction = ioAt;
        const u8 v = Self().ReadPort(port);
        irqLine_ = Self().IrqPending();
        return v;
    }
    void Out(u8 port, u8 v, std::uint32_t ioAt) {
        Clock.IntoInstruction = ioAt;
        Self().WritePort(port, v);
        irqLine_ = Self().IrqPending();
    }
    u8 Rd(u16 a) {
        if constexpr (HasMappedPath())
            return Self().ReadMapped(a);
        else
            return Self().ReadMemory(a);
    }
    void Wr(u16 a, u8 v) {
        if constexpr (HasMappedPath())
            Self().WriteMapped(a, v);
        else
            Self().WriteMemory(a, v);
    }
    u16 Rd16(u16 a) {
        const u8 lo = Rd(a);
        return static_cast<u16>(lo | (Rd(static_cast<u16>(a + 1)) << 8));
    }
    void Wr16(u16 a, u16 v) {
        Wr(a, static_cast<u8>(v));
        Wr(static_cast<u16>(a + 1), static_cast<u8>(v >> 8));
    }
    // High byte at SP-1 first, then the low byte at SP-2.
    void Push(u16 v) {
        Wr(static_cast<u16>(SP - 1), static_cast<u8>(v >> 8));
        Wr(static_cast<u16>(SP - 2), static_cast<u8>(v));
        SP = static_cast<u16>(SP - 2);
    }
    // High byte at SP+1 first, then the low byte at SP.
    u16 Pop() {
        const u8 hi = Rd(static_cast<u16>(SP + 1));
        const u8 lo = Rd(SP);
        SP = static_cast<u16>(SP + 2);
        return static_cast<u16>((hi << 8) | lo);
    }

    static u16 Pair(u8 hi, u8 lo) { return static_cast<u16>((hi << 8) | lo); }
    static void Split(u16 v, u8& hi, u8& lo) {
        hi = static_cast<u8>(v >> 8);
        lo = static_cast<u8>(v);
    }
    u16 BC() const { return Pair(B, C); }
    u16 DE() const { return Pair(D, E); }
    u16 HL() const { return Pair(H, L); }
    static u16 Displaced(u16 base, u8 d) {
        return static_cast<u16>(base + static_cast<std::int8_t>(d));
    }

    // Register field of an opcode: 0 B, 1 C, 2 D, 3 E, 4 H, 5 L, 7 A (6 is memory).
    template <unsigned Rg> u8& Reg() {
        static_assert(Rg < 8 && Rg != 6);
        if constexpr (Rg == 0)
            return B;
        else if constexpr (Rg == 1)
            return C;
        else if constexpr (Rg == 2)
            return D;
        else if constexpr (Rg == 3)
            return E;
        else if constexpr (Rg == 4)
            return H;
        else if constexpr (Rg == 5)
            return L;
        else
            return A;
    }
    // Pair field: 0 BC, 1 DE, 2 HL, 3 SP (or AF for push and pop).
    template <unsigned P, bool Af = false> u16 GetPair() const {
        if constexpr (P == 0)
            return BC();
        else if constexpr (P == 1)
            return DE();
        else if constexpr (P == 2)
            return HL();
        else if constexpr (Af)
            return Pair(A, F);
        else
            return SP;
    }
    template <unsigned P, bool Af = false> void SetPair(u16 v) {
        if constexpr (P == 0)
            Split(v, B, C);
        else if constexpr (P == 1)
            Split(v, D, E);
        else if constexpr (P == 2)
            Split(v, H, L);
        else if constexpr (Af)
            Split(v, A, F);
        else
            SP = v;
    }
    // Condition field: NZ, Z, NC, C, PO, PE, P, M.
    template <unsigned Cc> bool Cond() const {
        constexpr u8 kMasks[4] = {z80::kFlagZ, z80::kFlagC, z80::kFlagPV, z80::kFlagS};
        const bool set = (F & kMasks[Cc >> 1]) != 0;
        return (Cc & 1) ? set : !set;
    }

    // Arithmetic and logic; each keeps flag bits 3 and 5.
    void Add8(u8 v, unsigned carry = 0) {
        const unsigned r = A + v + carry;
        const u8 res = static_cast<u8>(r);
        F = static_cast<u8>((F & z80::kFlagsUndoc) | z80::kSzTable[res] |
                            ((A ^ v ^ r) & z80::kFlagH) | (((A ^ ~v) & (A ^ r) & 0x80) >> 5) |
                            ((r >> 8) & z80::kFlagC));
        A = res;
    }
    // Returns A - v - carry and sets the flags of SUB; A is left alone.
    u8 Compare(u8 v, unsigned carry = 0) {
        const unsigned r = A - v - carry;
        const u8 res = static_cast<u8>(r);
        F = static_cast<u8>((F & z80::kFlagsUndoc) | z80::kSzTable[res] |
                            ((A ^ v ^ r) & z80::kFlagH) | (((A ^ v) & (A ^ r) & 0x80) >> 5) |
                            z80::kFlagN | ((r >> 8) & z80::kFlagC));
        return res;
    }
    void Logic(u8 res, u8 h) {
        A = res;
        F = static_cast<u8>((F & z80::kFlagsUndoc) | z80::kSzpTable[res] | h);
    }
    // ALU field: ADD, ADC, SUB, SBC, AND, XOR, OR, CP.
    template <unsigned Op> void Alu(u8 v) {
        if constexpr (Op == 0)
            Add8(v);
        else if constexpr (Op == 1)
            Add8(v, F & z80::kFlagC);
        else if constexpr (Op == 2)
            A = Compare(v);
        else if constexpr (Op == 3)
            A = Compare(v, F & z80::kFlagC);
        else if constexpr (Op == 4)
            Logic(A & v, z80::kFlagH);
        else if constexpr (Op == 5)
            Logic(A ^ v, 0);
        else if constexpr (Op == 6)
            Logic(A | v, 0);
        else
            Compare(v);
    }
    u8 Inc8(u8 v) {
        const u8 r = static_cast<u8>(v + 1);
        F = static_cast<u8>((F & (z80::kFlagsUndoc | z80::kFlagC)) | z80::kSzTable[r] |
                            ((v ^ r) & z80::kFlagH) | (v == 0x7F ? z80::kFlagPV : 0));
        return r;
    }
    u8 Dec8(u8 v) {
        const u8 r = static_cast<u8>(v - 1);
        F = static_cast<u8>((F & (z80::kFlagsUndoc | z80::kFlagC)) | z80::kSzTable[r] |
                            ((v ^ r) & z80::kFlagH) | (v == 0x80 ? z80::kFlagPV : 0) | z80::kFlagN);
        return r;
    }
    u16 Add16(u16 d, u16 v) {
        const std::uint32_t r = static_cast<std::uint32_t>(d) + v;
        F = static_cast<u8>((F & (z80::kFlagsUndoc | z80::kFlagS | z80::kFlagZ | z80::kFlagPV)) |
                            (((d ^ v ^ r) >> 8) & z80::kFlagH) | ((r >> 16) & z80::kFlagC));
        return static_cast<u16>(r);
    }
    void Adc16(u16 v) {
        const u16 d = HL();
        const std::uint32_t r = static_cast<std::uint32_t>(d) + v + (F & z80::kFlagC);
        const u16 res = static_cast<u16>(r);
        F = static_cast<u8>((F & z80::kFlagsUndoc) | ((res >> 8) & z80::kFlagS) |
                            (res == 0 ? z80::kFlagZ : 0) | (((d ^ v ^ r) >> 8) & z80::kFlagH) |
                            (((d ^ ~v) & (d ^ r) & 0x8000) >> 13) | ((r >> 16) & z80::kFlagC));
        Split(res, H, L);
    }
    void Sbc16(u16 v) {
        const u16 d = HL();
        const std::uint32_t r = static_cast<std::uint32_t>(d) - v - (F & z80::kFlagC);
        const u16 res = static_cast<u16>(r);
        F = static_cast<u8>((F & z80::kFlagsUndoc) | ((res >> 8) & z80::kFlagS) |
                            (res == 0 ? z80::kFlagZ : 0) | (((d ^ v ^ r) >> 8) & z80::kFlagH) |
                            (((d ^ v) & (d ^ r) & 0x8000) >> 13) | z80::kFlagN |
                            ((r >> 16) & z80::kFlagC));
        Split(res, H, L);
    }
    // Shift field: RLC, RRC, RL, RR, SLA, SRA, SLL, SRL.
    template <unsigned Op> u8 Shift(u8 v) {
        unsigned r;
        unsigned c;
        if constexpr (Op == 0)
            c = v >> 7, r = (v << 1) | c;
        else if constexpr (Op == 1)
            c = v & 1u, r = (v >> 1) | (c << 7);
        else if constexpr (Op == 2)
            c = v >> 7, r = (v << 1) | (F & z80::kFlagC);
        else if constexpr (Op == 3)
            c = v & 1u, r = (v >> 1) | ((F & z80::kFlagC) << 7);
        else if constexpr (Op == 4)
            c = v >> 7, r = v << 1;
        else if constexpr (Op == 5)
            c = v & 1u, r = (v >> 1) | (v & 0x80u);
        else if constexpr (Op == 6)
            c = v >> 7, r = (v << 1) | 1u;
        else
            c = v & 1u, r = v >> 1;
        const u8 res = static_cast<u8>(r);
        F = static_cast<u8>((F & z80::kFlagsUndoc) | z80::kSzpTable[res] | c);
        return res;
    }
    template <unsigned Bit> void TestBit(u8 v) {
        const bool set = (v & (1u << Bit)) != 0;
        F = static_cast<u8>((F & (z80::kFlagsUndoc | z80::kFlagC)) | z80::kFlagH |
                            (set ? 0 : (z80::kFlagZ | z80::kFlagPV)) |
                            ((Bit == 7 && set) ? z80::kFlagS : 0));
    }

    // One instruction, with the memory map already in sync. Inlined into the run loop so
    // that the loop's state stays in registers.
    [[gnu::always_inline]] inline int Step(std::uint32_t before);
    // Takes the maskable interrupt if it is enabled; returns the T-states it cost. Kept out
    // of the run loop, which calls it only while the line is asserted.
    [[gnu::noinline]] std::uint32_t AcceptInterrupt();

    template <unsigned Op> int Base(u8 op1, u8 op3);
    template <unsigned Op> int Cb();
    template <unsigned Op> int Ed(u8 op3);
    template <unsigned Op, bool Y> int Indexed(u8 op3);
    template <unsigned Op, bool Y> int IndexedCb();
    int ExecuteCb(u8 op);
    int ExecuteEd(u8 op, u8 op3);
    template <bool Y> int ExecuteIndexed(u8 op, u8 op3);
    template <bool Y> int ExecuteIndexedCb(u8 op);
    // The interrupt line as last sampled.
    u8 irqLine_ = 0;
    // 1 when the last step was a DD or FD prefix whose opcode runs in the next step: no
    // interrupt comes between the two. Set by every index-prefixed step, so it is only
    // meaningful while LastOpcode is a prefix.
    u8 prefixOnly_ = 0;

    template <bool Y> u16& Xr() {
        if constexpr (Y)
            return IY;
        else
            return IX;
    }
    // Register field with IXH/IXL (or IYH/IYL) in place of H and L.
    template <unsigned Rg, bool Y> u8 IndexHalf() {
        if constexpr (Rg == 4)
            return static_cast<u8>(Xr<Y>() >> 8);
        else if constexpr (Rg == 5)
            return static_cast<u8>(Xr<Y>());
        else
            return Reg<Rg>();
    }
    template <unsigned Rg, bool Y> void SetIndexHalf(u8 v) {
        if constexpr (Rg == 4)
            Xr<Y>() = static_cast<u16>((Xr<Y>() & 0x00FF) | (v << 8));
        else if constexpr (Rg == 5)
            Xr<Y>() = static_cast<u16>((Xr<Y>() & 0xFF00) | v);
        else
            Reg<Rg>() = v;
    }
};

template <class Sys> int Z80Engine<Sys>::ExecuteInstruction() {
    SyncMemory();
    const int t = Step(0);
    Clock.BudgetStart += static_cast<std::uint32_t>(t);
    return t;
}

// before: the T-states of the current budget spent before this instruction, published in
// Clock for the instructions that reach a port.
template <class Sys> int Z80Engine<Sys>::Step(std::uint32_t before) {
    u8 op;
    u8 op1;
    u8 op3;
    if constexpr (HasMappedPath()) {
        Self().ReadOpcodeBytes(PC, op, op1, op3);
    } else {
        op = Rd(PC);
        op1 = Rd(static_cast<u16>(PC + 1));
        op3 = Rd(static_cast<u16>(PC + 3));
    }
    LastOpcode = op;
    int t = 0;
    switch (op) {
#define VELMAR_Z80_OP(n)                                                                           \
    case n:                                                                                        \
        if constexpr (n == z80::kOpcodeOutN || n == z80::kOpcodeInN || n == z80::kPrefixEd)        \
            Clock.BeforeInstruction = before;                                                      \
        t = Base<n>(op1, op3);                                                                     \
        break;
#include "core/cpu/Z80EngineCases.inc"
#undef VELMAR_Z80_OP
    }
    R = static_cast<u8>(R + z80::kRefreshStep);
    return t;
}

template <class Sys> std::uint32_t Z80Engine<Sys>::RunCycles(std::uint32_t budget) {
    SyncMemory();
    irqLine_ = Self().IrqPending();
    const std::uint32_t owed = OwedTStates;
    std::uint32_t executed = owed;
    while (executed < budget) {
        if (irqLine_ == 1) executed += AcceptInterrupt();
        if (Halted == 1) {
            executed = budget; // the rest of the budget is spent halted
            break;
        }
        executed += static_cast<std::uint32_t>(Step(executed));
    }
    OwedTStates = executed - budget;
    Clock.BudgetStart += budget;
    return executed > owed ? executed - owed : 0;
}

template <class Sys> std::uint32_t Z80Engine<Sys>::AcceptInterrupt() {
    if (IFF1 == 0) return 0;
    // Not directly after EI, nor between a DD or FD prefix and its opcode. (DI leaves
    // IFF1 = 0.)
    if (LastOpcode == z80::kOpcodeEi ||
        ((LastOpcode == z80::kPrefixIx || LastOpcode == z80::kPrefixIy) && prefixOnly_ != 0))
        return 0;
    IFF1 = 0;
    IFF2 = 0;
    Halted = 0; // PC already holds the address after HALT
    Push(PC);
    if (IM == 2) {
        PC = Rd16(static_cast<u16>((I << 8) | z80::kIm2VectorLow));
        return z80::kIm2AcceptTStates;
    }
    // Mode 1, or mode 0 executing the RST 38h (0xFF) read from the bus.
    PC = z80::kIrqVector;
    return z80::kIrqAcceptTStates;
}

template <class Sys> void Z80Engine<Sys>::RaiseNmi() {
    IFF1 = 0;
    Halted = 0; // PC already holds the address after HALT
    Push(PC);
    PC = z80::kNmiVector;
    OwedTStates += z80::kNmiAcceptTStates;
}

template <class Sys> void Z80Engine<Sys>::ResetRegisters() {
    A = B = C = D = E = H = L = F = 0;
    A2 = B2 = C2 = D2 = E2 = H2 = L2 = F2 = 0;
    PC = 0;
    SP = 0;
    Halted = 0;
    OwedTStates = 0;
}

} // namespace velmar

#include "core/cpu/Z80EngineBase.inl"
#include "core/cpu/Z80EngineEd.inl"
#include "core/cpu/Z80EngineIndexed.inl"
