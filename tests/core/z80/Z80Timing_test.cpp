#include "Z80TestSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmar::test {
namespace {

struct TimingCase {
    const char* name;
    std::vector<std::uint8_t> code;
    int tstates;
    int length; // PC advance; -1 when the instruction jumps
    // Flags before the instruction (for conditional forms) and B (for DJNZ).
    std::uint8_t f = 0;
    std::uint8_t b = 0;
};

// Runs one instruction at 0x1000 with SP at 0x8000 and returns T-states and PC advance.
void CheckTiming(const TimingCase& c) {
    Z80TestSystem cpu;
    std::uint16_t a = 0x1000;
    for (std::uint8_t v : c.code) cpu.Memory[a++] = v;
    cpu.PC = 0x1000;
    cpu.SP = 0x8000;
    cpu.F = c.f;
    cpu.B = c.b;
    cpu.H = 0x40;
    cpu.IX = 0x4000;
    cpu.IY = 0x5000;
    // A return address on the stack for RET, RETN, RETI and POP.
    cpu.Memory[0x8000] = 0x34;
    cpu.Memory[0x8001] = 0x12;
    const int t = cpu.ExecuteInstruction();
    EXPECT_EQ(t, c.tstates) << c.name;
    if (c.length >= 0) {
        EXPECT_EQ(cpu.PC, 0x1000 + c.length) << c.name;
    }
}

constexpr std::uint8_t kZ = 0x40;
constexpr std::uint8_t kC = 0x01;

// The Z80's documented T-states (Zilog's manual; the undocumented index-half forms as
// measured on the chip).
TEST(Z80Timing, UnprefixedTable) {
    const std::vector<TimingCase> cases = {
        {"NOP", {0x00}, 4, 1},
        {"LD BC,nn", {0x01, 0x34, 0x12}, 10, 3},
        {"INC BC", {0x03}, 6, 1},
        {"LD B,n", {0x06, 0x12}, 7, 2},
        {"ADD HL,BC", {0x09}, 11, 1},
        {"LD (nn),HL", {0x22, 0x00, 0x90}, 16, 3},
        {"LD HL,(nn)", {0x2A, 0x00, 0x90}, 16, 3},
        {"LD (nn),A", {0x32, 0x00, 0x90}, 13, 3},
        {"INC (HL)", {0x34}, 11, 1},
        {"LD (HL),n", {0x36, 0x55}, 10, 2},
        {"LD B,(HL)", {0x46}, 7, 1},
        {"LD (HL),B", {0x70}, 7, 1},
        {"ADD A,(HL)", {0x86}, 7, 1},
        {"CP n", {0xFE, 0x01}, 7, 2},
        {"HALT", {0x76}, 4, 1},
        {"DJNZ looping", {0x10, 0x10}, 13, -1, 0, 2},
        {"DJNZ falling through", {0x10, 0x10}, 8, 2, 0, 1},
        {"JR e", {0x18, 0x10}, 12, 0x12},
        {"JR NZ taken", {0x20, 0x10}, 12, 0x12, 0},
        {"JR NZ not taken", {0x20, 0x10}, 7, 2, kZ},
        {"JP Z taken", {0xCA, 0x00, 0x20}, 10, -1, kZ},
        {"JP Z not taken", {0xCA, 0x00, 0x20}, 10, 3, 0},
        {"CALL C taken", {0xDC, 0x00, 0x20}, 17, -1, kC},
        {"CALL C not taken", {0xDC, 0x00, 0x20}, 10, 3, 0},
        {"RET NC taken", {0xD0}, 11, -1, 0},
        {"RET NC not taken", {0xD0}, 5, 1, kC},
        {"RET", {0xC9}, 10, -1},
        {"CALL nn", {0xCD, 0x00, 0x20}, 17, -1},
        {"RST 38", {0xFF}, 11, -1},
        {"PUSH BC", {0xC5}, 11, 1},
        {"POP BC", {0xC1}, 10, 1},
        {"EX (SP),HL", {0xE3}, 19, 1},
        {"JP (HL)", {0xE9}, 4, -1},
        {"LD SP,HL", {0xF9}, 6, 1},
        {"OUT (n),A", {0xD3, 0x10}, 11, 2},
        {"IN A,(n)", {0xDB, 0x10}, 11, 2},
        {"EXX", {0xD9}, 4, 1},
        {"EI", {0xFB}, 4, 1},
    };
    for (const TimingCase& c : cases) CheckTiming(c);
}

TEST(Z80Timing, CbAndEdTables) {
    const std::vector<TimingCase> cases = {
        {"RLC B", {0xCB, 0x00}, 8, 2},
        {"SLL (HL)", {0xCB, 0x36}, 15, 2},
        {"BIT 3,(HL)", {0xCB, 0x5E}, 12, 2},
        {"BIT 3,A", {0xCB, 0x5F}, 8, 2},
        {"RES 0,(HL)", {0xCB, 0x86}, 15, 2},
        {"SET 7,(HL)", {0xCB, 0xFE}, 15, 2},
        {"IN B,(C)", {0xED, 0x40}, 12, 2},
        {"IN (C)", {0xED, 0x70}, 12, 2},
        {"OUT (C),0", {0xED, 0x71}, 12, 2},
        {"SBC HL,BC", {0xED, 0x42}, 15, 2},
        {"ADC HL,SP", {0xED, 0x7A}, 15, 2},
        {"LD (nn),BC", {0xED, 0x43, 0x00, 0x90}, 20, 4},
        {"LD DE,(nn)", {0xED, 0x5B, 0x00, 0x90}, 20, 4},
        {"LD HL,(nn) (ED 6B)", {0xED, 0x6B, 0x00, 0x90}, 20, 4},
        {"LD (nn),HL (ED 63)", {0xED, 0x63, 0x00, 0x90}, 20, 4},
        {"NEG (ED 7C)", {0xED, 0x7C}, 8, 2},
        {"RETN", {0xED, 0x45}, 14, -1},
        {"RETI", {0xED, 0x4D}, 14, -1},
        {"IM 1", {0xED, 0x56}, 8, 2},
        {"LD I,A", {0xED, 0x47}, 9, 2},
        {"LD A,R", {0xED, 0x5F}, 9, 2},
        {"RRD", {0xED, 0x67}, 18, 2},
        {"LDI", {0xED, 0xA0}, 16, 2},
        {"CPD", {0xED, 0xA9}, 16, 2},
        {"INI", {0xED, 0xA2}, 16, 2},
        {"OUTD", {0xED, 0xAB}, 16, 2},
        {"ED 77 no-op", {0xED, 0x77}, 8, 2},
        {"ED 00 no-op", {0xED, 0x00}, 8, 2},
        {"ED FF no-op", {0xED, 0xFF}, 8, 2},
        {"ED 80 no-op", {0xED, 0x80}, 8, 2},
        {"ED A4 no-op", {0xED, 0xA4}, 8, 2},
    };
    for (const TimingCase& c : cases) CheckTiming(c);
}

TEST(Z80Timing, IndexedTable) {
    const std::vector<TimingCase> cases = {
        {"ADD IX,BC", {0xDD, 0x09}, 15, 2},
        {"ADD IY,IY", {0xFD, 0x29}, 15, 2},
        {"LD IX,nn", {0xDD, 0x21, 0x34, 0x12}, 14, 4},
        {"LD (nn),IX", {0xDD, 0x22, 0x00, 0x90}, 20, 4},
        {"LD IY,(nn)", {0xFD, 0x2A, 0x00, 0x90}, 20, 4},
        {"INC IX", {0xDD, 0x23}, 10, 2},
        {"INC IXH", {0xDD, 0x24}, 8, 2},
        {"DEC IXH", {0xDD, 0x25}, 8, 2},
        {"INC IYL", {0xFD, 0x2C}, 8, 2},
        {"DEC IYL", {0xFD, 0x2D}, 8, 2},
        {"LD IXH,n", {0xDD, 0x26, 0x12}, 11, 3},
        {"LD IYL,n", {0xFD, 0x2E, 0x12}, 11, 3},
        {"INC (IX+d)", {0xDD, 0x34, 0x01}, 23, 3},
        {"LD (IX+d),n", {0xDD, 0x36, 0x01, 0x55}, 19, 4},
        {"LD B,(IX+d)", {0xDD, 0x46, 0x01}, 19, 3},
        {"LD (IY+d),A", {0xFD, 0x77, 0x01}, 19, 3},
        {"LD B,IXH", {0xDD, 0x44}, 8, 2},
        {"LD E,IYL", {0xFD, 0x5D}, 8, 2},
        {"LD A,IXL", {0xDD, 0x7D}, 8, 2},
        {"LD IXH,C", {0xDD, 0x61}, 8, 2},
        {"LD IYH,IYL", {0xFD, 0x65}, 8, 2},
        {"LD IXL,IXH", {0xDD, 0x6C}, 8, 2},
        {"LD IXL,A", {0xDD, 0x6F}, 8, 2},
        {"ADD A,IYL", {0xFD, 0x85}, 8, 2},
        {"ADC A,IXH", {0xDD, 0x8C}, 8, 2},
        {"SUB IYH", {0xFD, 0x94}, 8, 2},
        {"SBC A,IXL", {0xDD, 0x9D}, 8, 2},
        {"AND IXH", {0xDD, 0xA4}, 8, 2},
        {"XOR IYL", {0xFD, 0xAD}, 8, 2},
        {"OR IXL", {0xDD, 0xB5}, 8, 2},
        {"CP IYH", {0xFD, 0xBC}, 8, 2},
        {"ADD A,(IX+d)", {0xDD, 0x86, 0x01}, 19, 3},
        {"ADD A,(IY+d)", {0xFD, 0x86, 0x01}, 19, 3},
        {"SBC A,(IY+d)", {0xFD, 0x9E, 0x01}, 19, 3},
        {"CP (IX+d)", {0xDD, 0xBE, 0x01}, 19, 3},
        {"BIT 0,(IX+d)", {0xDD, 0xCB, 0x01, 0x46}, 20, 4},
        {"BIT 0,(IX+d) with register field 7", {0xDD, 0xCB, 0x01, 0x47}, 20, 4},
        {"RLC (IY+d)", {0xFD, 0xCB, 0x01, 0x06}, 23, 4},
        {"SET 1,(IX+d),B", {0xDD, 0xCB, 0x01, 0xC8}, 23, 4},
        {"POP IX", {0xDD, 0xE1}, 14, 2},
        {"EX (SP),IX", {0xDD, 0xE3}, 23, 2},
        {"PUSH IY", {0xFD, 0xE5}, 15, 2},
        {"JP (IX)", {0xDD, 0xE9}, 8, -1},
        {"LD SP,IX", {0xDD, 0xF9}, 10, 2},
        {"DD 00 prefix alone", {0xDD, 0x00}, 4, 1},
        {"DD 40 prefix alone", {0xDD, 0x40}, 4, 1},
        {"FD 76 prefix alone", {0xFD, 0x76}, 4, 1},
        {"DD ED prefix alone", {0xDD, 0xED}, 4, 1},
        {"DD DD prefix alone", {0xDD, 0xDD}, 4, 1},
        {"FD C3 prefix alone", {0xFD, 0xC3}, 4, 1},
    };
    for (const TimingCase& c : cases) CheckTiming(c);
}

TEST(Z80Timing, BlockInstructionRepetitions) {
    Z80TestSystem cpu;
    // LDIR with BC = 3: 21, 21, 16; R advances by 3 per repetition.
    cpu.Load(0x1000, {0xED, 0xB0});
    cpu.H = 0x20;
    cpu.D = 0x30;
    cpu.C = 3;
    cpu.R = 0;
    cpu.F = 0xFF;
    for (int expected : {21, 21}) {
        EXPECT_EQ(cpu.ExecuteInstruction(), expected);
        EXPECT_EQ(cpu.PC, 0x1000);
        EXPECT_EQ(cpu.F, 0xFF); // repetitions change no flag
    }
    EXPECT_EQ(cpu.ExecuteInstruction(), 16);
    EXPECT_EQ(cpu.PC, 0x1002);
    EXPECT_EQ(cpu.BC(), 0);
    EXPECT_EQ(cpu.HL(), 0x2003);
    EXPECT_EQ(cpu.DE(), 0x3003);
    EXPECT_EQ(cpu.F, 0xFF & ~(0x10 | 0x02 | 0x04)); // H, N, P/V cleared; S Z C, 3, 5 kept
    EXPECT_EQ(cpu.R, 9);

    // CPIR stopping on a match with BC not 0: 16 T-states, Z = 1, P/V = 1.
    Z80TestSystem cp;
    cp.Load(0x1000, {0xED, 0xB1});
    cp.H = 0x20;
    cp.Memory[0x2000] = 0x11;
    cp.Memory[0x2001] = 0x42;
    cp.C = 5;
    cp.A = 0x42;
    EXPECT_EQ(cp.ExecuteInstruction(), 21);
    EXPECT_EQ(cp.ExecuteInstruction(), 16);
    EXPECT_EQ(cp.PC, 0x1002);
    EXPECT_EQ(cp.BC(), 3);
    EXPECT_EQ(cp.HL(), 0x2002);
    EXPECT_EQ(cp.F & 0x46, 0x46); // Z, P/V, N
    // CPDR running out without a match also ends in 16, with P/V = 0.
    cp.Load(0x1000, {0xED, 0xB9});
    cp.B = 0;
    cp.C = 1;
    cp.A = 0x99;
    EXPECT_EQ(cp.ExecuteInstruction(), 16);
    EXPECT_EQ(cp.F & 0x44, 0x00);

    // OTIR with B = 2 writes two bytes to port C and ends with B = 0, Z = 1, S = 0, N = 1.
    Z80TestSystem out;
    out.Load(0x1000, {0xED, 0xB3});
    out.B = 2;
    out.C = 0x7F;
    out.H = 0x20;
    out.Memory[0x2000] = 0xAA;
    out.Memory[0x2001] = 0xBB;
    out.F = 0x80;
    EXPECT_EQ(out.ExecuteInstruction(), 21);
    EXPECT_EQ(out.F, 0x80);
    EXPECT_EQ(out.ExecuteInstruction(), 16);
    EXPECT_EQ(out.B, 0);
    EXPECT_EQ(out.F & 0xC2, 0x42);
    const std::vector<Z80TestSystem::Access> expected = {
        {Z80TestSystem::Kind::PortOut, 0x7F, 0xAA}, {Z80TestSystem::Kind::PortOut, 0x7F, 0xBB}};
    EXPECT_EQ(out.Only(Z80TestSystem::Kind::PortOut), expected);

    // INIR stores port input from port C alone (B is not part of the port number).
    Z80TestSystem in;
    in.Load(0x1000, {0xED, 0xB2});
    in.B = 1;
    in.C = 0x10;
    in.H = 0x20;
    in.PortInput[0x10] = 0x5A;
    EXPECT_EQ(in.ExecuteInstruction(), 16);
    EXPECT_EQ(in.Memory[0x2000], 0x5A);
    EXPECT_EQ(in.HL(), 0x2001);
}

} // namespace
} // namespace velmar::test
