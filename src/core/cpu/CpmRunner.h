#pragma once

#include "core/cpu/FlatZ80.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace velmar {

// Runs a CP/M-80 .COM program on the flat Z80: the program is loaded at 0x0100, the
// operating system entry at 0x0005 jumps to a RET at 0xF000, and every arrival of PC at
// 0x0005 is served here (function 2 prints the character in E, function 9 the
// '$'-terminated string at DE, function 0 ends the program) before returning as the RET
// would. The program ends when it jumps to 0x0000 or halts with interrupts disabled.
class CpmRunner {
  public:
    static constexpr std::uint16_t kLoadAddress = 0x0100;
    static constexpr std::uint16_t kBdosEntry = 0x0005;
    static constexpr std::uint16_t kBdosReturn = 0xF000;
    // The program area runs from the load address up to the BDOS stub.
    static constexpr std::size_t kMaxProgramSize = kBdosReturn - kLoadAddress;

    // Receives console output as it is produced.
    using Output = void (*)(void* context, std::string_view text);

    CpmRunner();

    // Resets the machine and loads the program. Returns an error text, empty on success.
    std::string Load(std::span<const std::uint8_t> program);

    // Runs until the program ends or at least maxTStates more T-states have passed.
    // Returns true when the program has ended.
    bool Run(std::uint64_t maxTStates, Output output, void* context);

    bool Finished() const { return finished_; }
    std::uint64_t TStates() const { return tstates_; }
    FlatZ80& Cpu() { return *cpu_; }

  private:
    // Serves one BDOS call; returns false when the call ends the program.
    bool Bdos(Output output, void* context);

    std::unique_ptr<FlatZ80> cpu_;
    std::uint64_t tstates_ = 0;
    bool finished_ = false;
};

} // namespace velmar
