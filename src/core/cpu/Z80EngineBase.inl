// Unprefixed and CB-prefixed instructions of Z80Engine; included by Z80Engine.h.
#pragma once

namespace velmar {

// One unprefixed opcode. op1 is the byte at PC+1 and op3 the byte at PC+3, both already
// read by ExecuteInstruction.
template <class Sys> template <unsigned Op> int Z80Engine<Sys>::Base(u8 op1, u8 op3) {
    constexpr unsigned x = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    constexpr unsigned p = y >> 1;
    constexpr unsigned q = y & 1;
    using namespace z80;
    (void)op3;

    if constexpr (Op == 0x76) { // HALT
        Halted = 1;
        PC = static_cast<u16>(PC + 1);
        return 4;
    } else if constexpr (x == 1) { // LD r,r'
        if constexpr (z == 6) {
            Reg<y>() = Rd(HL());
            PC = static_cast<u16>(PC + 1);
            return 7;
        } else if constexpr (y == 6) {
            Wr(HL(), Reg<z>());
            PC = static_cast<u16>(PC + 1);
            return 7;
        } else {
            Reg<y>() = Reg<z>();
            PC = static_cast<u16>(PC + 1);
            return 4;
        }
    } else if constexpr (x == 2) { // ALU A,r
        if constexpr (z == 6) {
            Alu<y>(Rd(HL()));
            PC = static_cast<u16>(PC + 1);
            return 7;
        } else {
            Alu<y>(Reg<z>());
            PC = static_cast<u16>(PC + 1);
            return 4;
        }
    } else if constexpr (x == 0) {
        if constexpr (Op == 0x00) { // NOP
            PC = static_cast<u16>(PC + 1);
            return 4;
        } else if constexpr (Op == 0x08) { // EX AF,AF'
            const u8 a = A, f = F;
            A = A2;
            F = F2;
            A2 = a;
            F2 = f;
            PC = static_cast<u16>(PC + 1);
            return 4;
        } else if constexpr (Op == 0x10) { // DJNZ e
            B = static_cast<u8>(B - 1);
            if (B != 0) {
                PC = Displaced(static_cast<u16>(PC + 2), op1);
                return 13;
            }
            PC = static_cast<u16>(PC + 2);
            return 8;
        } else if constexpr (Op == 0x18) { // JR e
            PC = Displaced(static_cast<u16>(PC + 2), op1);
            return 12;
        } else if constexpr (z == 0) { // JR cc,e
            if (Cond<y - 4>()) {
                PC = Displaced(static_cast<u16>(PC + 2), op1);
                return 12;
            }
            PC = static_cast<u16>(PC + 2);
            return 7;
        } else if constexpr (z == 1 && q == 0) { // LD rr,nn
            SetPair<p>(Pair(Rd(static_cast<u16>(PC + 2)), op1));
            PC = static_cast<u16>(PC + 3);
            return 10;
        } else if constexpr (z == 1) { // ADD HL,rr
            Split(Add16(HL(), GetPair<p>()), H, L);
            PC = static_cast<u16>(PC + 1);
            return 11;
        } else if constexpr (z == 2 && p < 2) { // LD (BC),A / LD A,(BC) / (DE)
            if constexpr (q == 0)
                Wr(GetPair<p>(), A);
            else
                A = Rd(GetPair<p>());
            PC = static_cast<u16>(PC + 1);
            return 7;
        } else if constexpr (z == 2) {
            const u16 nn = Pair(Rd(static_cast<u16>(PC + 2)), op1);
            PC = static_cast<u16>(PC + 3);
            if constexpr (Op == 0x22) { // LD (nn),HL: L at nn, then H at nn+1
                Wr16(nn, HL());
                return 16;
            } else if constexpr (Op == 0x2A) { // LD HL,(nn)
                Split(Rd16(nn), H, L);
                return 16;
            } else if constexpr (Op == 0x32) { // LD (nn),A
                Wr(nn, A);
                return 13;
            } else { // LD A,(nn)
                A = Rd(nn);
                return 13;
            }
        } else if constexpr (z == 3) { // INC rr / DEC rr
            SetPair<p>(static_cast<u16>(GetPair<p>() + (q == 0 ? 1 : 0xFFFF)));
            PC = static_cast<u16>(PC + 1);
            return 6;
        } else if constexpr (z == 4 || z == 5) { // INC r / DEC r
            if constexpr (y == 6) {
                const u16 a = HL();
                const u8 v = Rd(a);
                Wr(a, z == 4 ? Inc8(v) : Dec8(v));
                PC = static_cast<u16>(PC + 1);
                return 11;
            } else {
                Reg<y>() = z == 4 ? Inc8(Reg<y>()) : Dec8(Reg<y>());
                PC = static_cast<u16>(PC + 1);
                return 4;
            }
        } else if constexpr (z == 6) { // LD r,n
            PC = static_cast<u16>(PC + 2);
            if constexpr (y == 6) {
                Wr(HL(), op1);
                return 10;
            } else {
                Reg<y>() = op1;
                return 7;
            }
        } else { // z == 7: accumulator rotates, DAA, CPL, SCF, CCF
            constexpr u8 kKeepSzp = kFlagsUndoc | kFlagS | kFlagZ | kFlagPV;
            PC = static_cast<u16>(PC + 1);
            if constexpr (y == 0) { // RLCA
                const unsigned c = A >> 7;
                A = static_cast<u8>((A << 1) | c);
                F = static_cast<u8>((F & kKeepSzp) | c);
            } else if constexpr (y == 1) { // RRCA
                const unsigned c = A & 1u;
                A = static_cast<u8>((A >> 1) | (c << 7));
                F = static_cast<u8>((F & kKeepSzp) | c);
            } else if constexpr (y == 2) { // RLA
                const unsigned c = A >> 7;
                A = static_cast<u8>((A << 1) | (F & kFlagC));
                F = static_cast<u8>((F & kKeepSzp) | c);
            } else if constexpr (y == 3) { // RRA
                const unsigned c = A & 1u;
                A = static_cast<u8>((A >> 1) | ((F & kFlagC) << 7));
                F = static_cast<u8>((F & kKeepSzp) | c);
            } else if constexpr (y == 4) { // DAA
                const u16 e =
                    kDaaTable[A | ((F & kFlagC) << 8) | ((F & kFlagH) << 5) | ((F & kFlagN) << 9)];
                A = static_cast<u8>(e >> 8);
                F = static_cast<u8>(e);
            } else if constexpr (y == 5) { // CPL
                A = static_cast<u8>(~A);
                F = static_cast<u8>(F | kFlagH | kFlagN);
            } else if constexpr (y == 6) { // SCF
                F = static_cast<u8>((F & kKeepSzp) | kFlagC);
            } else { // CCF
                const unsigned c = F & kFlagC;
                F = static_cast<u8>((F & kKeepSzp) | (c << 4) | (c ^ 1u));
            }
            return 4;
        }
    } else {                    // x == 3
        if constexpr (z == 0) { // RET cc
            if (Cond<y>()) {
                PC = Pop();
                return 11;
            }
            PC = static_cast<u16>(PC + 1);
            return 5;
        } else if constexpr (z == 1 && q == 0) { // POP rr
            SetPair<p, true>(Pop());
            PC = static_cast<u16>(PC + 1);
            return 10;
        } else if constexpr (Op == 0xC9) { // RET
            PC = Pop();
            return 10;
        } else if constexpr (Op == 0xD9) { // EXX
            std::swap(B, B2);
            std::swap(C, C2);
            std::swap(D, D2);
            std::swap(E, E2);
            std::swap(H, H2);
            std::swap(L, L2);
            PC = static_cast<u16>(PC + 1);
            return 4;
        } else if constexpr (Op == 0xE9) { // JP (HL)
            PC = HL();
            return 4;
        } else if constexpr (Op == 0xF9) { // LD SP,HL
            SP = HL();
            PC = static_cast<u16>(PC + 1);
            return 6;
        } else if constexpr (z == 2) { // JP cc,nn
            PC = Cond<y>() ? Pair(Rd(static_cast<u16>(PC + 2)), op1) : static_cast<u16>(PC + 3);
            return 10;
        } else if constexpr (Op == 0xC3) { // JP nn
            PC = Pair(Rd(static_cast<u16>(PC + 2)), op1);
            return 10;
        } else if constexpr (Op == 0xCB) {
            return ExecuteCb(op1);
        } else if constexpr (Op == 0xD3) { // OUT (n),A
            PC = static_cast<u16>(PC + 2);
            Out(op1, A, z80::kIoAtImmediatePort);
            return 11;
        } else if constexpr (Op == 0xDB) { // IN A,(n)
            PC = static_cast<u16>(PC + 2);
            A = In(op1, z80::kIoAtImmediatePort);
            return 11;
        } else if constexpr (Op == 0xE3) { // EX (SP),HL
            const u16 sp1 = static_cast<u16>(SP + 1);
            const u8 hi = Rd(sp1);
            const u8 lo = Rd(SP);
            Wr(sp1, H);
            Wr(SP, L);
            H = hi;
            L = lo;
            PC = static_cast<u16>(PC + 1);
            return 19;
        } else if constexpr (Op == 0xEB) { // EX DE,HL
            std::swap(D, H);
            std::swap(E, L);
            PC = static_cast<u16>(PC + 1);
            return 4;
        } else if constexpr (Op == 0xF3 || Op == 0xFB) { // DI / EI
            IFF1 = IFF2 = (Op == 0xFB) ? 1 : 0;
            PC = static_cast<u16>(PC + 1);
            return 4;
        } else if constexpr (z == 4) { // CALL cc,nn
            if (Cond<y>()) {
                const u16 target = Pair(Rd(static_cast<u16>(PC + 2)), op1);
                Push(static_cast<u16>(PC + 3));
                PC = target;
                return 17;
            }
            PC = static_cast<u16>(PC + 3);
            return 10;
        } else if constexpr (z == 5 && q == 0) { // PUSH rr
            Push(GetPair<p, true>());
            PC = static_cast<u16>(PC + 1);
            return 11;
        } else if constexpr (Op == 0xCD) { // CALL nn
            const u16 target = Pair(Rd(static_cast<u16>(PC + 2)), op1);
            Push(static_cast<u16>(PC + 3));
            PC = target;
            return 17;
        } else if constexpr (Op == 0xDD || Op == 0xFD) {
            return ExecuteIndexed<Op == 0xFD>(op1, op3);
        } else if constexpr (Op == 0xED) {
            return ExecuteEd(op1, op3);
        } else if constexpr (z == 6) { // ALU A,n
            Alu<y>(op1);
            PC = static_cast<u16>(PC + 2);
            return 7;
        } else { // RST p
            Push(static_cast<u16>(PC + 1));
            PC = static_cast<u16>(y * 8);
            return 11;
        }
    }
}

// One CB-prefixed opcode: rotates and shifts, BIT, RES, SET on the register field.
template <class Sys> template <unsigned Op> int Z80Engine<Sys>::Cb() {
    constexpr unsigned x = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    PC = static_cast<u16>(PC + 2);
    if constexpr (z == 6) {
        const u16 a = HL();
        const u8 v = Rd(a);
        if constexpr (x == 1) {
            TestBit<y>(v);
            return 12;
        } else {
            if constexpr (x == 0)
                Wr(a, Shift<y>(v));
            else if constexpr (x == 2)
                Wr(a, static_cast<u8>(v & ~(1u << y)));
            else
                Wr(a, static_cast<u8>(v | (1u << y)));
            return 15;
        }
    } else {
        u8& r = Reg<z>();
        if constexpr (x == 0)
            r = Shift<y>(r);
        else if constexpr (x == 1)
            TestBit<y>(r);
        else if constexpr (x == 2)
            r = static_cast<u8>(r & ~(1u << y));
        else
            r = static_cast<u8>(r | (1u << y));
        return 8;
    }
}

template <class Sys> int Z80Engine<Sys>::ExecuteCb(u8 op) {
    switch (op) {
#define VELMAR_Z80_OP(n)                                                                           \
    case n:                                                                                        \
        return Cb<n>();
#include "core/cpu/Z80EngineCases.inc"
#undef VELMAR_Z80_OP
    }
    return 8;
}

} // namespace velmar
