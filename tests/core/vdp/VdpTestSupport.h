// Drives the video chip through its ports the way a program does, plus an independent
// per-pixel model of what a mode 4 line should look like.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/vdp/Vdp.h"

namespace velmar::vdptest {

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

} // namespace velmar::vdptest
