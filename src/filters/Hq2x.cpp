#include "filters/Hq2x.h"

#include <array>

#include "filters/Hq2xPixels.h"
#include "filters/Hq2xTables.h"

namespace velmar {

namespace {

using hq2x::Blend;
using hq2x::BlendStep;

// Cross bits: which orthogonal neighbours are not equal to the centre.
constexpr unsigned kCrossW2 = 1, kCrossW4 = 2, kCrossW6 = 4, kCrossW8 = 8;

// Neighbourhood slots of w1..w9.
constexpr int kW1 = 0, kW2 = 1, kW3 = 2, kW4 = 3, kW5 = 4, kW6 = 5, kW7 = 6, kW8 = 7, kW9 = 8;

using Window = std::array<std::uint16_t, 9>;

template <typename Depth> class Scaler {
  public:
    Scaler(std::uint8_t* dest, std::ptrdiff_t pitch)
        : yuv_(hq2x::RgbToYuvTable()), wide_(hq2x::Rgb565To32Table()), rules_(hq2x::CornerRules()),
          dest_(dest), pitch_(pitch) {}

    void Run(const std::uint16_t* source, bool filter) const {
        constexpr int kWidth = kHq2xSourceWidth, kHeight = kHq2xSourceHeight;
        for (int y = 0; y < kHeight; ++y) {
            const std::uint16_t* above = source + (y > 0 ? y - 1 : y) * kWidth;
            const std::uint16_t* row = source + y * kWidth;
            const std::uint16_t* below = source + (y < kHeight - 1 ? y + 1 : y) * kWidth;
            std::uint8_t* upper = dest_ + 2 * y * pitch_;
            std::uint8_t* lower = upper + pitch_;
            // The window slides right one column per pixel; the first column sees itself on
            // its left and the last one on its right.
            unsigned w1 = above[0], w2 = above[0], w3 = above[1];
            unsigned w4 = row[0], w5 = row[0], w6 = row[1];
            unsigned w7 = below[0], w8 = below[0], w9 = below[1];
            for (int x = 0; x < kWidth; ++x) {
                if (w2 == w5 && w4 == w5 && w6 == w5 && w8 == w5) {
                    const std::uint32_t c5 = Depth::Colour(wide_, static_cast<std::uint16_t>(w5));
                    Block(upper, lower, c5, c5, c5, c5);
                } else {
                    const auto v = [](unsigned value) { return static_cast<std::uint16_t>(value); };
                    Pixel({v(w1), v(w2), v(w3), v(w4), v(w5), v(w6), v(w7), v(w8), v(w9)}, upper,
                          lower, filter);
                }
                upper += 2 * Depth::kBytes;
                lower += 2 * Depth::kBytes;
                const int next = x + 2 < kWidth ? x + 2 : kWidth - 1;
                w1 = w2, w2 = w3, w3 = above[next];
                w4 = w5, w5 = w6, w6 = row[next];
                w7 = w8, w8 = w9, w9 = below[next];
            }
        }
    }

  private:
    std::uint32_t C(const Window& w, int slot) const {
        return Depth::Colour(wide_, w[static_cast<std::size_t>(slot)]);
    }

    static void Block(std::uint8_t* upper, std::uint8_t* lower, std::uint32_t ul, std::uint32_t ur,
                      std::uint32_t ll, std::uint32_t lr) {
        Depth::StorePair(upper, ul, ur);
        Depth::StorePair(lower, ll, lr);
    }

    // A pixel with at least one orthogonal neighbour unequal to it.
    void Pixel(const Window& w, std::uint8_t* upper, std::uint8_t* lower, bool filter) const {
        const std::uint16_t centre = w[kW5];
        const unsigned cross =
            (w[kW2] != centre ? kCrossW2 : 0) | (w[kW4] != centre ? kCrossW4 : 0) |
            (w[kW6] != centre ? kCrossW6 : 0) | (w[kW8] != centre ? kCrossW8 : 0);
        const std::uint32_t c5 = C(w, kW5);
        const std::uint32_t centreYuv = yuv_[centre];
        const auto differs = [&](int slot, unsigned bit) {
            const std::uint16_t v = w[static_cast<std::size_t>(slot)];
            return v != centre && hq2x::YuvDiffer(yuv_[v], centreYuv) ? bit : 0u;
        };
        unsigned pattern = differs(kW2, hq2x::kBitW2) | differs(kW4, hq2x::kBitW4) |
                           differs(kW6, hq2x::kBitW6) | differs(kW8, hq2x::kBitW8);
        if (pattern == 0) {
            FastBlock(w, upper, lower, cross, c5);
            return;
        }
        if (!filter) {
            Block(upper, lower, c5, c5, c5, c5);
            return;
        }
        pattern |= differs(kW1, hq2x::kBitW1) | differs(kW3, hq2x::kBitW3) |
                   differs(kW7, hq2x::kBitW7) | differs(kW9, hq2x::kBitW9);
        const auto& rules = rules_[pattern];
        Block(upper, lower, Corner(w, rules[0], c5), Corner(w, rules[1], c5),
              Corner(w, rules[2], c5), Corner(w, rules[3], c5));
    }

    // Every orthogonal neighbour is similar to the centre.
    void FastBlock(const Window& w, std::uint8_t* upper, std::uint8_t* lower, unsigned cross,
                   std::uint32_t c5) const {
        switch (cross) {
        case kCrossW2: {
            const std::uint32_t top = Depth::Interp1(c5, C(w, kW2));
            Block(upper, lower, top, top, c5, c5);
            return;
        }
        case kCrossW4: {
            const std::uint32_t side = Depth::Interp1(c5, C(w, kW4));
            Block(upper, lower, side, c5, side, c5);
            return;
        }
        case kCrossW6: {
            const std::uint32_t side = Depth::Interp1(c5, C(w, kW6));
            Block(upper, lower, c5, side, c5, side);
            return;
        }
        case kCrossW8: {
            const std::uint32_t bottom = Depth::Interp1(c5, C(w, kW8));
            Block(upper, lower, c5, c5, bottom, bottom);
            return;
        }
        default: {
            const std::uint32_t c2 = C(w, kW2), c4 = C(w, kW4), c6 = C(w, kW6), c8 = C(w, kW8);
            Block(upper, lower, Depth::Interp2(c5, c4, c2), Depth::Interp2(c5, c2, c6),
                  Depth::Interp2(c5, c8, c4), Depth::Interp2(c5, c6, c8));
            return;
        }
        }
    }

    std::uint32_t Corner(const Window& w, const hq2x::CornerRule& rule, std::uint32_t c5) const {
        const BlendStep& step =
            rule.testA != rule.testB && hq2x::YuvDiffer(yuv_[w[rule.testA]], yuv_[w[rule.testB]])
                ? rule.ifDifferent
                : rule.otherwise;
        switch (step.blend) {
        case Blend::Copy: return c5;
        case Blend::Interp1: return Depth::Interp1(c5, C(w, step.x));
        case Blend::Interp2: return Depth::Interp2(c5, C(w, step.x), C(w, step.y));
        case Blend::Interp6: return Depth::Interp6(c5, C(w, step.x), C(w, step.y));
        case Blend::Interp7: return Depth::Interp7(c5, C(w, step.x), C(w, step.y));
        case Blend::Interp9: return Depth::Interp9(c5, C(w, step.x), C(w, step.y));
        case Blend::Interp10: return Depth::Interp10(c5, C(w, step.x), C(w, step.y));
        }
        return c5;
    }

    const hq2x::YuvTable& yuv_;
    const hq2x::ColourTable& wide_;
    const hq2x::CornerRuleTable& rules_;
    std::uint8_t* dest_;
    std::ptrdiff_t pitch_;
};

template <typename Depth>
void Scale(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
           std::uint8_t filterEnabled) {
    Scaler<Depth>(dest, pitch).Run(source, filterEnabled == 1);
}

} // namespace

void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth16>(source, dest, pitch, filterEnabled);
}

void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth24>(source, dest, pitch, filterEnabled);
}

void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled) {
    Scale<hq2x::Depth32>(source, dest, pitch, filterEnabled);
}

} // namespace velmar
