// Drives the video chip through its ports the way a program does, plus an independent
// per-pixel models of what a line should look like, in mode 4 and in the older modes.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/vdp/Vdp.h"

namespace velmar::vdptest {

// R0's mode 4 bit: the tests of mode 4 keep it set in every R0 value they write.
inline constexpr std::uint8_t kMode4 = vdp::kR0Mode4;

inline void SetRegister(T_VDP_CORE& vdp, int r, std::uint8_t value) {
    vdp.WriteControl(value);
    vdp.WriteControl(static_cast<std::uint8_t>(0x80 | r));
}

inline void SetAddress(T_VDP_CORE& vdp, std::uint16_t address, std::uint8_t code) {
    vdp.WriteControl(static_cast<std::uint8_t>(address));
    vdp.WriteControl(static_cast<std::uint8_t>((code << 6) | ((address >> 8) & 0x3F)));
}

inline void WriteVram(T_VDP_CORE& vdp, std::uint16_t address,
                      const std::vector<std::uint8_t>& bytes) {
    SetAddress(vdp, address, 1);
    for (auto b : bytes) vdp.WriteData(b);
}

inline void WriteCram(T_VDP_CORE& vdp, std::uint8_t index, std::uint8_t colour) {
    SetAddress(vdp, index, 3);
    vdp.WriteData(colour);
}

// The four bit-planes of one tile row whose 8 pixels (left to right) are the given indices.
inline std::array<std::uint8_t, 4> PlanarRow(const std::array<std::uint8_t, 8>& px) {
    std::array<std::uint8_t, 4> planes{};
    for (int x = 0; x < 8; ++x) {
        for (int p = 0; p < 4; ++p) {
            if (px[x] & (1 << p)) planes[p] |= static_cast<std::uint8_t>(0x80 >> x);
        }
    }
    return planes;
}

// Fills tile number `tile` so that every pixel has the colour index given by f(x, y).
template <class F> void WriteTile(T_VDP_CORE& vdp, int tile, F f) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < 8; ++y) {
        std::array<std::uint8_t, 8> px{};
        for (int x = 0; x < 8; ++x) px[x] = static_cast<std::uint8_t>(f(x, y));
        auto planes = PlanarRow(px);
        bytes.insert(bytes.end(), planes.begin(), planes.end());
    }
    WriteVram(vdp, static_cast<std::uint16_t>(tile * 32), bytes);
}

inline void WriteNameEntry(T_VDP_CORE& vdp, std::uint16_t nameBase, int col, int row,
                           std::uint16_t entry) {
    WriteVram(vdp, static_cast<std::uint16_t>(nameBase + row * 64 + col * 2),
              {static_cast<std::uint8_t>(entry), static_cast<std::uint8_t>(entry >> 8)});
}

// RGB565 from a 6-bit colour, by rounding c x 31 / 3 and c x 63 / 3.
inline std::uint16_t Rgb565(std::uint8_t colour) {
    auto level = [](int c, int max) { return (c * max * 2 + 3) / 6; };
    const int r = colour & 3, g = (colour >> 2) & 3, b = (colour >> 4) & 3;
    return static_cast<std::uint16_t>((level(r, 31) << 11) | (level(g, 63) << 5) | level(b, 31));
}

inline void RunFrame(T_VDP_CORE& vdp, bool render = true) {
    for (int line = 0; line < 262; ++line) vdp.RunLine(line, render, false);
}

inline std::uint16_t Pixel(const T_VDP_CORE& vdp, int x, int line) {
    return vdp.FrameBuffer[static_cast<std::size_t>(line) * 256 + x];
}

// What one line should show, computed pixel by pixel in screen space from a copy of the
// chip's visible state (registers, VRAM, CRAM), reading tiles straight from the bit-planes.
struct LineModel {
    std::array<std::uint8_t, 11> reg{};
    std::array<std::uint8_t, 16384> vram{};
    std::array<std::uint8_t, 32> cram{};
    std::uint8_t vscroll = 0; // R9 as it was at the frame's first line
    bool backgroundOn = true, spritesOn = true;
    int nameBase = -1, satBase = -1; // table bases as loaded from a state; -1: from R2 and R5

    std::array<std::uint16_t, 256> pixels{};
    bool overflow = false, collision = false;

    int PlanarIndex(int tile, int row, int col) const {
        int index = 0;
        for (int p = 0; p < 4; ++p) {
            if (vram[(tile * 32 + row * 4 + p) & 0x3FFF] & (0x80 >> col)) index |= 1 << p;
        }
        return index;
    }

    void Draw(int line) {
        overflow = collision = false;
        if (!(reg[1] & 0x40)) {
            pixels.fill(0);
            return;
        }
        const int names = nameBase >= 0 ? nameBase : (reg[2] & 0x0E) << 10;
        const int sat = satBase >= 0 ? satBase : (reg[5] & 0x7E) << 7;
        const int height = (reg[1] & 0x02) ? 16 : 8;

        // Sprites on this line, in table order, at most eight; a ninth sets the overflow
        // flag. The flags do not depend on the sprite layer being shown.
        std::vector<int> onLine;
        for (int s = 0; s < 64; ++s) {
            const int y = vram[(sat + s) & 0x3FFF];
            if (y == 0xD0) break;
            if (((line - (y + 1)) & 0xFF) < height) {
                if (onLine.size() == 8) {
                    overflow = true;
                    break;
                }
                onLine.push_back(s);
            }
        }

        for (int x = 0; x < 256; ++x) {
            std::uint16_t colour = 0;
            bool priority = false;
            if (backgroundOn) {
                const int hscroll = (line < 16 && (reg[0] & 0x40)) ? 0 : reg[8];
                const int fine = hscroll & 7;
                const int screenCol = ((x - fine) & 0xFF) >> 3;
                const bool wrapped = x < fine;
                const int v = (screenCol > 23 && (reg[0] & 0x80)) ? 0 : vscroll;
                const int by = (line + v) % 224, bx = (x - hscroll) & 0xFF;
                const int addr = names + (by >> 3) * 64 + (bx >> 3) * 2;
                const int entry = vram[addr & 0x3FFF] | (vram[(addr + 1) & 0x3FFF] << 8);
                int px = bx & 7, py = by & 7;
                if (entry & 0x200) px = 7 - px;
                if (entry & 0x400) py = 7 - py;
                const int index = PlanarIndex(entry & 0x1FF, py, px);
                colour = Rgb565(cram[((entry & 0x800) ? 16 : 0) + index]);
                priority = (entry & 0x1000) && index != 0 && !wrapped;
            }
            bool spriteDrawn = false;
            {
                int opaque = 0;
                for (int s : onLine) {
                    const int sx = vram[(sat + 128 + 2 * s) & 0x3FFF] - ((reg[0] & 0x08) ? 8 : 0);
                    if (x < sx || x > sx + 7) continue;
                    const int row = (line - (vram[(sat + s) & 0x3FFF] + 1)) & 0xFF;
                    int tile = vram[(sat + 129 + 2 * s) & 0x3FFF];
                    if (height == 16) tile &= 0xFE;
                    tile += ((reg[6] & 0x04) ? 256 : 0) + row / 8;
                    const int index = PlanarIndex(tile, row & 7, x - sx);
                    if (index == 0) continue;
                    if (++opaque == 1 && !priority && spritesOn) {
                        colour = Rgb565(cram[16 + index]);
                        spriteDrawn = true;
                    }
                }
                if (opaque >= 2) collision = true; // a priority tile hides, it does not part
            }
            if ((reg[0] & 0x20) && x < 8 && (backgroundOn || spriteDrawn)) {
                colour = Rgb565(cram[16 + (reg[7] & 0x0F)]);
            }
            pixels[x] = colour;
        }
    }
};

// What one line of the older modes should show, pixel by pixel in screen space, from a copy
// of the registers and VRAM: each pixel finds its character, block or sprite dot directly.
struct TmsLineModel {
    // The TMS9918's colours as 24-bit RGB; 0 (transparent) shows the backdrop.
    static constexpr std::uint32_t kRgb[16] = {
        0x000000, 0x000000, 0x21C842, 0x5EDC78, 0x5455ED, 0x7D76FC, 0xD4524D, 0x42EBF5,
        0xFC5554, 0xFF7978, 0xD4C154, 0xE6CE80, 0x21B03B, 0xC95BBA, 0xCCCCCC, 0xFFFFFF};
    static std::uint16_t Rgb565(std::uint32_t rgb) {
        const auto scale = [](std::uint32_t c, int bits) {
            return static_cast<int>(std::lround(c * ((1 << bits) - 1) / 255.0));
        };
        return static_cast<std::uint16_t>((scale(rgb >> 16, 5) << 11) |
                                          (scale((rgb >> 8) & 0xFF, 6) << 5) |
                                          scale(rgb & 0xFF, 5));
    }

    std::array<std::uint8_t, 11> reg{};
    std::array<std::uint8_t, 16384> vram{};
    bool backgroundOn = true, spritesOn = true;

    std::array<std::uint16_t, 256> pixels{};
    bool overflow = false, collision = false;
    int fifth = -1; // the fifth sprite's number, when there is one

    std::uint8_t V(int address) const { return vram[address & 0x3FFF]; }
    std::uint16_t Colour(int c) const { return Rgb565(kRgb[c != 0 ? c : reg[7] & 15]); }

    void Draw(int line) {
        overflow = collision = false;
        fifth = -1;
        const bool text = reg[1] & 0x10, multicolor = !text && (reg[1] & 0x08);
        const bool graphic2 = !text && !multicolor && (reg[0] & 0x02);
        const int names = (reg[2] & 15) * 0x400, patterns = (reg[4] & 7) * 0x800;
        if (!(reg[1] & 0x40)) {
            pixels.fill(Colour(0));
            return;
        }
        for (int x = 0; x < 256; ++x) {
            int c = 0;
            if (text) {
                if (x >= 8 && x < 248) {
                    const int name = V(names + (line / 8) * 40 + (x - 8) / 6);
                    const bool set = V(patterns + name * 8 + line % 8) & (0x80 >> ((x - 8) % 6));
                    c = set ? reg[7] >> 4 : 0;
                }
            } else if (multicolor) {
                const int name = V(names + (line / 8) * 32 + x / 8);
                const int blocks = V(patterns + name * 8 + (line / 8) % 4 * 2 + (line / 4) % 2);
                c = x % 8 < 4 ? blocks >> 4 : blocks & 15;
            } else {
                int name = V(names + (line / 8) * 32 + x / 8), pattern, colour;
                if (graphic2) {
                    const int offset = ((line / 64) * 256 + name) * 8 + line % 8;
                    pattern =
                        V((reg[4] & 4 ? 0x2000 : 0) | (offset & ((reg[4] & 3) << 11 | 0x7FF)));
                    colour =
                        V((reg[3] & 0x80 ? 0x2000 : 0) | (offset & ((reg[3] & 0x7F) << 6 | 0x3F)));
                } else {
                    pattern = V(patterns + name * 8 + line % 8);
                    colour = V(reg[3] * 64 + name / 8);
                }
                c = (pattern & (0x80 >> (x % 8))) ? colour >> 4 : colour & 15;
            }
            pixels[x] = backgroundOn ? Colour(c) : 0;
        }
        if (text) return;

        const int sat = (reg[5] & 0x7F) * 0x80, spritePatterns = (reg[6] & 7) * 0x800;
        const int magnify = (reg[1] & 1) ? 2 : 1, size = ((reg[1] & 2) ? 16 : 8) * magnify;
        std::vector<int> onLine;
        for (int s = 0; s < 32 && V(sat + 4 * s) != 0xD0; ++s) {
            if (((line - V(sat + 4 * s) - 1) & 0xFF) >= size) continue;
            if (onLine.size() == 4) {
                overflow = true;
                fifth = s;
                break;
            }
            onLine.push_back(s);
        }
        for (int x = 0; x < 256; ++x) {
            int dots = 0;
            bool shown = false;
            for (int s : onLine) {
                const int tag = V(sat + 4 * s + 3);
                const int dx = x - (V(sat + 4 * s + 1) - (tag & 0x80 ? 32 : 0));
                if (dx < 0 || dx >= size) continue;
                const int row = ((line - V(sat + 4 * s) - 1) & 0xFF) / magnify;
                const int column = dx / magnify;
                const int name = V(sat + 4 * s + 2) & ((reg[1] & 2) ? 0xFC : 0xFF);
                const int bits = V(spritePatterns + name * 8 + (column >= 8 ? 16 : 0) + row);
                if (!(bits & (0x80 >> (column % 8)))) continue;
                ++dots;
                if ((tag & 15) != 0 && !shown) {
                    shown = true;
                    if (spritesOn) pixels[x] = Colour(tag & 15);
                }
            }
            if (dots >= 2) collision = true;
        }
    }
};

} // namespace velmar::vdptest
