#include "core/cpu/ConsoleMemory.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace velmar {

namespace {
// A battery RAM file is 32 KB; anything this large is not one and is left alone.
constexpr std::uintmax_t kBatteryFileReadLimit = 16u * 1024u * 1024u;

FileResult Refuse(const std::filesystem::path& path, const std::string& reason) {
    return {"'" + path.string() + "': " + reason};
}
} // namespace

FileResult ConsoleMemory::LoadRom(const std::filesystem::path& path) {
    std::vector<std::uint8_t> image;
    if (FileResult r = ReadRom(path, image); !r) return r;
    InstallRom(image);
    return {};
}

FileResult ConsoleMemory::ReadRom(const std::filesystem::path& path,
                                  std::vector<std::uint8_t>& image) {
    std::vector<std::uint8_t> data;
    // The largest acceptable file is a full 1 MB image behind its 512-byte header.
    if (FileResult r = ReadWholeFile(path, data, kRomImageSize + kRomHeaderSize); !r) return r;
    std::size_t start = 0;
    std::size_t size = data.size();
    if (size % 1024 != 0 || size == 0) {
        if (size <= kRomHeaderSize)
            return Refuse(path, "too small to be a ROM image (" + std::to_string(size) + " bytes)");
        start = kRomHeaderSize;
        size -= kRomHeaderSize;
    }
    if (size > kRomImageSize)
        return Refuse(path, "ROM image larger than 1 MB (" + std::to_string(size) + " bytes)");
    image.assign(data.begin() + static_cast<std::ptrdiff_t>(start), data.end());
    return {};
}

void ConsoleMemory::InstallRom(std::span<const std::uint8_t> image) {
    const std::size_t size = std::min(image.size(), RomImage.size());
    const auto banks = static_cast<std::uint8_t>(size / kBankSize);
    BankCount = banks != 0 ? banks : 1;
    std::copy_n(image.begin(), size, RomImage.begin());
    CartridgeRamUsed = 0;
    RebuildMemoryMap();
}

FileResult ConsoleMemory::SaveBatteryRam(const std::filesystem::path& path) const {
    if (CartridgeRamUsed != 1) return {};
    if (path.empty()) return {"battery RAM: no file name"};
    return WriteFileAtomic(path, std::span<const std::uint8_t>(CartridgeRam));
}

FileResult ConsoleMemory::LoadBatteryRam(const std::filesystem::path& path) {
    std::vector<std::uint8_t> data;
    if (FileResult r = ReadWholeFile(path, data, kBatteryFileReadLimit); !r) return r;
    std::copy_n(data.begin(), std::min(data.size(), CartridgeRam.size()), CartridgeRam.begin());
    return {};
}

void ConsoleMemory::ResetMemory() {
    PageRegisters = {0, 1, 2};
    MemoryControl = 0;
    WorkRam.fill(0);
    if (BankCount == 0) BankCount = 1;
    CartridgeRamUsed = 0;
    RebuildMemoryMap();
}

// The full read: work RAM, then the firmware while it is mapped, then the cartridge through
// its mapper. The page table holds this function's answer for every page whose reads have
// no side effect.
std::uint8_t ConsoleMemory::ReadUnpaged(std::uint16_t address) {
    if (address >= kWorkRamStart) return WorkRam[address & kWorkRamMask];
    if ((MemoryControl & kMemoryControlCartridge) == 0) {
        const unsigned slot = address >> kSlotShift;
        const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
        return kBiosStore[(base + PageRegisters[slot] * kBankSize + (address & kSlotOffsetMask)) &
                          kBiosStoreMask];
    }
    return std::visit([&](auto& mapper) { return mapper.Read(*this, address); }, Mapper);
}

// Cartridge RAM, ROM (ignored) and the mapper registers with the work RAM byte under them.
void ConsoleMemory::WriteUnpaged(std::uint16_t address, std::uint8_t value) {
    if (address < kWorkRamStart) {
        std::visit([&](auto& mapper) { mapper.Write(*this, address, value); }, Mapper);
        return;
    }
    std::visit([&](auto& mapper) { mapper.WriteHigh(*this, address, value); }, Mapper);
    WorkRam[address & kWorkRamMask] = value;
    if (address >= kRamControlAddress) RebuildMemoryMap();
}

static_assert(kBiosImageSize % (1u << ConsoleMemory::kPageShift) == 0 &&
              (kBiosStoreSize & (kBiosStoreSize - 1)) == 0);

// The firmware image is 1 KB aligned inside its power-of-two store, so a page never wraps
// part way.
void ConsoleMemory::RebuildMemoryMap() {
    const bool firmware = (MemoryControl & kMemoryControlCartridge) == 0;
    const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
    for (std::size_t page = 0; page < kPageCount; ++page) {
        const auto start = static_cast<std::uint16_t>(page << kPageShift);
        const std::uint8_t* read = nullptr;
        if (start >= kWorkRamStart)
            read = &WorkRam[start & kWorkRamMask];
        else if (firmware)
            read = &kBiosStore[(base + PageRegisters[start >> kSlotShift] * kBankSize +
                                (start & kSlotOffsetMask)) &
                               kBiosStoreMask];
        else
            read = std::visit([&](const auto& mapper) { return mapper.ReadPage(*this, start); },
                              Mapper);
        // Unsigned arithmetic: the biased address lies outside the page's source.
        pages_.Read[page] = read != nullptr ? reinterpret_cast<std::uintptr_t>(read) - start : 0;
    }
    pages_.Key = MapKey();
}

} // namespace velmar
