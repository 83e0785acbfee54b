#include "Z80TestSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

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

TEST(Z80Interrupts, AcceptanceWaitsAfterEiAndBetweenAPrefixAndItsOpcode) {
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
    for (std::uint8_t prefix : {std::uint8_t{0xDD}, std::uint8_t{0xFD}}) {
        // A prefix without an indexed instruction is a step of its own; the opcode after it
        // runs before the interrupt is taken.
        {
            Z80TestSystem cpu = MakeCpu({prefix, 0x00, 0x00});
            cpu.IrqLine = 0;
            cpu.RunCycles(1); // the prefix alone (4 T-states, 3 of them owed)
            cpu.IrqLine = 1;
            cpu.RunCycles(4);
            EXPECT_EQ(cpu.PC, 0x1002) << int(prefix);
            EXPECT_EQ(cpu.IFF1, 1);
        }
        // A complete index-prefixed instruction is followed by the interrupt at once.
        {
            Z80TestSystem cpu = MakeCpu({prefix, 0x24, 0x00}); // INC IXH / INC IYH
            cpu.IrqLine = 0;
            cpu.RunCycles(1); // 8 T-states, 7 owed
            cpu.IrqLine = 1;
            cpu.RunCycles(8); // acceptance, then the NOP at 0x38
            EXPECT_EQ(cpu.PC, 0x0039) << int(prefix);
            EXPECT_EQ(cpu.Memory[0x7FFE], 0x02);
        }
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
    // Mode 1, and mode 0 (the bus reads 0xFF, RST 38h), while halted: push the address
    // after HALT, jump, clear Halted, 13 T-states.
    for (std::uint8_t mode : {std::uint8_t{1}, std::uint8_t{0}}) {
        Z80TestSystem cpu = MakeCpu({0x76, 0x00});
        cpu.IM = mode;
        cpu.IrqLine = 0;
        EXPECT_EQ(cpu.RunCycles(228), 228u);
        EXPECT_EQ(cpu.Halted, 1);
        EXPECT_EQ(cpu.PC, 0x1001);
        cpu.IrqLine = 1;
        cpu.Log.clear();
        // 0x38 holds NOPs (zero memory): 13 T-states of acceptance, then 54 NOPs end on
        // 229; the one T-state over is owed to the next call.
        EXPECT_EQ(cpu.RunCycles(228), 229u);
        EXPECT_EQ(cpu.OwedTStates, 1u);
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
    // Mode 2 with I = 0x12, halted: the handler's address is read from 0x12FF (low byte)
    // and 0x1300 (high byte), after the push; 19 T-states.
    {
        Z80TestSystem cpu = MakeCpu({0x76, 0x00});
        cpu.IM = 2;
        cpu.I = 0x12;
        cpu.Memory[0x12FF] = 0x00;
        cpu.Memory[0x1300] = 0x20;
        cpu.IrqLine = 0;
        cpu.RunCycles(76);
        cpu.IrqLine = 1;
        cpu.Log.clear();
        EXPECT_EQ(cpu.RunCycles(19), 23u); // and the NOP at 0x2000
        EXPECT_EQ(cpu.OwedTStates, 4u);
        EXPECT_EQ(cpu.PC, 0x2001);
        EXPECT_EQ(cpu.Halted, 0);
        EXPECT_EQ(cpu.IFF1, 0);
        EXPECT_EQ(cpu.Memory[0x7FFF], 0x10);
        EXPECT_EQ(cpu.Memory[0x7FFE], 0x01);
        std::vector<std::uint16_t> order;
        for (const auto& a : cpu.Log) order.push_back(a.address);
        const std::vector<std::uint16_t> expected = {0x7FFF, 0x7FFE, 0x12FF, 0x1300};
        ASSERT_GE(order.size(), 4u);
        EXPECT_EQ(std::vector<std::uint16_t>(order.begin(), order.begin() + 4), expected);
    }
    // RETN (and its mirrors) restores IFF1 from IFF2; RETI leaves both.
    for (std::uint8_t second :
         {std::uint8_t{0x45}, std::uint8_t{0x55}, std::uint8_t{0x7D}, std::uint8_t{0x4D}}) {
        for (std::uint8_t iff2 : {std::uint8_t{0}, std::uint8_t{1}}) {
            Z80TestSystem cpu = MakeCpu({0xED, second});
            cpu.IFF1 = 0;
            cpu.IFF2 = iff2;
            cpu.Memory[0x8000] = 0x00;
            cpu.Memory[0x8001] = 0x20;
            cpu.ExecuteInstruction();
            EXPECT_EQ(cpu.PC, 0x2000);
            EXPECT_EQ(cpu.SP, 0x8002);
            EXPECT_EQ(cpu.IFF1, second == 0x4D ? 0 : iff2) << int(second);
            EXPECT_EQ(cpu.IFF2, iff2);
        }
    }
    // IM 0, IM 1 and IM 2, and their mirrors, select the mode they name.
    const std::pair<std::uint8_t, std::uint8_t> modes[] = {{0x46, 0}, {0x56, 1}, {0x5E, 2},
                                                           {0x66, 0}, {0x76, 1}, {0x7E, 2}};
    for (const auto& [second, mode] : modes) {
        Z80TestSystem cpu = MakeCpu({0xED, second});
        cpu.IM = 3; // neither
        EXPECT_EQ(cpu.ExecuteInstruction(), 8);
        EXPECT_EQ(cpu.IM, mode) << int(second);
    }
}

TEST(Z80Interrupts, NmiClearsIff1KeepsIff2LeavesHaltAndCostsElevenTStates) {
    // Halted with interrupts on: the NMI pushes the address after HALT, wakes the CPU and
    // masks interrupts until RETN.
    Z80TestSystem cpu = MakeCpu({0x76, 0x00});
    cpu.IrqLine = 0;
    cpu.RunCycles(76);
    ASSERT_EQ(cpu.Halted, 1);
    cpu.Memory[0x0066] = 0xED; // RETN
    cpu.Memory[0x0067] = 0x45;
    cpu.RaiseNmi();
    EXPECT_EQ(cpu.PC, 0x0066);
    EXPECT_EQ(cpu.Halted, 0);
    EXPECT_EQ(cpu.Memory[0x7FFF], 0x10);
    EXPECT_EQ(cpu.Memory[0x7FFE], 0x01);
    EXPECT_EQ(cpu.IFF1, 0);
    EXPECT_EQ(cpu.IFF2, 1);
    EXPECT_EQ(cpu.OwedTStates, 11u);
    // A second NMI (a nested one, a pause handler waiting for the next press) pushes again
    // and leaves IFF2 as it is.
    cpu.RaiseNmi();
    EXPECT_EQ(cpu.SP, 0x7FFC);
    EXPECT_EQ(cpu.IFF1, 0);
    EXPECT_EQ(cpu.IFF2, 1);
    EXPECT_EQ(cpu.OwedTStates, 22u);
    // The NMI's 11 T-states come out of the next budget: RETN (14) fits in 22 + 14 = 36.
    cpu.IrqLine = 1; // masked while IFF1 is 0
    EXPECT_EQ(cpu.RunCycles(36), 14u);
    EXPECT_EQ(cpu.PC, 0x0066);
    EXPECT_EQ(cpu.IFF1, 1) << "the inner RETN copies IFF2 back";
    cpu.IrqLine = 0;
    EXPECT_EQ(cpu.RunCycles(14), 14u); // the outer RETN back to after HALT
    EXPECT_EQ(cpu.PC, 0x1001);
    EXPECT_EQ(cpu.IFF1, 1);
}

TEST(Z80Interrupts, OverrunIsOwedSoCallsAverageTheirBudget) {
    // LD IX,nn (14 T-states) throughout: a 76 budget runs six (84) once, then five or six
    // as the debt allows; any number of calls totals their budgets within one instruction,
    // for slices of 76 and whole lines of 228 alike.
    constexpr std::uint64_t kLength = 14;
    for (const std::uint32_t budget : {76u, 228u, 1u}) {
        Z80TestSystem cpu;
        for (std::size_t a = 0; a < cpu.Memory.size(); a += 4) {
            cpu.Memory[a] = 0xDD;
            cpu.Memory[a + 1] = 0x21;
        }
        constexpr std::uint64_t kFrameTStates = 59736;
        constexpr std::uint64_t kFrames = 50;
        const std::uint64_t calls = kFrameTStates * kFrames / budget;
        std::uint64_t instructions = 0;
        std::uint64_t returned = 0;
        std::uint16_t pc = cpu.PC;
        for (std::uint64_t i = 0; i < calls; ++i) {
            returned += cpu.RunCycles(budget);
            instructions += static_cast<std::uint16_t>(cpu.PC - pc) / 4;
            pc = cpu.PC;
            cpu.Log.clear();
        }
        const std::uint64_t ran = instructions * kLength;
        EXPECT_GE(ran, kFrameTStates * kFrames) << budget;
        EXPECT_LT(ran, kFrameTStates * kFrames + kLength) << budget;
        EXPECT_EQ(returned, ran) << budget;
        EXPECT_EQ(ran - cpu.OwedTStates, kFrameTStates * kFrames) << budget;
    }
    // An accepted interrupt's 13 T-states count like an instruction's: acceptance and the
    // first instruction of the handler (a NOP) overrun a budget of 5 by 12.
    Z80TestSystem irq = MakeCpu({0x00});
    EXPECT_EQ(irq.RunCycles(5), 17u);
    EXPECT_EQ(irq.OwedTStates, 12u);
    EXPECT_EQ(irq.RunCycles(12), 0u); // paid off, nothing runs
    EXPECT_EQ(irq.PC, 0x0039);
}

TEST(Z80Interrupts, RunLoopBudgetAndRefreshCounter) {
    // 55 NOPs (220 T-states), then EX (SP),IX (23): 243 executed, 15 owed.
    Z80TestSystem cpu;
    for (int i = 0; i < 55; ++i) cpu.Memory[0x1000 + i] = 0x00;
    cpu.Memory[0x1000 + 55] = 0xDD;
    cpu.Memory[0x1000 + 56] = 0xE3;
    cpu.PC = 0x1000;
    cpu.SP = 0x8000;
    EXPECT_EQ(cpu.RunCycles(228), 243u);
    EXPECT_EQ(cpu.PC, 0x1000 + 57);
    EXPECT_EQ(cpu.RunCycles(228), 216u); // 54 NOPs: 15 + 216 = 231, 3 owed
    EXPECT_EQ(cpu.PC, 0x1000 + 57 + 54);
    EXPECT_EQ(cpu.OwedTStates, 3u);

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
