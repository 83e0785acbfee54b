#pragma once

#include <cstdint>

namespace velmar {

// The CPU's time in T-states (a count that wraps), for chips that follow the beam. The CPU
// keeps it: BudgetStart is the sum of every run budget before the current one, so between
// runs it is where a frame loop's line starts; during a port access Now() is the T-state of
// that access (the instruction's start plus where its I/O cycle falls).
struct TStateClock {
    std::uint32_t BudgetStart = 0;
    std::uint32_t BeforeInstruction = 0; // of the current budget, before the running instruction
    std::uint32_t IntoInstruction = 0;   // where the port access falls in that instruction

    std::uint32_t Now() const { return BudgetStart + BeforeInstruction + IntoInstruction; }
};

} // namespace velmar
