#include "core/cpu/Z80CpuCore.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace velmar;

namespace {

struct FakeBus;
using Cpu = Z80CpuCore<FakeBus>;

struct FakeBus {
    struct Write {
        std::uint8_t port, value, memoryControlSeen;
    };
    const Cpu* cpu = nullptr;
    std::vector<Write> writes;
    std::uint8_t portValue = 0x5A;
    std::uint8_t irq = 0;
    std::uint8_t lastReadPort = 0;

    std::uint8_t ReadPort(std::uint8_t port) {
        lastReadPort = port;
        return portValue;
    }
    void WritePort(std::uint8_t port, std::uint8_t value) {
        writes.push_back({port, value, cpu != nullptr ? cpu->MemoryControl : std::uint8_t{0}});
    }
    std::uint8_t IrqPending() { return irq; }
};

// Gives every stored member a distinct non-zero value.
void Scramble(Cpu& cpu) {
    for (std::size_t i = 0; i < cpu.WorkRam.size(); ++i)
        cpu.WorkRam[i] = static_cast<std::uint8_t>(i * 7 + 1);
    cpu.PageRegisters = {3, 4, 5};
    cpu.RamControl = 0x0C;
    cpu.BankCount = 8;
    cpu.Halted = 1;
    cpu.IM = 2;
    cpu.IFF1 = 1;
    cpu.IFF2 = 0; // unequal, so that their order in the state shows
    cpu.MemoryControl = 0xAB;
    std::uint8_t v = 0x10;
    for (std::uint8_t* r : {&cpu.A, &cpu.A2, &cpu.B, &cpu.B2, &cpu.C, &cpu.C2, &cpu.D, &cpu.D2,
                            &cpu.E, &cpu.E2, &cpu.H, &cpu.H2, &cpu.L, &cpu.L2, &cpu.F, &cpu.F2})
        *r = v++;
    cpu.I = 0x21;
    cpu.R = 0x22;
    cpu.SP = 0x2324;
    cpu.PC = 0x2526;
    cpu.IX = 0x2728;
    cpu.IY = 0x292A;
    cpu.LastOpcode = 0xFB;
    cpu.NmiLock = 1;
    cpu.NmiLockCount = 1234;
    cpu.CartridgeRam[5] = 0x99;
    cpu.CartridgeRamUsed = 1;
    cpu.BiosType = 1;
    cpu.RomImage[0] = 0x42;
}

} // namespace

TEST(CpuCore, ResetClearsRegistersAndMemoryMapButKeepsTheRest) {
    auto cpu = std::make_unique<Cpu>();
    FakeBus bus;
    Scramble(*cpu);
    cpu->Reset(bus);

    for (std::uint8_t r : {cpu->A, cpu->A2, cpu->B, cpu->B2, cpu->C, cpu->C2, cpu->D, cpu->D2,
                           cpu->E, cpu->E2, cpu->H, cpu->H2, cpu->L, cpu->L2, cpu->F, cpu->F2})
        EXPECT_EQ(r, 0);
    EXPECT_EQ(cpu->PC, 0);
    EXPECT_EQ(cpu->SP, 0);
    EXPECT_EQ(cpu->Halted, 0);
    EXPECT_EQ(cpu->PageRegisters, (std::array<std::uint8_t, 3>{0, 1, 2}));
    EXPECT_EQ(cpu->MemoryControl, 0);
    EXPECT_EQ(cpu->CartridgeRamUsed, 0);
    for (std::uint8_t b : cpu->WorkRam) ASSERT_EQ(b, 0) << "all 8,193 bytes are cleared";

    EXPECT_EQ(cpu->I, 0x21);
    EXPECT_EQ(cpu->R, 0x22);
    EXPECT_EQ(cpu->IX, 0x2728);
    EXPECT_EQ(cpu->IY, 0x292A);
    EXPECT_EQ(cpu->IFF1, 1);
    EXPECT_EQ(cpu->IFF2, 0);
    EXPECT_EQ(cpu->IM, 2);
    EXPECT_EQ(cpu->LastOpcode, 0xFB);
    EXPECT_EQ(cpu->NmiLock, 1);
    EXPECT_EQ(cpu->NmiLockCount, 1234);
    EXPECT_EQ(cpu->RamControl, 0x0C);
    EXPECT_EQ(cpu->BankCount, 8);
    EXPECT_EQ(cpu->CartridgeRam[5], 0x99);
    EXPECT_EQ(cpu->RomImage[0], 0x42);
    EXPECT_EQ(cpu->BiosType, 1);

    cpu->BankCount = 0;
    cpu->Reset(bus);
    EXPECT_EQ(cpu->BankCount, 1);
}

TEST(CpuCore, PortsGoToTheBusAndOnlyPort3EChangesMemoryControlFirst) {
    auto cpu = std::make_unique<Cpu>();
    // Before the first reset no bus is wired: nothing crashes.
    EXPECT_EQ(cpu->ReadPort(0x7E), 0xFF);
    EXPECT_EQ(cpu->IrqPending(), 0);
    cpu->WritePort(0x3E, 0x08);
    EXPECT_EQ(cpu->MemoryControl, 0x08);

    FakeBus bus;
    bus.cpu = cpu.get();
    cpu->Reset(bus);
    EXPECT_EQ(cpu->MemoryControl, 0);

    EXPECT_EQ(cpu->ReadPort(0xDC), 0x5A);
    EXPECT_EQ(bus.lastReadPort, 0xDC);
    bus.irq = 1;
    EXPECT_EQ(cpu->IrqPending(), 1);

    cpu->WritePort(0x3E, 0x48);
    cpu->WritePort(0x3C, 0x10); // other ports and mirrors of 0x3E are the bus's alone
    cpu->WritePort(0x7E, 0x00);
    cpu->WritePort(0xBE, 0x00);
    cpu->WritePort(0x3F, 0x00);
    ASSERT_EQ(bus.writes.size(), 5u);
    EXPECT_EQ(bus.writes[0].port, 0x3E);
    EXPECT_EQ(bus.writes[0].value, 0x48);
    EXPECT_EQ(bus.writes[0].memoryControlSeen, 0x48) << "stored before the bus sees the write";
    EXPECT_EQ(cpu->MemoryControl, 0x48);
}

TEST(CpuCore, StateBlockIs8229BytesInFieldOrderAndRoundTrips) {
    auto cpu = std::make_unique<Cpu>();
    Scramble(*cpu);
    StateWriter w;
    w.U8(0xEE); // stale bytes are dropped: the block starts at position 0
    cpu->SaveState(w);
    const std::vector<std::uint8_t> block = w.Data();
    ASSERT_EQ(block.size(), Cpu::kStateSize);
    ASSERT_EQ(block.size(), 8229u);

    EXPECT_EQ(block[0], cpu->WorkRam[0]);
    EXPECT_EQ(block[8192], cpu->WorkRam[8192]) << "the spare byte travels too";
    EXPECT_EQ(block[8193], 3);
    EXPECT_EQ(block[8195], 5);
    EXPECT_EQ(block[8196], 0x0C);
    EXPECT_EQ(block[8197], 8);
    EXPECT_EQ(block[8198], 1); // Halted
    EXPECT_EQ(block[8199], 2); // IM
    EXPECT_EQ(block[8200], 1); // IFF1
    EXPECT_EQ(block[8201], 0); // IFF2
    EXPECT_EQ(block[8202], 0xAB);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(block[8203 + i], 0x10 + i) << "register " << i;
    EXPECT_EQ(block[8219], 0x21);
    EXPECT_EQ(block[8220], 0x22);
    EXPECT_EQ(block[8221], 0x24); // SP, low byte first
    EXPECT_EQ(block[8222], 0x23);
    EXPECT_EQ(block[8223], 0x26);
    EXPECT_EQ(block[8225], 0x28);
    EXPECT_EQ(block[8228], 0x29);

    // Saving again without running gives the same bytes.
    cpu->SaveState(w);
    EXPECT_EQ(w.Data(), block);

    // Into a fresh core: the stored fields come back, the rest stays as it was.
    auto other = std::make_unique<Cpu>();
    other->CartridgeRam[5] = 0x11;
    other->NmiLockCount = 7;
    other->LastOpcode = 0x01;
    StateReader r(block);
    other->LoadState(r);
    EXPECT_FALSE(r.Failed());
    StateWriter again;
    other->SaveState(again);
    EXPECT_EQ(again.Data(), block);
    EXPECT_EQ(other->PC, 0x2526);
    EXPECT_EQ(other->F2, 0x1F);
    EXPECT_EQ(other->CartridgeRam[5], 0x11);
    EXPECT_EQ(other->NmiLockCount, 7);
    EXPECT_EQ(other->LastOpcode, 0x01);
    EXPECT_EQ(other->CartridgeRamUsed, 0);
    EXPECT_EQ(other->BiosType, 0);

    // The reader is rewound first, so a reader used before still loads from 0.
    other->PC = 0;
    other->LoadState(r);
    EXPECT_EQ(other->PC, 0x2526);
}

TEST(CpuCore, ShortOrDamagedStateBlocksLoadSafely) {
    auto cpu = std::make_unique<Cpu>();
    FakeBus bus;
    cpu->Reset(bus);
    cpu->PC = 0x1234;

    std::vector<std::uint8_t> shortBlock(100, 0x77);
    StateReader s(shortBlock);
    cpu->LoadState(s);
    EXPECT_TRUE(s.Failed());
    EXPECT_EQ(cpu->PC, 0x1234) << "fields past the end stay as they were";

    StateReader empty(std::span<const std::uint8_t>{});
    cpu->LoadState(empty);
    EXPECT_EQ(cpu->PC, 0x1234);

    // Bank count 0 and pages far beyond any image: mended or wrapped, never out of range.
    std::vector<std::uint8_t> damaged(8229, 0xFF);
    damaged[8197] = 0;
    StateReader d(damaged);
    cpu->LoadState(d);
    EXPECT_EQ(cpu->BankCount, 1);
    EXPECT_EQ(cpu->PageRegisters[2], 0xFF);
    cpu->RomImage[(0xFFu * 16384 + 5) & 0xFFFFF] = 0x3C;
    EXPECT_EQ(cpu->MemoryControl, 0xFF);
    cpu->CartridgeRam[16384 + 5] = 0x4D;
    EXPECT_EQ(cpu->ReadMemory(0x8005), 0x4D) << "RamControl 0xFF maps cartridge RAM bank 1";
    cpu->RamControl = 0;
    EXPECT_EQ(cpu->ReadMemory(0x8005), 0x3C);
    cpu->MemoryControl = 0;
    for (std::uint32_t a = 0; a < 0x10000; a += 0x3FF) (void)cpu->ReadMemory(std::uint16_t(a));
    cpu->WriteMemory(0xFFFF, 0x80);
    EXPECT_EQ(cpu->PageRegisters[2], 0);
}
