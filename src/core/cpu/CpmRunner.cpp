#include "core/cpu/CpmRunner.h"

#include <algorithm>

namespace velmar {
namespace {

constexpr std::uint8_t kOpJp = 0xC3;
constexpr std::uint8_t kOpRet = 0xC9;
constexpr std::uint8_t kOpHalt = 0x76;
constexpr std::uint8_t kBdosReset = 0;
constexpr std::uint8_t kBdosPutChar = 2;
constexpr std::uint8_t kBdosPutString = 9;
constexpr char kStringEnd = '$';

} // namespace

CpmRunner::CpmRunner() : cpu_(std::make_unique<FlatZ80>()) {}

std::string CpmRunner::Load(std::span<const std::uint8_t> program) {
    if (program.empty()) return "the program file is empty";
    if (program.size() > kMaxProgramSize)
        return "the program is " + std::to_string(program.size()) + " bytes, more than the " +
               std::to_string(kMaxProgramSize) + " bytes of the CP/M program area";
    FlatZ80& cpu = *cpu_;
    cpu = FlatZ80{};
    auto& mem = cpu.Memory;
    // A warm start at 0x0000 halts, in case the engine runs past the end on its own.
    mem[0x0000] = kOpHalt;
    mem[kBdosEntry] = kOpJp;
    mem[kBdosEntry + 1] = static_cast<std::uint8_t>(kBdosReturn & 0xFF);
    mem[kBdosEntry + 2] = static_cast<std::uint8_t>(kBdosReturn >> 8);
    mem[kBdosReturn] = kOpRet;
    // The stack starts below the BDOS stub holding a return address of 0x0000, so a program
    // that ends with RET ends as CP/M programs do.
    cpu.SP = kBdosReturn - 2;
    mem[cpu.SP] = 0;
    mem[cpu.SP + 1] = 0;
    std::copy(program.begin(), program.end(), mem.begin() + kLoadAddress);
    cpu.PC = kLoadAddress;
    tstates_ = 0;
    finished_ = false;
    return {};
}

bool CpmRunner::Bdos(Output output, void* context) {
    FlatZ80& cpu = *cpu_;
    switch (cpu.C) {
    case kBdosReset: return false;
    case kBdosPutChar: {
        const char c = static_cast<char>(cpu.E);
        output(context, std::string_view(&c, 1));
        break;
    }
    case kBdosPutString: {
        // Bounded by the size of memory, so an unterminated string cannot loop forever.
        char buffer[256];
        std::size_t used = 0;
        std::uint16_t address = static_cast<std::uint16_t>((cpu.D << 8) | cpu.E);
        for (std::size_t n = 0; n < FlatZ80::kMemorySize; ++n, ++address) {
            const char c = static_cast<char>(cpu.Memory[address]);
            if (c == kStringEnd) break;
            buffer[used++] = c;
            if (used == sizeof buffer) {
                output(context, std::string_view(buffer, used));
                used = 0;
            }
        }
        if (used != 0) output(context, std::string_view(buffer, used));
        break;
    }
    default: break;
    }
    // Return to the caller as the RET at the BDOS stub would.
    const std::uint8_t lo = cpu.Memory[cpu.SP];
    const std::uint8_t hi = cpu.Memory[static_cast<std::uint16_t>(cpu.SP + 1)];
    cpu.SP = static_cast<std::uint16_t>(cpu.SP + 2);
    cpu.PC = static_cast<std::uint16_t>((hi << 8) | lo);
    return true;
}

bool CpmRunner::Run(std::uint64_t maxTStates, Output output, void* context) {
    FlatZ80& cpu = *cpu_;
    const std::uint64_t end = tstates_ + maxTStates;
    while (!finished_ && tstates_ < end) {
        // Run straight on until the next trap address, a HALT or the end of the slice.
        while (cpu.PC > kBdosEntry && cpu.Halted == 0 && tstates_ < end)
            tstates_ += static_cast<std::uint64_t>(cpu.ExecuteInstruction());
        if (cpu.Halted == 1) {
            // Nothing ever interrupts this machine: with interrupts off the program has
            // stopped for good; with them on it waits out the slice.
            if (cpu.IFF1 == 0)
                finished_ = true;
            else
                tstates_ = end;
        } else if (cpu.PC == 0)
            finished_ = true;
        else if (cpu.PC == kBdosEntry)
            finished_ = !Bdos(output, context);
        else if (tstates_ < end)
            tstates_ += static_cast<std::uint64_t>(cpu.ExecuteInstruction());
    }
    return finished_;
}

} // namespace velmar
