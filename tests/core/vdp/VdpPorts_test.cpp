#include <gtest/gtest.h>

#include "VdpTestSupport.h"

namespace velmar {
namespace {

using namespace vdptest;

TEST(VdpPorts, ResetState) {
    T_VDP_CORE vdp;
    const std::array<std::uint8_t, 11> expected{0, 0, 0x0E, 0, 0, 0x7E, 0, 0, 0, 0, 0};
    EXPECT_EQ(vdp.Registers, expected);
    EXPECT_EQ(vdp.SpritesOn, 1);
    EXPECT_EQ(vdp.BackgroundOn, 1);
    // The table bases follow R2 and R5 only after the first register write.
    EXPECT_EQ(vdp.SatBase, 0);
    EXPECT_EQ(vdp.NameTableBase, 0);
    SetRegister(vdp, 3, 0xFF);
    EXPECT_EQ(vdp.SatBase, 0x3F00);
    EXPECT_EQ(vdp.NameTableBase, 0x3800);

    // A reset clears memories and turns the layers back on, but keeps the latched scroll,
    // the sprite flags and the table bases.
    WriteVram(vdp, 0x100, {0xFF});
    WriteVram(vdp, 0x000, {0xFF}); // tile 0 (every name entry's), row 0: index 1
    WriteCram(vdp, 1, 0x3F);
    WriteCram(vdp, 5, 0x3F);
    vdp.SetBackgroundEnabled(0);
    vdp.SetSpritesEnabled(0);
    vdp.VScrollLatch = 9;
    vdp.SpriteOverflow = 1;
    vdp.Reset();
    EXPECT_EQ(vdp.Vram[0x100], 0);
    EXPECT_EQ(vdp.Cram[5], 0);
    EXPECT_EQ(vdp.TileIndex(8, 0, 0), 0);
    EXPECT_EQ(vdp.BackgroundOn, 1);
    EXPECT_EQ(vdp.SpritesOn, 1);
    EXPECT_EQ(vdp.VScrollLatch, 9);
    EXPECT_EQ(vdp.SpriteOverflow, 1);
    EXPECT_EQ(vdp.SatBase, 0x3F00);
    // Nothing of the old tiles or colours is drawn.
    SetRegister(vdp, 1, vdp::kR1DisplayEnable);
    RunFrame(vdp);
    EXPECT_EQ(Pixel(vdp, 0, 0), 0);
}

TEST(VdpPorts, ControlAndDataPortsAsTheChip) {
    T_VDP_CORE vdp;
    // A lone first byte replaces only the low byte of the address: the next write lands at
    // 0x1240, and the code register keeps its value (1, a VRAM write).
    SetAddress(vdp, 0x1234, 1);
    vdp.WriteControl(0x40);
    EXPECT_EQ(vdp.ControlLatch, 1);
    EXPECT_EQ(vdp.AddressRegister, 0x1240);
    vdp.WriteData(0xAB);
    EXPECT_EQ(vdp.Vram[0x1240], 0xAB);
    EXPECT_EQ(vdp.Vram[0x0040], 0);
    EXPECT_EQ(vdp.CodeRegister, 1);
    // Data writes, data reads and status reads each start the pair over.
    EXPECT_EQ(vdp.ControlLatch, 0);
    for (const auto& clear :
         {+[](T_VDP_CORE& v) { v.ReadData(); }, +[](T_VDP_CORE& v) { v.ReadStatus(); },
          +[](T_VDP_CORE& v) { v.WriteData(0); }}) {
        vdp.WriteControl(0x10);
        clear(vdp);
        EXPECT_EQ(vdp.ControlLatch, 0);
    }
    // ... and it moves the read address just the same: a lone byte, then reads.
    WriteVram(vdp, 0x2050, {0x11, 0x22});
    SetAddress(vdp, 0x2000, 0); // read set-up: fetches VRAM[0x2000]
    vdp.WriteControl(0x50);
    vdp.ReadData(); // the byte fetched before; fetches 0x2050
    EXPECT_EQ(vdp.ReadData(), 0x11);
    EXPECT_EQ(vdp.ReadData(), 0x22);

    // The second byte loads the address's high bits and the code for a register write too,
    // and code 2 writes data to VRAM like code 1.
    vdp.WriteControl(0x77);
    vdp.WriteControl(0x88); // code 2, register 8
    EXPECT_EQ(vdp.Registers[8], 0x77);
    EXPECT_EQ(vdp.CodeRegister, 2);
    EXPECT_EQ(vdp.AddressRegister, 0x0877);
    vdp.WriteData(0x99);
    vdp.WriteData(0x9A);
    EXPECT_EQ(vdp.Vram[0x0877], 0x99);
    EXPECT_EQ(vdp.Vram[0x0878], 0x9A);
    EXPECT_EQ(vdp.AddressRegister, 0x0879);

    // A data write, to VRAM or CRAM, leaves its byte in the read buffer.
    SetAddress(vdp, 0x3000, 1);
    vdp.WriteData(0x5C);
    EXPECT_EQ(vdp.ReadData(), 0x5C);
    SetAddress(vdp, 0x0003, 3);
    vdp.WriteData(0xC7);
    EXPECT_EQ(vdp.Cram[3], 0x07);
    EXPECT_EQ(vdp.ReadData(), 0xC7);

    // Writes advance the address and wrap at 16 KB.
    SetAddress(vdp, 0x3FFF, 1);
    vdp.WriteData(0x11);
    vdp.WriteData(0x22);
    EXPECT_EQ(vdp.Vram[0x3FFF], 0x11);
    EXPECT_EQ(vdp.Vram[0x0000], 0x22);
    EXPECT_EQ(vdp.AddressRegister, 1);

    // Common upload sequences still land where they should: a register write, then a VRAM
    // address and a block of data; a CRAM address given low byte 0 after other traffic.
    SetRegister(vdp, 1, 0x40);
    WriteVram(vdp, 0x3800, {1, 2, 3, 4});
    EXPECT_EQ(vdp.Vram[0x3800], 1);
    EXPECT_EQ(vdp.Vram[0x3803], 4);
    WriteCram(vdp, 0, 0x2A);
    WriteCram(vdp, 17, 0x15);
    EXPECT_EQ(vdp.Cram[0], 0x2A);
    EXPECT_EQ(vdp.Cram[17], 0x15);
}

TEST(VdpPorts, ReadBufferPrefetch) {
    T_VDP_CORE vdp;
    WriteVram(vdp, 0x2000, {0x10, 0x20, 0x30});
    WriteVram(vdp, 0x3FFF, {0xEE});
    WriteVram(vdp, 0x0000, {0x5A});

    // Setting a read address fetches the first byte at once.
    SetAddress(vdp, 0x2000, 0);
    EXPECT_EQ(vdp.ReadBuffer, 0x10);
    EXPECT_EQ(vdp.AddressRegister, 0x2001);
    WriteVram(vdp, 0x2000, {0x99}); // too late: the byte was fetched already
    SetAddress(vdp, 0x2000, 0);
    EXPECT_EQ(vdp.ReadData(), 0x99);
    EXPECT_EQ(vdp.ReadData(), 0x20);
    EXPECT_EQ(vdp.ReadData(), 0x30);

    // Reads wrap at 16 KB, come from VRAM whatever the code, and clear the latch.
    SetAddress(vdp, 0x3FFF, 0);
    vdp.WriteControl(0x00); // first byte of a pair...
    EXPECT_EQ(vdp.ControlLatch, 1);
    EXPECT_EQ(vdp.ReadData(), 0xEE); // ...abandoned by a read
    EXPECT_EQ(vdp.ControlLatch, 0);
    // The half-written pair replaced the address with 0x00, so the next fetch is VRAM[0].
    EXPECT_EQ(vdp.ReadData(), 0x5A);

    SetAddress(vdp, 0x2001, 3);      // CRAM code: no prefetch, reads still come from VRAM
    EXPECT_EQ(vdp.ReadData(), 0x00); // VRAM[1], fetched by the previous read
    EXPECT_EQ(vdp.ReadData(), 0x20);
}

TEST(VdpPorts, CramWrites) {
    T_VDP_CORE vdp;
    SetAddress(vdp, 0x001E, 3);
    vdp.WriteData(0xFF);
    vdp.WriteData(0xC5);
    vdp.WriteData(0x2A); // wraps to entry 0
    EXPECT_EQ(vdp.Cram[30], 0x3F);
    EXPECT_EQ(vdp.Cram[31], 0x05);
    EXPECT_EQ(vdp.Cram[0], 0x2A);
    EXPECT_EQ(vdp.AddressRegister, 0x0021);
    for (std::size_t i = 0; i < vdp.Vram.size(); ++i) ASSERT_EQ(vdp.Vram[i], 0);

    // CRAM addresses wrap every 32 bytes, whatever the high bits.
    SetAddress(vdp, 0x3FE5, 3);
    vdp.WriteData(0x07);
    EXPECT_EQ(vdp.Cram[5], 0x07);
}

TEST(VdpPorts, RegisterWrites) {
    T_VDP_CORE vdp;
    for (int r = 0; r < 11; ++r) SetRegister(vdp, r, static_cast<std::uint8_t>(0xA0 + r));
    for (int r = 0; r < 11; ++r) EXPECT_EQ(vdp.Registers[r], 0xA0 + r);
    EXPECT_EQ(vdp.NameTableBase, (0xA2 & 0x0E) << 10);
    EXPECT_EQ(vdp.SatBase, (0xA5 & 0x7E) << 7);

    // Registers 11 to 15 do not exist; only bits 0-3 pick the register.
    const auto before = vdp.Registers;
    for (int r = 11; r < 16; ++r) SetRegister(vdp, r, 0x55);
    EXPECT_EQ(vdp.Registers, before);
    vdp.WriteControl(0x12);
    vdp.WriteControl(0xB7); // 10 110111: code 2, register 7
    EXPECT_EQ(vdp.Registers[7], 0x12);

    std::array<std::uint8_t, 7> info{};
    SetRegister(vdp, 0, 0x10);
    SetRegister(vdp, 1, 0x62);
    SetRegister(vdp, 8, 0x33);
    SetRegister(vdp, 9, 0x44);
    SetRegister(vdp, 10, 0x55);
    vdp.GetStatusInfo(info);
    EXPECT_EQ(info, (std::array<std::uint8_t, 7>{1, 1, 1, 0x33, 0x44, 1, 0x55}));
    SetRegister(vdp, 0, 0xEF);
    SetRegister(vdp, 1, 0x9D);
    vdp.GetStatusInfo(info);
    EXPECT_EQ(info, (std::array<std::uint8_t, 7>{0, 0, 0, 0x33, 0x44, 0, 0x55}));
}

TEST(VdpPorts, FrameInterruptAndStatus) {
    T_VDP_CORE vdp;
    SetRegister(vdp, 10, 0xFF);
    for (int line = 0; line < 193; ++line) vdp.RunLine(line, false, false);
    EXPECT_EQ(vdp.FramePending, 0);
    vdp.RunLine(193, false, false);
    EXPECT_EQ(vdp.FramePending, 1);
    EXPECT_EQ(vdp.IrqPending(), 0) << "frame interrupt disabled";

    // Enabling it while the flag is pending asserts the line at once; disabling drops it.
    SetRegister(vdp, 1, 0x20);
    EXPECT_EQ(vdp.IrqPending(), 1);
    SetRegister(vdp, 1, 0x00);
    EXPECT_EQ(vdp.IrqPending(), 0);
    SetRegister(vdp, 1, 0x20);

    // The line stays asserted over the following lines until the status is read.
    vdp.SpriteOverflow = 1;
    vdp.SpriteCollision = 1;
    for (int line = 194; line < 262; ++line) vdp.RunLine(line, false, false);
    EXPECT_EQ(vdp.IrqPending(), 1);
    EXPECT_EQ(vdp.ReadStatus(), 0xE0);
    EXPECT_EQ(vdp.IrqPending(), 0);
    EXPECT_EQ(vdp.ReadStatus(), 0x00);

    // With the interrupt enabled beforehand, line 193 raises it at its start.
    for (int line = 0; line < 193; ++line) {
        vdp.RunLine(line, false, false);
        ASSERT_EQ(vdp.IrqPending(), 0) << line;
    }
    vdp.RunLine(193, false, false);
    EXPECT_EQ(vdp.IrqPending(), 1);
}

// Lines of one frame on which a line interrupt becomes pending, reading the status after
// every line so that each one shows separately.
std::vector<int> LineInterrupts(T_VDP_CORE& vdp) {
    std::vector<int> lines;
    for (int line = 0; line < 262; ++line) {
        vdp.RunLine(line, false, false);
        if (vdp.LinePending == 1) lines.push_back(line);
        vdp.ReadStatus();
    }
    return lines;
}

TEST(VdpPorts, LineCounter) {
    {
        T_VDP_CORE vdp; // R10 = 0: every line 0-192
        std::vector<int> all;
        for (int line = 0; line <= 192; ++line) all.push_back(line);
        EXPECT_EQ(LineInterrupts(vdp), all);
        EXPECT_EQ(LineInterrupts(vdp), all);
    }
    {
        T_VDP_CORE vdp; // R10 = 0xFF: only once, right after reset (the counter starts at 0)
        SetRegister(vdp, 10, 0xFF);
        EXPECT_EQ(LineInterrupts(vdp), std::vector<int>{0});
        EXPECT_EQ(LineInterrupts(vdp), std::vector<int>{});
    }
    {
        T_VDP_CORE vdp; // R10 = 50: counts down from the reload made in the blanking lines
        SetRegister(vdp, 10, 50);
        EXPECT_EQ(LineInterrupts(vdp), (std::vector<int>{0, 51, 102, 153}));
        EXPECT_EQ(LineInterrupts(vdp), (std::vector<int>{50, 101, 152}));
        // A new reload value takes effect at the next reload: this frame still starts from
        // the 50 loaded in the previous blanking lines.
        SetRegister(vdp, 10, 100);
        EXPECT_EQ(LineInterrupts(vdp), (std::vector<int>{50, 151}));
        EXPECT_EQ(LineInterrupts(vdp), (std::vector<int>{100}));
    }
    {
        // The IRQ line follows R0 bit 4 while the flag is pending.
        T_VDP_CORE vdp;
        vdp.RunLine(0, false, false);
        EXPECT_EQ(vdp.LinePending, 1);
        EXPECT_EQ(vdp.IrqPending(), 0);
        SetRegister(vdp, 0, 0x10);
        EXPECT_EQ(vdp.IrqPending(), 1);
        SetRegister(vdp, 0, 0x00);
        EXPECT_EQ(vdp.IrqPending(), 0);
        SetRegister(vdp, 0, 0x10);
        vdp.ReadStatus();
        EXPECT_EQ(vdp.LinePending, 0);
        EXPECT_EQ(vdp.IrqPending(), 0);
        SetRegister(vdp, 0, 0x10); // nothing pending: stays low
        EXPECT_EQ(vdp.IrqPending(), 0);
        vdp.RunLine(1, false, false); // counter was 0 again: pending and enabled
        EXPECT_EQ(vdp.IrqPending(), 1);
    }
}

// NTSC: 0x00-0xDA, then 0xD5-0xFF over 262 lines; PAL: 0x00-0xF2, then 0xBA-0xFF over 313.
// Either way the frame interrupt comes at line 193.
TEST(VdpPorts, VCounterSequenceOfEachRegion) {
    const struct {
        ConsoleRegion region;
        int lines, lastBeforeJump, jumpTo;
    } regions[] = {{ConsoleRegion::Ntsc, 262, 0xDA, 0xD5}, {ConsoleRegion::Pal, 313, 0xF2, 0xBA}};
    for (const auto& r : regions) {
        T_VDP_CORE vdp;
        vdp.SetRegion(TimingOf(r.region));
        ASSERT_EQ(TimingOf(r.region).LinesPerFrame, r.lines);
        for (int frame = 0; frame < 2; ++frame) {
            for (int line = 0; line < r.lines; ++line) {
                vdp.RunLine(line, false, false);
                const int expected =
                    line <= r.lastBeforeJump ? line : line - r.lastBeforeJump - 1 + r.jumpTo;
                ASSERT_EQ(vdp.ReadVCounter(), expected) << r.lines << " line " << line;
                ASSERT_EQ((vdp.ReadStatus() & vdp::kStatusFrame) != 0, line == 193) << line;
            }
            EXPECT_EQ(vdp.VCounter, 0xFF);
        }
    }
}

TEST(VdpPorts, TileCacheFollowsVramWrites) {
    T_VDP_CORE vdp;
    // Tile 3, row 5: planes 0b10000001, 0b01000001, 0b00100001, 0b00010001.
    WriteVram(vdp, 3 * 32 + 5 * 4, {0x81, 0x41, 0x21, 0x11});
    const std::array<int, 8> byBit{15, 0, 0, 0, 8, 4, 2, 1}; // index of bit k
    for (int k = 0; k < 8; ++k) EXPECT_EQ(vdp.TileIndex(3, 5, k), byBit[k]) << k;
    for (int k = 0; k < 8; ++k) EXPECT_EQ(vdp.TileIndex(3, 4, k), 0);

    // Rewriting one plane updates only that row; the last tile lives at the top of VRAM.
    WriteVram(vdp, 3 * 32 + 5 * 4 + 2, {0x00});
    EXPECT_EQ(vdp.TileIndex(3, 5, 0), 11);
    EXPECT_EQ(vdp.TileIndex(3, 5, 5), 0);
    WriteVram(vdp, 0x3FFC, {0xFF, 0x00, 0xFF, 0x00});
    for (int k = 0; k < 8; ++k) EXPECT_EQ(vdp.TileIndex(511, 7, k), 5);

    // A random VRAM image written byte by byte decodes exactly like its bit-planes.
    std::uint32_t seed = 12345;
    SetAddress(vdp, 0, 1);
    for (int i = 0; i < 16384; ++i) {
        seed = seed * 1103515245 + 12345;
        vdp.WriteData(static_cast<std::uint8_t>(seed >> 16));
    }
    for (int tile = 0; tile < 512; ++tile) {
        for (int row = 0; row < 8; ++row) {
            for (int k = 0; k < 8; ++k) {
                int index = 0;
                for (int p = 0; p < 4; ++p)
                    index |= ((vdp.Vram[tile * 32 + row * 4 + p] >> k) & 1) << p;
                ASSERT_EQ(vdp.TileIndex(tile, row, k), index) << tile << " " << row << " " << k;
            }
        }
    }
}

} // namespace
} // namespace velmar
