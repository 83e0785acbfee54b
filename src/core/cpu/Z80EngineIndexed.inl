// DD/FD-prefixed and DDCB/FDCB instructions of Z80Engine; included by Z80Engine.h.
#pragma once

namespace velmar {

// One DD- (Y = false, IX) or FD-prefixed (Y = true, IY) opcode. op3 is the byte at PC+3.
// Register field 4 and 5 stand for the index register's high and low byte in the
// register-to-register forms; next to (IX+d) they keep meaning H and L. These undocumented
// forms take the 4 T-states of the prefix on top of their unprefixed forms' (8, and 11 for
// LD IXH,n). Codes without an indexed instruction make the prefix a 4-T-state step of its
// own, after which no interrupt is taken before the opcode runs.
template <class Sys> template <unsigned Op, bool Y> int Z80Engine<Sys>::Indexed(u8 op3) {
    constexpr unsigned x = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    constexpr bool kHalfY = y == 4 || y == 5;
    constexpr bool kHalfZ = z == 4 || z == 5;
    u16& xr = Xr<Y>();
    (void)op3;

    auto address = [&] { return Displaced(xr, Rd(static_cast<u16>(PC + 2))); };

    if constexpr (x == 1 && z == 6 && y != 6) { // LD r,(IX+d)
        Reg<y>() = Rd(address());
        PC = static_cast<u16>(PC + 3);
        return 19;
    } else if constexpr (x == 1 && y == 6 && z != 6) { // LD (IX+d),r
        Wr(address(), Reg<z>());
        PC = static_cast<u16>(PC + 3);
        return 19;
    } else if constexpr (x == 1 && y != 6 && z != 6 && (kHalfY || kHalfZ)) { // LD with IXH/IXL
        SetIndexHalf<y, Y>(IndexHalf<z, Y>());
        PC = static_cast<u16>(PC + 2);
        return 8;
    } else if constexpr (x == 2 && kHalfZ) { // ALU A,IXH/IXL
        Alu<y>(IndexHalf<z, Y>());
        PC = static_cast<u16>(PC + 2);
        return 8;
    } else if constexpr (x == 2 && z == 6) { // ALU A,(IX+d)
        Alu<y>(Rd(address()));
        PC = static_cast<u16>(PC + 3);
        return 19;
    } else if constexpr (Op == 0x09 || Op == 0x19 || Op == 0x29 || Op == 0x39) { // ADD IX,rr
        constexpr unsigned p = y >> 1;
        u16 v;
        if constexpr (p == 2)
            v = xr;
        else
            v = GetPair<p>();
        xr = Add16(xr, v);
        PC = static_cast<u16>(PC + 2);
        return 15;
    } else if constexpr (Op == 0x21) { // LD IX,nn
        xr = Pair(op3, Rd(static_cast<u16>(PC + 2)));
        PC = static_cast<u16>(PC + 4);
        return 14;
    } else if constexpr (Op == 0x22 || Op == 0x2A) { // LD (nn),IX / LD IX,(nn)
        const u16 nn = Pair(op3, Rd(static_cast<u16>(PC + 2)));
        PC = static_cast<u16>(PC + 4);
        if constexpr (Op == 0x22)
            Wr16(nn, xr);
        else
            xr = Rd16(nn);
        return 20;
    } else if constexpr (Op == 0x23 || Op == 0x2B) { // INC IX / DEC IX
        xr = static_cast<u16>(xr + (Op == 0x23 ? 1 : 0xFFFF));
        PC = static_cast<u16>(PC + 2);
        return 10;
    } else if constexpr (Op == 0x24 || Op == 0x25 || Op == 0x2C || Op == 0x2D) {
        // INC/DEC IXH, INC/DEC IXL
        const u8 v = IndexHalf<y, Y>();
        SetIndexHalf<y, Y>(z == 4 ? Inc8(v) : Dec8(v));
        PC = static_cast<u16>(PC + 2);
        return 8;
    } else if constexpr (Op == 0x26 || Op == 0x2E) { // LD IXH,n / LD IXL,n
        SetIndexHalf<y, Y>(Rd(static_cast<u16>(PC + 2)));
        PC = static_cast<u16>(PC + 3);
        return 11;
    } else if constexpr (Op == 0x34 || Op == 0x35) { // INC (IX+d) / DEC (IX+d)
        const u16 a = address();
        const u8 v = Rd(a);
        Wr(a, Op == 0x34 ? Inc8(v) : Dec8(v));
        PC = static_cast<u16>(PC + 3);
        return 23;
    } else if constexpr (Op == 0x36) { // LD (IX+d),n
        Wr(address(), op3);
        PC = static_cast<u16>(PC + 4);
        return 19;
    } else if constexpr (Op == 0xCB) {
        return ExecuteIndexedCb<Y>(op3);
    } else if constexpr (Op == 0xE1) { // POP IX
        xr = Pop();
        PC = static_cast<u16>(PC + 2);
        return 14;
    } else if constexpr (Op == 0xE3) { // EX (SP),IX
        const u16 sp1 = static_cast<u16>(SP + 1);
        const u8 hi = Rd(sp1);
        const u8 lo = Rd(SP);
        Wr(sp1, static_cast<u8>(xr >> 8));
        Wr(SP, static_cast<u8>(xr));
        xr = Pair(hi, lo);
        PC = static_cast<u16>(PC + 2);
        return 23;
    } else if constexpr (Op == 0xE5) { // PUSH IX
        Push(xr);
        PC = static_cast<u16>(PC + 2);
        return 15;
    } else if constexpr (Op == 0xE9) { // JP (IX)
        PC = xr;
        return 8;
    } else if constexpr (Op == 0xF9) { // LD SP,IX
        SP = xr;
        PC = static_cast<u16>(PC + 2);
        return 10;
    } else { // the prefix alone; the next step executes the following byte
        prefixOnly_ = 1;
        PC = static_cast<u16>(PC + 1);
        return 4;
    }
}

// DDCB/FDCB: the operation byte is the fourth byte of the instruction. Results of shifts,
// RES and SET are written back and also copied into the register field unless it is 6.
template <class Sys> template <unsigned Op, bool Y> int Z80Engine<Sys>::IndexedCb() {
    constexpr unsigned x = Op >> 6;
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    const u16 a = Displaced(Xr<Y>(), Rd(static_cast<u16>(PC + 2)));
    PC = static_cast<u16>(PC + 4);
    const u8 v = Rd(a);
    if constexpr (x == 1) {
        TestBit<y>(v);
        return 20;
    } else {
        u8 r;
        if constexpr (x == 0)
            r = Shift<y>(v);
        else if constexpr (x == 2)
            r = static_cast<u8>(v & ~(1u << y));
        else
            r = static_cast<u8>(v | (1u << y));
        Wr(a, r);
        if constexpr (z != 6) Reg<z>() = r;
        return 23;
    }
}

template <class Sys> template <bool Y> int Z80Engine<Sys>::ExecuteIndexed(u8 op, u8 op3) {
    prefixOnly_ = 0; // set again by a prefix alone
    switch (op) {
#define VELMAR_Z80_OP(n)                                                                           \
    case n:                                                                                        \
        return Indexed<n, Y>(op3);
#include "core/cpu/Z80EngineCases.inc"
#undef VELMAR_Z80_OP
    }
    return 4;
}

template <class Sys> template <bool Y> int Z80Engine<Sys>::ExecuteIndexedCb(u8 op) {
    switch (op) {
#define VELMAR_Z80_OP(n)                                                                           \
    case n:                                                                                        \
        return IndexedCb<n, Y>();
#include "core/cpu/Z80EngineCases.inc"
#undef VELMAR_Z80_OP
    }
    return 20;
}

} // namespace velmar
