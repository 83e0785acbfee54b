#include <gtest/gtest.h>

#include <random>

#include "VdpTestSupport.h"

namespace velmar {
namespace {

using namespace vdptest;

std::vector<std::uint8_t> Save(T_VDP_CORE& vdp) {
    StateWriter writer;
    vdp.SaveState(writer);
    return writer.Data();
}

void Load(T_VDP_CORE& vdp, const std::vector<std::uint8_t>& block) {
    StateReader reader(block);
    vdp.LoadState(reader);
}

// A chip with some of everything: random VRAM, CRAM, registers, and a few lines run.
void Scramble(T_VDP_CORE& vdp, unsigned seed) {
    std::mt19937 rng(seed);
    SetAddress(vdp, 0, 1);
    for (int i = 0; i < 16384; ++i) vdp.WriteData(static_cast<std::uint8_t>(rng()));
    for (int i = 0; i < 32; ++i)
        WriteCram(vdp, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(rng()));
    for (int r = 0; r < 11; ++r) SetRegister(vdp, r, static_cast<std::uint8_t>(rng()));
    SetRegister(vdp, 1, 0x62);
    for (int line = 0; line < 200; ++line) vdp.RunLine(line, true, false);
}

TEST(VdpState, BlockLayout) {
    T_VDP_CORE vdp;
    for (int r = 0; r < 11; ++r) SetRegister(vdp, r, static_cast<std::uint8_t>(0x10 + r));
    WriteVram(vdp, 0x0000, {0x81, 0x00, 0x00, 0x00}); // tile 0 row 0: index 1 at k 0 and 7
    WriteVram(vdp, 0x3FFF, {0xA5});
    WriteCram(vdp, 31, 0x2B);
    SetAddress(vdp, 0x1234, 0); // prefetch: ReadBuffer = VRAM[0x1234], address 0x1235
    vdp.WriteControl(0x77);     // half a pair: latch set, address 0x1277
    vdp.VScrollLatch = 0x9A;
    // Neighbouring one-byte fields hold different values, so that no two trade places
    // unseen.
    vdp.IrqLine = 1;
    vdp.FramePending = 0;
    vdp.LinePending = 1;
    vdp.LineCounter = 0x42;
    vdp.SpriteOverflow = 0;
    vdp.SpriteCollision = 1;
    vdp.HCounterLatch = 0x5B;
    vdp.VCounter = 0xD5;
    vdp.FrameBuffer[5] = 0x1234;

    StateWriter writer;
    writer.U8(0xEE); // the block is appended after whatever the stream already holds
    vdp.SaveState(writer);
    const auto& data = writer.Data();
    ASSERT_EQ(data.size(), 1 + vdp::kStateBlockSize);
    ASSERT_EQ(vdp::kStateBlockSize, 49215u);
    const std::uint8_t* b = data.data() + 1;
    for (int r = 0; r < 11; ++r) EXPECT_EQ(b[r], 0x10 + r);
    EXPECT_EQ(b[11], 0x77);
    EXPECT_EQ(b[12], 0x12);
    EXPECT_EQ(b[13], 0); // code 0 from the read set-up
    EXPECT_EQ(b[14], 0x00);
    EXPECT_EQ(b[15], 0x9A);
    EXPECT_EQ(b[16] | b[17] << 8, (0x15 & 0x7E) << 7);
    EXPECT_EQ(b[18] | b[19] << 8, (0x12 & 0x0E) << 10);
    EXPECT_EQ(b[20], 1); // IrqLine
    EXPECT_EQ(b[21], 0); // FramePending
    EXPECT_EQ(b[22], 1); // LinePending
    EXPECT_EQ(b[23], 0x42);
    EXPECT_EQ(b[24], 0);    // SpriteOverflow
    EXPECT_EQ(b[25], 1);    // SpriteCollision
    EXPECT_EQ(b[26], 1);    // ControlLatch
    EXPECT_EQ(b[27], 0x5B); // the H counter latch, in the word once reserved
    EXPECT_EQ(b[28], 0);
    EXPECT_EQ(b[29], 0xD5);
    EXPECT_EQ(b[30], 0x00);
    EXPECT_EQ(b[31], 0x81);
    EXPECT_EQ(b[31 + 0x3FFF], 0xA5);
    EXPECT_EQ(b[16415 + 31], 0x2B);
    EXPECT_EQ(b[16447 + 0], 1);
    EXPECT_EQ(b[16447 + 1], 0);
    EXPECT_EQ(b[16447 + 7], 1);
    // Tile 511 row 7 is the last 8 bytes; 0xA5 is plane 3 of that row.
    for (int k = 0; k < 8; ++k) EXPECT_EQ(b[16447 + 32768 - 8 + k], ((0xA5 >> k) & 1) * 8);
}

TEST(VdpState, RoundTripContinuesIdentically) {
    T_VDP_CORE a;
    Scramble(a, 7);
    const auto block = Save(a);
    EXPECT_EQ(Save(a), block) << "saving twice gives the same bytes";

    T_VDP_CORE b;
    b.SetBackgroundEnabled(0);
    b.FrameBuffer.fill(0x4321);
    Load(b, block);
    EXPECT_EQ(Save(b), block);
    // Options and the picture are not part of the block.
    EXPECT_EQ(b.BackgroundOn, 0);
    EXPECT_EQ(b.FrameBuffer[100], 0x4321);
    b.SetBackgroundEnabled(1);

    // Both continue alike: the same port traffic and lines give the same picture and state.
    for (T_VDP_CORE* v : {&a, &b}) {
        for (int line = 200; line < 262; ++line) v->RunLine(line, true, false);
        SetRegister(*v, 8, 0x13);
        WriteVram(*v, 0x0100, {1, 2, 3, 4});
        v->ReadStatus();
        RunFrame(*v);
    }
    EXPECT_EQ(a.FrameBuffer, b.FrameBuffer);
    EXPECT_EQ(Save(a), Save(b));
}

TEST(VdpState, HostileAndShortBlocks) {
    // Every byte 0xFF: address 0xFFFF, code 0xFF, table bases 0xFFFF, tile-cache indices 0xFF,
    // CRAM 0xFF. Nothing may index outside the memories.
    T_VDP_CORE vdp;
    std::vector<std::uint8_t> hostile(vdp::kStateBlockSize, 0xFF);
    Load(vdp, hostile);
    EXPECT_EQ(Save(vdp), hostile) << "loaded values are kept as stored";
    EXPECT_EQ(vdp.ReadHCounter(), 0xFF);
    vdp.SetBackgroundEnabled(1);
    vdp.SetSpritesEnabled(1);
    for (int frame = 0; frame < 2; ++frame) {
        for (int line = 0; line < 262; ++line) vdp.RunLine(line, true, false);
    }
    // Code 0xFF acts as code 3 (CRAM); address 0xFFFF reaches CRAM entry 31.
    Load(vdp, hostile);
    vdp.WriteData(0x05);
    EXPECT_EQ(vdp.Cram[31], 0x05);
    EXPECT_EQ(vdp.AddressRegister, 0x0000);
    // A VRAM write code with address 0xFFFF lands at 0x3FFF.
    Load(vdp, hostile);
    vdp.CodeRegister = 0x05; // low bits 1: VRAM write
    vdp.WriteData(0x11);
    EXPECT_EQ(vdp.Vram[0x3FFF], 0x11);
    // The tile row is re-decoded: planes 0-2 are 0xFF, plane 3 is now 0x11.
    EXPECT_EQ(vdp.TileIndex(511, 7, 0), 15);
    EXPECT_EQ(vdp.TileIndex(511, 7, 1), 7);
    Load(vdp, hostile);
    EXPECT_EQ(vdp.ReadData(), 0xFF);
    EXPECT_EQ(vdp.AddressRegister, 0x0000);
    vdp.WriteControl(0x3F); // latch was set: this is the second byte, code 0
    std::array<std::uint8_t, 7> info{};
    vdp.GetStatusInfo(info);
    EXPECT_EQ(vdp.ReadStatus(), 0x00) << "flags of 0xFF are not 1";

    // Table bases beyond 16 KB with a normal picture: the bases wrap modulo 16384.
    T_VDP_CORE ref;
    SetRegister(ref, 0, kMode4);
    SetRegister(ref, 1, 0x40);
    SetRegister(ref, 2, 0x0E); // names at 0x3800
    WriteTile(ref, 1, [](int x, int) { return x + 1; });
    WriteNameEntry(ref, 0x3800, 0, 0, 1);
    WriteCram(ref, 1, 0x03);
    auto block = Save(ref);
    block[18] = 0x00;
    block[19] = 0xF8; // NameTableBase 0xF800 = 0x3800 + 3 x 16384
    T_VDP_CORE wrapped;
    Load(wrapped, block);
    RunFrame(wrapped);
    EXPECT_EQ(Pixel(wrapped, 0, 0), 0xF800);

    // Bases a state may hold that no register write gives: a name-table row (odd, even with
    // an entry split across the end) and the sprite table run past the end of VRAM and wrap.
    for (const auto& [names, sat] : {std::pair{0x3FE0, 0x3FF8}, std::pair{0xFFC1, 0x7FFF}}) {
        T_VDP_CORE vdp;
        Scramble(vdp, static_cast<unsigned>(names));
        SetRegister(vdp, 0, vdp.Registers[0] | kMode4);
        auto bases = Save(vdp);
        bases[16] = static_cast<std::uint8_t>(sat);
        bases[17] = static_cast<std::uint8_t>(sat >> 8);
        bases[18] = static_cast<std::uint8_t>(names);
        bases[19] = static_cast<std::uint8_t>(names >> 8);
        Load(vdp, bases);
        LineModel model;
        model.reg = vdp.Registers;
        model.vram = vdp.Vram;
        model.cram = vdp.Cram;
        model.vscroll = vdp.Registers[9];
        model.nameBase = names;
        model.satBase = sat;
        for (int line = 0; line < 192; ++line) {
            vdp.RunLine(line, true, false);
            model.Draw(line);
            for (int x = 0; x < 256; ++x)
                ASSERT_EQ(Pixel(vdp, x, line), model.pixels[x]) << names << " " << x << " " << line;
        }
    }

    // A short block replaces the fields it covers and leaves the rest.
    T_VDP_CORE shortLoad;
    WriteVram(shortLoad, 0x0000, {0x42});
    std::vector<std::uint8_t> cut(hostile.begin(), hostile.begin() + 100);
    Load(shortLoad, cut);
    EXPECT_EQ(shortLoad.Registers[10], 0xFF);
    EXPECT_EQ(shortLoad.VCounter, 0xFFFF);
    EXPECT_EQ(shortLoad.Cram[0], 0);
    EXPECT_EQ(shortLoad.TileIndex(0, 0, 1), 1);
    for (int line = 0; line < 262; ++line) shortLoad.RunLine(line, true, false);
    Load(shortLoad, {});
    EXPECT_EQ(shortLoad.Registers[10], 0xFF);
}

} // namespace
} // namespace velmar
