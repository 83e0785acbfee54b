#include "filters/Hq2xTables.h"

#include <initializer_list>

namespace velmar::hq2x {

namespace {

YuvTable BuildYuvTable() {
    YuvTable table{};
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        const int r = static_cast<int>((i >> 11) & 0x1F) * 8;
        const int g = static_cast<int>((i >> 5) & 0x3F) * 4;
        const int b = static_cast<int>(i & 0x1F) * 8;
        const int y = (r + g + b) / 4;
        const int u = 128 + (r - b) / 4;
        const int v = 128 + (-r + 2 * g - b) / 8;
        table[i] = static_cast<std::uint32_t>(y << 16 | u << 8 | v);
    }
    return table;
}

ColourTable BuildColourTable() {
    ColourTable table{};
    for (std::uint32_t i = 0; i < table.size(); ++i) {
        table[i] = (i & 0xF800) << 8 | (i & 0x07E0) << 5 | (i & 0x001F) << 3;
    }
    return table;
}

// The rule of the upper-left output pixel is written out below; the other three corners use
// the same rule on the neighbourhood turned so that their corner comes to the upper left.
// Slots seen from the upper-left pixel:
constexpr std::uint8_t kDiag = 0, kUp = 1, kLeft = 3, kRight = 5, kDown = 7;

// A shape fixes some pattern bits (care) to given values (bits); the others are free. Bits:
// 0x01 w1, 0x02 w2, 0x04 w3, 0x08 w4, 0x10 w6, 0x20 w7, 0x40 w8, 0x80 w9.
struct Shape {
    std::uint8_t care;
    std::uint8_t bits;
};

bool Fits(unsigned pattern, std::initializer_list<Shape> shapes) {
    for (const Shape& s : shapes) {
        if ((pattern & s.care) == s.bits) return true;
    }
    return false;
}

constexpr BlendStep Step(Blend blend, std::uint8_t x = kSlotCentre, std::uint8_t y = kSlotCentre) {
    return BlendStep{blend, x, y};
}

// w1, w2 and w6 differ while w4 and w9 match: an edge runs above the centre and turns down
// on its right.
constexpr std::initializer_list<Shape> kEdgeAlongTop = {{0xBF, 0x37}, {0xDB, 0x13}};
// The same mirrored about the main diagonal: w1, w4 and w8 differ, w2 and w9 match.
constexpr std::initializer_list<Shape> kEdgeAlongLeft = {{0xDB, 0x49}, {0xEF, 0x6D}};
// Up and left both differ and enclose the corner: the corner keeps the centre colour.
constexpr std::initializer_list<Shape> kClosedCorner = {{0x0B, 0x0B}, {0xFE, 0x4A}, {0xFE, 0x1A}};
// Up and left both differ but the diagonal matches the centre: the corner leans to w1.
constexpr std::initializer_list<Shape> kOpenCorner = {
    {0x6F, 0x2A}, {0x5B, 0x0A}, {0xBF, 0x3A}, {0xDF, 0x5A}, {0x9F, 0x8A},
    {0xCF, 0x8A}, {0xEF, 0x4E}, {0x3F, 0x0E}, {0xFB, 0x5A}, {0xBB, 0x8A},
    {0x7F, 0x5A}, {0xAF, 0x8A}, {0xEB, 0x8A}};

// The pixel when no neighbour test applies, or when the tested pair is similar.
BlendStep PlainStep(unsigned p) {
    if (Fits(p, {{0x0B, 0x08}})) return Step(Blend::Interp2, kDiag, kUp);
    if (Fits(p, {{0x0B, 0x02}})) return Step(Blend::Interp2, kDiag, kLeft);
    if (Fits(p, {{0x2F, 0x2F}})) return Step(Blend::Interp10, kLeft, kUp);
    if (Fits(p, kEdgeAlongTop)) return Step(Blend::Interp6, kUp, kLeft);
    if (Fits(p, kEdgeAlongLeft)) return Step(Blend::Interp6, kLeft, kUp);
    if (Fits(p, {{0x1B, 0x03}, {0x4F, 0x43}, {0x8B, 0x83}, {0x6B, 0x43}})) {
        return Step(Blend::Interp1, kLeft);
    }
    if (Fits(p, {{0x4B, 0x09}, {0x8B, 0x89}, {0x1F, 0x19}, {0x3B, 0x19}})) {
        return Step(Blend::Interp1, kUp);
    }
    if (Fits(p, {{0x7E, 0x2A}, {0xEF, 0xAB}, {0xBF, 0x8F}, {0x7E, 0x0E}})) {
        return Step(Blend::Interp9, kLeft, kUp);
    }
    if (Fits(
            p,
            {{0xFB, 0x6A}, {0x6F, 0x6E}, {0x3F, 0x3E}, {0xFB, 0xFA}, {0xDF, 0xDE}, {0xDF, 0x1E}})) {
        return Step(Blend::Interp7, kLeft, kUp);
    }
    if (Fits(p, {{0x0A, 0x00},
                 {0x4F, 0x4B},
                 {0x9F, 0x1B},
                 {0x2F, 0x0B},
                 {0xBE, 0x0A},
                 {0xEE, 0x0A},
                 {0x7E, 0x0A},
                 {0xEB, 0x4B},
                 {0x3B, 0x1B}})) {
        return Step(Blend::Interp2, kLeft, kUp);
    }
    return Step(Blend::Interp7, kLeft, kUp);
}

CornerRule UpperLeftRule(unsigned p) {
    CornerRule rule;
    rule.otherwise = PlainStep(p);
    const auto tested = [&rule](std::uint8_t a, std::uint8_t b, BlendStep step) {
        rule.testA = a;
        rule.testB = b;
        rule.ifDifferent = step;
    };
    if (Fits(p, kEdgeAlongTop)) {
        tested(kUp, kRight, Step(Blend::Interp1, kLeft));
    } else if (Fits(p, kEdgeAlongLeft)) {
        tested(kDown, kLeft, Step(Blend::Interp1, kUp));
    } else if (Fits(p, kClosedCorner)) {
        tested(kLeft, kUp, Step(Blend::Copy));
    } else if (Fits(p, kOpenCorner)) {
        tested(kLeft, kUp, Step(Blend::Interp1, kDiag));
    } else if (Fits(p, {{0x0B, 0x0A}})) {
        // Up and left differ, the diagonal matches, and no test between them applies: the
        // corner leans to w1 (Interp7 belongs only to the similar branch of the tests above).
        rule.otherwise = Step(Blend::Interp1, kDiag);
    }
    return rule;
}

// For each corner, the real slot seen at each slot of the turned neighbourhood.
constexpr std::array<std::array<std::uint8_t, 9>, kCorners> kTurn = {{
    {0, 1, 2, 3, 4, 5, 6, 7, 8}, // upper left: as is
    {2, 5, 8, 1, 4, 7, 0, 3, 6}, // upper right: turned a quarter anticlockwise
    {6, 3, 0, 7, 4, 1, 8, 5, 2}, // lower left: turned a quarter clockwise
    {8, 7, 6, 5, 4, 3, 2, 1, 0}, // lower right: turned a half
}};

constexpr std::array<unsigned, 9> kSlotBit = {kBitW1, kBitW2, kBitW3, kBitW4, 0,
                                              kBitW6, kBitW7, kBitW8, kBitW9};

CornerRuleTable BuildCornerRules() {
    CornerRuleTable table{};
    for (unsigned pattern = 0; pattern < 256; ++pattern) {
        for (int corner = 0; corner < kCorners; ++corner) {
            const auto& turn = kTurn[static_cast<std::size_t>(corner)];
            unsigned turned = 0;
            for (std::size_t slot = 0; slot < 9; ++slot) {
                if (pattern & kSlotBit[turn[slot]]) turned |= kSlotBit[slot];
            }
            CornerRule rule = UpperLeftRule(turned);
            const auto real = [&turn](BlendStep s) {
                return BlendStep{s.blend, turn[s.x], turn[s.y]};
            };
            rule.testA = turn[rule.testA];
            rule.testB = turn[rule.testB];
            rule.ifDifferent = real(rule.ifDifferent);
            rule.otherwise = real(rule.otherwise);
            table[pattern][static_cast<std::size_t>(corner)] = rule;
        }
    }
    return table;
}

} // namespace

const YuvTable& RgbToYuvTable() {
    static const YuvTable table = BuildYuvTable();
    return table;
}

const ColourTable& Rgb565To32Table() {
    static const ColourTable table = BuildColourTable();
    return table;
}

const CornerRuleTable& CornerRules() {
    static const CornerRuleTable table = BuildCornerRules();
    return table;
}

} // namespace velmar::hq2x
