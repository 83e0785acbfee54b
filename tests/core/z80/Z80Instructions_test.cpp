#include "Z80TestSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace velmar::test {
namespace {

using Kind = Z80TestSystem::Kind;
using Access = Z80TestSystem::Access;

void Exec(Z80TestSystem& cpu, std::initializer_list<std::uint8_t> code, int count = 1) {
    cpu.Load(0x1000, code);
    cpu.Log.clear();
    for (int i = 0; i < count; ++i) cpu.ExecuteInstruction();
}

// The reads after the three fetch reads of a single instruction.
std::vector<Access> OperandReads(const Z80TestSystem& cpu) {
    std::vector<Access> out;
    for (std::size_t i = 3; i < cpu.Log.size(); ++i)
        if (cpu.Log[i].kind == Kind::Read) out.push_back(cpu.Log[i]);
    return out;
}

TEST(Z80Instructions, MemoryAccessOrder) {
    Z80TestSystem cpu;
    cpu.SP = 0x8000;
    // PUSH BC: high byte at SP-1 first.
    cpu.B = 0x12;
    cpu.C = 0x34;
    Exec(cpu, {0xC5});
    EXPECT_EQ(cpu.Writes(),
              (std::vector<Access>{{Kind::Write, 0x7FFF, 0x12}, {Kind::Write, 0x7FFE, 0x34}}));
    EXPECT_EQ(cpu.SP, 0x7FFE);
    // POP DE: SP+1 first, then SP.
    Exec(cpu, {0xD1});
    EXPECT_EQ(OperandReads(cpu),
              (std::vector<Access>{{Kind::Read, 0x7FFF, 0x12}, {Kind::Read, 0x7FFE, 0x34}}));
    EXPECT_EQ(cpu.DE(), 0x1234);
    // CALL pushes the address after it, high byte first.
    Exec(cpu, {0xCD, 0x00, 0x30});
    EXPECT_EQ(cpu.Writes(),
              (std::vector<Access>{{Kind::Write, 0x7FFF, 0x10}, {Kind::Write, 0x7FFE, 0x03}}));
    EXPECT_EQ(cpu.PC, 0x3000);
    // RST 28 pushes the next address.
    Exec(cpu, {0xEF});
    EXPECT_EQ(cpu.PC, 0x0028);
    EXPECT_EQ(cpu.Memory[0x7FFC], 0x01);
    EXPECT_EQ(cpu.Memory[0x7FFD], 0x10);

    // LD (nn),HL: L at nn, then H at nn+1 (the mapper sees 0xFFFE before 0xFFFF).
    cpu.H = 0x03;
    cpu.L = 0x02;
    Exec(cpu, {0x22, 0xFE, 0xFF});
    EXPECT_EQ(cpu.Writes(),
              (std::vector<Access>{{Kind::Write, 0xFFFE, 0x02}, {Kind::Write, 0xFFFF, 0x03}}));
    // ED 63 and DD 22 write low byte first as well.
    cpu.IX = 0xBEEF;
    Exec(cpu, {0xDD, 0x22, 0x00, 0x90});
    EXPECT_EQ(cpu.Writes(),
              (std::vector<Access>{{Kind::Write, 0x9000, 0xEF}, {Kind::Write, 0x9001, 0xBE}}));

    // EX (SP),HL reads SP+1, SP, then writes H at SP+1 and L at SP.
    cpu.SP = 0x8000;
    cpu.Memory[0x8000] = 0x78;
    cpu.Memory[0x8001] = 0x56;
    Exec(cpu, {0xE3});
    EXPECT_EQ(OperandReads(cpu),
              (std::vector<Access>{{Kind::Read, 0x8001, 0x56}, {Kind::Read, 0x8000, 0x78}}));
    EXPECT_EQ(cpu.Writes(),
              (std::vector<Access>{{Kind::Write, 0x8001, 0x03}, {Kind::Write, 0x8000, 0x02}}));
    EXPECT_EQ(cpu.HL(), 0x5678);

    // Read-modify-write on (HL) reads once and writes once.
    Exec(cpu, {0x34, 0xCB, 0x06}, 2);
    EXPECT_EQ(cpu.Writes().size(), 2u);
}

TEST(Z80Instructions, IndexedForms) {
    Z80TestSystem cpu;
    // DD CB 05 06: RLC (IX+5) writes only memory; DD CB 05 00 also loads B.
    cpu.IX = 0x2000;
    cpu.Memory[0x2005] = 0x81;
    cpu.B = 0x00;
    Exec(cpu, {0xDD, 0xCB, 0x05, 0x06});
    EXPECT_EQ(cpu.Memory[0x2005], 0x03);
    EXPECT_EQ(cpu.B, 0x00);
    EXPECT_EQ(cpu.PC, 0x1004);
    Exec(cpu, {0xDD, 0xCB, 0x05, 0x00});
    EXPECT_EQ(cpu.Memory[0x2005], 0x06);
    EXPECT_EQ(cpu.B, 0x06);
    // SET 7,(IY-1) copied to L (the real L); RES 1,(IY-1) copied to A.
    cpu.IY = 0x3001;
    cpu.Memory[0x3000] = 0x02;
    Exec(cpu, {0xFD, 0xCB, 0xFF, 0xFD});
    EXPECT_EQ(cpu.Memory[0x3000], 0x82);
    EXPECT_EQ(cpu.L, 0x82);
    Exec(cpu, {0xFD, 0xCB, 0xFF, 0x8F});
    EXPECT_EQ(cpu.A, 0x80);
    // BIT with any register field writes nothing.
    Exec(cpu, {0xFD, 0xCB, 0xFF, 0x7A});
    EXPECT_TRUE(cpu.Writes().empty());
    EXPECT_EQ(cpu.F & 0x80, 0x80);

    // Next to (IX+d), H and L are the real H and L.
    cpu.H = 0x11;
    cpu.IX = 0x2000;
    Exec(cpu, {0xDD, 0x74, 0x10});
    EXPECT_EQ(cpu.Memory[0x2010], 0x11);
    Exec(cpu, {0xDD, 0x6E, 0x10});
    EXPECT_EQ(cpu.L, 0x11);
    EXPECT_EQ(cpu.IX, 0x2000);
    // Register forms use the index register's halves.
    cpu.A = 0x5A;
    Exec(cpu, {0xDD, 0x67, 0xDD, 0x2E, 0x77, 0xDD, 0x45}, 3);
    EXPECT_EQ(cpu.IX, 0x5A77);
    EXPECT_EQ(cpu.B, 0x77);
    EXPECT_EQ(cpu.H, 0x11);
    // LD (IX+d),n takes n from the fourth byte; ALU with (IY+d).
    Exec(cpu, {0xDD, 0x36, 0x80, 0x99});
    EXPECT_EQ(cpu.Memory[0x5A77 - 0x80], 0x99);
    cpu.IY = 0x2010;
    cpu.A = 0x01;
    Exec(cpu, {0xFD, 0x86, 0x00});
    EXPECT_EQ(cpu.A, 0x12);

    // A prefix without an indexed form is a no-operation; the next byte runs on its own.
    cpu.B = 0x01;
    cpu.R = 0;
    Exec(cpu, {0xDD, 0x04}, 2);
    EXPECT_EQ(cpu.B, 0x02);
    EXPECT_EQ(cpu.PC, 0x1002);
    EXPECT_EQ(cpu.R, 6);
    // DD DD 21 nn: the first prefix is a no-operation, the second loads IX.
    Exec(cpu, {0xDD, 0xDD, 0x21, 0x34, 0x12}, 2);
    EXPECT_EQ(cpu.IX, 0x1234);
    // ED no-operations change nothing but PC.
    Z80TestSystem ed;
    ed.A = 0x12;
    ed.F = 0x34;
    Exec(ed, {0xED, 0x77, 0xED, 0x00, 0xED, 0xFF}, 3);
    EXPECT_EQ(ed.PC, 0x1006);
    EXPECT_EQ(ed.A, 0x12);
    EXPECT_EQ(ed.F, 0x34);
    EXPECT_TRUE(ed.Writes().empty());
}

TEST(Z80Instructions, BranchesPortsAndExchanges) {
    Z80TestSystem cpu;
    // DJNZ with B = 0 loops 256 times.
    cpu.Load(0x1000, {0x10, 0xFE});
    cpu.B = 0;
    int steps = 0;
    while (cpu.PC == 0x1000 && steps < 1000) {
        cpu.ExecuteInstruction();
        ++steps;
    }
    EXPECT_EQ(steps, 256);
    EXPECT_EQ(cpu.B, 0);
    // JR backwards.
    Exec(cpu, {0x18, 0x80});
    EXPECT_EQ(cpu.PC, 0x1002 - 0x80);

    // Port numbers are 8 bits: n alone for IN A,(n) and OUT (n),A; C alone for OUT (C),r.
    cpu.A = 0x77;
    cpu.B = 0x12;
    cpu.C = 0xBF;
    cpu.PortInput[0xDC] = 0x3F;
    Exec(cpu, {0xD3, 0x7E, 0xED, 0x41, 0xED, 0x71, 0xDB, 0xDC}, 4);
    EXPECT_EQ(cpu.Only(Kind::PortOut), (std::vector<Access>{{Kind::PortOut, 0x7E, 0x77},
                                                            {Kind::PortOut, 0xBF, 0x12},
                                                            {Kind::PortOut, 0xBF, 0x00}}));
    EXPECT_EQ(cpu.A, 0x3F);

    // EXX and EX DE,HL.
    cpu.B = 1, cpu.C = 2, cpu.D = 3, cpu.E = 4, cpu.H = 5, cpu.L = 6;
    cpu.B2 = 9, cpu.C2 = 8, cpu.D2 = 7, cpu.E2 = 6, cpu.H2 = 5, cpu.L2 = 4;
    Exec(cpu, {0xD9, 0xEB}, 2);
    EXPECT_EQ(cpu.BC(), 0x0908);
    EXPECT_EQ(cpu.DE(), 0x0504);
    EXPECT_EQ(cpu.HL(), 0x0706);
    EXPECT_EQ(cpu.B2, 1);
    EXPECT_EQ(cpu.L2, 6);

    // RRD: A low nibble <- (HL) low nibble; (HL) <- old A low nibble, (HL) high nibble.
    cpu.H = 0x20;
    cpu.L = 0x00;
    cpu.Memory[0x2000] = 0x34;
    cpu.A = 0x12;
    Exec(cpu, {0xED, 0x67});
    EXPECT_EQ(cpu.A, 0x14);
    EXPECT_EQ(cpu.Memory[0x2000], 0x23);

    // LDD and IND step downwards.
    cpu.H = 0x20;
    cpu.L = 0x00;
    cpu.D = 0x30;
    cpu.E = 0x00;
    cpu.B = 0x00;
    cpu.C = 0x02;
    Exec(cpu, {0xED, 0xA8});
    EXPECT_EQ(cpu.Memory[0x3000], 0x23);
    EXPECT_EQ(cpu.HL(), 0x1FFF);
    EXPECT_EQ(cpu.DE(), 0x2FFF);
    EXPECT_EQ(cpu.BC(), 0x0001);
    EXPECT_EQ(cpu.F & 0x04, 0x04);
}

} // namespace
} // namespace velmar::test
