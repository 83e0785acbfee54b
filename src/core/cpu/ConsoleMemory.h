#pragma once

#include "core/cpu/SegaMapper.h"
#include "core/util/FileIo.h"
#include "firmware/BiosStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <variant>
#include <vector>

namespace velmar {

// The console's memory map as the Z80 sees it: cartridge ROM behind three 16 KB page
// registers, 8 KB of work RAM at 0xC000 (mirrored at 0xE000), 32 KB of battery-backed
// cartridge RAM that can replace slot 2, and the boot firmware, which is mapped instead of
// the cartridge until the program sets bit 3 of port 0x3E.
class ConsoleMemory {
  public:
    static constexpr std::size_t kBankSize = 16384;
    static constexpr std::size_t kRomImageSize = 64 * kBankSize; // 1 MB
    static constexpr std::uint32_t kRomImageMask = kRomImageSize - 1;
    static constexpr std::size_t kRomHeaderSize = 512;
    static constexpr std::size_t kWorkRamSize = 8192;
    static constexpr std::size_t kWorkRamStoredSize = kWorkRamSize + 1; // plus one spare byte
    static constexpr std::uint16_t kWorkRamMask = kWorkRamSize - 1;
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

    // The cartridge mapper; another kind of cartridge is one more alternative here.
    std::variant<SegaMapper> Mapper;

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
            WorkRam[address & kWorkRamMask] = value;
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

    // Loads a cartridge image: a 512-byte header is skipped when the size is not a multiple of
    // 1024. Refuses a missing or unreadable file, one too small to hold anything after that
    // header and one over 1 MB without it; on refusal nothing changes. Does not reset the page
    // registers.
    FileResult LoadRom(const std::filesystem::path& path);
    // The two halves of LoadRom: reading and checking the file (the image without its header
    // into image), then putting a checked image in place.
    static FileResult ReadRom(const std::filesystem::path& path, std::vector<std::uint8_t>& image);
    void InstallRom(std::span<const std::uint8_t> image);
    // Writes the 32 KB of cartridge RAM (atomically) only when the game touched it.
    FileResult SaveBatteryRam(const std::filesystem::path& path) const;
    // Fills cartridge RAM from the start of the file (up to 32 KB); a missing file changes
    // nothing.
    FileResult LoadBatteryRam(const std::filesystem::path& path);
    void SetBiosType(std::uint8_t value) {
        BiosType = value;
        RebuildMemoryMap();
    }

    // The memory half of the console reset: pages 0, 1, 2, firmware mapped, work RAM cleared,
    // BankCount at least 1, CartridgeRamUsed cleared. ROM, cartridge RAM, RamControl and the
    // firmware choice stay.
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
    std::uint8_t ReadUnpaged(std::uint16_t address);
    void WriteUnpaged(std::uint16_t address, std::uint8_t value);

    PageTable pages_;
};

} // namespace velmar
