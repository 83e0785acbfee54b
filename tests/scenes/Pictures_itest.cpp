// Runs the test programs of tests/roms through the Japanese firmware and checks the whole
// picture against one built here from each program's documented scene.

#include "TestSupport.h"
#include "core/vdp/VdpTestSupport.h"
#include "filters/Hq2x.h"
#include "platform/null/NullDisplay.h"
#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

namespace velmar::scenes {
namespace {

// The palette every test program loads (background 0-15, sprites 16-31).
constexpr std::array<std::uint8_t, 32> kPalette{
    0x00, 0x01, 0x02, 0x03, 0x04, 0x08, 0x0C, 0x10, 0x20, 0x30, 0x05, 0x0A, 0x14, 0x28, 0x15, 0x3F,
    0x00, 0x11, 0x22, 0x33, 0x06, 0x09, 0x12, 0x18, 0x24, 0x1A, 0x26, 0x29, 0x2E, 0x3A, 0x3E, 0x2A};

std::uint8_t Bg(int index) {
    return kPalette[static_cast<std::size_t>(index)];
}
std::uint8_t Spr(int index) {
    return kPalette[static_cast<std::size_t>(16 + index)];
}

// The programs' asymmetric tile.
int Pattern(int px, int py) {
    return 1 + ((px + 3 * py) & 7);
}

bool Inside(int x, int y, int left, int top, int width, int height) {
    return x >= left && x < left + width && y >= top && y < top + height;
}

constexpr int kSceneFrames = 40;

std::unique_ptr<TSMS> RunScene(const std::string& name) {
    auto machine = BootCartridge(TestRom(name), kJapanese, kSceneFrames);
    EXPECT_EQ(Ram(*machine, kSceneReady), kReadyMagic) << name << " did not finish its scene";
    return machine;
}

// The scroll scene: tile 1 + ((c + 3r) mod 14) at name-table row r, column c, each tile
// solid except a marker pixel of index 15 at its top-left corner.
std::uint8_t ScrollScene(int x, int y, int r8, int r9, bool lockTop, bool lockRight) {
    int coarse = r8 >> 3;
    int fine = r8 & 7;
    if (lockTop && y < 16) coarse = fine = 0;
    const int xs = (x - fine + 256) % 256;
    const int column = xs / 8;
    const int px = xs % 8;
    const int nameColumn = (column - coarse + 32) % 32;
    int row = y + (r9 & 7);
    int nameRow = ((r9 >> 3) + row / 8) % 28;
    if (lockRight && column > 23) {
        row = y;
        nameRow = y / 8;
    }
    const int py = row % 8;
    if (px == 0 && py == 0) return Bg(15);
    return Bg(1 + (nameColumn + 3 * nameRow) % 14);
}

TEST(Scenes, ScrollMovesTheBackgroundByTilesAndPixelsAndTheLocksHoldTheirAreas) {
    auto plain = RunScene("scroll");
    EXPECT_TRUE(PictureIs(
        *plain, [](int x, int y) { return ScrollScene(x, y, 0x1B, 0x2D, false, false); }));

    auto locked = RunScene("scroll_lock");
    EXPECT_TRUE(
        PictureIs(*locked, [](int x, int y) { return ScrollScene(x, y, 0x1B, 0x2D, true, true); }));
}

TEST(Scenes, FlipsPaletteSelectAndPriorityCombineWithSprites) {
    auto machine = RunScene("flip_priority");
    EXPECT_TRUE(PictureIs(*machine, [](int x, int y) -> std::uint8_t {
        if (y >= 16 && y < 24 && x >= 16 && x < 104) {
            const int column = x / 8;
            const int px = x % 8;
            const int py = y - 16;
            switch (column) {
            case 2: return Bg(Pattern(px, py));
            case 4: return Bg(Pattern(7 - px, py));
            case 6: return Bg(Pattern(px, 7 - py));
            case 8: return Bg(Pattern(7 - px, 7 - py));
            case 10: return Spr(Pattern(px, py));
            case 12: return Spr(Pattern(7 - px, 7 - py));
            default: return Bg(0);
            }
        }
        if (y >= 80 && y < 88) {
            const int px = x % 8;
            if (x >= 80 && x < 88) return px < 4 ? Spr(1) : Bg(9); // priority, index 0 on the left
            if (x >= 112 && x < 120) return Spr(1);                // no priority
            if (x >= 144 && x < 152) return Bg(Pattern(px, y - 80)); // priority hides the sprite
        }
        return Bg(0);
    }));
}

TEST(Scenes, EightByEightSpritesClipAtTheRightWrapAtTheTopAndStopAtD0) {
    auto machine = RunScene("sprites8");
    EXPECT_TRUE(PictureIs(*machine, [](int x, int y) -> std::uint8_t {
        if (Inside(x, y, 16, 16, 8, 8)) return Spr(1);
        if (Inside(x, y, 100, 50, 8, 8)) return Spr(Pattern(x - 100, y - 50));
        if (Inside(x, y, 250, 100, 6, 8)) return Spr(2);
        if (Inside(x, y, 40, 0, 8, 1)) return Spr(Pattern(x - 40, 7));
        return Bg(0);
    }));
    const std::uint8_t status = Ram(*machine, kStatusAcc);
    EXPECT_NE(status & kStatusFrame, 0);
    EXPECT_EQ(status & (kStatusOverflow | kStatusCollision), 0);
}

TEST(Scenes, EightBySixteenSpritesUseEvenTilePairsFromTheUpperTileSetShiftedLeft) {
    auto machine = RunScene("sprites16");
    EXPECT_TRUE(PictureIs(*machine, [](int x, int y) -> std::uint8_t {
        if (Inside(x, y, 60, 40, 8, 8)) return Spr(2);
        if (Inside(x, y, 60, 48, 8, 8)) return Spr(3);
        if (Inside(x, y, 100, 100, 8, 8)) return Spr(Pattern(x - 100, y - 100));
        if (Inside(x, y, 100, 108, 8, 8)) return Spr(5);
        return Bg(0);
    }));
}

TEST(Scenes, OnlyEightSpritesPerLineAndTheOverflowFlag) {
    auto machine = RunScene("sprites_nine");
    EXPECT_TRUE(PictureIs(*machine, [](int x, int y) -> std::uint8_t {
        for (int s = 0; s < 8; ++s) {
            if (Inside(x, y, 8 + 24 * s, 100, 8, 8)) return Spr(s + 1);
        }
        return Bg(0);
    }));
    EXPECT_NE(Ram(*machine, kStatusAcc) & kStatusOverflow, 0);
}

TEST(Scenes, OverlappingSpritesCollideAndTheFirstStaysInFront) {
    auto machine = RunScene("collision");
    EXPECT_TRUE(PictureIs(*machine, [](int x, int y) -> std::uint8_t {
        if (Inside(x, y, 100, 80, 8, 8)) return Spr(1);
        if (Inside(x, y, 104, 84, 8, 8)) return Spr(2);
        return Bg(0);
    }));
    const std::uint8_t status = Ram(*machine, kStatusAcc);
    EXPECT_NE(status & kStatusCollision, 0);
    EXPECT_EQ(status & kStatusOverflow, 0);
}

TEST(Scenes, DisplayOffIsBlackAndTheLeftBlankShowsTheBackdropOverScrollAndSprites) {
    auto off = RunScene("display_off");
    EXPECT_TRUE(PictureIs(*off, [](int, int) -> std::uint8_t { return 0x00; }));

    auto blank = RunScene("backdrop_blank");
    EXPECT_TRUE(PictureIs(*blank, [](int x, int y) -> std::uint8_t {
        if (x < 8) return Spr(3);
        if (Inside(x, y, 8, 50, 4, 8)) return Spr(2);
        return ((x - 3) / 8) % 2 == 0 ? Bg(1) : Bg(4);
    }));
}

// The shooting screen (gun.asm) with the Light Phaser on port A: each shot flashes the
// screen, and the mark lands where the gun points, all over the screen. Frameskip does not
// blind the gun.
TEST(Scenes, LightGunShotsMarkWhereTheGunPoints) {
    constexpr std::size_t kShots = 0x40, kMisses = 0x41;
    auto machine = NewMachine(kJapanese);
    machine->SetLightGun(bus::kPortA);
    machine->SetFrameskip(3);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("gun"))));
    const auto run = [&](int frames) {
        for (int f = 0; f < frames; ++f) machine->RunFrame();
    };
    run(kSceneFrames);
    ASSERT_EQ(Ram(*machine, kSceneReady), kReadyMagic);
    const auto shoot = [&](int x, int y) {
        machine->AimGun(x, y);
        machine->PullGunTrigger(true);
        run(3);
        machine->PullGunTrigger(false);
        run(3);
    };
    const std::pair<int, int> aims[] = {{128, 96},  {12, 10},  {243, 10}, {12, 181},
                                        {243, 181}, {60, 140}, {190, 50}, {101, 33}};
    int shots = 0;
    for (const auto& [x, y] : aims) {
        shoot(x, y);
        ASSERT_EQ(Ram(*machine, kShots), ++shots) << x << "," << y;
        // The mark: the one 8 x 8 block of sprite colour 1 on black.
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int py = 0; py < kHeight; ++py) {
            for (int px = 0; px < kWidth; ++px) {
                if (Pixel(*machine, px, py) != Rgb565(Spr(1))) continue;
                left = std::min(left, px);
                right = std::max(right, px);
                top = std::min(top, py);
                bottom = std::max(bottom, py);
            }
        }
        EXPECT_EQ(right - left, 7) << x << "," << y;
        EXPECT_EQ(bottom - top, 7) << x << "," << y;
        EXPECT_NEAR((left + right) / 2.0, x, 4.0) << y;
        EXPECT_NEAR((top + bottom) / 2.0, y, 4.0) << x;
    }
    // Aimed off the picture the sensor sees nothing: a miss, and the mark stays hidden.
    shoot(-1, -1);
    EXPECT_EQ(Ram(*machine, kMisses), 1);
    EXPECT_EQ(Ram(*machine, kShots), shots);
    EXPECT_TRUE(PictureIs(*machine, [](int, int) -> std::uint8_t { return Bg(0); }));
}

// The displayed picture is scaled through the presenter's own cache: frame after frame of
// the still stage (fighters moving over a still background) it is what scaling the whole
// frame gives, with snapshots (24 bits, their own bitmap) taken and the filter switched off
// and on between frames.
TEST(Scenes, DisplayedPictureIsTheWholeFrameScaledFrameAfterFrame) {
    NullDisplay display;
    MachineServices services;
    services.Display = &display;
    TSMS machine(services);
    machine.SetBiosType(kJapanese);
    machine.Reset();
    ASSERT_TRUE(machine.LoadCartridge(TestRom("still_stage")));
    for (int f = 0; f < kSceneFrames; ++f) machine.RunFrame();
    ASSERT_EQ(Ram(machine, kSceneReady), kReadyMagic);
    std::vector<std::uint8_t> whole(display.Pixels().size());
    for (int f = 0; f < 12; ++f) {
        if (f % 4 == 1) (void)machine.SnapshotBmp();
        const std::uint8_t filter = f == 6 ? 0 : 1;
        machine.SetHq2x(filter);
        machine.RunFrame();
        Hq2x32(machine.GetConsole().Vdp.FrameBuffer.data(), whole.data(), display.Pitch(), filter);
        EXPECT_TRUE(display.Pixels() == whole) << "frame " << f;
    }
}

// The older modes, one program each (the Graphic II one an SG-1000 cartridge, which starts
// without the firmware), checked pixel by pixel against the model drawing from the chip's
// registers and VRAM; the sprite flags and the fifth sprite's number the program read from
// the status are the ones the model finds.
TEST(Scenes, OlderModesDrawWhatTheModelDraws) {
    testing::TempFolder dir;
    const struct {
        const char* rom;
        const char* loadAs;
        vdp::PictureMode mode;
        bool sprites;
    } cases[] = {{"tms_graphic1", "graphic1.sms", vdp::PictureMode::Graphic1, true},
                 {"tms_graphic2", "graphic2.sg", vdp::PictureMode::Graphic2, true},
                 {"tms_text", "text.SMS", vdp::PictureMode::Text, false},
                 {"tms_multicolor", "multicolor.sms", vdp::PictureMode::Multicolor, true}};
    for (const auto& c : cases) {
        std::filesystem::copy_file(TestRom(c.rom), dir / c.loadAs);
        auto machine = BootCartridge(dir / c.loadAs, kJapanese, 0);
        int frames = 0;
        while (Ram(*machine, kSceneReady) != kReadyMagic && ++frames < kSceneFrames)
            machine->RunFrame();
        for (int f = 0; f < 2; ++f) machine->RunFrame(); // the picture and its flags, settled
        const T_VDP_CORE& vdp = machine->GetConsole().Vdp;
        ASSERT_EQ(vdp.Mode(), c.mode) << c.rom;

        vdptest::TmsLineModel model;
        model.reg = vdp.Registers;
        model.vram = vdp.Vram;
        int wrong = 0, fifth = 0;
        bool overflow = false, collision = false;
        for (int y = 0; y < kHeight; ++y) {
            model.Draw(y);
            for (int x = 0; x < kWidth; ++x) wrong += Pixel(*machine, x, y) != model.pixels[x];
            overflow = overflow || model.overflow;
            collision = collision || model.collision;
            if (model.fifth >= 0) fifth = model.fifth;
        }
        EXPECT_EQ(wrong, 0) << c.rom;
        EXPECT_GE(ColoursIn(*machine, 0, 0, kWidth, kHeight).size(), c.sprites ? 10u : 2u) << c.rom;
        EXPECT_EQ(overflow && collision && fifth == 7, c.sprites) << c.rom;
        EXPECT_EQ((Ram(*machine, kStatusAcc) & kStatusOverflow) != 0, overflow) << c.rom;
        EXPECT_EQ((Ram(*machine, kStatusAcc) & kStatusCollision) != 0, collision) << c.rom;
        EXPECT_EQ(Ram(*machine, kStatusAcc + 1) & vdp::kStatusFifthSprite, fifth) << c.rom;
    }
}

} // namespace
} // namespace velmar::scenes
