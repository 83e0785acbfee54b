// The scanline renderer: background, sprites, priorities and the left-column blank, drawn
// from VRAM through the tile cache into one row of the frame buffer.
#include <algorithm>
#include <bit>
#include <cstring>

#include "core/vdp/Vdp.h"

namespace velmar {

using namespace vdp;

namespace {

// Column 31 of a finely scrolled line spills up to 7 pixels past the right edge before they
// wrap to the left.
constexpr int kScratchWidth = kScreenWidth + 8;

// Tile rows in the name table; rows beyond fold back to the top.
constexpr int kNameTableRows = 28;

// The eight colour indices of a tile row from the tile cache, in screen order (byte k the
// k-th pixel from the left), each masked to four bits.
std::uint64_t OrderedIndices(const std::uint8_t* indices, bool flipped) {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        // The cache holds the leftmost pixel last unless the tile is flipped.
        std::memcpy(&word, indices, sizeof word);
        if (!flipped) word = __builtin_bswap64(word);
    } else {
        for (int k = 0; k < 8; ++k) {
            const std::uint8_t index = flipped ? indices[k] : indices[7 - k];
            word |= static_cast<std::uint64_t>(index) << (8 * k);
        }
    }
    return word & 0x0F0F0F0F0F0F0F0Full;
}

// Byte k of value at p[k].
void StoreBytes(std::uint8_t* p, std::uint64_t value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &value, sizeof value);
    } else {
        for (int k = 0; k < 8; ++k) p[k] = static_cast<std::uint8_t>(value >> (8 * k));
    }
}

int FoldTileRow(int tileRow) {
    return tileRow > kNameTableRows - 1 ? tileRow - kNameTableRows : tileRow;
}

} // namespace

void T_VDP_CORE::DrawLine(int line) {
    PriorityMap.fill(0);
    SpriteMap.fill(0);
    std::uint16_t* row = &FrameBuffer[static_cast<std::size_t>(line) * kScreenWidth];
    if (!(Registers[1] & kR1DisplayEnable)) {
        std::fill_n(row, kScreenWidth, std::uint16_t{0}); // black, not the backdrop
        return;
    }

    // The 32 CRAM entries as RGB565 for this line (CRAM loaded from a state may hold stray
    // high bits; only six are a colour).
    std::array<std::uint16_t, kCramSize> palette;
    for (std::size_t i = 0; i < kCramSize; ++i)
        palette[i] = kVdpColourTable[Cram[i] & kCramColourMask];

    std::array<std::uint16_t, kScratchWidth> pixels;
    if (BackgroundOn == 1) {
        DrawBackground(line, pixels.data(), palette.data());
    } else {
        std::fill(pixels.begin(), pixels.end(), std::uint16_t{0});
    }
    if (SpritesOn == 1) DrawSprites(line, pixels.data(), palette.data());

    if (Registers[0] & kR0LeftColumnBlank) {
        // Every background pixel and every sprite pixel drawn in x 0..7 shows the backdrop.
        const std::uint16_t backdrop = palette[16 + (Registers[7] & kR7BackdropBits)];
        for (int x = 0; x < 8; ++x) {
            if (BackgroundOn == 1 || SpriteMap[x] == 1) pixels[x] = backdrop;
        }
    }
    std::memcpy(row, pixels.data(), kScreenWidth * sizeof(std::uint16_t));
}

void T_VDP_CORE::DrawBackground(int line, std::uint16_t* pixels, const std::uint16_t* palette) {
    if (line == 0) VScrollLatch = Registers[9];

    int coarse = Registers[8] >> 3;
    int fine = Registers[8] & 7;
    if (line < 16 && (Registers[0] & kR0HScrollLock)) coarse = fine = 0;

    int row = line + (VScrollLatch & 7);
    int tileRow = FoldTileRow((VScrollLatch >> 3) + (row >> 3));
    const bool lockRight = (Registers[0] & kR0VScrollLock) != 0;

    for (int i = 0; i < 32; ++i) {
        if (i > 23 && lockRight) {
            row = line;
            tileRow = FoldTileRow(line >> 3);
        }
        const int address = NameTableBase + tileRow * 64 + ((i - coarse) & 31) * 2;
        const unsigned entry = Vram[address & kVramMask] | (Vram[(address + 1) & kVramMask] << 8);
        int r = row & 7;
        if (entry & kEntryVFlip) r = 7 - r;
        const std::uint8_t* indices =
            &TileCache[(static_cast<std::size_t>(entry & kEntryTileBits) * 8 + r) * 8];
        const std::uint16_t* pal = palette + ((entry & kEntrySpritePalette) ? 16 : 0);
        const int x0 = i * 8 + fine;
        std::uint16_t* out = pixels + x0;

        // Left to right the pixels are bits 7..0 of the tile row, or 0..7 when flipped: the
        // eight colour indices go through one word, byte k the pixel at x0 + k.
        const std::uint64_t ordered = OrderedIndices(indices, (entry & kEntryHFlip) != 0);
        std::uint64_t next = ordered;
        for (int k = 0; k < 8; ++k, next >>= 8) out[k] = pal[next & 0x0F];
        if (entry & kEntryPriority) {
            // Bytes 1 where the index is not 0 (each byte is below 0x10, so adding 0x7F sets
            // its top bit exactly then).
            const std::uint64_t opaque =
                ((ordered + 0x7F7F7F7F7F7F7F7Full) >> 7) & 0x0101010101010101ull;
            if (x0 + 8 <= kScreenWidth) {
                // Tiles never overlap on a line, so the map is still 0 here.
                StoreBytes(&PriorityMap[static_cast<std::size_t>(x0)], opaque);
            } else {
                // Pixels that wrap to the left edge do not take priority.
                for (int k = 0; x0 + k < kScreenWidth; ++k) {
                    PriorityMap[static_cast<std::size_t>(x0 + k)] =
                        static_cast<std::uint8_t>(opaque >> (8 * k));
                }
            }
        }
    }
    // Column 31's overhang fills the gap that fine scrolling leaves at the left.
    for (int x = 0; x < fine; ++x) pixels[x] = pixels[kScreenWidth + x];
}

void T_VDP_CORE::DrawSprites(int line, std::uint16_t* pixels, const std::uint16_t* palette) {
    const int height = (Registers[1] & kR1TallSprites) ? 16 : 8;
    const int xShift = (Registers[0] & kR0SpriteShift) ? 8 : 0;
    const int tileBase = (Registers[6] & kR6SpriteTilesHigh) ? 256 : 0;
    const std::uint16_t* spritePalette = palette + 16;
    int drawn = 0;

    for (int s = 0; s < kSpriteCount; ++s) {
        const std::uint8_t y = Vram[(SatBase + s) & kVramMask];
        if (y == kSpriteListEnd) break;

        int top = (y + 1) & 0xFF;
        int skip = 0;
        if (top > 255 - height) { // starts above the screen and wraps
            skip = 256 - top;
            top = 0;
        }
        if (line >= top && line <= top + height - skip - 1) {
            const int attr = SatBase + kSpriteXTileOffset + 2 * s;
            const int x = Vram[attr & kVramMask] - xShift;
            int tile = Vram[(attr + 1) & kVramMask];
            if (height == 16) tile &= 0xFE;
            const int spriteRow = skip + line - top;
            tile += tileBase + (spriteRow >> 3);
            const std::uint8_t* indices =
                &TileCache[(static_cast<std::size_t>(tile) * 8 + (spriteRow & 7)) * 8];

            for (int k = 0; k < 8; ++k) {
                const int px = x + k;
                if (px < 0 || px >= kScreenWidth) continue;
                const std::uint8_t index = indices[7 - k] & 0x0F;
                if (index == 0 || PriorityMap[px] == 1) continue;
                if (SpriteMap[px] == 1) {
                    SpriteCollision = 1; // the earlier sprite in the table stays in front
                    continue;
                }
                pixels[px] = spritePalette[index];
                SpriteMap[px] = 1;
            }
            ++drawn;
        }
        if (drawn == kSpritesPerLine) {
            SpriteOverflow = 1;
            break;
        }
    }
}

} // namespace velmar
