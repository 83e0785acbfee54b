// Programs run by the engine through the console memory map and the port hand-over.
#include "core/cpu/Z80CpuCore.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>

using namespace velmar;

namespace {

struct QuietBus {
    std::uint8_t lastPort = 0, lastValue = 0;
    std::uint8_t ReadPort(std::uint8_t) { return 0xFF; }
    void WritePort(std::uint8_t port, std::uint8_t value) {
        lastPort = port;
        lastValue = value;
    }
    std::uint8_t IrqPending() { return 0; }
};

using Cpu = Z80CpuCore<QuietBus>;

void Put(Cpu& cpu, std::uint16_t at, std::initializer_list<std::uint8_t> code) {
    for (std::uint8_t b : code) cpu.RomImage[at++] = b;
}

// Four banks whose first byte after the fixed kilobyte names the bank (0xB0 + n).
std::unique_ptr<Cpu> MakeConsole(QuietBus& bus) {
    auto cpu = std::make_unique<Cpu>();
    cpu->BankCount = 4;
    for (std::uint32_t bank = 0; bank < 4; ++bank)
        cpu->RomImage[bank * 16384 + 0x0400] = static_cast<std::uint8_t>(0xB0 + bank);
    cpu->Reset(bus);
    return cpu;
}

// One run, as the console drives the CPU: mapping changes must show within it.
void RunToHalt(Cpu& cpu) {
    cpu.RunCycles(10000);
    ASSERT_EQ(cpu.Halted, 1) << "program did not reach HALT";
}

} // namespace

TEST(CpuCoreProgram, ProgramPagesBanksAndStoreOfHlFillsPagesOneThenTwo) {
    QuietBus bus;
    auto cpu = MakeConsole(bus);
    cpu->MemoryControl = Cpu::kMemoryControlCartridge;
    Put(*cpu, 0x0000,
        {
            0x3E, 0x07,       // ld a,7        (reduced to bank 3 of 4)
            0x32, 0xFF, 0xFF, // ld (0xffff),a
            0x3A, 0x00, 0x84, // ld a,(0x8400)
            0x32, 0x00, 0xC0, // ld (0xc000),a
            0x21, 0x01, 0x02, // ld hl,0x0201
            0x22, 0xFE, 0xFF, // ld (0xfffe),hl  L to page 1, then H to page 2
            0x3A, 0x00, 0x44, // ld a,(0x4400)
            0x32, 0x01, 0xC0, // ld (0xc001),a
            0x3A, 0x00, 0x84, // ld a,(0x8400)
            0x32, 0x02, 0xC0, // ld (0xc002),a
            0x3E, 0x08,       // ld a,8
            0x32, 0xFC, 0xFF, // ld (0xfffc),a  cartridge RAM in slot 2
            0x3E, 0x5A,       // ld a,0x5a
            0x32, 0x00, 0x84, // ld (0x8400),a
            0x3A, 0x00, 0x84, // ld a,(0x8400)
            0x32, 0x03, 0xC0, // ld (0xc003),a
            0xAF,             // xor a
            0x32, 0xFC, 0xFF, // ld (0xfffc),a  ROM back
            0x3A, 0x00, 0x84, // ld a,(0x8400)
            0x32, 0x04, 0xC0, // ld (0xc004),a
            0x76,             // halt
        });
    RunToHalt(*cpu);
    EXPECT_EQ(cpu->WorkRam[0], 0xB3);
    EXPECT_EQ(cpu->PageRegisters[1], 1);
    EXPECT_EQ(cpu->PageRegisters[2], 2);
    EXPECT_EQ(cpu->WorkRam[1], 0xB1);
    EXPECT_EQ(cpu->WorkRam[2], 0xB2);
    EXPECT_EQ(cpu->WorkRam[3], 0x5A);
    EXPECT_EQ(cpu->WorkRam[4], 0xB2);
    EXPECT_EQ(cpu->CartridgeRam[0x400], 0x5A);
    EXPECT_EQ(cpu->CartridgeRamUsed, 1);
    EXPECT_EQ(cpu->WorkRam[0x1FFE], 0x01);
    EXPECT_EQ(cpu->WorkRam[0x1FFF], 0x02);
}

TEST(CpuCoreProgram, OutToPort3EFromWorkRamMapsTheCartridge) {
    QuietBus bus;
    auto cpu = MakeConsole(bus);
    cpu->RomImage[0x0010] = 0xC4;
    // The firmware is mapped after reset; the hand-over code runs from work RAM.
    const std::uint8_t stub[] = {
        0x3E, 0xAB,       // ld a,0xab
        0xD3, 0x3E,       // out (0x3e),a   bit 3 set: cartridge
        0x3A, 0x10, 0x00, // ld a,(0x0010)
        0x32, 0x00, 0xC1, // ld (0xc100),a
        0x76,             // halt
    };
    for (std::size_t i = 0; i < sizeof stub; ++i)
        cpu->WriteMemory(std::uint16_t(0xC000 + i), stub[i]);
    cpu->PC = 0xC000;
    RunToHalt(*cpu);
    EXPECT_EQ(cpu->MemoryControl, 0xAB);
    EXPECT_EQ(bus.lastPort, 0x3E);
    EXPECT_EQ(bus.lastValue, 0xAB);
    EXPECT_EQ(cpu->WorkRam[0x100], 0xC4);
}

// Instructions whose bytes straddle a 1 KB page boundary where the next page comes from
// elsewhere: the fixed kilobyte into bank 3, bank 3 into bank 1, bank 2 into work RAM.
TEST(CpuCoreProgram, InstructionsAcrossPageBoundariesReadEachByteFromItsOwnPage) {
    QuietBus bus;
    auto cpu = MakeConsole(bus);
    cpu->MemoryControl = Cpu::kMemoryControlCartridge;
    cpu->PageRegisters[0] = 3; // set directly: the run picks it up
    constexpr std::uint16_t kBank1 = 16384, kBank2 = 2 * 16384, kBank3 = 3 * 16384;
    Put(*cpu, 0x0000, {0xC3, 0xFF, 0x03}); // jp 0x03ff
    Put(*cpu, 0x03FF, {0x3E});             // ld a,0xb3 (the operand is bank 3's)
    Put(*cpu, kBank3 + 0x0401,
        {
            0x32, 0x00, 0xC1, // ld (0xc100),a
            0xC3, 0xFE, 0x3F, // jp 0x3ffe
        });
    Put(*cpu, kBank3 + 0x3FFE, {0xDD, 0xCB});          // set 0,(ix+0): d and op in bank 1
    Put(*cpu, kBank1, {0x00, 0xC6, 0xC3, 0xFF, 0xBF}); // ... jp 0xbfff
    Put(*cpu, kBank2 + 0x3FFF, {0x3E});                // ld a,n with n at 0xc000
    cpu->IX = 0xC101;
    const std::uint8_t ram[] = {0x5C, 0x32, 0x02, 0xC1, 0x76}; // n; ld (0xc102),a; halt
    for (std::size_t i = 0; i < sizeof ram; ++i) cpu->WorkRam[i] = ram[i];
    RunToHalt(*cpu);
    EXPECT_EQ(cpu->WorkRam[0x100], 0xB3);
    EXPECT_EQ(cpu->WorkRam[0x101], 0x01);
    EXPECT_EQ(cpu->WorkRam[0x102], 0x5C);
}
