#pragma once

#include "core/cpu/SegaMapper.h"
#include "core/util/FileIo.h"
#include "firmware/BiosStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <variant>

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
    static constexpr std::uint16_t kFixedRomEnd = SegaMapper::kFixedRomEnd;
    static constexpr std::uint16_t kCartridgeSlotStart = 0x8000;
    static constexpr std::uint16_t kWorkRamStart = 0xC000;
    static constexpr std::uint16_t kRamControlAddress = SegaMapper::kRamControlAddress;
    static constexpr std::uint16_t kPage0Address = SegaMapper::kPage0Address;

    // RamControl (0xFFFC) bits.
    static constexpr std::uint8_t kRamControlEnable = SegaMapper::kRamControlEnable;
    static constexpr std::uint8_t kRamControlBankSelect = SegaMapper::kRamControlBankSelect;
    // MemoryControl (port 0x3E) bits.
    static constexpr std::uint8_t kMemoryControlCartridge = 0x08; // 0 = firmware mapped

    std::array<std::uint8_t, kRomImageSize> RomImage{};
    std::array<std::uint8_t, kWorkRamStoredSize> WorkRam{};
    std::array<std::uint8_t, kCartridgeRamSize> CartridgeRam{};
    std::array<std::uint8_t, 3> PageRegisters{};
    std::uint8_t RamControl = 0;
    std::uint8_t BankCount = 0;
    std::uint8_t BiosType = 0;
    std::uint8_t CartridgeRamUsed = 0;
    std::uint8_t MemoryControl = 0;

    // The cartridge mapper; another kind of cartridge is one more alternative here.
    std::variant<SegaMapper> Mapper;

    // The per-access path, inline: work RAM, then the firmware while it is mapped, then the
    // cartridge through its mapper.
    std::uint8_t ReadMemory(std::uint16_t address) {
        if (address >= kWorkRamStart) return WorkRam[address & kWorkRamMask];
        if ((MemoryControl & kMemoryControlCartridge) == 0) {
            const unsigned slot = address >> kSlotShift;
            const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
            return kBiosStore[(base + PageRegisters[slot] * kBankSize +
                               (address & kSlotOffsetMask)) &
                              kBiosStoreMask];
        }
        return std::visit([&](auto& mapper) { return mapper.Read(*this, address); }, Mapper);
    }

    void WriteMemory(std::uint16_t address, std::uint8_t value) {
        if (address < kWorkRamStart) {
            std::visit([&](auto& mapper) { mapper.Write(*this, address, value); }, Mapper);
            return;
        }
        std::visit([&](auto& mapper) { mapper.WriteHigh(*this, address, value); }, Mapper);
        WorkRam[address & kWorkRamMask] = value;
    }

    // Loads a cartridge image: a 512-byte header is skipped when the size is not a multiple of
    // 1024. Refuses a missing, unreadable or empty file and one over 1 MB without its header;
    // on refusal nothing changes. Does not reset the page registers.
    FileResult LoadRom(const std::filesystem::path& path);
    // Writes the 32 KB of cartridge RAM (atomically) only when the game touched it.
    FileResult SaveBatteryRam(const std::filesystem::path& path) const;
    // Fills cartridge RAM from the start of the file (up to 32 KB); a missing file changes
    // nothing.
    FileResult LoadBatteryRam(const std::filesystem::path& path);
    void SetBiosType(std::uint8_t value) { BiosType = value; }

    // The memory half of the console reset: pages 0, 1, 2, firmware mapped, work RAM cleared,
    // BankCount at least 1, CartridgeRamUsed cleared. ROM, cartridge RAM, RamControl and the
    // firmware choice stay.
    void ResetMemory();
};

} // namespace velmar
