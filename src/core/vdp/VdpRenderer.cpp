// The mode 4 scanline renderer: background, sprites, priorities and the left-column blank,
// drawn from VRAM through the packed tile rows into one row of the frame buffer.
#include <algorithm>
#include <bit>
#include <cstring>

#include "core/vdp/Vdp.h"

namespace velmar {

using namespace vdp;

namespace {

// Tile rows in the name table; rows beyond fold back to the top.
constexpr int kNameTableRows = 28;

int FoldTileRow(int tileRow) {
    return tileRow > kNameTableRows - 1 ? tileRow - kNameTableRows : tileRow;
}

// A little-endian 16-bit word.
unsigned Load16(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint16_t word;
        std::memcpy(&word, p, sizeof word);
        return word;
    } else {
        return p[0] | (p[1] << 8);
    }
}

// Bit k set where nibble k of a packed row is not 0.
unsigned OpaqueMask(std::uint32_t packed) {
    std::uint32_t t = packed | (packed >> 1);
    t = (t | (t >> 2)) & 0x11111111u; // bit 4k
    t = (t | (t >> 3)) & 0x03030303u; // byte j: bits 2j, 2j + 1
    t = (t | (t >> 6)) & 0x000F000Fu;
    return (t | (t >> 12)) & 0xFFu;
}

// The eight pixels of a packed row, two at a time through a palette's pair table, written
// where bit k of mask is set (for pixel k).
void StorePixels(std::uint16_t* out, std::uint32_t packed, const std::uint32_t* pairs,
                 unsigned mask = 0xFF) {
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t left =
            pairs[packed & 0xFF] | (std::uint64_t{pairs[(packed >> 8) & 0xFF]} << 32);
        const std::uint64_t right =
            pairs[(packed >> 16) & 0xFF] | (std::uint64_t{pairs[packed >> 24]} << 32);
        if (mask == 0xFF) {
            std::memcpy(out, &left, sizeof left);
            std::memcpy(out + 4, &right, sizeof right);
        } else {
            // Four bits of the mask to four 16-bit lanes.
            static constexpr auto kLanes = [] {
                std::array<std::uint64_t, 16> lanes{};
                for (int m = 0; m < 16; ++m) {
                    for (int k = 0; k < 4; ++k) {
                        if (m & (1 << k)) lanes[m] |= std::uint64_t{0xFFFF} << (16 * k);
                    }
                }
                return lanes;
            }();
            const std::uint64_t keepLeft = kLanes[mask & 0x0F], keepRight = kLanes[mask >> 4];
            std::uint64_t oldLeft, oldRight;
            std::memcpy(&oldLeft, out, sizeof oldLeft);
            std::memcpy(&oldRight, out + 4, sizeof oldRight);
            const std::uint64_t newLeft = (oldLeft & ~keepLeft) | (left & keepLeft);
            const std::uint64_t newRight = (oldRight & ~keepRight) | (right & keepRight);
            std::memcpy(out, &newLeft, sizeof newLeft);
            std::memcpy(out + 4, &newRight, sizeof newRight);
        }
    } else {
        for (int j = 0; j < 4; ++j) {
            const std::uint32_t two = pairs[(packed >> (8 * j)) & 0xFF];
            if (mask & (1u << (2 * j))) out[2 * j] = static_cast<std::uint16_t>(two);
            if (mask & (2u << (2 * j))) out[2 * j + 1] = static_cast<std::uint16_t>(two >> 16);
        }
    }
}

// Bytes p[0..7], p[k] in byte k.
std::uint64_t Load64(const std::uint8_t* p) {
    std::uint64_t word = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, sizeof word);
    } else {
        for (int k = 0; k < 8; ++k) word |= static_cast<std::uint64_t>(p[k]) << (8 * k);
    }
    return word;
}

// Eight-bytes-at-once helpers: a byte repeated, byte-wise a - b modulo 256, and bit 7 of
// each byte set exactly where that byte is 0.
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

std::uint64_t Repeat(std::uint8_t value) {
    return value * 0x0101010101010101ull;
}

std::uint64_t SubtractBytes(std::uint64_t a, std::uint64_t b) {
    return ((a | kHighBits) - (b & ~kHighBits)) ^ ((a ^ ~b) & kHighBits);
}

std::uint64_t ZeroBytes(std::uint64_t x) {
    return ~(((x & ~kHighBits) + ~kHighBits) | x | ~kHighBits);
}

// Eight bits of a pixel map from bit position pos on, and setting them.
unsigned MapBits(const std::uint8_t* map, int pos) {
    const unsigned word = map[pos >> 3] | (map[(pos >> 3) + 1] << 8);
    return (word >> (pos & 7)) & 0xFF;
}

void SetMapBits(std::uint8_t* map, int pos, unsigned bits) {
    const unsigned shifted = bits << (pos & 7);
    map[pos >> 3] |= static_cast<std::uint8_t>(shifted);
    map[(pos >> 3) + 1] |= static_cast<std::uint8_t>(shifted >> 8);
}

#if defined(__x86_64__) || defined(__i386__)
#define VELMAR_VDP_SHUFFLE 1

// Sixteen bytes at once, for processors with a byte shuffle.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Chars16 = char __attribute__((vector_size(16)));
using Words4 = std::uint32_t __attribute__((vector_size(16)));
using Halves8 = std::uint16_t __attribute__((vector_size(16)));
// What comparing two Bytes16 gives: -1 where true, 0 where false.
using Lanes16 = signed char __attribute__((vector_size(16)));

constexpr Bytes16 kInterleave = {0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23};

// The eight indices of a packed row, pixel k in byte k (bytes 8-15 are 0).
[[gnu::always_inline]] inline Bytes16 SpreadRow(std::uint32_t packed) {
    const Words4 words = {packed, 0, 0, 0};
    // Shifting whole words leaves the next byte's low nibble above each high nibble; one mask
    // after the interleave clears both halves.
    const Bytes16 shifted = std::bit_cast<Bytes16>(std::bit_cast<Halves8>(words) >> 4);
    return __builtin_shuffle(std::bit_cast<Bytes16>(words), shifted, kInterleave) & 0x0F;
}

// Bytes of table picked by indices 0..15 (the processor's byte shuffle, which a generic
// shuffle would reach only after masking the indices again).
[[gnu::always_inline]] inline Bytes16 Lookup(Bytes16 table, Bytes16 indices) {
    asm("pshufb %1, %0" : "+x"(table) : "xm"(indices));
    return table;
}

// The eight pixels of spread indices in RGB565, through a palette's two byte tables (32
// bytes at tables: the 16 low bytes, then the 16 high bytes).
[[gnu::always_inline]] inline Bytes16 RowColours(Bytes16 indices, const std::uint8_t* tables) {
    Bytes16 low, high;
    std::memcpy(&low, tables, sizeof low);
    std::memcpy(&high, tables + 16, sizeof high);
    return __builtin_shuffle(Lookup(low, indices), Lookup(high, indices), kInterleave);
}

// Bit k set where byte k of a comparison's result is set.
[[gnu::always_inline]] inline unsigned ByteMask(Lanes16 lanes) {
    return static_cast<unsigned>(__builtin_ia32_pmovmskb128(std::bit_cast<Chars16>(lanes)));
}

// Bit k set where index k is not 0.
[[gnu::always_inline]] inline unsigned NonZeroIndices(Bytes16 indices) {
    return ~ByteMask(indices == Bytes16{}) & 0xFFu;
}

// Eight pixels written where bit k of mask is set (for pixel k).
[[gnu::always_inline]] inline void StoreMasked(std::uint16_t* out, Bytes16 colours, unsigned mask) {
    constexpr Bytes16 kBits = {1, 1, 2, 2, 4, 4, 8, 8, 16, 16, 32, 32, 64, 64, 128, 128};
    const Bytes16 spread = (Bytes16{} + static_cast<std::uint8_t>(mask)) & kBits;
    const Bytes16 keep = std::bit_cast<Bytes16>(spread == kBits);
    Bytes16 old;
    std::memcpy(&old, out, sizeof old);
    old = (old & ~keep) | (colours & keep);
    std::memcpy(out, &old, sizeof old);
}
#endif

} // namespace

bool T_VDP_CORE::ShuffleSupported() {
#ifdef VELMAR_VDP_SHUFFLE
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return supported;
#else
    return false;
#endif
}

template <bool Shuffled> [[gnu::always_inline]] inline void T_VDP_CORE::DrawLineWith(int line) {
    PriorityMap.fill(0);
    SpriteMap.fill(0);
    std::uint16_t* row = &FrameBuffer[static_cast<std::size_t>(line) * kScreenWidth];
    if (!(Registers[1] & kR1DisplayEnable)) {
        std::fill_n(row, kScreenWidth, std::uint16_t{0}); // black, not the backdrop
        return;
    }

    if (BackgroundOn == 1) {
        DrawBackground<Shuffled>(line, row);
    } else {
        std::fill_n(row, kScreenWidth, std::uint16_t{0});
    }
    // With the sprite layer switched off the chip still finds its flags.
    DrawSprites<Shuffled>(line, SpritesOn == 1 ? row : nullptr);

    if (Registers[0] & kR0LeftColumnBlank) {
        // Every background pixel and every sprite pixel drawn in x 0..7 shows the backdrop.
        const std::uint16_t backdrop = PaletteRgb[16 + (Registers[7] & kR7BackdropBits)];
        if (BackgroundOn == 1) {
            std::fill_n(row, 8, backdrop);
        } else if (SpritesOn == 1) {
            // Without a background nothing has priority: the sprite map is what was drawn.
            const unsigned drawn = MapBits(SpriteMap.data(), kMapOrigin);
            for (int x = 0; x < 8; ++x) {
                if ((drawn >> x) & 1) row[x] = backdrop;
            }
        }
    }
}

template <bool Shuffled>
[[gnu::always_inline]] inline void T_VDP_CORE::DrawBackground(int line, std::uint16_t* pixels) {
    if (line == 0) VScrollLatch = Registers[9];

    int coarse = Registers[8] >> 3;
    int fine = Registers[8] & 7;
    if (line < 16 && (Registers[0] & kR0HScrollLock)) coarse = fine = 0;

    const int fineRow = line + (VScrollLatch & 7);
    const int scrolledTileRow = FoldTileRow((VScrollLatch >> 3) + (fineRow >> 3));
    // Columns 24-31 are not scrolled vertically when the right side is locked.
    const int split = (Registers[0] & kR0VScrollLock) ? 24 : 32;
    DrawTiles<Shuffled>(0, split, coarse, fine, fineRow & 7, scrolledTileRow, pixels);
    if (split < 32)
        DrawTiles<Shuffled>(split, 32, coarse, fine, line & 7, FoldTileRow(line >> 3), pixels);
}

template <bool Shuffled>
[[gnu::always_inline]] inline void T_VDP_CORE::DrawTiles(int first, int end, int coarse, int fine,
                                                         int tileLine, int tileRow,
                                                         std::uint16_t* pixels) {
    // The name-table row, read straight from VRAM unless it runs past the end (a table base
    // from a loaded state may lie anywhere).
    const std::size_t base = static_cast<std::size_t>((NameTableBase + tileRow * 64) & kVramMask);
    std::array<std::uint8_t, 64> wrapped;
    const std::uint8_t* names = &Vram[base];
    if (base + 64 > kVramSize) {
        for (std::size_t k = 0; k < 64; ++k) wrapped[k] = Vram[(base + k) & kVramMask];
        names = wrapped.data();
    }
    // The packed rows are laid out by the entry's tile and flip bits.
    static_assert(kEntryTileBits == 0x1FF && kEntryHFlip == 0x200 && kEntryVFlip == 0x400);
    const std::uint32_t* rows = PackedRows.data() + tileLine;
    // Priority bits of tile i go to map bits i * 8 + fine + kMapOrigin on.
    static_assert(kMapOrigin == 8);
    const auto draw = [&](int i, std::uint16_t* out, unsigned shown) [[gnu::always_inline]] {
        const int column = (i - coarse) & 31;
        const unsigned entry = Load16(names + column * 2);
        const std::uint32_t packed = rows[std::size_t{entry & 0x7FF} * 8];
#ifdef VELMAR_VDP_SHUFFLE
        Bytes16 indices{};
        if constexpr (Shuffled) {
            static_assert(kEntrySpritePalette == 0x800);
            indices = SpreadRow(packed);
            const Bytes16 colours =
                RowColours(indices, PaletteBytes.data() + ((entry & kEntrySpritePalette) >> 6));
            std::memcpy(out, &colours, sizeof colours);
        } else
#endif
        {
            StorePixels(out, packed, PairRgb[(entry & kEntrySpritePalette) ? 1 : 0].data());
        }
        if (entry & kEntryPriority) {
            unsigned opaque;
#ifdef VELMAR_VDP_SHUFFLE
            if constexpr (Shuffled) {
                opaque = NonZeroIndices(indices);
            } else
#endif
            {
                opaque = OpaqueMask(packed);
            }
            const unsigned shifted = (opaque & shown) << fine;
            PriorityMap[static_cast<std::size_t>(i) + 1] |= static_cast<std::uint8_t>(shifted);
            PriorityMap[static_cast<std::size_t>(i) + 2] |= static_cast<std::uint8_t>(shifted >> 8);
        }
    };
    // A finely scrolled column 31 runs past the right edge; those pixels show at the left.
    const int whole = (end == 32 && fine != 0) ? 31 : end;
    for (int i = first; i < whole; ++i) draw(i, pixels + i * 8 + fine, 0xFF);
    if (whole != end) {
        std::array<std::uint16_t, 8> spill;
        draw(31, spill.data(), 0xFFu >> fine); // pixels that wrap to the left have no priority
        const std::size_t shown = static_cast<std::size_t>(8 - fine);
        std::memcpy(pixels + kScreenWidth - shown, spill.data(), shown * sizeof spill[0]);
        std::memcpy(pixels, spill.data() + shown, (8 - shown) * sizeof spill[0]);
    }
}

template <bool Shuffled>
[[gnu::always_inline]] inline void T_VDP_CORE::DrawSprites(int line, std::uint16_t* pixels) {
    const unsigned height = (Registers[1] & kR1TallSprites) ? 16 : 8;
    const int xShift = (Registers[0] & kR0SpriteShift) ? 8 : 0;
    const int tileBase = (Registers[6] & kR6SpriteTilesHigh) ? 256 : 0;
    const std::uint32_t* pairs = PairRgb[1].data();
    const std::uint16_t* spritePalette = PaletteRgb.data() + 16;

    const auto draw = [&](int s, unsigned spriteRow) [[gnu::always_inline]] {
        const int attr = SatBase + kSpriteXTileOffset + 2 * s;
        const int x = Vram[attr & kVramMask] - xShift;
        int tile = Vram[(attr + 1) & kVramMask];
        if (height == 16) tile &= 0xFE;
        tile += tileBase + static_cast<int>(spriteRow >> 3);
        const std::uint32_t packed =
            PackedRows[static_cast<std::size_t>(tile) * 8 + (spriteRow & 7)];

        // Index 0 is transparent, and pixels off either edge are not drawn.
#ifdef VELMAR_VDP_SHUFFLE
        Bytes16 indices{};
        unsigned visible;
        if constexpr (Shuffled) {
            indices = SpreadRow(packed);
            visible = NonZeroIndices(indices);
        } else
#endif
        {
            visible = OpaqueMask(packed);
        }
        if (x < 0) visible &= 0xFFu << -x;
        if (x > kScreenWidth - 8) visible &= 0xFFu >> (x - (kScreenWidth - 8));
        // The chip compares sprite pixels only: one under a priority background pixel still
        // collides. The first sprite in the table to cover a pixel keeps it.
        const int pos = x + kMapOrigin;
        const unsigned taken = MapBits(SpriteMap.data(), pos);
        if (visible & taken) DueAt(CollisionDue, PixelTime(x + std::countr_zero(visible & taken)));
        const unsigned claimed = visible & ~taken;
        if (claimed == 0) return;
        SetMapBits(SpriteMap.data(), pos, claimed);
        if (pixels == nullptr) return;
        unsigned mine = claimed & ~MapBits(PriorityMap.data(), pos);
        if (mine == 0) return;
        if (x >= 0 && x <= kScreenWidth - 8) {
#ifdef VELMAR_VDP_SHUFFLE
            if constexpr (Shuffled) {
                StoreMasked(pixels + x, RowColours(indices, PaletteBytes.data() + 32), mine);
            } else
#endif
            {
                StorePixels(pixels + x, packed, pairs, mine);
            }
        } else {
            for (; mine != 0; mine &= mine - 1) {
                const int k = std::countr_zero(mine);
                pixels[x + k] = spritePalette[(packed >> (4 * k)) & 0x0F];
            }
        }
    };

    // The 64 Y bytes, eight sprites to a word (a table base from a loaded state may put them
    // across the end of VRAM).
    const std::size_t sat = SatBase & kVramMask;
    std::array<std::uint8_t, kSpriteCount> wrapped;
    const std::uint8_t* ys = &Vram[sat];
    if (sat + kSpriteCount > kVramSize) {
        for (std::size_t s = 0; s < kSpriteCount; ++s) wrapped[s] = Vram[(sat + s) & kVramMask];
        ys = wrapped.data();
    }
    // A sprite's first line is y + 1; one starting below line 255 wraps to the top with its
    // first rows cut off, so the row on this line is the distance modulo 256 for both.
    const std::uint64_t above = Repeat(static_cast<std::uint8_t>(line - 1));
    const std::uint64_t tall = Repeat(static_cast<std::uint8_t>(~(height - 1)));
    int drawn = 0;
#ifdef VELMAR_VDP_SHUFFLE
    if constexpr (Shuffled) {
        // All 64 at once: a bit per sprite on this line, and one per end mark.
        const Bytes16 above16 = Bytes16{} + static_cast<std::uint8_t>(line - 1);
        const Bytes16 tall16 = Bytes16{} + static_cast<std::uint8_t>(~(height - 1));
        std::uint64_t covered = 0, end = 0;
        for (int first = 0; first < kSpriteCount; first += 16) {
            Bytes16 y;
            std::memcpy(&y, ys + first, sizeof y);
            covered |= std::uint64_t{ByteMask((((above16 - y) & tall16) == Bytes16{}))} << first;
            end |= std::uint64_t{ByteMask(y == kSpriteListEnd)} << first;
        }
        covered &= (end & (0 - end)) - 1; // only the sprites before the end mark
        for (; covered != 0; covered &= covered - 1) {
            if (drawn == kSpritesPerLine) {
                DueAt(OverflowDue, kOverflowFlagTime); // a ninth sprite on the line
                return;
            }
            const int s = std::countr_zero(covered);
            draw(s, static_cast<std::uint8_t>(line - 1 - ys[s]));
            ++drawn;
        }
        return;
    }
#endif
    for (int first = 0; first < kSpriteCount; first += 8) {
        const std::uint64_t y = Load64(ys + first);
        const std::uint64_t rows = SubtractBytes(above, y);
        const std::uint64_t end = ZeroBytes(y ^ Repeat(kSpriteListEnd));
        std::uint64_t covered = ZeroBytes(rows & tall);
        if (end != 0) covered &= (end & (0 - end)) - 1; // only the sprites before the end mark
        for (; covered != 0; covered &= covered - 1) {
            if (drawn == kSpritesPerLine) {
                DueAt(OverflowDue, kOverflowFlagTime); // a ninth sprite on the line
                return;
            }
            const int k = std::countr_zero(covered) / 8;
            draw(first + k, static_cast<unsigned>(rows >> (8 * k)) & 0xFF);
            ++drawn;
        }
        if (end != 0) return;
    }
}

// The sprite flags of a line that is not drawn.
void T_VDP_CORE::FindSpriteFlags(int line) {
    if (Picture != PictureMode::Mode4) [[unlikely]] {
        if (Picture != PictureMode::Text) DrawTmsSprites(line, nullptr);
        return;
    }
    SpriteMap.fill(0);
    DrawSprites<false>(line, nullptr);
}

void T_VDP_CORE::DrawLine(int line) {
    if (Picture != PictureMode::Mode4) [[unlikely]] {
        DrawTmsLine(line);
    } else if (ShuffleRenderer) {
        DrawLineShuffled(line);
    } else {
        DrawLineBaseline(line);
    }
}

void T_VDP_CORE::DrawLineBaseline(int line) {
    DrawLineWith<false>(line);
}

#ifdef VELMAR_VDP_SHUFFLE
// The same line drawing built with byte shuffles, chosen at run time.
[[gnu::target("ssse3")]] void T_VDP_CORE::DrawLineShuffled(int line) {
    DrawLineWith<true>(line);
}
#else
void T_VDP_CORE::DrawLineShuffled(int line) {
    DrawLineWith<false>(line);
}
#endif

} // namespace velmar
