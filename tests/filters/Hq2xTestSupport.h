// Pictures and output buffers for the HQ2x tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filters/Hq2x.h"

namespace velmar::testing {

inline constexpr int kOutWidth = 2 * kHq2xSourceWidth, kOutHeight = 2 * kHq2xSourceHeight;

struct Picture {
    std::vector<std::uint16_t> pixels =
        std::vector<std::uint16_t>(kHq2xSourceWidth * kHq2xSourceHeight);
    explicit Picture(std::uint16_t fill = 0) { pixels.assign(pixels.size(), fill); }
    std::uint16_t& At(int x, int y) {
        return pixels[static_cast<std::size_t>(y * kHq2xSourceWidth + x)];
    }
};

// One scaled picture in one depth, with its rows pitch bytes apart.
struct Output {
    int bits;
    std::ptrdiff_t pitch;
    std::vector<std::uint8_t> bytes;
    std::size_t first; // offset of the top-left pixel in bytes

    int BytesPerPixel() const { return bits / 8; }
    const std::uint8_t* PixelBytes(int x, int y) const {
        return bytes.data() + static_cast<std::ptrdiff_t>(first) + y * pitch + x * BytesPerPixel();
    }
    // The pixel as 0x00RRGGBB; a 16-bit pixel is widened the way the scaler widens RGB565.
    std::uint32_t Rgb(int x, int y) const {
        const std::uint8_t* p = PixelBytes(x, y);
        if (bits == 16) {
            const std::uint32_t v = p[0] | p[1] << 8;
            return (v & 0xF800) << 8 | (v & 0x07E0) << 5 | (v & 0x001F) << 3;
        }
        return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    }
    std::uint16_t Raw16(int x, int y) const {
        const std::uint8_t* p = PixelBytes(x, y);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
};

// Scales picture at the given depth, through cache when one is given. pitch 0 means rows
// packed tightly; a negative pitch stores the rows bottom-up. Every byte starts as fill.
inline Output Render(int bits, const Picture& picture, std::uint8_t filter,
                     std::ptrdiff_t pitch = 0, std::uint8_t fill = 0xAA,
                     Hq2xCache* cache = nullptr) {
    const std::ptrdiff_t row = kOutWidth * (bits / 8);
    if (pitch == 0) pitch = row;
    const std::ptrdiff_t span = (pitch < 0 ? -pitch : pitch);
    Output out{
        bits, pitch,
        std::vector<std::uint8_t>(static_cast<std::size_t>(span * (kOutHeight - 1) + row), fill),
        pitch < 0 ? static_cast<std::size_t>(span * (kOutHeight - 1)) : 0};
    std::uint8_t* dest = out.bytes.data() + out.first;
    const std::uint16_t* source = picture.pixels.data();
    if (cache != nullptr) {
        switch (bits) {
        case 16: Hq2x16(source, dest, pitch, filter, *cache); break;
        case 24: Hq2x24(source, dest, pitch, filter, *cache); break;
        default: Hq2x32(source, dest, pitch, filter, *cache); break;
        }
        return out;
    }
    switch (bits) {
    case 16: Hq2x16(source, dest, pitch, filter); break;
    case 24: Hq2x24(source, dest, pitch, filter); break;
    default: Hq2x32(source, dest, pitch, filter); break;
    }
    return out;
}

// 0x00RRGGBB of an RGB565 value.
inline std::uint32_t Wide(std::uint16_t v) {
    return (v & 0xF800u) << 8 | (v & 0x07E0u) << 5 | (v & 0x001Fu) << 3;
}

// Per-channel weighted blend of 0x00RRGGBB colours, truncated.
inline std::uint32_t Mix(std::uint32_t a, int wa, std::uint32_t b, int wb, std::uint32_t c,
                         int wc) {
    const int total = wa + wb + wc;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int sum = static_cast<int>((a >> shift) & 0xFF) * wa +
                        static_cast<int>((b >> shift) & 0xFF) * wb +
                        static_cast<int>((c >> shift) & 0xFF) * wc;
        out |= static_cast<std::uint32_t>(sum / total) << shift;
    }
    return out;
}

} // namespace velmar::testing

namespace velmar::testing {

// RGB565 of a console colour: 2 bits each of red (bits 0-1), green (2-3) and blue (4-5).
inline std::uint16_t ConsoleColour(int c) {
    static constexpr int kFive[4] = {0, 10, 21, 31}, kSix[4] = {0, 21, 42, 63};
    return static_cast<std::uint16_t>(kFive[c & 3] << 11 | kSix[(c >> 2) & 3] << 5 |
                                      kFive[(c >> 4) & 3]);
}

// A picture like a game screen: a sky in colour bands, a tiled ground with a few tile
// designs, a row of text and some sprites with outlines.
inline Picture GameLikePicture() {
    Picture p;
    for (int y = 0; y < kHq2xSourceHeight; ++y) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) {
            std::uint16_t c;
            if (y < 96) {
                static constexpr int kSky[6] = {0x30, 0x34, 0x38, 0x39, 0x3D, 0x3E};
                c = ConsoleColour(kSky[y / 16]);
            } else {
                const int tile = ((x / 8) * 7 + (y / 8) * 3) % 4;
                const int tx = x % 8, ty = y % 8;
                switch (tile) {
                case 0: c = ConsoleColour(0x08); break;
                case 1: c = ConsoleColour((tx + ty) % 8 < 2 ? 0x04 : 0x08); break;
                case 2: c = ConsoleColour(tx == 0 || ty == 0 ? 0x15 : 0x2A); break;
                default: c = ConsoleColour((tx * tx + ty * 3) % 5 == 0 ? 0x0C : 0x06); break;
                }
            }
            p.At(x, y) = c;
        }
    }
    // Text: a row of blocky glyphs.
    for (int i = 0; i < 20; ++i) {
        for (int gy = 0; gy < 7; ++gy) {
            for (int gx = 0; gx < 5; ++gx) {
                if (((i * 37 + gx * 5 + gy * 11) * 2654435761u >> 29) & 1) {
                    p.At(20 + i * 8 + gx, 8 + gy) = ConsoleColour(0x3F);
                }
            }
        }
    }
    // Sprites: outlined discs.
    for (int s = 0; s < 12; ++s) {
        const int cx = 16 + s * 20, cy = 60 + (s % 3) * 40;
        for (int dy = -7; dy <= 7; ++dy) {
            for (int dx = -7; dx <= 7; ++dx) {
                const int d = dx * dx + dy * dy;
                if (d > 49) continue;
                p.At(cx + dx, cy + dy) =
                    d > 30 ? ConsoleColour(0x00) : ConsoleColour(0x03 + s % 4 * 16);
            }
        }
    }
    return p;
}

} // namespace velmar::testing
