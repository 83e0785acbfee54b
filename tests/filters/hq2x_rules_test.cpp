#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <random>

#include "filters/Hq2xTables.h"
#include "filters/Hq2xTestSupport.h"

namespace velmar::testing {
namespace {

// Neighbourhoods are 3 x 3 tiles laid side by side; the block of each tile's centre depends
// on that tile alone.
constexpr int kTilesAcross = kHq2xSourceWidth / 3, kTilesDown = kHq2xSourceHeight / 3;

constexpr std::uint16_t kCentre = 0x8410;
// Similar to the centre (one step of blue or green, or equal).
constexpr std::array<std::uint16_t, 6> kNear = {0x8410, 0x8411, 0x840F, 0x8430, 0x83F0, 0x8431};
// Different from the centre and from each other.
constexpr std::array<std::uint16_t, 8> kFar = {0x0000, 0xFFFF, 0xF800, 0x07E0,
                                               0x001F, 0xFFE0, 0x07FF, 0xF81F};

// Pattern bit of each neighbour, by offset (dx + 1) + 3 (dy + 1).
constexpr std::array<unsigned, 9> kBitAt = {0x01, 0x02, 0x04, 0x08, 0, 0x10, 0x20, 0x40, 0x80};

using Tile = std::array<std::uint16_t, 9>; // row by row, centre at 4

Tile MakeTile(unsigned pattern, std::mt19937& rng, int farMode) {
    Tile t{};
    const std::uint16_t sharedFar = kFar[rng() % kFar.size()];
    for (int i = 0; i < 9; ++i) {
        if (i == 4) {
            t[4] = kCentre;
        } else if (pattern & kBitAt[static_cast<std::size_t>(i)]) {
            // farMode 0: all different neighbours alike; 1: independent; 2: all unlike.
            t[static_cast<std::size_t>(i)] = farMode == 0 ? sharedFar
                                             : farMode == 1
                                                 ? kFar[rng() % kFar.size()]
                                                 : kFar[static_cast<std::size_t>(i) % kFar.size()];
        } else {
            t[static_cast<std::size_t>(i)] = kNear[rng() % kNear.size()];
        }
    }
    return t;
}

// A symmetry of the square as a matrix on (dx, dy), y pointing down.
struct Turn {
    int xx, xy, yx, yy;
    void Apply(int dx, int dy, int& ox, int& oy) const {
        ox = xx * dx + xy * dy;
        oy = yx * dx + yy * dy;
    }
};
constexpr Turn kTurns[8] = {
    {1, 0, 0, 1},  {0, -1, 1, 0}, {-1, 0, 0, -1}, {0, 1, -1, 0},  // rotations
    {-1, 0, 0, 1}, {0, 1, 1, 0},  {1, 0, 0, -1},  {0, -1, -1, 0}, // mirrored
};

void PlaceTile(Picture& p, int tile, const Tile& t, const Turn& turn) {
    const int cx = (tile % kTilesAcross) * 3 + 1, cy = (tile / kTilesAcross) * 3 + 1;
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            int ox, oy;
            turn.Apply(dx, dy, ox, oy);
            p.At(cx + ox, cy + oy) = t[static_cast<std::size_t>((dx + 1) + 3 * (dy + 1))];
        }
    }
}

std::uint32_t BlockPixel(const Output& out, int tile, int bx, int by) {
    const int cx = (tile % kTilesAcross) * 3 + 1, cy = (tile / kTilesAcross) * 3 + 1;
    return out.Rgb(2 * cx + bx, 2 * cy + by);
}

TEST(Hq2xRules, TestColoursHaveTheIntendedSimilarity) {
    const auto& yuv = hq2x::RgbToYuvTable();
    for (const std::uint16_t n : kNear) EXPECT_FALSE(hq2x::Different(yuv, kCentre, n)) << n;
    for (const std::uint16_t f : kFar) {
        EXPECT_TRUE(hq2x::Different(yuv, kCentre, f)) << f;
        for (const std::uint16_t g : kFar) EXPECT_EQ(hq2x::Different(yuv, f, g), f != g);
    }
}

// Every pattern, with many colourings, in all eight orientations: turning or mirroring the
// neighbourhood turns or mirrors the output block in the same way.
TEST(Hq2xRules, EveryPatternIsSymmetricUnderTurnsAndMirrors) {
    std::mt19937 rng(12345);
    std::vector<Tile> tiles;
    for (int i = 0; i < kTilesAcross * kTilesDown; ++i) {
        tiles.push_back(MakeTile(static_cast<unsigned>(i % 256), rng, (i / 256) % 3));
    }
    Picture upright(kCentre);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        PlaceTile(upright, static_cast<int>(i), tiles[i], kTurns[0]);
    }
    const Output base = Render(32, upright, 1);
    for (const Turn& turn : kTurns) {
        Picture turned(kCentre);
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            PlaceTile(turned, static_cast<int>(i), tiles[i], turn);
        }
        const Output out = Render(32, turned, 1);
        int bad = 0;
        for (int tile = 0; tile < static_cast<int>(tiles.size()); ++tile) {
            for (int by = 0; by < 2; ++by) {
                for (int bx = 0; bx < 2; ++bx) {
                    int ox, oy;
                    turn.Apply(2 * bx - 1, 2 * by - 1, ox, oy);
                    if (BlockPixel(out, tile, (ox + 1) / 2, (oy + 1) / 2) !=
                        BlockPixel(base, tile, bx, by)) {
                        if (++bad < 5) {
                            ADD_FAILURE()
                                << "pattern " << tile % 256 << " corner " << bx << "," << by
                                << " turn " << turn.xx << turn.xy << turn.yx << turn.yy;
                        }
                    }
                }
            }
        }
        EXPECT_EQ(bad, 0);
    }
}

// Builds one tile per case from explicit colours and returns the scaled blocks.
class HandChecked : public ::testing::Test {
  protected:
    int Add(const Tile& t) {
        PlaceTile(picture_, count_, t, kTurns[0]);
        return count_++;
    }
    void Render32() { out_ = Render(32, picture_, 1); }
    std::array<std::uint32_t, 4> Block(int tile) const {
        return {BlockPixel(out_, tile, 0, 0), BlockPixel(out_, tile, 1, 0),
                BlockPixel(out_, tile, 0, 1), BlockPixel(out_, tile, 1, 1)};
    }
    Picture picture_{kCentre};
    Output out_{};
    int count_ = 0;
};

TEST_F(HandChecked, NamedPatterns) {
    const std::uint16_t a = kCentre, n1 = 0x8411, n2 = 0x8430, b = 0x0000;
    const std::uint32_t A = Wide(a), N1 = Wide(n1), N2 = Wide(n2), B = Wide(b);
    // Pattern 0 with w2 and w4 unequal but similar: each pixel 2:1:1 with its two sides.
    const int p0 = Add({a, n1, a, n2, a, a, a, a, a});
    // Pattern 255 with all neighbours alike: 14:1:1 everywhere.
    const int p255same = Add({b, b, b, b, a, b, b, b, b});
    // Pattern 255 with each pair of sides unlike: the centre colour everywhere.
    const int p255apart = Add({b, 0xF800, b, 0x07E0, a, 0x001F, b, 0xFFFF, b});
    // Pattern 90 (sides differ, corners similar), sides alike: 6:1:1 of the centre and sides.
    const int p90same = Add({n1, b, n1, b, a, b, n1, b, n1});
    // Pattern 90, sides unlike: 3:1 towards the similar corner.
    const int p90apart = Add({n1, 0xF800, n1, 0x07E0, a, 0x001F, n1, 0xFFFF, n1});
    // Patterns 30 and 254: up and left differ, w1 matches, and no test decides the corner.
    const int p30 = Add({n1, b, b, b, a, b, n1, n1, n1});
    const int p254 = Add({n1, b, b, b, a, b, b, b, b});
    Render32();

    using Arr = std::array<std::uint32_t, 4>;
    EXPECT_EQ(Block(p0),
              (Arr{Mix(A, 2, N2, 1, N1, 1), Mix(A, 2, N1, 1, A, 1), Mix(A, 2, A, 1, N2, 1), A}));
    const std::uint32_t ten = Mix(A, 14, B, 1, B, 1);
    EXPECT_EQ(Block(p255same), (Arr{ten, ten, ten, ten}));
    EXPECT_EQ(Block(p255apart), (Arr{A, A, A, A}));
    const std::uint32_t seven = Mix(A, 6, B, 1, B, 1);
    EXPECT_EQ(Block(p90same), (Arr{seven, seven, seven, seven}));
    const std::uint32_t lean = Mix(A, 3, N1, 1, 0, 0);
    EXPECT_EQ(Block(p90apart), (Arr{lean, lean, lean, lean}));
    EXPECT_EQ(Block(p30)[0], lean);
    EXPECT_EQ(Block(p254)[0], lean);
}

TEST_F(HandChecked, PatternPairsThatShareARule) {
    // Each pair differs only in diagonal bits that its rule never reads; built from the same
    // colours elsewhere, both patterns of a pair give the same block.
    struct Pair {
        unsigned a, b;
    };
    const Pair pairs[] = {{26, 31}, {82, 214}, {88, 248}, {74, 107}};
    std::vector<std::pair<int, int>> tiles;
    for (const Pair& pair : pairs) {
        for (int farMode = 0; farMode < 3; ++farMode) {
            std::mt19937 rng(static_cast<unsigned>(pair.a * 7 + farMode));
            const Tile all = MakeTile(255, rng, farMode);
            Tile ta{}, tb{};
            for (std::size_t i = 0; i < 9; ++i) {
                const unsigned bit = kBitAt[i];
                ta[i] = (i == 4 || !(pair.a & bit)) ? (i == 4 ? kCentre : kNear[i % 6]) : all[i];
                tb[i] = (i == 4 || !(pair.b & bit)) ? (i == 4 ? kCentre : kNear[i % 6]) : all[i];
            }
            tiles.emplace_back(Add(ta), Add(tb));
        }
    }
    Render32();
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        EXPECT_EQ(Block(tiles[i].first), Block(tiles[i].second))
            << "pair " << pairs[i / 3].a << "/" << pairs[i / 3].b << " colouring " << i % 3;
    }
}

// The three depths make the same choices: 24 and 32 bits store the same colours, and 16 bits
// lands within one step of each channel.
TEST(Hq2xRules, DepthsAgree) {
    std::mt19937 rng(777);
    Picture tiled(kCentre);
    for (int i = 0; i < kTilesAcross * kTilesDown; ++i) {
        PlaceTile(tiled, i, MakeTile(static_cast<unsigned>(i % 256), rng, (i / 256) % 3),
                  kTurns[0]);
    }
    for (const Picture& picture : {tiled, GameLikePicture()}) {
        const Output o32 = Render(32, picture, 1), o24 = Render(24, picture, 1),
                     o16 = Render(16, picture, 1);
        int apart24 = 0, apart16 = 0;
        for (int y = 0; y < kOutHeight; ++y) {
            for (int x = 0; x < kOutWidth; ++x) {
                const std::uint32_t c = o32.Rgb(x, y);
                if (o24.Rgb(x, y) != c) ++apart24;
                const std::uint32_t h = o16.Rgb(x, y);
                const int dr = std::abs(int(c >> 16) - int(h >> 16));
                const int dg = std::abs(int((c >> 8) & 0xFF) - int((h >> 8) & 0xFF));
                const int db = std::abs(int(c & 0xFF) - int(h & 0xFF));
                if (dr > 8 || dg > 4 || db > 8) ++apart16;
            }
        }
        EXPECT_EQ(apart24, 0);
        EXPECT_EQ(apart16, 0);
    }
}

} // namespace
} // namespace velmar::testing
