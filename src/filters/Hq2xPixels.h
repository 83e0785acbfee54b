// The three output depths of HQ2x: how a colour is held, blended and stored.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "filters/Hq2xTables.h"

namespace velmar::hq2x {

// Weighted blends of 0x00RRGGBB colours, each channel computed apart and truncated. Red and
// blue travel together 16 bits apart, so every weighted sum up to 16 x 255 stays in its lane.
inline std::uint32_t Weigh(std::uint32_t a, std::uint32_t wa, std::uint32_t b, std::uint32_t wb,
                           std::uint32_t c, std::uint32_t wc, unsigned shift) {
    constexpr std::uint32_t kRedBlue = 0xFF00FF, kGreen = 0x00FF00;
    const std::uint32_t rb =
        (((a & kRedBlue) * wa + (b & kRedBlue) * wb + (c & kRedBlue) * wc) >> shift) & kRedBlue;
    const std::uint32_t g =
        (((a & kGreen) * wa + (b & kGreen) * wb + (c & kGreen) * wc) >> shift) & kGreen;
    return rb | g;
}

// Stores the low `bytes` bytes of value at p, lowest byte first.
template <int bytes, typename T> inline void StoreLow(std::uint8_t* p, T value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &value, bytes);
    } else {
        for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// Blends on colours from Rgb565To32Table. The 3:1 and 2:1:1 blends work on the whole word:
// every channel of such a colour is a multiple of 4, so no channel carries into the next.
struct WideBlends {
    static std::uint32_t Interp1(std::uint32_t a, std::uint32_t b) { return (a * 3 + b) >> 2; }
    static std::uint32_t Interp2(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return (a * 2 + b + c) >> 2;
    }
    static std::uint32_t Interp6(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return Weigh(a, 5, b, 2, c, 1, 3);
    }
    static std::uint32_t Interp7(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return Weigh(a, 6, b, 1, c, 1, 3);
    }
    static std::uint32_t Interp9(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return Weigh(a, 2, b, 3, c, 3, 3);
    }
    static std::uint32_t Interp10(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return Weigh(a, 14, b, 1, c, 1, 4);
    }
};

// 32 bits per pixel: blue, green, red, 0.
struct Depth32 : WideBlends {
    static constexpr int kBytes = 4;
    static std::uint32_t Colour(const ColourTable& wide, std::uint16_t v) { return wide[v]; }
    // Two horizontally adjacent pixels.
    static void StorePair(std::uint8_t* p, std::uint32_t left, std::uint32_t right) {
        StoreLow<8>(p, static_cast<std::uint64_t>(right) << 32 | left);
    }
};

// 24 bits per pixel: blue, green, red, and nothing beyond.
struct Depth24 : WideBlends {
    static constexpr int kBytes = 3;
    static std::uint32_t Colour(const ColourTable& wide, std::uint16_t v) { return wide[v]; }
    static void StorePair(std::uint8_t* p, std::uint32_t left, std::uint32_t right) {
        StoreLow<6>(p, static_cast<std::uint64_t>(right) << 24 | left);
    }
};

// 16 bits per pixel: RGB565 little-endian. The 3:1 and 2:1:1 blends halve twice on the packed
// value with each channel's lowest bit cleared, adding 0x0821 (one unit per channel) to round
// the first half; the finer blends go through the wide colours.
struct Depth16 {
    static constexpr int kBytes = 2;
    static constexpr std::uint32_t kLowBitsClear = 0xF7DE;
    static constexpr std::uint32_t kRoundUnit = 0x0821;

    static std::uint32_t Colour(const ColourTable&, std::uint16_t v) { return v; }
    static void StorePair(std::uint8_t* p, std::uint32_t left, std::uint32_t right) {
        StoreLow<4>(p, right << 16 | left);
    }

    static std::uint32_t Interp1(std::uint32_t a, std::uint32_t b) {
        if (a == b) return a;
        const std::uint32_t t =
            ((((a & kLowBitsClear) + (b & kLowBitsClear)) >> 1) + kRoundUnit) & kLowBitsClear;
        return ((a & kLowBitsClear) + t) >> 1;
    }
    static std::uint32_t Interp2(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        const std::uint32_t s =
            b == c ? b : (((b & kLowBitsClear) + (c & kLowBitsClear)) >> 1) + kRoundUnit;
        if (s == a) return a;
        return ((a & kLowBitsClear) + (s & kLowBitsClear)) >> 1;
    }

    static std::uint32_t Narrow(std::uint32_t c) {
        return (c >> 8 & 0xF800) | (c >> 5 & 0x07E0) | (c >> 3 & 0x001F);
    }
    template <std::uint32_t (*Wide)(std::uint32_t, std::uint32_t, std::uint32_t)>
    static std::uint32_t ViaWide(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        const ColourTable& wide = Rgb565To32Table();
        return Narrow(Wide(wide[a], wide[b], wide[c]));
    }
    static std::uint32_t Interp6(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return ViaWide<&WideBlends::Interp6>(a, b, c);
    }
    static std::uint32_t Interp7(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return ViaWide<&WideBlends::Interp7>(a, b, c);
    }
    static std::uint32_t Interp9(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return ViaWide<&WideBlends::Interp9>(a, b, c);
    }
    static std::uint32_t Interp10(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        return ViaWide<&WideBlends::Interp10>(a, b, c);
    }
};

} // namespace velmar::hq2x
