#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <random>
#include <span>
#include <thread>

#include "filters/Hq2xTables.h"
#include "filters/Hq2xTestSupport.h"

namespace velmar::testing {
namespace {

// Colours alike and unlike in every combination: each group of three is one colour and two
// similar but unequal ones; the groups differ from each other.
constexpr std::array<std::uint16_t, 9> kPalette = {0x8410, 0x8411, 0x8430, 0x0000, 0x0821,
                                                   0x0020, 0xFFFF, 0xFFDF, 0xF7FF};

// A noisy picture with runs: each pixel copies its left or upper neighbour, or takes a
// random colour of the palette, so flat areas, similar steps and every pattern all occur.
// A large palette needs more copies, from the diagonals too, for every pattern to occur.
template <std::size_t N>
Picture EveryPatternPicture(const std::array<std::uint16_t, N>& palette, unsigned seed) {
    const bool moreCopies = N > 16;
    std::mt19937 rng(seed);
    Picture p;
    for (int y = 0; y < kHq2xSourceHeight; ++y) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) {
            const unsigned roll = rng() % 8;
            if (roll == 0 && x > 0) {
                p.At(x, y) = p.At(x - 1, y);
            } else if (roll == 1 && y > 0) {
                p.At(x, y) = p.At(x, y - 1);
            } else if (moreCopies && roll < 5 && x > 0 && x + 1 < kHq2xSourceWidth && y > 0) {
                p.At(x, y) = p.At(roll == 2 ? x - 1 : roll == 3 ? x + 1 : x, y - 1);
            } else {
                p.At(x, y) = palette[rng() % palette.size()];
            }
        }
    }
    return p;
}

// 8-bit pattern of the pixel at (x, y), with the frame's edges repeated.
unsigned PatternAt(Picture& p, int x, int y) {
    const hq2x::YuvTable& yuv = hq2x::RgbToYuvTable();
    const auto at = [&](int dx, int dy) {
        const int cx = std::clamp(x + dx, 0, kHq2xSourceWidth - 1);
        const int cy = std::clamp(y + dy, 0, kHq2xSourceHeight - 1);
        return p.At(cx, cy);
    };
    constexpr int kOffsets[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                    {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
    unsigned pattern = 0;
    for (int i = 0; i < 8; ++i) {
        if (hq2x::Different(yuv, at(kOffsets[i][0], kOffsets[i][1]), at(0, 0))) {
            pattern |= 1u << i;
        }
    }
    return pattern;
}

std::uint64_t Fnv1a(const Output& out) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (int y = 0; y < kOutHeight; ++y) {
        const std::uint8_t* row = out.PixelBytes(0, y);
        for (int i = 0; i < kOutWidth * out.BytesPerPixel(); ++i) {
            h = (h ^ row[i]) * 0x100000001B3ull;
        }
    }
    return h;
}

// The output of every depth, filter on and off, is pinned to known checksums: any change to
// a rule, a blend, a corner's turn or the edge handling shows here. The second picture holds
// only the console's 64 colours (the pictures the machine makes), and the third is the same
// with its last pixel changed to a colour that is not a console colour; in the fourth every
// third row repeats the one above.
TEST(Hq2xPinned, EveryPatternInEveryDepthKeepsItsOutput) {
    std::array<std::uint16_t, 64> console{};
    for (int c = 0; c < 64; ++c) console[static_cast<std::size_t>(c)] = ConsoleColour(c);
    Picture pictures[4] = {EveryPatternPicture(kPalette, 12), EveryPatternPicture(console, 9),
                           EveryPatternPicture(console, 9), EveryPatternPicture(console, 9)};
    // Similar to its left neighbour, so the two blend.
    pictures[2].At(kHq2xSourceWidth - 1, kHq2xSourceHeight - 1) =
        pictures[2].At(kHq2xSourceWidth - 2, kHq2xSourceHeight - 1) ^ 0x0001;
    // Every third row repeats the one above it.
    for (int y = 3; y < kHq2xSourceHeight; y += 3) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) pictures[3].At(x, y) = pictures[3].At(x, y - 1);
    }
    for (Picture& picture : std::span(pictures, 3)) {
        std::bitset<256> seen;
        for (int y = 0; y < kHq2xSourceHeight; ++y) {
            for (int x = 0; x < kHq2xSourceWidth; ++x) seen.set(PatternAt(picture, x, y));
        }
        ASSERT_TRUE(seen.all()) << seen.count() << " of 256 patterns";
    }

    struct Case {
        int picture, bits;
        std::uint8_t filter;
        std::uint64_t checksum;
    };
    constexpr Case kCases[] = {
        {0, 16, 1, 0x785BECE4E091FAF7ull}, {0, 24, 1, 0x0EFE7B95658473E6ull},
        {0, 32, 1, 0xB9F3C73B4CE277AEull}, {0, 16, 0, 0x9CF65884AACBF64Dull},
        {0, 24, 0, 0xF4D5C618B22F9E29ull}, {0, 32, 0, 0x2D7D258ADE030079ull},
        {1, 16, 1, 0xABD1F5D02051E274ull}, {1, 24, 1, 0x0E9879204EAA1792ull},
        {1, 32, 1, 0x798A2AD63DB86730ull}, {1, 16, 0, 0xE21B1BCB4AD3DA25ull},
        {1, 24, 0, 0x25086A536CC98665ull}, {1, 32, 0, 0xE6C95FF109D11785ull},
        {2, 16, 1, 0x19B438D882625EA1ull}, {2, 32, 0, 0xE0CA25A6E4909FA5ull},
        {3, 24, 1, 0xF7855095502C309Cull},
    };
    for (const bool baseline : {false, true}) {
        hq2x::UseBaselineCode(baseline);
        for (const Case& c : kCases) {
            EXPECT_EQ(Fnv1a(Render(c.bits, pictures[c.picture], c.filter)), c.checksum)
                << "picture " << c.picture << ", " << c.bits << " bits, filter " << int(c.filter)
                << ", baseline code " << baseline;
        }
    }
    hq2x::UseBaselineCode(false);

    // Two threads scaling at the same time each get their own picture's output.
    constexpr std::size_t kRounds = 6;
    std::array<std::uint64_t, 2 * kRounds> got{};
    const auto scaleRepeatedly = [&](std::size_t t, const Case& c) {
        for (std::size_t k = 0; k < kRounds; ++k) {
            got[t * kRounds + k] = Fnv1a(Render(c.bits, pictures[c.picture], c.filter));
        }
    };
    std::thread other(scaleRepeatedly, 1, kCases[14]);
    scaleRepeatedly(0, kCases[2]);
    other.join();
    for (std::size_t k = 0; k < kRounds; ++k) {
        EXPECT_EQ(got[k], kCases[2].checksum);
        EXPECT_EQ(got[kRounds + k], kCases[14].checksum);
    }
}

// Scaling through a cache gives, frame after frame, exactly what scaling the whole frame
// gives, guard bytes included, whatever was kept: a first frame, a sprite moving over a still
// background (across the edges and the runs of 16 pixels), scrolls, a palette change, a
// change of depth, filter, pitch or destination, and pictures of other colours.
TEST(Hq2xCache, EveryFrameIsTheWholeFrameScaled) {
    const Picture stage = GameLikePicture();
    const auto withSprite = [&](int left, int top, const Picture& under) {
        Picture p = under;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                if (left + x < kHq2xSourceWidth && top + y < kHq2xSourceHeight)
                    p.At(left + x, top + y) = ConsoleColour((x * 5 + y * 3) % 7 < 3 ? 0x3F : 0x13);
            }
        }
        return p;
    };
    const auto scrolled = [](const Picture& from, int dx, int dy) {
        Picture p;
        for (int y = 0; y < kHq2xSourceHeight; ++y) {
            for (int x = 0; x < kHq2xSourceWidth; ++x) {
                p.At(x, y) = from.pixels[static_cast<std::size_t>(
                    (y + dy) % kHq2xSourceHeight * kHq2xSourceWidth + (x + dx) % kHq2xSourceWidth)];
            }
        }
        return p;
    };
    std::array<std::uint16_t, 64> console{};
    for (int c = 0; c < 64; ++c) console[static_cast<std::size_t>(c)] = ConsoleColour(c);
    const Picture detail = EveryPatternPicture(console, 9);
    Picture repainted = stage;
    for (std::uint16_t& p : repainted.pixels)
        if (p == ConsoleColour(0x04)) p = ConsoleColour(0x0C);
    Picture noisy = EveryPatternPicture(kPalette, 12), noisyMoved = noisy;
    for (int y = 40; y < 44; ++y) noisyMoved.At(200, y) = noisy.At(17, y);

    struct Frame {
        Picture picture;
        int bits;
        std::uint8_t filter;
        std::ptrdiff_t pitch;
    };
    const std::ptrdiff_t wide = 2 * 1024 + 8;
    const Frame frames[] = {
        {stage, 32, 1, 0},
        {withSprite(100, 60, stage), 32, 1, 0},
        {withSprite(101, 60, stage), 32, 1, 0},
        {withSprite(103, 63, stage), 32, 1, 0},
        {withSprite(0, 0, stage), 32, 1, 0},
        {withSprite(240, 176, stage), 32, 1, 0},
        {withSprite(250, 188, stage), 32, 1, wide},
        {withSprite(15, 90, stage), 32, 1, -wide},
        {stage, 32, 1, 0},
        {scrolled(stage, 1, 0), 32, 1, 0},
        {detail, 32, 1, 0},
        {scrolled(detail, 1, 0), 32, 1, 0},
        {withSprite(20, 20, scrolled(detail, 1, 0)), 32, 1, 0},
        {scrolled(detail, 1, 1), 32, 1, 0},
        {stage, 32, 1, 0},
        {repainted, 32, 1, 0},
        {withSprite(31, 100, stage), 16, 1, 0},
        {withSprite(32, 101, stage), 16, 1, 0},
        {withSprite(32, 102, stage), 24, 1, 0},
        {withSprite(47, 102, stage), 24, 1, 0},
        {withSprite(47, 102, stage), 24, 0, 0},
        {withSprite(48, 103, stage), 24, 0, 0},
        {withSprite(48, 103, stage), 24, 1, 0},
        {noisy, 24, 1, 0},
        {noisyMoved, 24, 1, 0},
        {noisy, 24, 0, 0},
        {noisyMoved, 24, 0, 0},
        {noisyMoved, 32, 1, 0},
        {withSprite(64, 64, stage), 32, 1, 0},
    };
    // Every byte of the destination, guard bytes included.
    const auto hash = [](const Output& out) {
        std::uint64_t h = 0xCBF29CE484222325ull;
        for (const std::uint8_t b : out.bytes) h = (h ^ b) * 0x100000001B3ull;
        return h;
    };
    std::vector<std::uint64_t> whole;
    for (const Frame& f : frames)
        whole.push_back(hash(Render(f.bits, f.picture, f.filter, f.pitch)));
    Hq2xCache cache;
    for (const bool baseline : {false, true}) {
        hq2x::UseBaselineCode(baseline);
        for (std::size_t k = 0; k < std::size(frames); ++k) {
            const Frame& f = frames[k];
            EXPECT_EQ(hash(Render(f.bits, f.picture, f.filter, f.pitch, 0xAA, &cache)), whole[k])
                << "frame " << k << ", baseline " << baseline;
        }
    }
    hq2x::UseBaselineCode(false);
}

} // namespace
} // namespace velmar::testing
