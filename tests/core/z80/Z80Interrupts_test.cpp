#include "Z80TestSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>

namespace velmar::test {
namespace {

// Code at 0x1000, stack at 0x8000, interrupts enabled in mode 1, line asserted.
Z80TestSystem MakeCpu(std::initializer_list<std::uint8_t> code) {
    Z80TestSystem cpu;
    cpu.Load(0x1000, code);
    cpu.SP = 0x8000;
    cpu.IM = 1;
    cpu.IFF1 = cpu.IFF2 = 1;
    cpu.IrqLine = 1;
    return cpu;
}

TEST(Z80Interrupts, AcceptanceWaitsOneInstructionAfterEiDiAndIndexPrefixes) {
    // EI; NOP: the NOP runs before the interrupt is taken.
    {
        Z80TestSystem cpu = MakeCpu({0xFB, 0x00, 0x00});
        cpu.IFF1 = cpu.IFF2 = 0;
        cpu.IrqLine = 0;
        cpu.RunCycles(4); // EI
        cpu.IrqLine = 1;
        cpu.RunCycles(1); // not accepted after EI: the NOP runs
        EXPECT_EQ(cpu.PC, 0x1002);
        cpu.RunCycles(14); // accepted now (13 T-states), then the instruction at 0x38 runs
        EXPECT_EQ(cpu.Memory[0x7FFF], 0x10);
        EXPECT_EQ(cpu.Memory[0x7FFE], 0x02);
        EXPECT_EQ(cpu.SP, 0x7FFE);
        EXPECT_EQ(cpu.IFF1, 0);
        EXPECT_EQ(cpu.IFF2, 0);
        EXPECT_EQ(cpu.PC, 0x0039);
    }
    // An index-prefixed instruction (even a lone prefix) delays acceptance too.
    for (std::uint8_t prefix : {std::uint8_t{0xDD}, std::uint8_t{0xFD}}) {
        Z80TestSystem cpu = MakeCpu({prefix, 0x00, 0x00});
        cpu.IrqLine = 0;
        cpu.RunCycles(1); // the prefix alone
        cpu.IrqLine = 1;
        cpu.RunCycles(1);
        EXPECT_EQ(cpu.PC, 0x1002) << int(prefix);
        EXPECT_EQ(cpu.IFF1, 1);
    }
    // ED- and CB-prefixed instructions do not.
    {
        Z80TestSystem cpu = MakeCpu({0xED, 0x00, 0x00});
        cpu.IrqLine = 0;
        cpu.RunCycles(1);
        cpu.IrqLine = 1;
        cpu.RunCycles(14);
        EXPECT_EQ(cpu.PC, 0x0039);
    }
    // IFF1 = 0 keeps the line waiting with nothing changed.
    {
        Z80TestSystem cpu = MakeCpu({0x00});
        cpu.IFF1 = 0;
        cpu.RunCycles(4);
        EXPECT_EQ(cpu.PC, 0x1001);
        EXPECT_EQ(cpu.IFF2, 1);
    }
}

TEST(Z80Interrupts, HaltAndModes) {
    // Mode 1 while halted: push the address after HALT, jump, clear Halted, 13 T-states.
    {
        Z80TestSystem cpu = MakeCpu({0x76, 0x00});
        cpu.IrqLine = 0;
        EXPECT_EQ(cpu.RunCycles(228), 228u);
        EXPECT_EQ(cpu.Halted, 1);
        EXPECT_EQ(cpu.PC, 0x1001);
        cpu.IrqLine = 1;
        cpu.Log.clear();
        // 0x38 holds NOPs (zero memory): 228 - 13 = 215 T-states of NOPs, ending on 216.
        EXPECT_EQ(cpu.RunCycles(228), 216u);
        EXPECT_EQ(cpu.Halted, 0);
        EXPECT_EQ(cpu.Memory[0x7FFF], 0x10);
        EXPECT_EQ(cpu.Memory[0x7FFE], 0x01);
        EXPECT_EQ(cpu.PC, 0x0038 + 54);
        // The push writes the high byte first.
        const auto writes = cpu.Writes();
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[0].address, 0x7FFF);
        EXPECT_EQ(writes[1].address, 0x7FFE);
    }
    // Mode 2 with I = 0x12 still goes to 0x0038 and reads no vector.
    {
        Z80TestSystem cpu = MakeCpu({0x00});
        cpu.IM = 2;
        cpu.I = 0x12;
        cpu.Memory[0x0038] = 0x76;
        cpu.RunCycles(20);
        EXPECT_EQ(cpu.PC, 0x0039);
        EXPECT_EQ(cpu.Halted, 1);
    }
    // Mode 0 only clears IFF1 and IFF2: no push, no jump, Halted kept, no T-states charged.
    {
        Z80TestSystem cpu = MakeCpu({0x76, 0x00});
        cpu.IM = 0;
        cpu.Halted = 1;
        cpu.PC = 0x1001;
        EXPECT_EQ(cpu.RunCycles(76), 76u);
        EXPECT_EQ(cpu.IFF1, 0);
        EXPECT_EQ(cpu.IFF2, 0);
        EXPECT_EQ(cpu.Halted, 1);
        EXPECT_EQ(cpu.PC, 0x1001);
        EXPECT_EQ(cpu.SP, 0x8000);
        EXPECT_TRUE(cpu.Writes().empty());
    }
    // RETN sets both enable flags; RETI leaves them.
    for (std::uint8_t second : {std::uint8_t{0x45}, std::uint8_t{0x4D}}) {
        Z80TestSystem cpu = MakeCpu({0xED, second});
        cpu.IFF1 = cpu.IFF2 = 0;
        cpu.Memory[0x8000] = 0x00;
        cpu.Memory[0x8001] = 0x20;
        cpu.ExecuteInstruction();
        EXPECT_EQ(cpu.PC, 0x2000);
        EXPECT_EQ(cpu.SP, 0x8002);
        EXPECT_EQ(cpu.IFF1, second == 0x45 ? 1 : 0);
        EXPECT_EQ(cpu.IFF2, second == 0x45 ? 1 : 0);
    }
}

TEST(Z80Interrupts, NmiLockHoldsForFiveThousandCalls) {
    Z80TestSystem cpu = MakeCpu({0x00});
    cpu.IrqLine = 0;
    cpu.Halted = 1;
    cpu.RaiseNmi();
    cpu.RaiseNmi(); // held off: pushes once
    EXPECT_EQ(cpu.SP, 0x7FFE);
    EXPECT_EQ(cpu.PC, 0x0066);
    EXPECT_EQ(cpu.Halted, 1); // the NMI does not wake a halted CPU
    EXPECT_EQ(cpu.IFF1, 1);
    for (int i = 0; i < 5000; ++i) cpu.RunCycles(1);
    cpu.RaiseNmi();
    EXPECT_EQ(cpu.SP, 0x7FFE); // still locked after 5000 calls
    cpu.RunCycles(1);
    EXPECT_EQ(cpu.NmiLock, 0);
    cpu.RaiseNmi();
    EXPECT_EQ(cpu.SP, 0x7FFC);
    EXPECT_EQ(cpu.NmiLockCount, 5000);
}

TEST(Z80Interrupts, RunLoopBudgetAndRefreshCounter) {
    // 55 NOPs (220 T-states), then EX (SP),IX (23): 243 executed, no carry-over.
    Z80TestSystem cpu;
    for (int i = 0; i < 55; ++i) cpu.Memory[0x1000 + i] = 0x00;
    cpu.Memory[0x1000 + 55] = 0xDD;
    cpu.Memory[0x1000 + 56] = 0xE3;
    cpu.PC = 0x1000;
    cpu.SP = 0x8000;
    EXPECT_EQ(cpu.RunCycles(228), 243u);
    EXPECT_EQ(cpu.PC, 0x1000 + 57);
    EXPECT_EQ(cpu.RunCycles(228), 228u); // 57 NOPs: a full budget again
    EXPECT_EQ(cpu.PC, 0x1000 + 57 + 57);

    // R advances by 3 per instruction whatever its prefixes: 86 from 0x7F gives 0x81.
    Z80TestSystem r;
    for (int i = 0; i < 86; ++i) r.Memory[0x1000 + 2 * i] = 0xDD; // DD 00 pairs: 2 steps each
    r.PC = 0x1000;
    r.R = 0x7F;
    for (int i = 0; i < 86; ++i) r.ExecuteInstruction();
    EXPECT_EQ(r.R, 0x81);
    EXPECT_EQ(r.PC, 0x1000 + 86);

    // Each instruction reads PC, PC+1 and PC+3 first, in that order, whatever its length.
    Z80TestSystem fetch;
    fetch.Load(0xFFFE, {0x00});
    fetch.ExecuteInstruction();
    ASSERT_GE(fetch.Log.size(), 3u);
    EXPECT_EQ(fetch.Log[0].address, 0xFFFE);
    EXPECT_EQ(fetch.Log[1].address, 0xFFFF);
    EXPECT_EQ(fetch.Log[2].address, 0x0001);
    EXPECT_EQ(fetch.LastOpcode, 0x00);
}

TEST(Z80Interrupts, ResetRegistersKeepsTheInterruptState) {
    Z80TestSystem cpu = MakeCpu({0x00});
    cpu.A = cpu.B = cpu.L2 = cpu.F2 = 0x55;
    cpu.I = 0x12;
    cpu.R = 0x34;
    cpu.IX = 0x1111;
    cpu.Halted = 1;
    cpu.LastOpcode = 0xFB;
    cpu.ResetRegisters();
    EXPECT_EQ(cpu.A, 0);
    EXPECT_EQ(cpu.B, 0);
    EXPECT_EQ(cpu.L2, 0);
    EXPECT_EQ(cpu.F2, 0);
    EXPECT_EQ(cpu.PC, 0);
    EXPECT_EQ(cpu.SP, 0);
    EXPECT_EQ(cpu.Halted, 0);
    EXPECT_EQ(cpu.I, 0x12);
    EXPECT_EQ(cpu.R, 0x34);
    EXPECT_EQ(cpu.IX, 0x1111);
    EXPECT_EQ(cpu.IM, 1);
    EXPECT_EQ(cpu.IFF1, 1);
    EXPECT_EQ(cpu.LastOpcode, 0xFB);
}

} // namespace
} // namespace velmar::test
