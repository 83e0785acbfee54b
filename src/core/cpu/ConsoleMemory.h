#pragma once

#include "core/util/FileIo.h"
#include "firmware/BiosStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>

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
    static constexpr std::uint16_t kFixedRomEnd =
        0x0400; // first KB of the cartridge is never paged
    static constexpr std::uint16_t kCartridgeSlotStart = 0x8000;
    static constexpr std::uint16_t kWorkRamStart = 0xC000;
    static constexpr std::uint16_t kRamControlAddress = 0xFFFC;
    static constexpr std::uint16_t kPage0Address = 0xFFFD; // 0xFFFE page 1, 0xFFFF page 2

    // RamControl (0xFFFC) bits.
    static constexpr std::uint8_t kRamControlEnable = 0x08;     // cartridge RAM replaces slot 2
    static constexpr std::uint8_t kRamControlBankSelect = 0x04; // second 16 KB of cartridge RAM
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

    std::uint8_t ReadMemory(std::uint16_t address) {
        const unsigned slot = address >> kSlotShift;
        const std::uint32_t offset = address & kSlotOffsetMask;
        if (slot == 3) return WorkRam[address & kWorkRamMask];
        if ((MemoryControl & kMemoryControlCartridge) == 0) {
            const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
            return kBiosStore[(base + PageRegisters[slot] * kBankSize + offset) & kBiosStoreMask];
        }
        if (address < kFixedRomEnd) return RomImage[address];
        if (slot == 2 && (RamControl & kRamControlEnable) != 0) {
            CartridgeRamUsed = 1;
            return CartridgeRam[CartridgeRamIndex(offset)];
        }
        return RomImage[(PageRegisters[slot] * kBankSize + offset) & kRomImageMask];
    }

    void WriteMemory(std::uint16_t address, std::uint8_t value) {
        if (address < kCartridgeSlotStart) return; // ROM
        if (address < kWorkRamStart) {
            if ((RamControl & kRamControlEnable) != 0) {
                CartridgeRamUsed = 1;
                CartridgeRam[CartridgeRamIndex(address & kSlotOffsetMask)] = value;
            }
            return;
        }
        if (address >= kRamControlAddress) {
            if (address == kRamControlAddress) {
                RamControl = value;
            } else {
                // BankCount is never 0 once reset or loaded; the guard keeps a hand-set 0 safe.
                const std::uint8_t banks = BankCount != 0 ? BankCount : 1;
                PageRegisters[address - kPage0Address] = static_cast<std::uint8_t>(value % banks);
            }
        }
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

  private:
    std::uint32_t CartridgeRamIndex(std::uint32_t offset) const {
        return ((RamControl & kRamControlBankSelect) != 0 ? kBankSize : 0) + offset;
    }
};

} // namespace velmar
