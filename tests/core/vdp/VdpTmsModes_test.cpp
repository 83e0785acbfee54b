#include <gtest/gtest.h>

#include <random>

#include "VdpTestSupport.h"

namespace velmar {
namespace {

using namespace vdptest;
using vdp::PictureMode;

// Random scenes in each of the older modes, whole frames drawn and undrawn, compared line
// by line with the per-pixel model: the table bases and Graphic II's masks, colour 0 and the
// backdrop, display off, sprites of both sizes magnified or not with the early clock, four a
// line, the fifth's flag and number, collisions (of transparent sprites too) and the layer
// switches.
TEST(VdpTmsModes, RandomScenesMatchModel) {
    std::mt19937 rng(1979);
    const auto byte = [&] { return static_cast<std::uint8_t>(rng() & 0xFF); };
    const PictureMode modes[] = {PictureMode::Graphic1, PictureMode::Graphic2, PictureMode::Text,
                                 PictureMode::Multicolor};
    for (int scene = 0; scene < 64; ++scene) {
        TmsLineModel model;
        for (auto& b : model.vram) b = byte();
        for (auto& r : model.reg) r = byte();
        model.reg[0] &= static_cast<std::uint8_t>(~(vdp::kR0Mode4 | vdp::kR0Mode2));
        model.reg[1] &= static_cast<std::uint8_t>(~(vdp::kR1Mode1 | vdp::kR1Mode3));
        const PictureMode mode = modes[scene % 4];
        if (mode == PictureMode::Graphic2) model.reg[0] |= vdp::kR0Mode2;
        if (mode == PictureMode::Text) model.reg[1] |= vdp::kR1Mode1;
        if (mode == PictureMode::Multicolor) model.reg[1] |= vdp::kR1Mode3;
        if (rng() % 8) model.reg[1] |= vdp::kR1DisplayEnable;
        // A crowded sprite table: Y in a band, some wrapping from the bottom, some ending it.
        const int sat = (model.reg[5] & 0x7F) * 0x80, band = 30 + static_cast<int>(rng() % 200);
        for (int s = 0; s < 32; ++s) {
            std::uint8_t y = static_cast<std::uint8_t>(rng() % band);
            if (rng() % 10 == 0) y = static_cast<std::uint8_t>(0xE0 + rng() % 32);
            if (y == 0xD0 || rng() % 100 == 0) y = 0xD0;
            model.vram[(sat + 4 * s) & 0x3FFF] = y;
        }
        model.backgroundOn = scene % 5 != 4;
        model.spritesOn = scene % 7 != 6;

        T_VDP_CORE vdp;
        WriteVram(vdp, 0, std::vector<std::uint8_t>(model.vram.begin(), model.vram.end()));
        for (int r = 0; r < 11; ++r) SetRegister(vdp, r, model.reg[r]);
        vdp.SetBackgroundEnabled(model.backgroundOn ? 1 : 0);
        vdp.SetSpritesEnabled(model.spritesOn ? 1 : 0);
        ASSERT_EQ(vdp.Mode(), mode);

        int fifth = 0; // the number the status shows, kept while its flag is clear
        for (const bool render : {true, false}) {
            for (int line = 0; line < 262; ++line) {
                vdp.RunLine(line, render, false);
                const std::uint8_t status = vdp.ReadStatus(); // at the end of the line
                if (line >= 192) continue;
                model.Draw(line);
                for (int x = 0; render && x < 256; ++x) {
                    ASSERT_EQ(Pixel(vdp, x, line), model.pixels[x])
                        << "scene " << scene << " line " << line << " x " << x;
                }
                if (model.fifth >= 0) fifth = model.fifth;
                ASSERT_EQ((status & vdp::kStatusOverflow) != 0, model.overflow)
                    << "scene " << scene << " line " << line;
                ASSERT_EQ((status & vdp::kStatusCollision) != 0, model.collision)
                    << "scene " << scene << " line " << line;
                ASSERT_EQ(status & vdp::kStatusFifthSprite, fifth)
                    << "scene " << scene << " line " << line;
            }
        }
    }
}

// The mode bits, as they are written: R0 bit 2 is mode 4 whatever else is set, and mode 4's
// status has no sprite number.
TEST(VdpTmsModes, ModeBitsAndTheStatusNumber) {
    T_VDP_CORE vdp;
    EXPECT_EQ(vdp.Mode(), PictureMode::Graphic1) << "after a reset";
    const struct {
        std::uint8_t r0, r1;
        PictureMode mode;
    } cases[] = {{0x04, 0x18, PictureMode::Mode4},      {0x06, 0x00, PictureMode::Mode4},
                 {0x02, 0x00, PictureMode::Graphic2},   {0x00, 0x10, PictureMode::Text},
                 {0x00, 0x08, PictureMode::Multicolor}, {0x02, 0x18, PictureMode::Text},
                 {0x00, 0xE3, PictureMode::Graphic1}};
    for (const auto& c : cases) {
        SetRegister(vdp, 0, c.r0);
        SetRegister(vdp, 1, c.r1);
        EXPECT_EQ(vdp.Mode(), c.mode) << int(c.r0) << " " << int(c.r1);
    }

    // Graphic I, five 8 x 8 sprites (numbers 3 to 7) on lines 10-17 after three elsewhere.
    SetRegister(vdp, 0, 0x00);
    SetRegister(vdp, 1, 0x40);
    SetRegister(vdp, 5, 0x7E); // attributes at 0x3F00
    std::vector<std::uint8_t> sat;
    for (int s = 0; s < 8; ++s) {
        const std::uint8_t y = s < 3 ? 100 : 9;
        sat.insert(sat.end(), {y, static_cast<std::uint8_t>(20 * s), 0, 15});
    }
    sat.push_back(0xD0);
    WriteVram(vdp, 0x3F00, sat);
    for (int line = 0; line < 12; ++line) vdp.RunLine(line, true, false);
    EXPECT_EQ(vdp.ReadStatus(), vdp::kStatusOverflow | 7);
    EXPECT_EQ(vdp.ReadStatus(), 7) << "the number stays when the flag is read";
    SetRegister(vdp, 0, vdp::kR0Mode4);
    EXPECT_EQ(vdp.ReadStatus(), 0);
}

} // namespace
} // namespace velmar
