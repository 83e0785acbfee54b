// The video display processor: the ports the CPU sees, the registers and memories, the line
// counters that raise interrupts, and the scanline renderers of its picture modes (the
// Master System's mode 4, and the four modes of the TMS9918 it descends from). Member
// functions are defined across VdpPorts.cpp (ports, registers, interrupts, the beam's
// timing, state), VdpRenderer.cpp (drawing a mode 4 line), VdpTmsModes.cpp (drawing a line
// of the older modes) and VdpFrame.cpp (handing the picture to the scaler).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/ConsoleConstants.h"
#include "core/Region.h"
#include "core/util/StateStream.h"
#include "core/util/TStateClock.h"

namespace velmar {

class Hq2xCache;

namespace vdp {

inline constexpr int kScreenWidth = 256;
inline constexpr int kScreenHeight = 192;
inline constexpr int kRegisterCount = 11;

inline constexpr std::size_t kVramSize = 16384;
inline constexpr std::uint16_t kVramMask = 0x3FFF;
inline constexpr std::size_t kCramSize = 32;
inline constexpr std::uint16_t kCramMask = 0x1F;
inline constexpr std::uint8_t kCramColourMask = 0x3F;
inline constexpr int kTileCount = 512;
inline constexpr int kTileRowCount = kTileCount * 8;
inline constexpr std::size_t kTileCacheSize = kTileRowCount * 8;

// The per-line pixel maps hold one bit per pixel, pixel x at bit x + kMapOrigin (bit b is bit
// b % 8 of byte b / 8), so that a sprite partly left of the screen still has a place.
inline constexpr int kMapOrigin = 8;
inline constexpr std::size_t kMapBytes = (kMapOrigin + kScreenWidth + 16) / 8;

// Size of the chip's block in a save state.
inline constexpr std::size_t kStateBlockSize = 49215;

// Control-port codes (the top two bits of the second control byte).
inline constexpr std::uint8_t kCodeVramRead = 0;
inline constexpr std::uint8_t kCodeVramWrite = 1;
inline constexpr std::uint8_t kCodeRegisterWrite = 2;
inline constexpr std::uint8_t kCodeCramWrite = 3;

// R0
inline constexpr std::uint8_t kR0Mode2 = 0x02; // Graphic II (in the older modes)
inline constexpr std::uint8_t kR0Mode4 = 0x04;
inline constexpr std::uint8_t kR0SpriteShift = 0x08;
inline constexpr std::uint8_t kR0LineIrqEnable = 0x10;
inline constexpr std::uint8_t kR0LeftColumnBlank = 0x20;
inline constexpr std::uint8_t kR0HScrollLock = 0x40;
inline constexpr std::uint8_t kR0VScrollLock = 0x80;
// R1
inline constexpr std::uint8_t kR1MagnifiedSprites = 0x01; // the older modes only
inline constexpr std::uint8_t kR1TallSprites = 0x02;      // 16 x 16 in the older modes
inline constexpr std::uint8_t kR1Mode3 = 0x08;            // Multicolor
inline constexpr std::uint8_t kR1Mode1 = 0x10;            // Text
inline constexpr std::uint8_t kR1FrameIrqEnable = 0x20;
inline constexpr std::uint8_t kR1DisplayEnable = 0x40;
// R2, R5, R6, R7
inline constexpr std::uint8_t kR2NameTableBits = 0x0E;
inline constexpr int kR2NameTableShift = 10;
inline constexpr std::uint8_t kR5SatBits = 0x7E;
inline constexpr int kR5SatShift = 7;
inline constexpr std::uint8_t kR6SpriteTilesHigh = 0x04;
inline constexpr std::uint8_t kR7BackdropBits = 0x0F;

// Status byte
inline constexpr std::uint8_t kStatusFrame = 0x80;
inline constexpr std::uint8_t kStatusOverflow = 0x40;
inline constexpr std::uint8_t kStatusCollision = 0x20;

// Name table entry
inline constexpr std::uint16_t kEntryTileBits = 0x01FF;
inline constexpr std::uint16_t kEntryHFlip = 0x0200;
inline constexpr std::uint16_t kEntryVFlip = 0x0400;
inline constexpr std::uint16_t kEntrySpritePalette = 0x0800;
inline constexpr std::uint16_t kEntryPriority = 0x1000;

// Sprite attribute table
inline constexpr int kSpriteCount = 64;
inline constexpr std::uint8_t kSpriteListEnd = 0xD0;
inline constexpr int kSpriteXTileOffset = 128;
inline constexpr int kSpritesPerLine = 8;

inline constexpr int kFrameIrqLine = 193;

// What the mode bits select: mode 4 whenever R0 bit 2 is set, otherwise one of the older
// modes by R1 bit 4 (Text), R1 bit 3 (Multicolor) and R0 bit 1 (Graphic II), none of them
// being Graphic I. The undocumented mixtures draw as the first of Text, Multicolor and
// Graphic II that they hold.
enum class PictureMode : std::uint8_t { Mode4, Graphic1, Graphic2, Text, Multicolor };

constexpr PictureMode PictureModeOf(std::uint8_t r0, std::uint8_t r1) {
    if (r0 & kR0Mode4) return PictureMode::Mode4;
    if (r1 & kR1Mode1) return PictureMode::Text;
    if (r1 & kR1Mode3) return PictureMode::Multicolor;
    if (r0 & kR0Mode2) return PictureMode::Graphic2;
    return PictureMode::Graphic1;
}

// The older modes' status byte carries, below its three flags, the number of the fifth
// sprite found on a line.
inline constexpr std::uint8_t kStatusFifthSprite = 0x1F;

// The H counter: nine bits counting the 342 pixels of a line, of which port 0x7F reads the
// top eight (two pixels a step). It runs 0x00-0x93, jumps to 0xE9 and runs on to 0xFF; steps
// 0x00-0x7F are the 256 pixels shown. A step takes four master clocks, a CPU T-state three.
inline constexpr int kHCounterBeforeJump = 0x93;
inline constexpr int kHCounterAfterJump = 0xE9;
inline constexpr int kHCounterSteps = kHCounterBeforeJump + 1 + 0x100 - kHCounterAfterJump;
inline constexpr std::uint32_t kMasterClocksPerHStep = 4;
inline constexpr std::uint32_t kMasterClocksPerPixel = kMasterClocksPerHStep / 2;
inline constexpr std::uint32_t kMasterClocksPerTState = 3;
static_assert(kHCounterSteps * kMasterClocksPerHStep ==
              console::kCyclesPerLine * kMasterClocksPerTState);
// Where the counter stands when a line starts (the V counter changes and the line's
// interrupts are raised), and where the chip sets the overflow flag of the line's sprites.
inline constexpr int kHCounterAtLineStart = 0xF4;
inline constexpr int kHCounterAtOverflowFlag = 0xF5;

// A step's place in the counter's run (0 at 0x00).
constexpr int HCounterStep(int value) {
    return value <= kHCounterBeforeJump ? value
                                        : value - kHCounterAfterJump + kHCounterBeforeJump + 1;
}
// Master clocks from the start of a line to the counter reaching a value.
constexpr std::uint32_t MasterClocksToHCounter(int value) {
    const int steps = (HCounterStep(value) - HCounterStep(kHCounterAtLineStart) + kHCounterSteps) %
                      kHCounterSteps;
    return static_cast<std::uint32_t>(steps) * kMasterClocksPerHStep;
}
// The first T-state of a line at which a master-clock point of it has been reached.
constexpr std::uint32_t TStateOfMasterClock(std::uint32_t masterClocks) {
    return (masterClocks + kMasterClocksPerTState - 1) / kMasterClocksPerTState;
}
// The H counter position T-states into a line (later than a line wraps to the next one).
constexpr std::uint8_t HCounterAt(std::uint32_t position) {
    const std::uint32_t steps = position * kMasterClocksPerTState / kMasterClocksPerHStep;
    const int step =
        static_cast<int>((HCounterStep(kHCounterAtLineStart) + steps) % kHCounterSteps);
    return static_cast<std::uint8_t>(
        step <= kHCounterBeforeJump ? step : step - kHCounterBeforeJump - 1 + kHCounterAfterJump);
}
// The first T-state of a line at which the beam shows pixel x (0..255).
constexpr std::uint32_t PixelTime(int x) {
    return TStateOfMasterClock(MasterClocksToHCounter(0) +
                               static_cast<std::uint32_t>(x) * kMasterClocksPerPixel);
}
// Where in a line the overflow flag of its sprites shows.
inline constexpr std::uint32_t kOverflowFlagTime =
    TStateOfMasterClock(MasterClocksToHCounter(kHCounterAtOverflowFlag));
// No flag pending; a position past every flag of a line.
inline constexpr std::uint16_t kNoFlagDue = 0xFFFF;
inline constexpr std::uint32_t kLineEnded = kNoFlagDue;
// The time of a chip without a CPU: every port access falls at the end of its line.
inline constexpr TStateClock kEndOfLine{0, 0, console::kCyclesPerLine};

} // namespace vdp

class T_VDP_CORE {
  public:
    T_VDP_CORE();

    // Power-on state.
    void Reset();

    // Ports, as the bus calls them.
    void WriteControl(std::uint8_t value);
    void WriteData(std::uint8_t value);
    std::uint8_t ReadStatus();
    std::uint8_t ReadData();
    std::uint8_t ReadVCounter() const { return static_cast<std::uint8_t>(VCounter); }
    // Port 0x7F: the H counter as last latched (by a falling TH line, LatchHCounter).
    std::uint8_t ReadHCounter() const { return static_cast<std::uint8_t>(HCounterLatch); }
    std::uint8_t IrqPending() const { return IrqLine; }

    // The time the chip follows the beam by (the CPU's): a line starts at its BudgetStart,
    // and a port access falls at its Now(). Without one (null), every access falls at the
    // end of the line that ran last.
    void AttachClock(const TStateClock* clock) {
        Clock = clock != nullptr ? clock : &vdp::kEndOfLine;
    }
    // T-states into the current line at this moment (of a port access).
    std::uint32_t LinePosition() const { return Clock->Now() - LineStart; }
    // Takes the H counter into the latch as it stands position T-states into the current line
    // (the moment a TH line fell), or now.
    void LatchHCounterAt(std::uint32_t position) { HCounterLatch = vdp::HCounterAt(position); }
    void LatchHCounter() { LatchHCounterAt(LinePosition()); }

    // One scan line (0 up to the region's last): counters and interrupts, then (lines
    // 0..191) the line is drawn when render is set, zeroed when only clear is set, or left
    // as it was.
    void RunLine(int line, bool render, bool clear);

    // The television standard the chip runs at, which decides where its V counter jumps
    // back (NTSC until told otherwise). A choice of the machine, not part of the state.
    void SetRegion(const RegionTiming& timing) {
        VCounterJumpLine = timing.VCounterJumpLine;
        VCounterJumpTo = timing.VCounterJumpTo;
    }
    // The picture mode the registers select now.
    vdp::PictureMode Mode() const { return Picture; }

    // Draws lines with the plain code even where the processor offers byte shuffles (the
    // picture is the same either way).
    void UseBaselineRenderer(bool baseline) { ShuffleRenderer = !baseline && ShuffleSupported(); }

    void SetBackgroundEnabled(std::uint8_t value) { BackgroundOn = value; }
    void SetSpritesEnabled(std::uint8_t value) { SpritesOn = value; }

    // R1 bit 1, R0 bit 4, R1 bit 5, R8, R9, R1 bit 6, R10 (bits as 0/1).
    void GetStatusInfo(std::array<std::uint8_t, 7>& info) const;

    // Scales FrameBuffer to 512 x 384 into dest (rows pitch bytes apart) at 16, 24 or 32 bits
    // per pixel; any other depth draws nothing. hq2x = 1 turns the filter on. Through a cache
    // the output blocks whose neighbourhood did not change since its last frame are copied.
    void RenderFrame(std::uint8_t* dest, int bitsPerPixel, std::ptrdiff_t pitch,
                     std::uint8_t hq2x) const;
    void RenderFrame(std::uint8_t* dest, int bitsPerPixel, std::ptrdiff_t pitch, std::uint8_t hq2x,
                     Hq2xCache& cache) const;

    // The chip's save-state block, appended at the stream's current position.
    void SaveState(StateWriter& writer);
    void LoadState(StateReader& reader);

    template <class Stream> void SerializeState(Stream& s) {
        s.Bytes(Registers.data(), Registers.size());
        s.U16(AddressRegister);
        s.U8(CodeRegister);
        s.U8(ReadBuffer);
        s.U8(VScrollLatch);
        s.U16(SatBase);
        s.U16(NameTableBase);
        s.U8(IrqLine);
        s.U8(FramePending);
        s.U8(LinePending);
        s.U8(LineCounter);
        s.U8(SpriteOverflow);
        s.U8(SpriteCollision);
        s.U8(ControlLatch);
        s.U16(HCounterLatch); // the word a state once kept reserved (0)
        s.U16(VCounter);
        s.Bytes(Vram.data(), Vram.size());
        s.Bytes(Cram.data(), Cram.size());
        s.Bytes(TileCache.data(), TileCache.size());
    }

    // Recomputes the tile-cache row holding the VRAM byte at address.
    void DecodeTileRow(std::uint16_t address);

    // Tile cache entry [tile][row][k]: the colour index of bit k of that tile row.
    std::uint8_t TileIndex(int tile, int row, int k) const {
        return TileCache[(static_cast<std::size_t>(tile) * 8 + row) * 8 + k];
    }

    std::array<std::uint8_t, vdp::kRegisterCount> Registers{};
    std::uint16_t AddressRegister = 0;
    std::uint8_t CodeRegister = 0;
    std::uint8_t ReadBuffer = 0;
    std::uint8_t VScrollLatch = 0;
    std::uint8_t IrqLine = 0;
    std::uint8_t FramePending = 0;
    std::uint8_t LinePending = 0;
    std::uint8_t LineCounter = 0;
    std::uint8_t SpriteOverflow = 0;
    std::uint8_t SpriteCollision = 0;
    std::uint8_t ControlLatch = 0;
    std::uint8_t SpritesOn = 1;
    std::uint8_t BackgroundOn = 1;
    // The H counter as last latched (low byte; the state file keeps the word as stored).
    std::uint16_t HCounterLatch = 0;
    std::uint16_t VCounter = 0;
    // Sprite flags the current line has found but the beam has not reached yet: the T-state
    // of the line from which each shows (kNoFlagDue: none).
    std::uint16_t OverflowDue = vdp::kNoFlagDue;
    std::uint16_t CollisionDue = vdp::kNoFlagDue;
    // The older modes' fifth-sprite number: taken from the line whose fifth sprite set the
    // overflow flag while it was clear, and kept until another does (0 after a reset; a
    // state does not keep it). FifthSpriteDue is the current line's, shown with its flag.
    std::uint8_t FifthSprite = 0;
    std::uint8_t FifthSpriteDue = 0;
    // Bit maps of one line (see kMapOrigin): priority background pixels of a non-zero
    // index, and the opaque sprite pixels (each x claimed by the first sprite on it).
    std::array<std::uint8_t, vdp::kMapBytes> PriorityMap{};
    std::array<std::uint8_t, vdp::kMapBytes> SpriteMap{};
    std::array<std::uint8_t, vdp::kVramSize> Vram{};
    std::array<std::uint8_t, vdp::kCramSize> Cram{};
    std::array<std::uint8_t, vdp::kTileCacheSize> TileCache{};
    std::uint16_t SatBase = 0;
    std::uint16_t NameTableBase = 0;
    std::array<std::uint16_t, vdp::kScreenWidth * vdp::kScreenHeight> FrameBuffer{};

  private:
    // Kept in step with TileCache and Cram by every write to them, and rebuilt after a reset
    // or a loaded state: each tile row as eight 4-bit indices (nibble k the k-th pixel from
    // the left), for every tile in each of its four flips, at (flips x 512 + tile) x 8 + line
    // (flips as the name-table entry holds them: 1 mirrored, 2 upside down, so that line 0 is
    // the tile's row 7); the 32 colours as RGB565;
    // and for each palette the two pixels of every pair of indices (low nibble, the left
    // pixel, in the low half).
    std::array<std::uint32_t, 4 * vdp::kTileRowCount> PackedRows{};
    std::array<std::uint16_t, vdp::kCramSize> PaletteRgb{};
    std::array<std::array<std::uint32_t, 256>, 2> PairRgb{};
    // The same colours split into byte tables for shuffles, 32 bytes a palette: the low bytes
    // of its 16 colours, then the high bytes.
    alignas(16) std::array<std::uint8_t, 64> PaletteBytes{};
    bool ShuffleRenderer = ShuffleSupported();

    // The time the chip follows, and where on it the current line started.
    const TStateClock* Clock = &vdp::kEndOfLine;
    std::uint32_t LineStart = 0;
    // What R0 and R1 select, kept in step with them; and the region's V counter jump.
    vdp::PictureMode Picture = vdp::PictureMode::Graphic1;
    int VCounterJumpLine = kNtscTiming.VCounterJumpLine;
    std::uint8_t VCounterJumpTo = kNtscTiming.VCounterJumpTo;

    static bool ShuffleSupported();

    void RebuildDerived();
    void StorePackedRow(std::size_t row, std::uint32_t plain, std::uint32_t mirrored);
    void RefreshColour(std::size_t index);
    void RecomputeTableBases();
    void UpdateCounters(int line);
    // Pending sprite flags whose time has come (all of them: the line ended) become set.
    void SettleSpriteFlags(std::uint32_t position) {
        if ((OverflowDue & CollisionDue) != vdp::kNoFlagDue) SetDueFlags(position);
    }
    void SetDueFlags(std::uint32_t position);
    // A sprite flag found on this line, showing from the given T-state of it.
    static void DueAt(std::uint16_t& due, std::uint32_t time) {
        if (time < due) due = static_cast<std::uint16_t>(time);
    }
    void DrawLine(int line);
    void FindSpriteFlags(int line);
    void DrawLineBaseline(int line);
    void DrawLineShuffled(int line);
    template <bool Shuffled> void DrawLineWith(int line);
    template <bool Shuffled> void DrawBackground(int line, std::uint16_t* pixels);
    template <bool Shuffled>
    void DrawTiles(int first, int end, int coarse, int fine, int tileLine, int tileRow,
                   std::uint16_t* pixels);
    // Draws the line's sprites into pixels, or (pixels null) only finds the flags they set.
    template <bool Shuffled> void DrawSprites(int line, std::uint16_t* pixels);
    // The older modes (VdpTmsModes.cpp): a whole line, each mode's background, and their
    // sprites (drawn into pixels, or with pixels null only their flags found).
    void DrawTmsLine(int line);
    void DrawGraphic1(int line, std::uint16_t* pixels, const std::uint16_t* colours) const;
    void DrawGraphic2(int line, std::uint16_t* pixels, const std::uint16_t* colours) const;
    void DrawText(int line, std::uint16_t* pixels, const std::uint16_t* colours) const;
    void DrawMulticolor(int line, std::uint16_t* pixels, const std::uint16_t* colours) const;
    void DrawTmsSprites(int line, std::uint16_t* pixels);
};

// From a 6-bit colour (bits 0-1 red, 2-3 green, 4-5 blue) to RGB565: each 2-bit component
// becomes the nearest 5-bit (red, blue) or 6-bit (green) level.
inline constexpr std::array<std::uint16_t, 64> kVdpColourTable = [] {
    constexpr std::uint16_t five[4] = {0, 10, 21, 31};
    constexpr std::uint16_t six[4] = {0, 21, 42, 63};
    std::array<std::uint16_t, 64> table{};
    for (int c = 0; c < 64; ++c) {
        table[c] = static_cast<std::uint16_t>((five[c & 3] << 11) | (six[(c >> 2) & 3] << 5) |
                                              five[(c >> 4) & 3]);
    }
    return table;
}();

// The TMS9918's sixteen colours as RGB565, from their 24-bit values as its data manual's
// luminance and colour-difference levels give them. Colour 0 is transparent: the backdrop
// (R7) shows through it, and black where the backdrop is colour 0 too.
inline constexpr std::array<std::uint16_t, 16> kTmsColourTable = [] {
    constexpr std::uint32_t rgb[16] = {0x000000, 0x000000, 0x21C842, 0x5EDC78, 0x5455ED, 0x7D76FC,
                                       0xD4524D, 0x42EBF5, 0xFC5554, 0xFF7978, 0xD4C154, 0xE6CE80,
                                       0x21B03B, 0xC95BBA, 0xCCCCCC, 0xFFFFFF};
    const auto level = [](std::uint32_t c, std::uint32_t top) { return (c * top + 127) / 255; };
    std::array<std::uint16_t, 16> table{};
    for (int c = 0; c < 16; ++c) {
        table[c] = static_cast<std::uint16_t>((level(rgb[c] >> 16, 31) << 11) |
                                              (level((rgb[c] >> 8) & 0xFF, 63) << 5) |
                                              level(rgb[c] & 0xFF, 31));
    }
    return table;
}();

} // namespace velmar
