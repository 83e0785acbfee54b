// The picture modes the chip keeps from the TMS9918 (selected while R0 bit 2 is clear):
// Graphic I, Graphic II, Text and Multicolor, each drawn by its own line renderer straight
// from VRAM in that chip's fixed sixteen colours, and their sprites: 32 of them, 8 x 8 or
// 16 x 16 pixels, magnified to twice that, at most four on a line.
#include <algorithm>
#include <array>

#include "core/vdp/Vdp.h"

namespace velmar {

using namespace vdp;

namespace {

// Table bases from the registers: R2 the names, R3 the colours (64-byte steps), R4 the
// patterns and R6 the sprite patterns (2 KB steps), R5 the sprite attributes (128 bytes).
int NameBase(std::uint8_t r2) {
    return (r2 & 0x0F) << 10;
}
int PatternBase(std::uint8_t r4) {
    return (r4 & 0x07) << 11;
}

// Graphic II's tables are 6 KB: the screen's thirds each have 256 patterns and colours.
// R3 bit 7 and R4 bit 2 place them in one half of VRAM; the other bits of R3 (bits 6-0)
// and of R4 (bits 1-0) mask the offset's bits 12-6 and 12-11.
constexpr int kGraphic2Half = 0x2000;
constexpr int kGraphic2ColourBits = 0x3F;
constexpr int kGraphic2PatternBits = 0x7FF;

constexpr int kTextColumns = 40;
constexpr int kTextCharWidth = 6;
constexpr int kTextBorder = 8; // backdrop on each side of the 240 text pixels

constexpr int kTmsSprites = 32;
constexpr int kTmsSpritesPerLine = 4;
constexpr int kTmsSpriteBytes = 4; // Y, X, pattern, early clock and colour
constexpr std::uint8_t kEarlyClock = 0x80;
constexpr int kEarlyClockShift = 32;
constexpr std::uint8_t kColourBits = 0x0F;
// A 16 x 16 sprite's four patterns: the left column's two, then the right column's.
constexpr int kRightColumnOffset = 16;

std::uint8_t VramAt(const std::array<std::uint8_t, kVramSize>& vram, int address) {
    return vram[static_cast<std::size_t>(address) & kVramMask];
}

// width pixels of a pattern byte (bit 7 the leftmost): set bits in one colour, clear bits
// in the other.
void PutPattern(std::uint16_t* out, std::uint8_t bits, std::uint16_t one, std::uint16_t zero,
                int width = 8) {
    for (int k = 0; k < width; ++k) out[k] = (bits & (0x80 >> k)) ? one : zero;
}

} // namespace

// The backdrop shows where the display is off and through colour 0; the menu's background
// switch leaves black behind the sprites. Text mode has no sprites.
void T_VDP_CORE::DrawTmsLine(int line) {
    std::uint16_t* row = &FrameBuffer[static_cast<std::size_t>(line) * kScreenWidth];
    std::array<std::uint16_t, 16> colours = kTmsColourTable;
    colours[0] = kTmsColourTable[Registers[7] & kColourBits];
    if (!(Registers[1] & kR1DisplayEnable)) {
        std::fill_n(row, kScreenWidth, colours[0]);
        return;
    }
    if (BackgroundOn != 1) {
        std::fill_n(row, kScreenWidth, std::uint16_t{0});
    } else {
        switch (Picture) {
        case PictureMode::Graphic1: DrawGraphic1(line, row, colours.data()); break;
        case PictureMode::Graphic2: DrawGraphic2(line, row, colours.data()); break;
        case PictureMode::Text: DrawText(line, row, colours.data()); break;
        case PictureMode::Multicolor: DrawMulticolor(line, row, colours.data()); break;
        case PictureMode::Mode4: break;
        }
    }
    if (Picture != PictureMode::Text) DrawTmsSprites(line, SpritesOn == 1 ? row : nullptr);
}

// 32 x 24 patterns of 8 x 8; each group of eight patterns shares one colour byte (its high
// nibble the set pixels, its low nibble the clear ones).
void T_VDP_CORE::DrawGraphic1(int line, std::uint16_t* pixels, const std::uint16_t* colours) const {
    const int names = NameBase(Registers[2]) + (line >> 3) * 32;
    const int patterns = PatternBase(Registers[4]) + (line & 7);
    const int colourTable = Registers[3] << 6;
    for (int column = 0; column < 32; ++column) {
        const int name = VramAt(Vram, names + column);
        const std::uint8_t colour = VramAt(Vram, colourTable + (name >> 3));
        PutPattern(pixels + column * 8, VramAt(Vram, patterns + name * 8), colours[colour >> 4],
                   colours[colour & kColourBits]);
    }
}

// As Graphic I, but each third of the screen has its own 256 patterns, and every pattern row
// its own colour byte.
void T_VDP_CORE::DrawGraphic2(int line, std::uint16_t* pixels, const std::uint16_t* colours) const {
    const int names = NameBase(Registers[2]) + (line >> 3) * 32;
    const int third = (line >> 6) << 8;
    const int patternHalf = (Registers[4] & 0x04) ? kGraphic2Half : 0;
    const int patternMask = ((Registers[4] & 0x03) << 11) | kGraphic2PatternBits;
    const int colourHalf = (Registers[3] & 0x80) ? kGraphic2Half : 0;
    const int colourMask = ((Registers[3] & 0x7F) << 6) | kGraphic2ColourBits;
    for (int column = 0; column < 32; ++column) {
        const int offset = ((third | VramAt(Vram, names + column)) << 3) | (line & 7);
        const std::uint8_t colour = VramAt(Vram, colourHalf | (offset & colourMask));
        PutPattern(pixels + column * 8, VramAt(Vram, patternHalf | (offset & patternMask)),
                   colours[colour >> 4], colours[colour & kColourBits]);
    }
}

// 40 x 24 characters of 6 x 8 (a pattern's six left bits) between 8-pixel borders, in the
// two colours of R7: its high nibble the set pixels, its low nibble the rest.
void T_VDP_CORE::DrawText(int line, std::uint16_t* pixels, const std::uint16_t* colours) const {
    const int names = NameBase(Registers[2]) + (line >> 3) * kTextColumns;
    const int patterns = PatternBase(Registers[4]) + (line & 7);
    const std::uint16_t one = colours[Registers[7] >> 4], zero = colours[0];
    std::fill_n(pixels, kTextBorder, zero);
    std::fill_n(pixels + kScreenWidth - kTextBorder, kTextBorder, zero);
    for (int column = 0; column < kTextColumns; ++column) {
        const int name = VramAt(Vram, names + column);
        PutPattern(pixels + kTextBorder + column * kTextCharWidth,
                   VramAt(Vram, patterns + name * 8), one, zero, kTextCharWidth);
    }
}

// 64 x 48 blocks of 4 x 4 pixels: a name picks a pattern whose byte for this block row holds
// the left block's colour (high nibble) and the right one's; each name row uses two bytes of
// its pattern, name rows 0-3 of every four the pattern's bytes 0-1, 2-3, 4-5 and 6-7.
void T_VDP_CORE::DrawMulticolor(int line, std::uint16_t* pixels,
                                const std::uint16_t* colours) const {
    const int names = NameBase(Registers[2]) + (line >> 3) * 32;
    const int patterns = PatternBase(Registers[4]) + ((line >> 3) & 3) * 2 + ((line >> 2) & 1);
    for (int column = 0; column < 32; ++column) {
        const std::uint8_t blocks = VramAt(Vram, patterns + VramAt(Vram, names + column) * 8);
        std::fill_n(pixels + column * 8, 4, colours[blocks >> 4]);
        std::fill_n(pixels + column * 8 + 4, 4, colours[blocks & kColourBits]);
    }
}

// The sprites in table order up to a Y of 0xD0: the first four on the line are shown, a
// fifth sets the overflow flag with its number. A sprite's pixels are its pattern's set
// bits, each two pixels wide and tall when magnified. Any two sprites' pixels meeting on the
// screen set the collision flag, those of transparent sprites (colour 0) too; at each pixel
// the first sprite in the table with a colour is shown.
void T_VDP_CORE::DrawTmsSprites(int line, std::uint16_t* pixels) {
    const int table = (Registers[5] & 0x7F) << 7;
    const int patterns = PatternBase(Registers[6]);
    const bool large = (Registers[1] & kR1TallSprites) != 0;
    const int magnify = (Registers[1] & kR1MagnifiedSprites) ? 1 : 0;
    const int width = (large ? 16 : 8) << magnify; // as tall as wide
    constexpr std::uint8_t kTouched = 1, kShown = 2;
    std::array<std::uint8_t, kScreenWidth> taken{};
    int onLine = 0;
    for (int s = 0; s < kTmsSprites; ++s) {
        const int attributes = table + kTmsSpriteBytes * s;
        const std::uint8_t y = VramAt(Vram, attributes);
        if (y == kSpriteListEnd) return;
        // The first line is y + 1; a sprite low in the table wraps to the top.
        const int spriteRow = static_cast<std::uint8_t>(line - 1 - y);
        if (spriteRow >= width) continue;
        if (onLine == kTmsSpritesPerLine) {
            FifthSpriteDue = static_cast<std::uint8_t>(s);
            DueAt(OverflowDue, kOverflowFlagTime);
            return;
        }
        ++onLine;
        const std::uint8_t tag = VramAt(Vram, attributes + 3);
        const int x = VramAt(Vram, attributes + 1) - ((tag & kEarlyClock) ? kEarlyClockShift : 0);
        const int name = VramAt(Vram, attributes + 2) & (large ? 0xFC : 0xFF);
        const int rowAddress = patterns + name * 8 + (spriteRow >> magnify);
        unsigned bits = VramAt(Vram, rowAddress) << 8;
        if (large) bits |= VramAt(Vram, rowAddress + kRightColumnOffset);
        const std::uint8_t colour = tag & kColourBits;
        for (int k = std::max(0, -x); k < width && x + k < kScreenWidth; ++k) {
            if (!(bits & (0x8000u >> (k >> magnify)))) continue;
            std::uint8_t& here = taken[static_cast<std::size_t>(x + k)];
            if (here & kTouched) DueAt(CollisionDue, PixelTime(x + k));
            here |= kTouched;
            if (colour == 0 || (here & kShown)) continue;
            here |= kShown;
            if (pixels != nullptr) pixels[x + k] = kTmsColourTable[colour];
        }
    }
}

} // namespace velmar
