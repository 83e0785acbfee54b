// ED-prefixed instructions of Z80Engine; included by Z80Engine.h.
#pragma once

namespace velmar {

// One ED-prefixed opcode. op3 is the byte at PC+3 (high byte of a 16-bit operand).
// Codes without an instruction are 8-T-state no-operations.
template <class Sys> template <unsigned Op> int Z80Engine<Sys>::Ed(u8 op3) {
    constexpr unsigned y = (Op >> 3) & 7;
    constexpr unsigned z = Op & 7;
    constexpr unsigned p = y >> 1;
    constexpr unsigned q = y & 1;
    using namespace z80;
    (void)op3;

    if constexpr (Op >= 0x40 && Op < 0x80) {
        if constexpr (z == 0) { // IN r,(C); IN (C) sets the flags only
            const u8 v = In(C, kIoAtPortC);
            if constexpr (y != 6) Reg<y>() = v;
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagC)) | kSzpTable[v]);
            PC = static_cast<u16>(PC + 2);
            return 12;
        } else if constexpr (z == 1) { // OUT (C),r; OUT (C),0
            PC = static_cast<u16>(PC + 2);
            if constexpr (y == 6)
                Out(C, 0, kIoAtPortC);
            else
                Out(C, Reg<y>(), kIoAtPortC);
            return 12;
        } else if constexpr (z == 2) { // SBC HL,rr / ADC HL,rr
            if constexpr (q == 0)
                Sbc16(GetPair<p>());
            else
                Adc16(GetPair<p>());
            PC = static_cast<u16>(PC + 2);
            return 15;
        } else if constexpr (z == 3) { // LD (nn),rr / LD rr,(nn)
            const u16 nn = Pair(op3, Rd(static_cast<u16>(PC + 2)));
            PC = static_cast<u16>(PC + 4);
            if constexpr (q == 0) {
                Wr16(nn, GetPair<p>());
                return 20;
            } else {
                SetPair<p>(Rd16(nn));
                return 20;
            }
        } else if constexpr (z == 4) { // NEG
            const u8 a = A;
            A = 0;
            A = Compare(a);
            PC = static_cast<u16>(PC + 2);
            return 8;
        } else if constexpr (z == 5) { // RETN restores IFF1 from IFF2; RETI leaves both
            PC = Pop();
            if constexpr (Op != 0x4D) IFF1 = IFF2;
            return 14;
        } else if constexpr (z == 6) { // IM 0 / IM 1 / IM 2
            IM = (y & 3) < 2 ? 0 : static_cast<u8>((y & 3) - 1);
            PC = static_cast<u16>(PC + 2);
            return 8;
        } else if constexpr (Op == 0x47 || Op == 0x4F) { // LD I,A / LD R,A
            if constexpr (Op == 0x47)
                I = A;
            else
                R = A;
            PC = static_cast<u16>(PC + 2);
            return 9;
        } else if constexpr (Op == 0x57 || Op == 0x5F) { // LD A,I / LD A,R
            A = Op == 0x57 ? I : R;
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagC)) | kSzTable[A] | (IFF2 ? kFlagPV : 0));
            PC = static_cast<u16>(PC + 2);
            return 9;
        } else if constexpr (Op == 0x67 || Op == 0x6F) { // RRD / RLD
            const u16 a = HL();
            const u8 v = Rd(a);
            const unsigned lowA = A & 0x0Fu;
            if constexpr (Op == 0x67) {
                A = static_cast<u8>((A & 0xF0u) | (v & 0x0Fu));
                Wr(a, static_cast<u8>((lowA << 4) | (v >> 4)));
            } else {
                A = static_cast<u8>((A & 0xF0u) | (v >> 4));
                Wr(a, static_cast<u8>(((v & 0x0Fu) << 4) | lowA));
            }
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagC)) | kSzpTable[A]);
            PC = static_cast<u16>(PC + 2);
            return 18;
        } else { // ED 77, ED 7F
            PC = static_cast<u16>(PC + 2);
            return 8;
        }
    } else if constexpr (Op >= 0xA0 && Op < 0xC0 && z < 4 && (y & 4)) {
        // Block instructions: y = 4 LDI/CPI/INI/OUTI, 5 the decrementing forms, 6 and 7
        // their repeating forms, which leave PC on themselves while they repeat.
        constexpr bool kDown = (y & 1) != 0;
        constexpr bool kRepeat = (y & 2) != 0;
        constexpr u16 kStep = kDown ? 0xFFFF : 1;
        const u16 hl = HL();
        Split(static_cast<u16>(hl + kStep), H, L);
        if constexpr (z == 0) { // LDI, LDD, LDIR, LDDR
            const u16 de = DE();
            Wr(de, Rd(hl));
            Split(static_cast<u16>(de + kStep), D, E);
            const u16 bc = static_cast<u16>(BC() - 1);
            Split(bc, B, C);
            if (kRepeat && bc != 0) return 21;
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagS | kFlagZ | kFlagC)) |
                                (bc != 0 ? kFlagPV : 0));
            PC = static_cast<u16>(PC + 2);
            return 16;
        } else if constexpr (z == 1) { // CPI, CPD, CPIR, CPDR
            const u8 v = Rd(hl);
            const unsigned t = A - v;
            const u16 bc = static_cast<u16>(BC() - 1);
            Split(bc, B, C);
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagC)) | kSzTable[t & 0xFF] |
                                ((A ^ v ^ t) & kFlagH) | (bc != 0 ? kFlagPV : 0) | kFlagN);
            if (kRepeat && bc != 0 && (t & 0xFF) != 0) return 21;
            PC = static_cast<u16>(PC + 2);
            return 16;
        } else { // INI/IND/INIR/INDR (z == 2), OUTI/OUTD/OTIR/OTDR (z == 3)
            if constexpr (z == 2)
                Wr(hl, In(C, kIoAtBlockIn));
            else
                Out(C, Rd(hl), kIoAtBlockOut);
            B = static_cast<u8>(B - 1);
            if (kRepeat && B != 0) return 21;
            F = static_cast<u8>((F & (kFlagsUndoc | kFlagH | kFlagPV | kFlagC)) | kSzTable[B] |
                                kFlagN);
            PC = static_cast<u16>(PC + 2);
            return 16;
        }
    } else {
        PC = static_cast<u16>(PC + 2);
        return 8;
    }
}

template <class Sys> int Z80Engine<Sys>::ExecuteEd(u8 op, u8 op3) {
    switch (op) {
#define VELMAR_Z80_OP(n)                                                                           \
    case n:                                                                                        \
        return Ed<n>(op3);
#include "core/cpu/Z80EngineCases.inc"
#undef VELMAR_Z80_OP
    }
    return 8;
}

} // namespace velmar
