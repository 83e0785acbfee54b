// Boots cartridges through both firmware images and checks the hand-over, the timing of
// each image and the screen shown without a cartridge.

#include "firmware/BiosStore.h"
#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

namespace velmar::scenes {
namespace {

// Work RAM offsets (address - 0xC000) written by the probe cartridge, away from the
// firmware's own variables.
constexpr std::size_t kBootFlagCopy = 0x1000;   // what 0xC000 held when the game started
constexpr std::size_t kStarted = 0x1001;        // 0x42 once the game runs
constexpr std::size_t kStackLow = 0x1002;       // SP at the game's first instruction
constexpr std::size_t kFlagsAfterLdAI = 0x1004; // F after LD A,I: bit 2 = interrupts enabled
constexpr std::uint8_t kStartedMagic = 0x42;
constexpr std::uint8_t kParityOverflow = 0x04;

// A game without a "TMR SEGA" header that records how it was started, then spins.
std::vector<std::uint8_t> ProbeCartridge() {
    // clang-format off
    constexpr std::array<std::uint8_t, 26> kCode{
        0xF3,                   // di
        0x3A, 0x00, 0xC0,       // ld a,(0xC000)
        0x32, 0x00, 0xD0,       // ld (0xD000),a
        0xED, 0x73, 0x02, 0xD0, // ld (0xD002),sp
        0xED, 0x57,             // ld a,i
        0xF5,                   // push af
        0xC1,                   // pop bc
        0x79,                   // ld a,c
        0x32, 0x04, 0xD0,       // ld (0xD004),a
        0x3E, kStartedMagic,    // ld a,0x42
        0x32, 0x01, 0xD0,       // ld (0xD001),a
        0x18, 0xFE,             // jr $
    };
    // clang-format on
    std::vector<std::uint8_t> image(8192, 0x00);
    std::copy(kCode.begin(), kCode.end(), image.begin());
    return image;
}

// Runs frames until the probe has started; returns the frame count, or -1.
int FramesUntilStarted(TSMS& machine, int limit) {
    for (int f = 1; f <= limit; ++f) {
        machine.RunFrame();
        if (Ram(machine, kStarted) == kStartedMagic) return f;
    }
    return -1;
}

TEST(Firmware, BothImagesStartWithTheBootSequenceAndFitTheirHalf) {
    for (std::size_t base : {std::size_t{0}, kBiosImageSize}) {
        // DI, IM 1, LD SP,nn
        EXPECT_EQ(kBiosStore[base + 0], 0xF3);
        EXPECT_EQ(kBiosStore[base + 1], 0xED);
        EXPECT_EQ(kBiosStore[base + 2], 0x56);
        EXPECT_EQ(kBiosStore[base + 3], 0x31);
        // The images are padded with 0xFF: the last bytes of each half are padding.
        EXPECT_EQ(kBiosStore[base + kBiosImageSize - 1], 0xFF);
    }
}

TEST(Firmware, EachImageHandsOverToAHeaderlessCartridgeLikeTheConsoleDoes) {
    const auto rom = WriteCartridge("probe", ProbeCartridge());
    struct Case {
        std::uint8_t type;
        int earliest;
        int latest;
    };
    // The Japanese image starts the game at once; the export one shows its splash first,
    // for at most two seconds.
    for (const Case c : {Case{kJapanese, 1, 10}, Case{kExport, 30, 120}}) {
        SCOPED_TRACE(c.type == kJapanese ? "Japanese" : "export");
        auto machine = NewMachine(c.type);
        ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(rom)));
        const int frames = FramesUntilStarted(*machine, 200);
        EXPECT_GE(frames, c.earliest);
        EXPECT_LE(frames, c.latest);
        EXPECT_EQ(Ram(*machine, kBootFlagCopy), 0xAB);
        EXPECT_EQ(machine->GetConsole().Cpu.MemoryControl, 0xAB);
        const std::uint16_t sp = static_cast<std::uint16_t>(Ram(*machine, kStackLow) |
                                                            Ram(*machine, kStackLow + 1) << 8);
        EXPECT_GE(sp, 0xD000);
        EXPECT_LE(sp, 0xE000);
        EXPECT_EQ(Ram(*machine, kFlagsAfterLdAI) & kParityOverflow, 0) << "interrupts left on";
        EXPECT_EQ(machine->GetConsole().Cpu.PageRegisters[0], 0);
        EXPECT_EQ(machine->GetConsole().Cpu.PageRegisters[1], 1);
        EXPECT_EQ(machine->GetConsole().Cpu.PageRegisters[2], 2);
    }
}

TEST(Firmware, ExportSplashIsOnScreenBeforeTheGameStarts) {
    const auto rom = WriteCartridge("probe_splash", ProbeCartridge());
    auto machine = NewMachine(kExport);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(rom)));
    for (int f = 0; f < 30; ++f) machine->RunFrame();
    EXPECT_NE(Ram(*machine, kStarted), kStartedMagic);
    EXPECT_GE(ColoursIn(*machine, 0, 0, kWidth, kHeight).size(), 5u);
}

// An empty slot reads as all 0x00 (nothing loaded) or all 0xFF in the first kilobyte.
TEST(Firmware, WithoutACartridgeEachImageShowsTheVelmarScreenAndStaysInTheFirmware) {
    std::vector<std::uint8_t> erased(8192, 0xFF);
    erased[2000] = 0x00; // beyond the first kilobyte: still no cartridge
    const auto erasedRom = WriteCartridge("erased", erased);
    for (std::uint8_t type : {kJapanese, kExport}) {
        for (bool withErased : {false, true}) {
            SCOPED_TRACE(std::string(type == kJapanese ? "Japanese" : "export") +
                         (withErased ? ", 0xFF cartridge" : ", empty slot"));
            auto machine = NewMachine(type);
            if (withErased) {
                ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(erasedRom)));
            } else {
                machine->RunBios();
            }
            for (int f = 0; f < 150; ++f) machine->RunFrame();
            EXPECT_EQ(machine->GetConsole().Cpu.MemoryControl & 0x08, 0)
                << "a cartridge was started";
            // Title, stripes, subtitle and panel: many colours over the whole screen, and
            // the message row (rows 16-18 of tiles) holds text on the panel.
            EXPECT_GE(ColoursIn(*machine, 0, 0, kWidth, kHeight).size(), 8u);
            EXPECT_GE(ColoursIn(*machine, 32, 136, 224, 144).size(), 3u);
            EXPECT_GE(ColoursIn(*machine, 8, 32, 248, 88).size(), 5u) << "no title";
        }
    }
}

TEST(Firmware, TheNoCartridgeScreenIsAnimated) {
    auto machine = NewMachine(kJapanese);
    machine->RunBios();
    std::set<std::vector<std::uint16_t>> pictures;
    for (int f = 0; f < 160; ++f) {
        machine->RunFrame();
        if (f >= 20 && f % 8 == 0) {
            pictures.emplace(machine->GetConsole().Vdp.FrameBuffer.begin(),
                             machine->GetConsole().Vdp.FrameBuffer.end());
        }
    }
    EXPECT_GE(pictures.size(), 3u);
}

} // namespace
} // namespace velmar::scenes
