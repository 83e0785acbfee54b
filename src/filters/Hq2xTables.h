// Lookup tables shared by the three HQ2x scalers: colour conversions, the similarity test and
// the per-corner rule table.
#pragma once

#include <array>
#include <cstdint>

namespace velmar::hq2x {

// Y in bits 23-16, U in bits 15-8, V in bits 7-0, indexed by an RGB565 value.
using YuvTable = std::array<std::uint32_t, 65536>;
// 0x00RRGGBB with the unused low bits of each channel zero, indexed by an RGB565 value.
using ColourTable = std::array<std::uint32_t, 65536>;

const YuvTable& RgbToYuvTable();
const ColourTable& Rgb565To32Table();

// Largest Y, U and V differences two colours may have and still count as similar.
inline constexpr std::uint32_t kYThreshold = 0x30;
inline constexpr std::uint32_t kUThreshold = 0x07;
inline constexpr std::uint32_t kVThreshold = 0x06;

// Similarity test on two packed Y/U/V words.
inline bool YuvDiffer(std::uint32_t p, std::uint32_t q) {
    const auto gap = [](std::uint32_t a, std::uint32_t b) { return a > b ? a - b : b - a; };
    return gap(p >> 16, q >> 16) > kYThreshold ||
           gap((p >> 8) & 0xFF, (q >> 8) & 0xFF) > kUThreshold ||
           gap(p & 0xFF, q & 0xFF) > kVThreshold;
}

// Different(a, b) on two RGB565 values: equal values are never different.
inline bool Different(const YuvTable& yuv, std::uint16_t a, std::uint16_t b) {
    return a != b && YuvDiffer(yuv[a], yuv[b]);
}

// Neighbourhood slots, row by row: w1 w2 w3 / w4 w5 w6 / w7 w8 w9 are slots 0 to 8.
inline constexpr std::uint8_t kSlotCentre = 4;

// Pattern bits: a neighbour whose bit is set is Different from the centre.
inline constexpr unsigned kBitW1 = 0x01, kBitW2 = 0x02, kBitW3 = 0x04, kBitW4 = 0x08, kBitW6 = 0x10,
                          kBitW7 = 0x20, kBitW8 = 0x40, kBitW9 = 0x80;
inline constexpr unsigned kOrthogonalBits = kBitW2 | kBitW4 | kBitW6 | kBitW8;

// How one output pixel is made from the centre colour c5 and up to two neighbours x and y.
enum class Blend : std::uint8_t {
    Copy,     // c5
    Interp1,  // (3 c5 + x) / 4
    Interp2,  // (2 c5 + x + y) / 4
    Interp6,  // (5 c5 + 2 x + y) / 8
    Interp7,  // (6 c5 + x + y) / 8
    Interp9,  // (2 c5 + 3 x + 3 y) / 8
    Interp10, // (14 c5 + x + y) / 16
};

struct BlendStep {
    Blend blend = Blend::Copy;
    std::uint8_t x = kSlotCentre; // neighbourhood slots
    std::uint8_t y = kSlotCentre;
};

// The rule of one output pixel for one pattern: when testA != testB the pixel depends on
// whether the neighbours in those two slots are Different from each other.
struct CornerRule {
    std::uint8_t testA = kSlotCentre;
    std::uint8_t testB = kSlotCentre;
    BlendStep ifDifferent;
    BlendStep otherwise;
};

// Output pixels of a block: upper-left, upper-right, lower-left, lower-right.
inline constexpr int kCorners = 4;
using CornerRuleTable = std::array<std::array<CornerRule, kCorners>, 256>;

// The rules of all four output pixels for every pattern.
const CornerRuleTable& CornerRules();

} // namespace velmar::hq2x
