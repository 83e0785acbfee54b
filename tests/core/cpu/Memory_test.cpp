#include "TestSupport.h"
#include "core/cpu/ConsoleMemory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velmar;
using velmar::testing::ReadBytes;
using velmar::testing::WriteBytes;

namespace {

constexpr std::size_t kBank = ConsoleMemory::kBankSize;

// A ROM whose every byte tells its bank (high nibble of the offset mixed in so that the
// fixed first kilobyte can be told from the rest of bank 0).
std::vector<std::uint8_t> MakeRom(std::size_t banks) {
    std::vector<std::uint8_t> rom(banks * kBank);
    for (std::size_t i = 0; i < rom.size(); ++i)
        rom[i] = static_cast<std::uint8_t>((i / kBank) * 16 + (i % kBank) / 1024);
    return rom;
}

std::uint8_t RomByte(std::size_t bank, std::size_t offset) {
    return static_cast<std::uint8_t>(bank * 16 + offset / 1024);
}

struct Fixture : ::testing::Test {
    std::unique_ptr<ConsoleMemory> mem = std::make_unique<ConsoleMemory>();
    velmar::testing::TempFolder folder;
    fs::path dir = folder.Path();

    void LoadBanks(std::size_t banks) {
        WriteBytes(dir / "game.sms", MakeRom(banks));
        ASSERT_TRUE(mem->LoadRom(dir / "game.sms"));
        mem->ResetMemory();
        mem->MemoryControl = ConsoleMemory::kMemoryControlCartridge;
    }
};

using MemoryMap = Fixture;
using RomLoading = Fixture;
using BatteryRam = Fixture;

} // namespace

TEST_F(MemoryMap, FirstKilobyteIsFixedAndSlotsFollowTheirPageRegisters) {
    LoadBanks(8);
    mem->WriteMemory(0xFFFD, 3);
    mem->WriteMemory(0xFFFE, 6);
    EXPECT_EQ(mem->ReadMemory(0x0000), RomByte(0, 0));
    EXPECT_EQ(mem->ReadMemory(0x03FF), RomByte(0, 0x3FF));
    EXPECT_EQ(mem->ReadMemory(0x0400), RomByte(3, 0x400));
    EXPECT_EQ(mem->ReadMemory(0x3FFF), RomByte(3, 0x3FFF));
    EXPECT_EQ(mem->ReadMemory(0x4000), RomByte(6, 0));
    EXPECT_EQ(mem->ReadMemory(0x8000), RomByte(2, 0)) << "slot 2 keeps its reset page";

    // ROM is read-only in both mapping modes.
    mem->WriteMemory(0x0500, 0xAA);
    mem->WriteMemory(0x4000, 0xAA);
    EXPECT_EQ(mem->ReadMemory(0x4000), RomByte(6, 0));
    mem->MemoryControl = 0;
    mem->WriteMemory(0x4000, 0xAA);
    mem->MemoryControl = ConsoleMemory::kMemoryControlCartridge;
    EXPECT_EQ(mem->RomImage[6 * kBank], RomByte(6, 0));
}

TEST_F(MemoryMap, PageWritesReduceModuloBankCountWhileTheRamByteKeepsTheRawValue) {
    LoadBanks(8);
    mem->WriteMemory(0xFFFF, 0x05);
    EXPECT_EQ(mem->PageRegisters[2], 5);
    EXPECT_EQ(mem->ReadMemory(0x8000), RomByte(5, 0));
    mem->WriteMemory(0xFFFF, 0x0D);
    EXPECT_EQ(mem->PageRegisters[2], 5);
    EXPECT_EQ(mem->ReadMemory(0xFFFF), 0x0D) << "the registers are write-only; RAM answers";
    EXPECT_EQ(mem->ReadMemory(0xDFFF), 0x0D) << "0xFFFF and 0xDFFF are one RAM byte";

    // The mirror at 0xDFFC-0xDFFF is plain RAM.
    mem->WriteMemory(0xDFFF, 0x01);
    mem->WriteMemory(0xDFFC, 0x08);
    EXPECT_EQ(mem->PageRegisters[2], 5);
    EXPECT_EQ(mem->RamControl, 0);
    EXPECT_EQ(mem->ReadMemory(0xFFFF), 0x01);

    // Work RAM mirrors at 0xE000 and the spare byte is out of reach.
    mem->WriteMemory(0xC123, 0x42);
    EXPECT_EQ(mem->ReadMemory(0xE123), 0x42);
    mem->WriteMemory(0xE200, 0x43);
    EXPECT_EQ(mem->ReadMemory(0xC200), 0x43);
    EXPECT_EQ(mem->WorkRam[8192], 0);

    // One bank: every page write yields 0. A hand-set count of 0 acts as 1.
    LoadBanks(1);
    mem->WriteMemory(0xFFFD, 0xFF);
    mem->WriteMemory(0xFFFE, 0x07);
    EXPECT_EQ(mem->PageRegisters[0], 0);
    EXPECT_EQ(mem->PageRegisters[1], 0);
    mem->BankCount = 0;
    mem->WriteMemory(0xFFFF, 0x33);
    EXPECT_EQ(mem->PageRegisters[2], 0);
}

TEST_F(MemoryMap, BankCountsThatAreNoPowerOfTwoReduceByRemainder) {
    // 48 KB and 384 KB images: the page is the written value modulo the bank count, never
    // the value masked with count - 1.
    for (const std::size_t banks : {std::size_t{3}, std::size_t{24}}) {
        LoadBanks(banks);
        for (std::size_t b = 0; b < banks; ++b)
            mem->RomImage[b * kBank + 0x523] = static_cast<std::uint8_t>(b);
        for (const unsigned value : {2u, 3u, 5u, 7u, 23u, 24u, 29u, 0x7Fu, 0xFFu}) {
            for (std::uint16_t slot = 0; slot < 3; ++slot) {
                mem->WriteMemory(static_cast<std::uint16_t>(0xFFFD + slot),
                                 static_cast<std::uint8_t>(value));
                const auto page = static_cast<std::uint8_t>(value % banks);
                EXPECT_EQ(mem->PageRegisters[slot], page) << banks << " banks, " << value;
                EXPECT_EQ(mem->ReadMemory(static_cast<std::uint16_t>(slot * kBank + 0x523)), page)
                    << banks << " banks, " << value << ", slot " << slot;
            }
        }
    }
}

TEST_F(MemoryMap, PagesBeyondTheImageWrapWithinOneMegabyte) {
    LoadBanks(4);
    mem->PageRegisters[1] = 65; // as a damaged state could leave it
    mem->PageRegisters[2] = 255;
    mem->RomImage[1 * kBank + 7] = 0x5A;
    mem->RomImage[63 * kBank + 9] = 0xA5;
    EXPECT_EQ(mem->ReadMemory(0x4007), 0x5A);
    EXPECT_EQ(mem->ReadMemory(0x8009), 0xA5);
    EXPECT_EQ(mem->PageRegisters[1], 65) << "the stored value stays as given";
}

TEST_F(MemoryMap, CartridgeRamBanksReplaceSlotTwoAndMarkTheRamUsed) {
    LoadBanks(8);
    mem->WriteMemory(0x8000, 0x11); // RAM off: dropped
    EXPECT_EQ(mem->CartridgeRamUsed, 0);
    EXPECT_EQ(mem->CartridgeRam[0], 0);

    mem->WriteMemory(0xFFFC, 0x08);
    EXPECT_EQ(mem->RamControl, 0x08);
    EXPECT_EQ(mem->ReadMemory(0xFFFC), 0x08);
    EXPECT_EQ(mem->ReadMemory(0x8000), 0x00);
    EXPECT_EQ(mem->CartridgeRamUsed, 1) << "a read alone marks the RAM used";
    mem->CartridgeRamUsed = 0;
    mem->WriteMemory(0xBFFF, 0x22);
    EXPECT_EQ(mem->CartridgeRamUsed, 1);
    EXPECT_EQ(mem->CartridgeRam[0x3FFF], 0x22);

    mem->WriteMemory(0xFFFC, 0x0C);
    mem->WriteMemory(0x8001, 0x33);
    EXPECT_EQ(mem->CartridgeRam[kBank + 1], 0x33);
    EXPECT_EQ(mem->ReadMemory(0x8001), 0x33);
    EXPECT_EQ(mem->ReadMemory(0xBFFF), 0x00) << "bank 1 does not show bank 0's byte";
    EXPECT_EQ(mem->ReadMemory(0x4000), RomByte(1, 0)) << "slot 1 is still ROM";

    // Other RamControl bits do nothing; bit 3 off brings the ROM page back.
    mem->WriteMemory(0xFFFC, 0xF7);
    EXPECT_EQ(mem->ReadMemory(0x8000), RomByte(2, 0));
}

TEST_F(MemoryMap, FirmwareIsMappedUntilPortBitThreeAndStillLetsCartridgeRamBeWritten) {
    LoadBanks(8);
    mem->ResetMemory(); // firmware mapped, pages 0, 1, 2
    mem->SetBiosType(1);
    const std::size_t exp = kBiosImageSize;
    EXPECT_EQ(mem->ReadMemory(0x0000), kBiosStore[exp]);
    EXPECT_EQ(mem->ReadMemory(0x0000), 0xF3) << "both images begin with DI";
    EXPECT_EQ(mem->ReadMemory(0x0123), kBiosStore[exp + 0x123]);
    EXPECT_EQ(mem->ReadMemory(0x1FFF), kBiosStore[exp + 0x1FFF]);
    // Offsets past the store wrap within it: 8192 + 8192 lands on the Japanese image.
    EXPECT_EQ(mem->ReadMemory(0x2000), kBiosStore[0]);
    // The page registers apply to the firmware too; page 1 wraps back onto the image.
    EXPECT_EQ(mem->ReadMemory(0x4010), kBiosStore[exp + 0x10]);

    mem->SetBiosType(0);
    EXPECT_EQ(mem->ReadMemory(0x0010), kBiosStore[0x10]);
    EXPECT_EQ(mem->ReadMemory(0x0000), 0xF3);
    mem->SetBiosType(2); // any non-zero value is the American / Brazilian image
    EXPECT_EQ(mem->ReadMemory(0x0010), kBiosStore[exp + 0x10]);

    // No fixed kilobyte and no cartridge RAM on reads; writes still reach cartridge RAM.
    mem->WriteMemory(0xFFFC, 0x08);
    mem->WriteMemory(0x8000, 0x77);
    EXPECT_EQ(mem->CartridgeRam[0], 0x77);
    EXPECT_EQ(mem->CartridgeRamUsed, 1);
    mem->CartridgeRamUsed = 0;
    EXPECT_EQ(mem->ReadMemory(0x8000), kBiosStore[(exp + 2 * kBank) & 0x3FFF]);
    EXPECT_EQ(mem->CartridgeRamUsed, 0);

    // Work RAM is there in both modes.
    mem->WriteMemory(0xC000, 0x99);
    EXPECT_EQ(mem->ReadMemory(0xC000), 0x99);

    mem->MemoryControl = 0x08;
    EXPECT_EQ(mem->ReadMemory(0x0010), RomByte(0, 0x10));
    EXPECT_EQ(mem->ReadMemory(0x8000), 0x77);
    mem->MemoryControl = 0xF7; // only bit 3 matters
    EXPECT_EQ(mem->ReadMemory(0x0010), kBiosStore[exp + 0x10]);
}

TEST_F(RomLoading, HeaderIsSkippedOnlyWhenTheSizeIsNotAMultipleOf1024) {
    std::vector<std::uint8_t> withHeader(512, 0xEE);
    std::vector<std::uint8_t> body = MakeRom(16);
    withHeader.insert(withHeader.end(), body.begin(), body.end());
    ASSERT_EQ(withHeader.size(), 262656u);
    WriteBytes(dir / "h.sms", withHeader);
    mem->CartridgeRamUsed = 1;
    ASSERT_TRUE(mem->LoadRom(dir / "h.sms"));
    EXPECT_EQ(mem->BankCount, 16);
    EXPECT_EQ(mem->RomImage[0], body[0]);
    EXPECT_EQ(mem->RomImage[262143], body[262143]);
    EXPECT_EQ(mem->CartridgeRamUsed, 0);

    std::vector<std::uint8_t> whole(262144, 0xEE);
    WriteBytes(dir / "w.sms", whole);
    ASSERT_TRUE(mem->LoadRom(dir / "w.sms"));
    EXPECT_EQ(mem->BankCount, 16);
    EXPECT_EQ(mem->RomImage[0], 0xEE);

    // A smaller image overwrites only its own length; an 8 KB ROM has one bank.
    mem->RomImage[8192] = 0x5C;
    WriteBytes(dir / "s.sms", std::vector<std::uint8_t>(8192, 0x01));
    ASSERT_TRUE(mem->LoadRom(dir / "s.sms"));
    EXPECT_EQ(mem->BankCount, 1);
    EXPECT_EQ(mem->RomImage[8191], 0x01);
    EXPECT_EQ(mem->RomImage[8192], 0x5C);

    // A full 1 MB behind a header is the largest accepted file.
    std::vector<std::uint8_t> full(ConsoleMemory::kRomImageSize + 512, 0x02);
    full[512] = 0x03;
    full.back() = 0x04;
    WriteBytes(dir / "full.sms", full);
    ASSERT_TRUE(mem->LoadRom(dir / "full.sms"));
    EXPECT_EQ(mem->BankCount, 64);
    EXPECT_EQ(mem->RomImage[0], 0x03);
    EXPECT_EQ(mem->RomImage[ConsoleMemory::kRomImageSize - 1], 0x04);
}

TEST_F(RomLoading, RefusedFilesNameThemselvesAndChangeNothing) {
    LoadBanks(2);
    mem->CartridgeRamUsed = 1;
    auto before = std::make_unique<ConsoleMemory>(*mem);

    WriteBytes(dir / "empty.sms", {});
    WriteBytes(dir / "big.sms", std::vector<std::uint8_t>(ConsoleMemory::kRomImageSize + 1024, 1));
    WriteBytes(dir / "big2.sms", std::vector<std::uint8_t>(ConsoleMemory::kRomImageSize + 513, 1));
    WriteBytes(dir / "tiny.sms", std::vector<std::uint8_t>(300, 1));
    WriteBytes(dir / "big.sg", std::vector<std::uint8_t>(64 * 1024, 1)); // an SG-1000 holds 48 KB
    fs::create_directories(dir / "folder.sms");
    for (const char* name :
         {"missing.sms", "empty.sms", "big.sms", "big2.sms", "tiny.sms", "big.sg", "folder.sms"}) {
        FileResult r = mem->LoadRom(dir / name);
        EXPECT_FALSE(r) << name;
        EXPECT_NE(r.error.find(name), std::string::npos) << r.error;
    }
    EXPECT_EQ(mem->RomImage, before->RomImage);
    EXPECT_EQ(mem->BankCount, before->BankCount);
    EXPECT_EQ(mem->CartridgeRamUsed, 1);
}

TEST_F(BatteryRam, SavedOnlyWhenUsedAtomicallyAndLoadedUpToItsLength) {
    const fs::path file = dir / "game.RAM";
    mem->CartridgeRam[0] = 0xAB;
    EXPECT_TRUE(mem->SaveBatteryRam(file));
    EXPECT_FALSE(fs::exists(file)) << "untouched RAM is not written";

    mem->CartridgeRamUsed = 1;
    mem->CartridgeRam[32767] = 0xCD;
    ASSERT_TRUE(mem->SaveBatteryRam(file));
    std::vector<std::uint8_t> saved = ReadBytes(file);
    ASSERT_EQ(saved.size(), 32768u);
    EXPECT_EQ(saved[0], 0xAB);
    EXPECT_EQ(saved[32767], 0xCD);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file left behind";
    EXPECT_FALSE(mem->SaveBatteryRam(dir / "no" / "such" / "x.RAM")) << "reported, not thrown";
    EXPECT_FALSE(mem->SaveBatteryRam(""));

    // A short file fills its length only; the used flag is not touched by loading.
    mem->CartridgeRam.fill(0x55);
    mem->CartridgeRamUsed = 0;
    WriteBytes(dir / "short.RAM", {1, 2, 3});
    ASSERT_TRUE(mem->LoadBatteryRam(dir / "short.RAM"));
    EXPECT_EQ(mem->CartridgeRam[2], 3);
    EXPECT_EQ(mem->CartridgeRam[3], 0x55);
    EXPECT_EQ(mem->CartridgeRamUsed, 0);

    // A longer file gives its first 32 KB; a missing one changes nothing.
    std::vector<std::uint8_t> longer(40000, 0x66);
    longer[32768] = 0x77;
    WriteBytes(dir / "long.RAM", longer);
    ASSERT_TRUE(mem->LoadBatteryRam(dir / "long.RAM"));
    EXPECT_EQ(mem->CartridgeRam[32767], 0x66);
    EXPECT_FALSE(mem->LoadBatteryRam(dir / "missing.RAM"));
    EXPECT_FALSE(mem->LoadBatteryRam(""));
    EXPECT_EQ(mem->CartridgeRam[0], 0x66);
}

TEST_F(MemoryMap, OtherMappersKeepTheirRegistersApartFromTheSegaOnes) {
    // Codemasters: banks 0, 1, 0 after a reset, registers only at the first byte of a slot,
    // the RAM switch kept in RamControl's bit 7; 0xFFFC-0xFFFF are plain RAM.
    LoadBanks(8);
    mem->SetMapperChoice(MapperChoice::Codemasters);
    mem->ResetMemory();
    mem->MemoryControl = ConsoleMemory::kMemoryControlCartridge;
    EXPECT_EQ(mem->ReadMemory(0x8400), RomByte(0, 0x400));
    mem->WriteMemory(0x8001, 5);
    mem->WriteMemory(0xFFFF, 5);
    mem->WriteMemory(0xFFFC, 0x08);
    EXPECT_EQ(mem->ReadMemory(0x8400), RomByte(0, 0x400));
    EXPECT_EQ(mem->ReadMemory(0xDFFF), 5);
    mem->WriteMemory(0x4000, 0x8D); // bank 13 of 8 is 5, RAM on
    EXPECT_EQ(mem->PageRegisters[1], 5);
    EXPECT_EQ(mem->RamControl, CodemastersMapper::kRamEnable);
    mem->WriteMemory(0xBFFF, 0x66);
    EXPECT_EQ(mem->CartridgeRam[0x1FFF], 0x66);
    EXPECT_EQ(mem->CartridgeRamUsed, 1);
    mem->ResetMemory();
    EXPECT_EQ(mem->RamControl, 0) << "a reset switches the RAM off";
    mem->MemoryControl = ConsoleMemory::kMemoryControlCartridge;

    // Korean: only 0xA000 selects slot 2's bank; slots 0 and 1 hold banks 0 and 1 whatever a
    // state left in their registers.
    mem->SetMapperChoice(MapperChoice::Korean);
    mem->PageRegisters = {6, 7, 2};
    mem->WriteMemory(0xA001, 4);
    mem->WriteMemory(0xFFFF, 4);
    mem->WriteMemory(0xA000, 12);
    EXPECT_EQ(mem->ReadMemory(0x0400), RomByte(0, 0x400));
    EXPECT_EQ(mem->ReadMemory(0x4000), RomByte(1, 0));
    EXPECT_EQ(mem->ReadMemory(0x8000), RomByte(4, 0));

    // None: banks 0, 1, 2 whatever is written anywhere.
    mem->SetMapperChoice(MapperChoice::None);
    for (const std::uint16_t at : {0x0000, 0x4000, 0x8000, 0xA000, 0xFFFC, 0xFFFF})
        mem->WriteMemory(at, 7);
    for (std::uint16_t slot = 0; slot < 3; ++slot)
        EXPECT_EQ(mem->ReadMemory(static_cast<std::uint16_t>(slot * kBank + 0x500)),
                  RomByte(slot, 0x500));
    EXPECT_EQ(mem->GetMapper(), MapperKind::None);
    mem->SetMapperChoice(MapperChoice::Auto);
    EXPECT_EQ(mem->GetMapper(), MapperKind::Sega);
}

TEST_F(MemoryMap, Sg1000CartridgesHaveOneKilobyteOfRamAndNoFirmware) {
    WriteBytes(dir / "game.SG", MakeRom(2));
    std::vector<std::uint8_t> big = MakeRom(3);
    big.resize(40 * 1024);
    WriteBytes(dir / "big.sg", big);
    ASSERT_TRUE(mem->LoadRom(dir / "game.SG"));
    mem->ResetMemory();
    EXPECT_EQ(mem->GetMapper(), MapperKind::None);
    EXPECT_EQ(mem->ReadMemory(0x0010), RomByte(0, 0x10)) << "no firmware, whatever port 0x3E says";
    mem->WriteMemory(0xC005, 0x12);
    EXPECT_EQ(mem->ReadMemory(0xC405), 0x12);
    EXPECT_EQ(mem->ReadMemory(0xFC05), 0x12);
    mem->WriteMemory(0xFFFF, 0x34);
    EXPECT_EQ(mem->ReadMemory(0xC3FF), 0x34);
    // 32 KB or less: 8 KB of RAM in slot 2, not battery-backed; larger: ROM there.
    mem->WriteMemory(0x9001, 0x56);
    EXPECT_EQ(mem->ReadMemory(0xB001), 0x56);
    EXPECT_EQ(mem->CartridgeRamUsed, 0);
    ASSERT_TRUE(mem->LoadRom(dir / "big.sg"));
    EXPECT_EQ(mem->ReadMemory(0x8001), RomByte(2, 1));
    mem->WriteMemory(0x8001, 0x56);
    EXPECT_EQ(mem->ReadMemory(0x8001), RomByte(2, 1));

    // The Master System again: 8 KB of RAM and the firmware after a reset.
    LoadBanks(2);
    mem->WriteMemory(0xC005, 0x78);
    EXPECT_EQ(mem->ReadMemory(0xC405), 0);
    mem->ResetMemory();
    EXPECT_EQ(mem->ReadMemory(0x0000), 0xF3) << "the firmware's DI";
}

TEST(Cartridges, AutoReadsTheImage) {
    const auto image =
        [](std::size_t banks,
           std::initializer_list<std::pair<std::size_t, std::vector<std::uint8_t>>> bytes) {
            std::vector<std::uint8_t> rom(banks * kBank, 0xFF);
            for (const auto& [at, b] : bytes)
                std::copy(b.begin(), b.end(), rom.begin() + static_cast<std::ptrdiff_t>(at));
            return rom;
        };
    const std::vector<std::uint8_t> codemasters = {4,    9,    12, 0x26, 10, 30, 0x34, 0x12,
                                                   0xCC, 0xED, 0,  0,    0,  0,  0,    0};
    std::vector<std::uint8_t> badSum = codemasters;
    badSum[8] = 0xCD;
    std::vector<std::uint8_t> noZeros = codemasters;
    noZeros[15] = 1;
    const std::vector<std::uint8_t> korean = {0x32, 0x00, 0xA0};
    const std::vector<std::uint8_t> sega = {0x32, 0xFF, 0xFF};
    const std::vector<std::uint8_t> ramControl = {0x32, 0xFC, 0xFF};
    struct Case {
        std::vector<std::uint8_t> rom;
        CartridgeSystem system;
        MapperKind kind;
    };
    const Case cases[] = {
        {image(2, {{0x7FE0, codemasters}}), CartridgeSystem::MasterSystem, MapperKind::Codemasters},
        {image(2, {{0x7FE0, badSum}}), CartridgeSystem::MasterSystem, MapperKind::Sega},
        {image(2, {{0x7FE0, noZeros}}), CartridgeSystem::MasterSystem, MapperKind::Sega},
        {image(1, {}), CartridgeSystem::MasterSystem, MapperKind::Sega},
        {image(4, {{0x100, korean}, {0x9000, korean}}), CartridgeSystem::MasterSystem,
         MapperKind::Korean},
        {image(4, {{0x100, korean}, {0x9000, sega}}), CartridgeSystem::MasterSystem,
         MapperKind::Sega},
        {image(4, {{0x100, korean}, {0xFFFD, ramControl}}), CartridgeSystem::MasterSystem,
         MapperKind::Sega},
        {image(3, {{0x100, korean}}), CartridgeSystem::MasterSystem, MapperKind::Sega},
        {image(2, {{0x7FE0, codemasters}}), CartridgeSystem::Sg1000, MapperKind::None},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(DetectMapper(cases[i].rom, cases[i].system), cases[i].kind) << "case " << i;

    for (const char* name : {"auto", "sega", "codemasters", "korean", "none"})
        EXPECT_STREQ(MapperChoiceName(*ParseMapperChoice(name)), name);
    EXPECT_FALSE(ParseMapperChoice("Sega"));
    EXPECT_FALSE(ParseMapperChoice(""));
}
