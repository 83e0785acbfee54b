#pragma once

#include "core/cpu/Cartridge.h"
#include "core/cpu/CodemastersMapper.h"
#include "core/cpu/KoreanMapper.h"
#include "core/cpu/NoMapper.h"
#include "core/cpu/SegaMapper.h"
#include "core/util/FileIo.h"
#include "firmware/BiosStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <variant>

namespace velmar {

// The console's memory map as the Z80 sees it: cartridge ROM in three 16 KB slots through the
// cartridge's mapper (Sega, Codemasters, Korean or none), 8 KB of work RAM at 0xC000
// (mirrored at 0xE000), cartridge RAM that the mapper can put in slot 2, and the boot
// firmware, which is mapped instead of the cartridge until the program sets bit 3 of port
// 0x3E. An SG-1000 cartridge runs as that console did: 1 KB of work RAM mirrored through
// 0xC000-0xFFFF, and no firmware.
class ConsoleMemory {
  public:
    static constexpr std::size_t kBankSize = kCartridgeBankSize;
    static constexpr std::size_t kRomImageSize = kLargestRomImage; // 64 banks, 1 MB
    static constexpr std::uint32_t kRomImageMask = kRomImageSize - 1;
    static constexpr std::size_t kRomHeaderSize = kRomFileHeaderSize;
    static constexpr std::size_t kWorkRamSize = 8192;
    static constexpr std::size_t kWorkRamStoredSize = kWorkRamSize + 1; // plus one spare byte
    static constexpr std::uint16_t kWorkRamMask = kWorkRamSize - 1;
    static constexpr std::uint16_t kSg1000WorkRamMask = 1024 - 1;
    static constexpr std::size_t kCartridgeRamSize = 2 * kBankSize;
    static constexpr std::uint32_t kBiosStoreMask = kBiosStoreSize - 1;
    static constexpr std::uint16_t kSlotOffsetMask = kBankSize - 1;
    static constexpr int kSlotShift = 14;
    static constexpr int kPageShift = 10; // the page table's 1 KB pages
    static constexpr std::uint16_t kPageOffsetMask = (1u << kPageShift) - 1;
    static constexpr std::size_t kPageCount = 0x10000 >> kPageShift;
    static constexpr std::uint16_t kFixedRomEnd = SegaMapper::kFixedRomEnd;
    static constexpr std::uint16_t kCartridgeSlotStart = 0x8000;
    static constexpr std::uint16_t kWorkRamStart = 0xC000;
    static constexpr std::uint16_t kRamControlAddress = SegaMapper::kRamControlAddress;
    static constexpr std::uint16_t kPage0Address = SegaMapper::kPage0Address;
    static constexpr std::uint16_t kPlainRamSpan = kRamControlAddress - kWorkRamStart;

    // RamControl (0xFFFC) bits.
    static constexpr std::uint8_t kRamControlEnable = SegaMapper::kRamControlEnable;
    static constexpr std::uint8_t kRamControlBankSelect = SegaMapper::kRamControlBankSelect;
    // MemoryControl (port 0x3E) bits.
    static constexpr std::uint8_t kMemoryControlCartridge = 0x08; // 0 = firmware mapped

    std::array<std::uint8_t, kRomImageSize> RomImage{};
    std::array<std::uint8_t, kWorkRamStoredSize> WorkRam{};
    std::array<std::uint8_t, kCartridgeRamSize> CartridgeRam{};
    // These eight bytes stay together in this order (MapKey reads them as one word).
    std::array<std::uint8_t, 3> PageRegisters{};
    std::uint8_t RamControl = 0;
    std::uint8_t BankCount = 0;
    std::uint8_t BiosType = 0;
    std::uint8_t CartridgeRamUsed = 0;
    std::uint8_t MemoryControl = 0;
    // The loaded image's size in bytes and the console it was made for (not saved in states).
    std::uint32_t RomSize = 0;
    CartridgeSystem System = CartridgeSystem::MasterSystem;

    // The cartridge mapper, in MapperKind order; another kind of cartridge is one more
    // alternative here and one more file beside SegaMapper.h. Set through SetMapperChoice.
    std::variant<SegaMapper, CodemastersMapper, KoreanMapper, NoMapper> Mapper;

    // Reads and writes from outside the CPU. A mapping field may have been set directly, so
    // the page table is brought up to date first.
    std::uint8_t ReadMemory(std::uint16_t address) {
        SyncMemoryMap();
        return ReadMapped(address);
    }
    void WriteMemory(std::uint16_t address, std::uint8_t value) {
        SyncMemoryMap();
        WriteMapped(address, value);
    }

    // The CPU's per-access path, valid while the page table is current (the CPU syncs it when
    // a run starts; every write that changes the mapping rebuilds it). A read is one load
    // through the page table; pages whose reads have side effects (cartridge RAM marks itself
    // used) have no entry and take the full path. A write below 0xFFFC is plain work RAM;
    // everything else goes to the mapper.
    std::uint8_t ReadMapped(std::uint16_t address) {
        const std::uintptr_t page = pages_.Read[unsigned{address} >> kPageShift];
        if (page != 0) [[likely]]
            return *reinterpret_cast<const std::uint8_t*>(page + address);
        return ReadUnpaged(address);
    }
    void WriteMapped(std::uint16_t address, std::uint8_t value) {
        if (static_cast<std::uint16_t>(address - kWorkRamStart) < kPlainRamSpan) [[likely]] {
            WorkRam[address & workRamMask_] = value;
            return;
        }
        WriteUnpaged(address, value);
    }
    // The bytes at pc, pc+1 and pc+3, read before every instruction: three loads from one
    // page when they share it.
    void ReadOpcodeBytes(std::uint16_t pc, std::uint8_t& op, std::uint8_t& op1, std::uint8_t& op3) {
        const unsigned at = pc;
        const std::uintptr_t page = pages_.Read[at >> kPageShift];
        if (page != 0 && (at & kPageOffsetMask) <= kPageOffsetMask - 3u) [[likely]] {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(page + at);
            op = bytes[0];
            op1 = bytes[1];
            op3 = bytes[3];
            return;
        }
        op = ReadMapped(pc);
        op1 = ReadMapped(static_cast<std::uint16_t>(pc + 1));
        op3 = ReadMapped(static_cast<std::uint16_t>(pc + 3));
    }

    // Rebuilds the page table when a mapping field (page registers, RamControl,
    // MemoryControl, firmware choice) changed since it was built.
    void SyncMemoryMap() {
        if (MapKey() != pages_.Key) RebuildMemoryMap();
    }
    void RebuildMemoryMap();

    // Loads a cartridge file (ReadRomFile: a 512-byte header is skipped when the size is not a
    // multiple of 1024; a name ending in .sg is an SG-1000 cartridge). Refuses a missing,
    // unreadable or empty file and one over 1 MB without its header; on refusal nothing
    // changes.
    FileResult LoadRom(const std::filesystem::path& path);
    // Loads a checked image and puts the chosen mapper in front of it. The page registers stay
    // unless the mapper kind changes (then the new mapper starts as after a reset); the
    // caller resets the console before.
    Result LoadRomImage(const CartridgeImage& image);
    // Which mapper the cartridge gets: Auto asks DetectMapper about the loaded image. Applies
    // at once (the registers start afresh when the kind changes) and to every later image.
    void SetMapperChoice(MapperChoice choice);
    MapperChoice GetMapperChoice() const { return choice_; }
    MapperKind GetMapper() const { return static_cast<MapperKind>(Mapper.index()); }
    // What Auto picks for the loaded image.
    MapperKind AutoMapper() const;
    // The console the cartridge runs on; called with the console just reset (Run BIOS sets the
    // Master System back so that the firmware runs).
    void SetSystem(CartridgeSystem system);

    // For the mappers: a pointer to the byte at offset in ROM bank (wrapping within the
    // 1 MB image), and a written bank number reduced modulo the bank count.
    const std::uint8_t* RomAt(unsigned bank, std::uint32_t offset) const {
        return &RomImage[(bank * kBankSize + offset) & kRomImageMask];
    }
    std::uint8_t ReducedBank(std::uint8_t value) const {
        // BankCount is never 0 once reset or loaded; the guard keeps a hand-set 0 safe.
        return static_cast<std::uint8_t>(value % (BankCount != 0 ? BankCount : 1));
    }
    // Writes the 32 KB of cartridge RAM (atomically) only when the game touched it.
    FileResult SaveBatteryRam(const std::filesystem::path& path) const;
    // Fills cartridge RAM from the start of the file (up to 32 KB); a missing file changes
    // nothing.
    FileResult LoadBatteryRam(const std::filesystem::path& path);
    void SetBiosType(std::uint8_t value) {
        BiosType = value;
        RebuildMemoryMap();
    }

    // The memory half of the console reset: the mapper's registers as at power-on (Sega:
    // pages 0, 1, 2 with RamControl kept), firmware mapped, work RAM cleared, BankCount at
    // least 1, CartridgeRamUsed cleared. ROM, cartridge RAM and the firmware choice stay.
    void ResetMemory();

    ConsoleMemory() { RebuildMemoryMap(); }

  private:
    // Per 1 KB page, the address of the byte that CPU address 0 would have if the page's
    // source continued both ways (the page's first byte minus the page's start address), so
    // that a read adds the whole CPU address; 0 = no entry. A copy starts empty
    // (every read takes the full path) until the next sync, so it never points into the
    // memory it was copied from.
    struct PageTable {
        std::array<std::uintptr_t, kPageCount> Read{};
        std::uint64_t Key = 0;
        PageTable() = default;
        PageTable(const PageTable&) {}
        PageTable& operator=(const PageTable&) {
            Read.fill(0);
            Key = 0;
            return *this;
        }
    };

    // The mapping fields (with BankCount and CartridgeRamUsed, which sit between them) in
    // their declared order, one byte each: the compiler reads them as one 8-byte load. An
    // empty table is never wrong, only slow, so a key that happens to equal an empty
    // table's 0 is harmless.
    std::uint64_t MapKey() const {
        return std::uint64_t{PageRegisters[0]} | (std::uint64_t{PageRegisters[1]} << 8) |
               (std::uint64_t{PageRegisters[2]} << 16) | (std::uint64_t{RamControl} << 24) |
               (std::uint64_t{BankCount} << 32) | (std::uint64_t{BiosType} << 40) |
               (std::uint64_t{CartridgeRamUsed} << 48) | (std::uint64_t{MemoryControl} << 56);
    }
    bool FirmwareMapped() const {
        return (MemoryControl & kMemoryControlCartridge) == 0 && System != CartridgeSystem::Sg1000;
    }
    void SetMapper(MapperKind kind);
    std::uint8_t ReadUnpaged(std::uint16_t address);
    void WriteUnpaged(std::uint16_t address, std::uint8_t value);

    PageTable pages_;
    // Work RAM addresses wrap at 8 KB, or at 1 KB for an SG-1000.
    std::uint16_t workRamMask_ = kWorkRamMask;
    MapperChoice choice_ = MapperChoice::Auto;
};

} // namespace velmar
