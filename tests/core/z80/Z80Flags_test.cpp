#include "Z80TestSystem.h"

#include "core/cpu/Z80Tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace velmar::test {
namespace {

constexpr std::uint8_t S = 0x80, Z = 0x40, Y5 = 0x20, Hf = 0x10, X3 = 0x08, PV = 0x04, N = 0x02,
                       Cf = 0x01;

// Runs code from 0x1000 for the given number of instructions.
void Exec(Z80TestSystem& cpu, const std::vector<std::uint8_t>& code, int count = 1) {
    for (std::size_t i = 0; i < code.size(); ++i) cpu.Memory[0x1000 + i] = code[i];
    cpu.PC = 0x1000;
    for (int i = 0; i < count; ++i) cpu.ExecuteInstruction();
}

struct AluCase {
    const char* name;
    std::vector<std::uint8_t> code;
    std::uint8_t a, f, b;
    std::uint8_t resultA, resultF;
};

TEST(Z80Flags, EightBitArithmeticAndLogic) {
    const std::vector<AluCase> cases = {
        {"ADD A,1 from 7F", {0xC6, 0x01}, 0x7F, 0, 0, 0x80, S | Hf | PV},
        {"ADC A,7F with carry from 00", {0xCE, 0x7F}, 0x00, Cf, 0, 0x80, S | Hf | PV},
        {"ADD A,B carry out", {0x80}, 0x80, 0, 0x80, 0x00, Z | PV | Cf},
        {"SUB 1 from 00", {0xD6, 0x01}, 0x00, 0, 0, 0xFF, S | Hf | N | Cf},
        {"SBC A,B with carry", {0x98}, 0x80, Cf, 0x00, 0x7F, Hf | PV | N},
        {"CP n leaves A", {0xFE, 0x10}, 0x10, 0, 0, 0x10, Z | N},
        {"AND n", {0xE6, 0x0F}, 0xF3, Cf, 0, 0x03, Hf | PV},
        {"XOR A", {0xAF}, 0x5A, S | Cf, 0, 0x00, Z | PV},
        {"OR B", {0xB0}, 0x01, 0, 0x80, 0x81, S | PV},
        {"INC A from FF keeps C", {0x3C}, 0xFF, Cf, 0, 0x00, Z | Hf | Cf},
        {"INC A from 7F", {0x3C}, 0x7F, 0, 0, 0x80, S | Hf | PV},
        {"DEC A from 80", {0x3D}, 0x80, 0, 0, 0x7F, Hf | PV | N},
        {"NEG of 80", {0xED, 0x44}, 0x80, 0, 0, 0x80, S | PV | N | Cf},
        {"NEG of 00", {0xED, 0x44}, 0x00, Cf, 0, 0x00, Z | N},
        {"NEG of 01", {0xED, 0x4C}, 0x01, 0, 0, 0xFF, S | Hf | N | Cf},
        {"CPL", {0x2F}, 0x0F, 0, 0, 0xF0, Hf | N},
        {"SCF", {0x37}, 0x00, Hf | N, 0, 0x00, Cf},
        {"CCF with carry", {0x3F}, 0x00, Cf | N, 0, 0x00, Hf},
        {"CCF without carry", {0x3F}, 0x00, 0, 0, 0x00, Cf},
        {"RLCA", {0x07}, 0x81, S | Z | PV | Hf | N, 0, 0x03, S | Z | PV | Cf},
        {"RRA", {0x1F}, 0x01, 0, 0, 0x00, Cf},
        {"RLD", {0xED, 0x6F}, 0x12, Cf, 0, 0x13, Cf}, // (HL) = 0x34 -> 0x42
        {"IN A,(n) changes no flag", {0xDB, 0x00}, 0x00, Cf | N, 0, 0x00, Cf | N},
    };
    for (const AluCase& c : cases) {
        for (std::uint8_t undoc : {std::uint8_t{0}, std::uint8_t{X3 | Y5}}) {
            Z80TestSystem cpu;
            cpu.A = c.a;
            cpu.F = static_cast<std::uint8_t>(c.f | undoc);
            cpu.B = c.b;
            cpu.H = 0x20;
            cpu.Memory[0x2000] = 0x34;
            Exec(cpu, c.code);
            EXPECT_EQ(cpu.A, c.resultA) << c.name;
            // Bits 3 and 5 keep whatever they held.
            EXPECT_EQ(cpu.F, c.resultF | undoc) << c.name << " undoc " << int(undoc);
        }
    }
}

TEST(Z80Flags, SixteenBitArithmetic) {
    Z80TestSystem cpu;
    // SBC HL,DE: 0 - 0 - 1 = FFFF with S, H, N, C.
    cpu.F = Cf;
    Exec(cpu, {0xED, 0x52});
    EXPECT_EQ(cpu.HL(), 0xFFFF);
    EXPECT_EQ(cpu.F, S | Hf | N | Cf);

    // ADC HL,BC: 7FFF + 0 + 1 overflows into the sign, half carry out of bit 11.
    cpu.H = 0x7F;
    cpu.L = 0xFF;
    cpu.B = cpu.C = 0;
    cpu.F = Cf;
    Exec(cpu, {0xED, 0x4A});
    EXPECT_EQ(cpu.HL(), 0x8000);
    EXPECT_EQ(cpu.F, S | Hf | PV);

    // ADD HL,HL keeps S, Z, P/V and sets H and C from bits 11 and 15.
    cpu.H = 0x88;
    cpu.L = 0x00;
    cpu.F = S | Z | PV | N | X3;
    Exec(cpu, {0x29});
    EXPECT_EQ(cpu.HL(), 0x1000);
    EXPECT_EQ(cpu.F, S | Z | PV | Hf | Cf | X3);

    // ADD IX,SP takes IX as the first operand.
    cpu.IX = 0x0FFF;
    cpu.SP = 0x0001;
    cpu.F = 0;
    Exec(cpu, {0xDD, 0x39});
    EXPECT_EQ(cpu.IX, 0x1000);
    EXPECT_EQ(cpu.F, Hf);
}

TEST(Z80Flags, DaaTableTellingRowsAndInstruction) {
    const std::vector<std::pair<unsigned, std::uint16_t>> rows = {
        {0x000, 0x0044}, {0x001, 0x0100}, {0x00A, 0x1010}, {0x099, 0x998C},
        {0x09A, 0x0055}, {0x0FF, 0x6535}, {0x100, 0x6025}, {0x400, 0x0046},
        {0x40F, 0x090E}, {0x566, 0x0607}, {0x7FF, 0x998F}};
    for (const auto& [index, entry] : rows) EXPECT_EQ(z80::kDaaTable[index], entry) << index;

    // DAA loads F whole, bits 3 and 5 included: A = 9A -> 00, F = 55.
    Z80TestSystem cpu;
    cpu.A = 0x9A;
    cpu.F = 0;
    Exec(cpu, {0x27});
    EXPECT_EQ(cpu.A, 0x00);
    EXPECT_EQ(cpu.F, 0x55);
    // Row 0x7FF through the instruction: A = FF with C, H and N set.
    cpu.A = 0xFF;
    cpu.F = Cf | Hf | N;
    Exec(cpu, {0x27});
    EXPECT_EQ(cpu.A, 0x99);
    EXPECT_EQ(cpu.F, 0x8F);
}

TEST(Z80Flags, Bits3And5TravelOnlyWithF) {
    Z80TestSystem cpu;
    // POP AF with 0x28 at (SP) sets bits 3 and 5; ADD A,B keeps them.
    cpu.SP = 0x8000;
    cpu.Memory[0x8000] = 0x28;
    cpu.Memory[0x8001] = 0x01;
    cpu.B = 0x01;
    Exec(cpu, {0xF1, 0x80}, 2);
    EXPECT_EQ(cpu.A, 0x02);
    EXPECT_EQ(cpu.F, 0x28);
    // EX AF,AF' swaps F whole.
    cpu.F2 = 0xD7;
    Exec(cpu, {0x08});
    EXPECT_EQ(cpu.F, 0xD7);
    EXPECT_EQ(cpu.F2, 0x28);
    // Shifts, BIT, block instructions, LD A,I and SCF/CCF keep them as they were.
    for (std::uint8_t undoc : {std::uint8_t{0}, std::uint8_t{X3 | Y5}}) {
        cpu.F = undoc;
        cpu.A = 0xFF;
        Exec(cpu, {0xCB, 0x27, 0xCB, 0x7F, 0xED, 0xA0, 0xED, 0x57, 0x37, 0x3F, 0xED, 0xB1}, 7);
        EXPECT_EQ(cpu.F & (X3 | Y5), undoc);
    }
}

TEST(Z80Flags, ShiftsAndBitTests) {
    Z80TestSystem cpu;
    // SLL B with B = 0x80 gives 0x01, C = 1, Z = 0, S = 0.
    cpu.B = 0x80;
    cpu.F = 0;
    Exec(cpu, {0xCB, 0x30});
    EXPECT_EQ(cpu.B, 0x01);
    EXPECT_EQ(cpu.F, Cf);
    // SRA keeps bit 7; RR brings the carry in; parity from the result.
    cpu.C = 0x81;
    Exec(cpu, {0xCB, 0x29});
    EXPECT_EQ(cpu.C, 0xC0);
    EXPECT_EQ(cpu.F, S | PV | Cf);
    cpu.D = 0x02;
    Exec(cpu, {0xCB, 0x1A});
    EXPECT_EQ(cpu.D, 0x81);
    EXPECT_EQ(cpu.F, S | PV);

    // BIT 7,A with A = 0x80: S = 1, Z = 0, P/V = 0, H = 1, C kept.
    cpu.A = 0x80;
    cpu.F = Cf | N;
    Exec(cpu, {0xCB, 0x7F});
    EXPECT_EQ(cpu.F, S | Hf | Cf);
    // BIT 0 of a clear bit: Z = P/V = 1, S = 0 even with bit 7 set.
    Exec(cpu, {0xCB, 0x47});
    EXPECT_EQ(cpu.F, Z | PV | Hf | Cf);

    // BIT 3,(HL) writes nothing.
    cpu.H = 0x20;
    cpu.L = 0x00;
    cpu.Memory[0x2000] = 0x08;
    cpu.Log.clear();
    Exec(cpu, {0xCB, 0x5E});
    EXPECT_TRUE(cpu.Writes().empty());
    EXPECT_EQ(cpu.F, Hf | Cf);
}

TEST(Z80Flags, LoadsOfIAndRAndPortInputs) {
    Z80TestSystem cpu;
    // LD A,I: S and Z from the value, P/V = IFF2, C kept.
    cpu.I = 0x80;
    cpu.IFF2 = 1;
    cpu.F = Cf | Hf | N;
    Exec(cpu, {0xED, 0x57});
    EXPECT_EQ(cpu.A, 0x80);
    EXPECT_EQ(cpu.F, S | PV | Cf);

    // LD A,R right after LD R,A with A = 0x10 gives 0x13.
    cpu.A = 0x10;
    cpu.IFF2 = 0;
    Exec(cpu, {0xED, 0x4F, 0xED, 0x5F}, 2);
    EXPECT_EQ(cpu.A, 0x13);
    EXPECT_EQ(cpu.R, 0x16);
    EXPECT_EQ(cpu.F & PV, 0);

    // IN r,(C) uses C alone as the port and sets S, Z, P; IN (C) discards the value.
    cpu.B = 0x12;
    cpu.C = 0x34;
    cpu.PortInput[0x34] = 0x00;
    cpu.F = Cf | Hf | N;
    Exec(cpu, {0xED, 0x58});
    EXPECT_EQ(cpu.E, 0x00);
    EXPECT_EQ(cpu.F, Z | PV | Cf);
    cpu.PortInput[0x34] = 0x80;
    Exec(cpu, {0xED, 0x70});
    EXPECT_EQ(cpu.F, S | Cf);
    EXPECT_EQ(cpu.E, 0x00);
    const auto ins = cpu.Only(Z80TestSystem::Kind::PortIn);
    ASSERT_EQ(ins.size(), 2u);
    EXPECT_EQ(ins[0].address, 0x34);
}

} // namespace
} // namespace velmar::test
