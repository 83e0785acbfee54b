#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <random>

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
Picture EveryPatternPicture() {
    std::mt19937 rng(12);
    Picture p;
    for (int y = 0; y < kHq2xSourceHeight; ++y) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) {
            const unsigned roll = rng() % 8;
            if (roll == 0 && x > 0) {
                p.At(x, y) = p.At(x - 1, y);
            } else if (roll == 1 && y > 0) {
                p.At(x, y) = p.At(x, y - 1);
            } else {
                p.At(x, y) = kPalette[rng() % kPalette.size()];
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
// a rule, a blend, a corner's turn or the edge handling shows here.
TEST(Hq2xPinned, EveryPatternInEveryDepthKeepsItsOutput) {
    Picture picture = EveryPatternPicture();
    std::bitset<256> seen;
    for (int y = 0; y < kHq2xSourceHeight; ++y) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) seen.set(PatternAt(picture, x, y));
    }
    ASSERT_TRUE(seen.all()) << seen.count() << " of 256 patterns";

    struct Case {
        int bits;
        std::uint8_t filter;
        std::uint64_t checksum;
    };
    constexpr Case kCases[] = {
        {16, 1, 0x785BECE4E091FAF7ull}, {24, 1, 0x0EFE7B95658473E6ull},
        {32, 1, 0xB9F3C73B4CE277AEull}, {16, 0, 0x9CF65884AACBF64Dull},
        {24, 0, 0xF4D5C618B22F9E29ull}, {32, 0, 0x2D7D258ADE030079ull},
    };
    for (const bool baseline : {false, true}) {
        hq2x::UseBaselineCode(baseline);
        for (const Case& c : kCases) {
            EXPECT_EQ(Fnv1a(Render(c.bits, picture, c.filter)), c.checksum)
                << c.bits << " bits, filter " << int(c.filter) << ", baseline code " << baseline;
        }
    }
    hq2x::UseBaselineCode(false);
}

} // namespace
} // namespace velmar::testing
