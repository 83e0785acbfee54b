#include "core/cpu/CpmRunner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmar {
namespace {

void Append(void* sink, std::string_view text) {
    static_cast<std::string*>(sink)->append(text);
}

TEST(Z80Cpm, ServesBdosCallsAndEndsOnReturnToZero) {
    // LD C,2; LD E,'>'; CALL 5; LD C,9; LD DE,msg; CALL 5; RET; msg: "ok$"
    const std::vector<std::uint8_t> program = {0x0E, 0x02, 0x1E, '>',  0xCD, 0x05, 0x00,
                                               0x0E, 0x09, 0x11, 0x11, 0x01, 0xCD, 0x05,
                                               0x00, 0xC9, 0x00, 'o',  'k',  '$'};
    CpmRunner runner;
    ASSERT_EQ(runner.Load(program), "");
    std::string out;
    EXPECT_TRUE(runner.Run(1'000'000, Append, &out));
    EXPECT_EQ(out, ">ok");
    EXPECT_TRUE(runner.Finished());
    EXPECT_GT(runner.TStates(), 0u);
    EXPECT_LT(runner.TStates(), 200u);
    // The program's top of memory word points at the BDOS stub.
    EXPECT_EQ(runner.Cpu().Memory[6] | (runner.Cpu().Memory[7] << 8), 0xF000);

    // A program that never ends stops at the T-state limit and can go on later.
    ASSERT_EQ(runner.Load(std::vector<std::uint8_t>{0x18, 0xFE}), "");
    EXPECT_FALSE(runner.Run(1000, Append, &out));
    EXPECT_GE(runner.TStates(), 1000u);
    EXPECT_FALSE(runner.Run(1000, Append, &out));
    EXPECT_GE(runner.TStates(), 2000u);

    EXPECT_NE(runner.Load({}), "");
    EXPECT_NE(runner.Load(std::vector<std::uint8_t>(CpmRunner::kMaxProgramSize + 1)), "");
    EXPECT_EQ(runner.Load(std::vector<std::uint8_t>(CpmRunner::kMaxProgramSize)), "");
}

} // namespace
} // namespace velmar
