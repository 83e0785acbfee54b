// Ports, registers, counters, interrupts and the save-state block of the video chip.
#include "core/vdp/Vdp.h"

#include <algorithm>

namespace velmar {

using namespace vdp;

namespace {

// A bit-plane byte spread out: bit k to bit 0 of byte k (the tile cache's order) ...
constexpr std::array<std::uint64_t, 256> kPlaneToBytes = [] {
    std::array<std::uint64_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        for (int k = 0; k < 8; ++k) table[v] |= static_cast<std::uint64_t>((v >> k) & 1) << (8 * k);
    }
    return table;
}();

// ... and to bit 0 of nibble k in screen order: bit 7 - k (the leftmost pixel in bit 7), or
// bit k for the mirrored row.
template <bool Mirrored> constexpr std::array<std::uint32_t, 256> PlaneToNibbles() {
    std::array<std::uint32_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        for (int k = 0; k < 8; ++k) {
            const int bit = Mirrored ? k : 7 - k;
            table[v] |= static_cast<std::uint32_t>((v >> bit) & 1) << (4 * k);
        }
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kPlaneToNibbles = PlaneToNibbles<false>();
constexpr std::array<std::uint32_t, 256> kPlaneToMirrored = PlaneToNibbles<true>();

} // namespace

T_VDP_CORE::T_VDP_CORE() {
    Reset();
}

void T_VDP_CORE::Reset() {
    Registers.fill(0);
    Registers[2] = 0x0E;
    Registers[5] = 0x7E;
    AddressRegister = 0;
    CodeRegister = 0;
    ReadBuffer = 0;
    IrqLine = 0;
    FramePending = 0;
    LinePending = 0;
    LineCounter = 0;
    ControlLatch = 0;
    HCounterLatch = 0;
    VCounter = 0;
    OverflowDue = kNoFlagDue;
    CollisionDue = kNoFlagDue;
    FifthSprite = 0;
    Picture = PictureModeOf(Registers[0], Registers[1]);
    SpritesOn = 1;
    BackgroundOn = 1;
    PriorityMap.fill(0);
    SpriteMap.fill(0);
    Vram.fill(0);
    Cram.fill(0);
    TileCache.fill(0);
    RebuildDerived();
    // VScrollLatch, the sprite flags, the table bases and the picture survive a reset; the
    // bases follow R5 and R2 only from the next register write.
}

void T_VDP_CORE::RecomputeTableBases() {
    SatBase = static_cast<std::uint16_t>((Registers[5] & kR5SatBits) << kR5SatShift);
    NameTableBase =
        static_cast<std::uint16_t>((Registers[2] & kR2NameTableBits) << kR2NameTableShift);
}

// The first byte of a pair replaces the low byte of the address (so a lone first byte moves
// both the read and the write address); the second loads the high bits and the code,
// whatever the code, and then acts on it.
void T_VDP_CORE::WriteControl(std::uint8_t value) {
    if (ControlLatch == 0) {
        AddressRegister = static_cast<std::uint16_t>((AddressRegister & 0xFF00) | value);
        ControlLatch = 1;
        return;
    }
    ControlLatch = 0;
    AddressRegister =
        static_cast<std::uint16_t>((AddressRegister & 0x00FF) | ((value & 0x3F) << 8));
    CodeRegister = static_cast<std::uint8_t>(value >> 6);
    if (CodeRegister == kCodeVramRead) {
        ReadBuffer = Vram[AddressRegister & kVramMask];
        AddressRegister = static_cast<std::uint16_t>((AddressRegister + 1) & kVramMask);
    } else if (CodeRegister == kCodeRegisterWrite) {
        const int r = value & 0x0F;
        if (r < kRegisterCount) {
            Registers[r] = static_cast<std::uint8_t>(AddressRegister);
            RecomputeTableBases();
            Picture = PictureModeOf(Registers[0], Registers[1]);
            if (r == 0 && LinePending == 1) IrqLine = (Registers[0] & kR0LineIrqEnable) ? 1 : 0;
            if (r == 1 && FramePending == 1) IrqLine = (Registers[1] & kR1FrameIrqEnable) ? 1 : 0;
        }
    }
}

// Codes 0 to 2 write VRAM, code 3 CRAM; either way the byte also becomes the read-ahead byte
// and the control pair starts over.
void T_VDP_CORE::WriteData(std::uint8_t value) {
    ControlLatch = 0;
    ReadBuffer = value;
    // A code register loaded from a state may hold more than two bits: only the low two count.
    if ((CodeRegister & 3) == kCodeCramWrite) {
        Cram[AddressRegister & kCramMask] = value & kCramColourMask;
        RefreshColour(AddressRegister & kCramMask);
    } else {
        const std::uint16_t address = AddressRegister & kVramMask;
        Vram[address] = value;
        DecodeTileRow(address);
    }
    AddressRegister = static_cast<std::uint16_t>((AddressRegister + 1) & kVramMask);
}

std::uint8_t T_VDP_CORE::ReadData() {
    const std::uint8_t result = ReadBuffer;
    ReadBuffer = Vram[AddressRegister & kVramMask];
    ControlLatch = 0;
    AddressRegister = static_cast<std::uint16_t>((AddressRegister + 1) & kVramMask);
    return result;
}

// Sprite flags the beam has reached by now show; reading clears every flag, the interrupt
// output and the control pair. In the older modes the fifth-sprite number stays.
std::uint8_t T_VDP_CORE::ReadStatus() {
    if ((OverflowDue & CollisionDue) != kNoFlagDue) SetDueFlags(LinePosition());
    std::uint8_t result = Picture != PictureMode::Mode4 ? FifthSprite : 0;
    if (FramePending == 1) result |= kStatusFrame;
    if (SpriteOverflow == 1) result |= kStatusOverflow;
    if (SpriteCollision == 1) result |= kStatusCollision;
    FramePending = 0;
    LinePending = 0;
    SpriteOverflow = 0;
    SpriteCollision = 0;
    IrqLine = 0;
    ControlLatch = 0;
    return result;
}

void T_VDP_CORE::SetDueFlags(std::uint32_t position) {
    if (OverflowDue != kNoFlagDue && OverflowDue <= position) {
        if (SpriteOverflow != 1) FifthSprite = FifthSpriteDue;
        SpriteOverflow = 1;
        OverflowDue = kNoFlagDue;
    }
    if (CollisionDue != kNoFlagDue && CollisionDue <= position) {
        SpriteCollision = 1;
        CollisionDue = kNoFlagDue;
    }
}

void T_VDP_CORE::DecodeTileRow(std::uint16_t address) {
    const std::size_t rowStart = address & kVramMask & ~3u; // four bit-planes per tile row
    const std::uint8_t p0 = Vram[rowStart], p1 = Vram[rowStart + 1];
    const std::uint8_t p2 = Vram[rowStart + 2], p3 = Vram[rowStart + 3];
    // The tile cache holds 8 indices per tile row, and tile rows are 4 VRAM bytes apart.
    const std::uint64_t indices = kPlaneToBytes[p0] | (kPlaneToBytes[p1] << 1) |
                                  (kPlaneToBytes[p2] << 2) | (kPlaneToBytes[p3] << 3);
    std::uint8_t* out = &TileCache[rowStart * 2];
    for (int k = 0; k < 8; ++k) out[k] = static_cast<std::uint8_t>(indices >> (8 * k));
    const std::uint32_t plain = kPlaneToNibbles[p0] | (kPlaneToNibbles[p1] << 1) |
                                (kPlaneToNibbles[p2] << 2) | (kPlaneToNibbles[p3] << 3);
    const std::uint32_t mirrored = kPlaneToMirrored[p0] | (kPlaneToMirrored[p1] << 1) |
                                   (kPlaneToMirrored[p2] << 2) | (kPlaneToMirrored[p3] << 3);
    StorePackedRow(rowStart / 4, plain, mirrored);
}

void T_VDP_CORE::StorePackedRow(std::size_t row, std::uint32_t plain, std::uint32_t mirrored) {
    // Row r of a tile is line 7 - r of its upside-down copies.
    PackedRows[row] = plain;
    PackedRows[kTileRowCount + row] = mirrored;
    PackedRows[2 * kTileRowCount + (row ^ 7)] = plain;
    PackedRows[3 * kTileRowCount + (row ^ 7)] = mirrored;
}

void T_VDP_CORE::RefreshColour(std::size_t index) {
    PaletteRgb[index] = kVdpColourTable[Cram[index] & kCramColourMask];
    const std::size_t base = index & 0x10, j = index & 0x0F;
    std::array<std::uint32_t, 256>& pairs = PairRgb[base >> 4];
    for (std::size_t k = 0; k < 16; ++k) {
        const std::uint32_t own = PaletteRgb[index], other = PaletteRgb[base + k];
        pairs[j | (k << 4)] = own | (other << 16);
        pairs[k | (j << 4)] = other | (own << 16);
    }
    PaletteBytes[2 * base + j] = static_cast<std::uint8_t>(PaletteRgb[index]);
    PaletteBytes[2 * base + 16 + j] = static_cast<std::uint8_t>(PaletteRgb[index] >> 8);
}

// The tile cache loaded from a state need not match VRAM (nor hold only four bits per
// index), so the packed rows follow the cache, not VRAM.
void T_VDP_CORE::RebuildDerived() {
    for (std::size_t row = 0; row < kTileRowCount; ++row) {
        std::uint32_t packed = 0, mirrored = 0;
        for (int k = 0; k < 8; ++k) {
            packed |= static_cast<std::uint32_t>(TileCache[row * 8 + 7 - k] & 0x0F) << (4 * k);
            mirrored |= static_cast<std::uint32_t>(TileCache[row * 8 + k] & 0x0F) << (4 * k);
        }
        StorePackedRow(row, packed, mirrored);
    }
    for (std::size_t i = 0; i < kCramSize; ++i)
        PaletteRgb[i] = kVdpColourTable[Cram[i] & kCramColourMask];
    for (std::size_t i = 0; i < kCramSize; ++i) RefreshColour(i);
}

void T_VDP_CORE::UpdateCounters(int line) {
    if (line <= kFrameIrqLine - 1) {
        if (LineCounter == 0) {
            LinePending = 1;
            LineCounter = Registers[10];
        } else {
            --LineCounter;
        }
    } else {
        LineCounter = Registers[10];
        if (line == kFrameIrqLine) FramePending = 1;
    }
    if (LinePending == 1 && (Registers[0] & kR0LineIrqEnable)) IrqLine = 1;
    if (FramePending == 1 && (Registers[1] & kR1FrameIrqEnable)) IrqLine = 1;

    if (line == 0) {
        VCounter = 0;
    } else if (line == VCounterJumpLine) {
        VCounter = VCounterJumpTo; // into the vertical blank: 0xDA -> 0xD5, or 0xF2 -> 0xBA
    } else {
        VCounter = static_cast<std::uint16_t>((VCounter + 1) & 0xFF);
    }
}

void T_VDP_CORE::RunLine(int line, bool render, bool clear) {
    SettleSpriteFlags(kLineEnded); // the previous line has ended
    LineStart = Clock->BudgetStart;
    UpdateCounters(line);
    if (line < 0 || line >= kScreenHeight) return;
    if (render) {
        DrawLine(line);
    } else {
        // An undrawn line still finds its sprite flags.
        if (Registers[1] & kR1DisplayEnable) FindSpriteFlags(line);
        if (clear)
            std::fill_n(FrameBuffer.begin() + line * kScreenWidth, kScreenWidth, std::uint16_t{0});
    }
}

void T_VDP_CORE::GetStatusInfo(std::array<std::uint8_t, 7>& info) const {
    info[0] = (Registers[1] & kR1TallSprites) ? 1 : 0;
    info[1] = (Registers[0] & kR0LineIrqEnable) ? 1 : 0;
    info[2] = (Registers[1] & kR1FrameIrqEnable) ? 1 : 0;
    info[3] = Registers[8];
    info[4] = Registers[9];
    info[5] = (Registers[1] & kR1DisplayEnable) ? 1 : 0;
    info[6] = Registers[10];
}

void T_VDP_CORE::SaveState(StateWriter& writer) {
    SerializeState(writer);
}

// Loaded values are kept as stored (a later save echoes them back); every use that indexes a
// memory reduces them first: VRAM addresses and table bases modulo 16384, CRAM addresses
// modulo 32, the code register to its low two bits, the H counter latch to its low byte. A
// short block replaces only the fields it covers; states from before the latch was kept hold
// 0 in its word.
void T_VDP_CORE::LoadState(StateReader& reader) {
    SerializeState(reader);
    OverflowDue = kNoFlagDue;
    CollisionDue = kNoFlagDue;
    FifthSprite = 0;
    Picture = PictureModeOf(Registers[0], Registers[1]);
    RebuildDerived();
}

} // namespace velmar
