#include <gtest/gtest.h>

#include <random>

#include "VdpTestSupport.h"

namespace velmar {
namespace {

using namespace vdptest;

constexpr std::uint16_t kNames = 0x3800; // R2 = 0x0E
constexpr std::uint16_t kSat = 0x3F00;   // R5 = 0x7E

// A chip with the display on, every CRAM entry i holding colour i, an empty name table
// (tile 0 everywhere) and an empty sprite list.
struct Scene {
    T_VDP_CORE vdp;
    Scene() {
        SetRegister(vdp, 0, kMode4);
        SetRegister(vdp, 1, 0x40);
        SetRegister(vdp, 2, 0x0E);
        SetRegister(vdp, 5, 0x7E);
        for (int i = 0; i < 32; ++i)
            WriteCram(vdp, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i));
        WriteVram(vdp, kSat, {0xD0});
    }
    void Sprite(int s, std::uint8_t y, std::uint8_t x, std::uint8_t tile) {
        WriteVram(vdp, static_cast<std::uint16_t>(kSat + s), {y});
        WriteVram(vdp, static_cast<std::uint16_t>(kSat + 128 + 2 * s), {x, tile});
    }
    void WriteName(int col, int row, std::uint16_t entry) {
        WriteNameEntry(vdp, kNames, col, row, entry);
    }
    void EndSprites(int s) { WriteVram(vdp, static_cast<std::uint16_t>(kSat + s), {0xD0}); }
    std::uint16_t At(int x, int line) const { return Pixel(vdp, x, line); }
};

std::uint16_t Colour(int cramIndex) {
    return Rgb565(static_cast<std::uint8_t>(cramIndex));
}

TEST(VdpRenderer, ColourTable) {
    EXPECT_EQ(kVdpColourTable[0], 0x0000);
    EXPECT_EQ(kVdpColourTable[63], 0xFFFF);
    EXPECT_EQ(kVdpColourTable[3], 0xF800);
    EXPECT_EQ(kVdpColourTable[12], 0x07E0);
    EXPECT_EQ(kVdpColourTable[48], 0x001F);
    EXPECT_EQ(kVdpColourTable[0x15], (10 << 11) | (21 << 5) | 10);
    EXPECT_EQ(kVdpColourTable[0x2A], (21 << 11) | (42 << 5) | 21);
    for (int c = 0; c < 64; ++c)
        EXPECT_EQ(kVdpColourTable[c], Rgb565(static_cast<std::uint8_t>(c)));
}

// Random scenes, whole frames, compared line by line with the per-pixel model: scrolling,
// locks, flips, palettes, priorities, sprites of both sizes, the shift, overflow, collisions,
// the blank and the layer switches all at once.
TEST(VdpRenderer, RandomScenesMatchModel) {
    std::mt19937 rng(2026);
    auto byte = [&] { return static_cast<std::uint8_t>(rng() & 0xFF); };
    for (int scene = 0; scene < 60; ++scene) {
        LineModel start;
        std::vector<std::uint8_t> vram(16384);
        for (auto& b : vram) b = byte();
        for (int r = 0; r < 11; ++r) start.reg[r] = byte();
        start.reg[0] |= kMode4;
        if (rng() % 8) start.reg[1] |= 0x40;
        // Make the sprite table crowded: Y in a narrow band, sometimes wrapping, sometimes
        // ended early.
        const std::uint16_t sat = static_cast<std::uint16_t>((start.reg[5] & 0x7E) << 7);
        const int band = 40 + static_cast<int>(rng() % 200);
        for (int s = 0; s < 64; ++s) {
            std::uint8_t y = static_cast<std::uint8_t>(rng() % band);
            if (rng() % 10 == 0) y = static_cast<std::uint8_t>(0xE8 + rng() % 24);
            if (y == 0xD0 || rng() % 200 == 0) y = 0xD0;
            vram[(sat + s) & 0x3FFF] = y;
        }
        for (auto& c : start.cram) c = byte();
        const std::uint8_t layers[3] = {1, 0, 2};
        const std::uint8_t bg = (scene % 5 == 4) ? layers[rng() % 3] : 1;
        const std::uint8_t sp = (scene % 7 == 6) ? layers[rng() % 3] : 1;

        // Both the shuffling renderer (where the processor has one) and the plain one.
        for (const bool baseline : {false, true}) {
            T_VDP_CORE vdp;
            vdp.UseBaselineRenderer(baseline);
            LineModel model = start;
            WriteVram(vdp, 0, vram);
            for (int i = 0; i < 32; ++i)
                WriteCram(vdp, static_cast<std::uint8_t>(i), model.cram[i]);
            for (int r = 0; r < 11; ++r) SetRegister(vdp, r, model.reg[r]);
            vdp.SetBackgroundEnabled(bg);
            vdp.SetSpritesEnabled(sp);

            std::copy(vram.begin(), vram.end(), model.vram.begin());
            for (auto& c : model.cram) c &= 0x3F;
            model.vscroll = model.reg[9];
            model.backgroundOn = bg == 1;
            model.spritesOn = sp == 1;

            for (int line = 0; line < 262; ++line) {
                vdp.RunLine(line, true, false);
                const std::uint8_t status = vdp.ReadStatus(); // at the end of the line
                if (line >= 192) continue;
                model.Draw(line);
                for (int x = 0; x < 256; ++x) {
                    ASSERT_EQ(Pixel(vdp, x, line), model.pixels[x])
                        << "scene " << scene << " baseline " << baseline << " line " << line
                        << " x " << x;
                }
                ASSERT_EQ((status & vdp::kStatusOverflow) != 0, model.overflow)
                    << "scene " << scene << " line " << line;
                ASSERT_EQ((status & vdp::kStatusCollision) != 0, model.collision)
                    << "scene " << scene << " line " << line;
            }
        }
    }
}

TEST(VdpRenderer, ScrollingAndLocks) {
    Scene s;
    // Tile 1: pixel x has index x + 1 (1..8); tile 2: every pixel index 9 + row.
    WriteTile(s.vdp, 1, [](int x, int) { return x + 1; });
    WriteTile(s.vdp, 2, [](int, int y) { return 9 + (y & 3); });
    s.WriteName(31, 0, 1);
    s.WriteName(0, 1, 2); // row 1, column 0

    // R8 = 3: column 0 starts at x 3; x 0-2 show the last three pixels of name column 31.
    SetRegister(s.vdp, 8, 3);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), Colour(6));
    EXPECT_EQ(s.At(1, 0), Colour(7));
    EXPECT_EQ(s.At(2, 0), Colour(8));
    EXPECT_EQ(s.At(3, 0), Colour(0));
    EXPECT_EQ(s.At(252, 0), Colour(2)); // column 31 pixel 1 at 248 + 3 + 1
    EXPECT_EQ(s.At(3, 8), Colour(9));   // name row 1 starts at line 8
    // With the blank, x 0-7 show the backdrop (sprite palette entry R7).
    SetRegister(s.vdp, 0, kMode4 | 0x20);
    SetRegister(s.vdp, 7, 0xF5); // only the low four bits pick the entry
    RunFrame(s.vdp);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(s.At(x, 0), Colour(21)) << x;
    EXPECT_EQ(s.At(252, 0), Colour(2));

    // Horizontal lock: R8 = 0x80 scrolls only lines 16 onward.
    SetRegister(s.vdp, 0, kMode4 | 0x40);
    SetRegister(s.vdp, 8, 0x80);
    s.WriteName(31, 2, 1);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(248, 0), Colour(1)); // column 31, unscrolled
    EXPECT_EQ(s.At(248, 7), Colour(1));
    s.WriteName(31, 1, 1);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(248, 15), Colour(1)) << "line 15 is still unscrolled";
    EXPECT_EQ(s.At(120, 15), Colour(0));
    EXPECT_EQ(s.At(248 - 128, 16), Colour(1)); // row 2 at line 16, moved 128 left
    EXPECT_EQ(s.At(248, 16), Colour(0));

    // Vertical scroll by 8 (latched at line 0) brings name row 1 to the top; with the
    // vertical lock, columns 24-31 keep row 0.
    SetRegister(s.vdp, 0, kMode4 | 0x00);
    SetRegister(s.vdp, 8, 0x00);
    s.WriteName(24, 1, 2);
    s.WriteName(31, 1, 0);
    SetRegister(s.vdp, 9, 8);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), Colour(9));
    EXPECT_EQ(s.At(192, 0), Colour(9));
    EXPECT_EQ(s.At(248, 0), Colour(0));
    SetRegister(s.vdp, 0, kMode4 | 0x80);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), Colour(9));
    EXPECT_EQ(s.At(192, 0), Colour(0)); // column 24: row 0, tile 0
    EXPECT_EQ(s.At(248, 0), Colour(1)); // column 31: row 0, tile 1
    EXPECT_EQ(s.At(192, 8), Colour(9)); // row 1 appears at line 8

    // The vertical scroll is taken at line 0 only: a change mid-frame waits for the next one,
    // and a frame whose line 0 is not drawn keeps the old value.
    SetRegister(s.vdp, 0, kMode4 | 0x00);
    SetRegister(s.vdp, 9, 0);
    s.vdp.RunLine(0, true, false);
    SetRegister(s.vdp, 9, 8);
    s.vdp.RunLine(1, true, false);
    EXPECT_EQ(s.At(0, 1), Colour(0)) << "still row 0";
    EXPECT_EQ(s.vdp.VScrollLatch, 0);
    s.vdp.RunLine(0, false, false);
    EXPECT_EQ(s.vdp.VScrollLatch, 0);

    // Tile rows past 27 fold back to row 0: scroll 224 - 8 shows row 27, then row 0.
    SetRegister(s.vdp, 9, 216);
    s.WriteName(0, 27, 1);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), Colour(1));
    EXPECT_EQ(s.At(0, 8), Colour(0));
    EXPECT_EQ(s.At(0, 16), Colour(9)); // row 1
}

TEST(VdpRenderer, FlipsPalettesAndPriority) {
    Scene s;
    // Tile 1: index (x + 1) on row 0, index 15 on row 7, 0 elsewhere.
    WriteTile(s.vdp, 1, [](int x, int y) { return y == 0 ? x + 1 : (y == 7 ? 15 : 0); });
    s.WriteName(0, 0, 0x0001);
    s.WriteName(1, 0, 0x0201); // horizontal flip
    s.WriteName(2, 0, 0x0401); // vertical flip
    s.WriteName(3, 0, 0x0E01); // both flips, sprite palette
    RunFrame(s.vdp);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(s.At(k, 0), Colour(k + 1));
        EXPECT_EQ(s.At(8 + k, 0), Colour(8 - k));
        EXPECT_EQ(s.At(16 + k, 0), Colour(15));
        EXPECT_EQ(s.At(16 + k, 7), Colour(k + 1));
        EXPECT_EQ(s.At(24 + k, 7), Colour(16 + 8 - k));
        EXPECT_EQ(s.At(24 + k, 0), Colour(31));
    }

    // Priority tiles: a sprite is hidden under non-zero background pixels but shows through
    // their index-0 pixels; hidden sprite pixels still collide (the chip compares sprite
    // pixels only).
    WriteTile(s.vdp, 2, [](int x, int) { return x < 4 ? 3 : 0; });
    WriteTile(s.vdp, 3, [](int, int) { return 7; }); // sprite: solid index 7
    s.WriteName(5, 2, 0x1002);
    s.Sprite(0, 15, 40, 3); // lines 16-23, x 40-47 (column 5)
    s.Sprite(1, 15, 40, 3); // exactly on top of it
    s.EndSprites(2);
    s.vdp.ReadStatus();
    RunFrame(s.vdp);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(s.At(40 + k, 16), Colour(k < 4 ? 3 : 23)) << k;
    EXPECT_EQ(s.vdp.ReadStatus() & vdp::kStatusCollision, vdp::kStatusCollision)
        << "x 44-47 still collide";
    s.Sprite(1, 15, 40, 0); // move the second sprite off (transparent tile 0)
    s.Sprite(2, 15, 36, 3); // x 36-43: overlaps sprite 0 only under the priority pixels
    s.EndSprites(3);
    RunFrame(s.vdp);
    EXPECT_EQ(s.vdp.ReadStatus() & vdp::kStatusCollision, vdp::kStatusCollision);
    EXPECT_EQ(s.At(36, 16), Colour(23));
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s.At(40 + k, 16), Colour(3)) << "still hidden";
}

TEST(VdpRenderer, SpritePlacement) {
    Scene s;
    // Tiles 4..7: every pixel on row r has index (tile - 3) * 2 + (r & 1) + ... keep simple:
    // tile t, row r -> index ((t + r) % 15) + 1, so each (tile, row) pair is identifiable.
    auto index = [](int t, int r) { return ((t + r) % 15) + 1; };
    for (int t : {4, 5, 260, 261, 300})
        WriteTile(s.vdp, t, [&](int, int y) { return index(t, y); });

    auto lineOfSprite = [&](int line, int x) { return s.At(x, line); };

    // 8x8, Y = 0x20: lines 0x21-0x28.
    s.Sprite(0, 0x20, 100, 4);
    s.EndSprites(1);
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0x20, 100), Colour(0));
    for (int r = 0; r < 8; ++r) EXPECT_EQ(lineOfSprite(0x21 + r, 100), Colour(16 + index(4, r)));
    EXPECT_EQ(lineOfSprite(0x29, 100), Colour(0));
    EXPECT_EQ(lineOfSprite(0x21, 99), Colour(0));
    EXPECT_EQ(lineOfSprite(0x21, 107), Colour(16 + index(4, 0)));
    EXPECT_EQ(lineOfSprite(0x21, 108), Colour(0));

    // Y = 0xF8: only row 7, on line 0. Y = 0xFF: lines 0-7. Y = 0xF0: never on screen.
    s.Sprite(0, 0xF8, 100, 4);
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0, 100), Colour(16 + index(4, 7)));
    EXPECT_EQ(lineOfSprite(1, 100), Colour(0));
    s.Sprite(0, 0xFF, 100, 4);
    RunFrame(s.vdp);
    for (int r = 0; r < 8; ++r) EXPECT_EQ(lineOfSprite(r, 100), Colour(16 + index(4, r)));
    EXPECT_EQ(lineOfSprite(8, 100), Colour(0));
    s.Sprite(0, 0xF0, 100, 4);
    RunFrame(s.vdp);
    for (int line = 0; line < 192; ++line) ASSERT_EQ(lineOfSprite(line, 100), Colour(0));

    // 8x16: the tile number loses bit 0 and the lower half comes from the next tile; R6 bit 2
    // moves sprites to tiles 256-511; R0 bit 3 shifts them 8 left, clipping at x 0.
    SetRegister(s.vdp, 1, 0x42);
    s.Sprite(0, 0x40, 4, 5);
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0x41, 4), Colour(16 + index(4, 0)));
    EXPECT_EQ(lineOfSprite(0x41 + 15, 4), Colour(16 + index(5, 7)));
    EXPECT_EQ(lineOfSprite(0x41 + 16, 4), Colour(0));
    SetRegister(s.vdp, 6, 0x04);
    SetRegister(s.vdp, 0, kMode4 | 0x08);
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0x41, 0), Colour(16 + index(260, 0))) << "x 4 - 8 + 4";
    EXPECT_EQ(lineOfSprite(0x41 + 8, 3), Colour(16 + index(261, 0)));
    EXPECT_EQ(lineOfSprite(0x41, 4), Colour(0));
    // A sprite at X 252 is cut at the right edge rather than wrapping.
    SetRegister(s.vdp, 0, kMode4 | 0x00);
    s.Sprite(0, 0x40, 252, 44); // 44 + 256 = 300
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0x41, 255), Colour(16 + index(300, 0)));
    EXPECT_EQ(lineOfSprite(0x41, 0), Colour(0));

    // Y = 0xD0 on sprite 0 ends the list: nothing is drawn.
    s.Sprite(1, 0x40, 100, 44);
    s.Sprite(0, 0xD0, 0, 44);
    RunFrame(s.vdp);
    EXPECT_EQ(lineOfSprite(0x41, 100), Colour(0));
}

TEST(VdpRenderer, SpriteLimitAndCollision) {
    Scene s;
    WriteTile(s.vdp, 1, [](int x, int) { return x == 0 ? 1 : 0; }); // one pixel at the left
    WriteTile(s.vdp, 2, [](int, int) { return 2; });
    // Nine sprites on lines 0x31-0x38, each one pixel wide, at x 10, 20, ...
    for (int i = 0; i < 9; ++i) s.Sprite(i, 0x30, static_cast<std::uint8_t>(10 + 10 * i), 1);
    s.EndSprites(9);
    s.vdp.ReadStatus();
    for (int line = 0; line < 0x31; ++line) s.vdp.RunLine(line, true, false);
    EXPECT_EQ(s.vdp.ReadStatus(), 0);
    s.vdp.RunLine(0x31, true, false);
    EXPECT_EQ(s.vdp.ReadStatus(), vdp::kStatusOverflow) << "and no collision";
    for (int i = 0; i < 8; ++i) EXPECT_EQ(s.At(10 + 10 * i, 0x31), Colour(17)) << i;
    EXPECT_EQ(s.At(90, 0x31), Colour(0)) << "the ninth is not drawn";

    // Exactly eight fill the chip's buffer without overflowing it: only a ninth sets the flag.
    s.EndSprites(8);
    s.vdp.ReadStatus();
    s.vdp.RunLine(0x31, true, false);
    EXPECT_EQ(s.vdp.ReadStatus(), 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(s.At(10 + 10 * i, 0x31), Colour(17)) << i;

    // Two overlapping sprites: the collision flag, and the lower-numbered one in front.
    s.Sprite(0, 0x30, 50, 1);
    s.Sprite(1, 0x30, 46, 2); // x 46-53, colour 18, under sprite 0's pixel at 50
    s.EndSprites(2);
    s.vdp.RunLine(0x31, true, false);
    EXPECT_EQ(s.At(50, 0x31), Colour(17));
    EXPECT_EQ(s.At(49, 0x31), Colour(18));
    EXPECT_EQ(s.vdp.ReadStatus(), vdp::kStatusCollision);
    // Overlapping only on transparent pixels is no collision.
    s.Sprite(1, 0x30, 51, 2);
    s.vdp.RunLine(0x31, true, false);
    EXPECT_EQ(s.vdp.ReadStatus(), 0);
    // Nor is overlapping only off the screen, right or (with the shift) left; one pixel in
    // is.
    WriteTile(s.vdp, 3, [](int x, int) { return x == 7 ? 3 : 0; }); // one pixel at the right
    const struct {
        std::uint8_t r0, x, tile, status;
    } edges[] = {{0x00, 249, 3, 0},
                 {0x00, 248, 3, vdp::kStatusCollision},
                 {0x08, 0, 2, 0},
                 {0x08, 1, 2, vdp::kStatusCollision}};
    for (const auto& e : edges) {
        SetRegister(s.vdp, 0, kMode4 | e.r0);
        s.Sprite(0, 0x30, e.x, e.tile);
        s.Sprite(1, 0x30, e.x, e.tile);
        s.vdp.RunLine(0x31, true, false);
        EXPECT_EQ(s.vdp.ReadStatus(), e.status) << int{e.x};
    }
}

// With a stand-in for the CPU's clock: a collision shows once the beam reaches its first
// pixel (pixel 100: 12 + 50 H counter steps after the line starts, T-state 83), the overflow
// of a line's sprites once the counter reaches 0xF5 (T-state 2). A status read before then
// neither sees nor loses them; flags nobody read show from the next line on.
TEST(VdpRenderer, SpriteFlagsShowWhenTheBeamFindsThem) {
    Scene s;
    TStateClock clock;
    s.vdp.AttachClock(&clock);
    const auto line = [&](int n, bool render = true) {
        clock.BudgetStart += 228;
        s.vdp.RunLine(n, render, false);
    };
    const auto statusAt = [&](std::uint32_t t) {
        clock.BeforeInstruction = t;
        return s.vdp.ReadStatus() & (vdp::kStatusOverflow | vdp::kStatusCollision);
    };
    WriteTile(s.vdp, 1, [](int x, int) { return x >= 4 ? 1 : 0; }); // opaque from x 4
    for (int i = 0; i < 9; ++i) s.Sprite(i, 0x30, 96, 1);           // lines 0x31-0x38
    s.EndSprites(9);
    line(0x31);
    EXPECT_EQ(statusAt(1), 0);
    EXPECT_EQ(statusAt(2), vdp::kStatusOverflow);
    EXPECT_EQ(statusAt(82), 0);
    EXPECT_EQ(statusAt(83), vdp::kStatusCollision);
    line(0x32);
    line(0x33);
    EXPECT_EQ(statusAt(0), vdp::kStatusOverflow | vdp::kStatusCollision) << "line 0x32's";

    // No flags while the display is off, drawn or not; with it on, undrawn lines (frameskip)
    // and a hidden sprite layer find them all the same.
    const struct {
        std::uint8_t r1;
        bool render;
        std::uint8_t spritesOn;
        std::uint8_t flags;
    } cases[] = {{0x00, true, 1, 0},
                 {0x00, false, 1, 0},
                 {0x40, false, 1, vdp::kStatusOverflow | vdp::kStatusCollision},
                 {0x40, true, 0, vdp::kStatusOverflow | vdp::kStatusCollision}};
    for (const auto& c : cases) {
        SetRegister(s.vdp, 1, c.r1);
        s.vdp.SetSpritesEnabled(c.spritesOn);
        statusAt(228);
        line(0x34, c.render);
        EXPECT_EQ(statusAt(228), c.flags) << int{c.r1} << " " << c.render;
    }
    EXPECT_EQ(s.At(100, 0x34), Colour(0)) << "the hidden layer is not drawn";
}

TEST(VdpRenderer, DisplayOffLayersBlankAndLineFlags) {
    Scene s;
    WriteTile(s.vdp, 1, [](int, int) { return 5; });
    for (int c = 0; c < 32; ++c) s.WriteName(c, 0, 1);
    s.Sprite(0, 0xFF, 4, 1); // lines 0-7, x 4-11
    s.EndSprites(1);
    SetRegister(s.vdp, 7, 0x03); // backdrop colour 19
    SetRegister(s.vdp, 0, kMode4 | 0x20);

    // Display off: black, not the backdrop, and no sprite.
    SetRegister(s.vdp, 1, 0x00);
    RunFrame(s.vdp);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(s.At(x, 0), 0);

    // Background off: black behind the sprites; the blank reaches sprite pixels only.
    SetRegister(s.vdp, 1, 0x40);
    s.vdp.SetBackgroundEnabled(0);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), 0);
    EXPECT_EQ(s.At(3, 0), 0);
    EXPECT_EQ(s.At(4, 0), Colour(19));
    EXPECT_EQ(s.At(7, 0), Colour(19));
    EXPECT_EQ(s.At(8, 0), Colour(21));
    EXPECT_EQ(s.At(12, 0), 0);
    EXPECT_EQ(s.At(12, 8), 0);

    // Sprites off, background on.
    s.vdp.SetBackgroundEnabled(1);
    s.vdp.SetSpritesEnabled(0);
    RunFrame(s.vdp);
    EXPECT_EQ(s.At(0, 0), Colour(19));
    EXPECT_EQ(s.At(8, 0), Colour(5));
    EXPECT_EQ(s.At(100, 7), Colour(5));
    EXPECT_EQ(s.At(100, 8), Colour(0));

    // Undrawn lines keep the previous picture, or are zeroed with the clear flag; lines from
    // 192 on never touch the picture.
    SetRegister(s.vdp, 1, 0x00);
    s.vdp.RunLine(0, false, false);
    EXPECT_EQ(s.At(100, 0), Colour(5));
    s.vdp.RunLine(0, false, true);
    EXPECT_EQ(s.At(100, 0), 0);
    const auto before = s.vdp.FrameBuffer;
    for (int line = 192; line < 262; ++line) s.vdp.RunLine(line, true, true);
    EXPECT_EQ(s.vdp.FrameBuffer, before);
}

} // namespace
} // namespace velmar
