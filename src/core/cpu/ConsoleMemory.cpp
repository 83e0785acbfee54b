#include "core/cpu/ConsoleMemory.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace velmar {

static_assert(std::variant_size_v<decltype(ConsoleMemory::Mapper)> ==
              static_cast<std::size_t>(MapperKind::None) + 1);
// A choice other than Auto names the kind one place further on.
static_assert(static_cast<int>(MapperChoice::None) == static_cast<int>(MapperKind::None) + 1);

namespace {
// A battery RAM file is 32 KB; anything this large is not one and is left alone.
constexpr std::uintmax_t kBatteryFileReadLimit = 16u * 1024u * 1024u;
} // namespace

FileResult ConsoleMemory::LoadRom(const std::filesystem::path& path) {
    CartridgeImage image;
    if (FileResult r = ReadRomFile(path, image); !r) return r;
    if (Result loaded = LoadRomImage(image); !loaded)
        return {"'" + path.string() + "': " + loaded.error};
    return {};
}

// An image that did not come through CheckRomBytes is refused whole rather than cut.
Result ConsoleMemory::LoadRomImage(const CartridgeImage& image) {
    const std::size_t size = image.Bytes.size();
    if (size == 0 || size > kRomImageSize)
        return {"not a ROM image (" + std::to_string(size) + " bytes)"};
    const auto banks = static_cast<std::uint8_t>(size / kBankSize);
    BankCount = banks != 0 ? banks : 1;
    std::copy(image.Bytes.begin(), image.Bytes.end(), RomImage.begin());
    RomSize = static_cast<std::uint32_t>(size);
    CartridgeRamUsed = 0;
    SetSystem(image.System);
    SetMapperChoice(choice_);
    RebuildMemoryMap();
    return {};
}

void ConsoleMemory::SetMapperChoice(MapperChoice choice) {
    choice_ = choice;
    SetMapper(choice == MapperChoice::Auto
                  ? AutoMapper()
                  : static_cast<MapperKind>(static_cast<std::uint8_t>(choice) - 1));
}

MapperKind ConsoleMemory::AutoMapper() const {
    return DetectMapper(std::span<const std::uint8_t>(RomImage.data(), RomSize), System);
}

void ConsoleMemory::SetMapper(MapperKind kind) {
    if (kind == GetMapper()) return;
    switch (kind) {
    case MapperKind::Sega: Mapper.emplace<SegaMapper>(); break;
    case MapperKind::Codemasters: Mapper.emplace<CodemastersMapper>(); break;
    case MapperKind::Korean: Mapper.emplace<KoreanMapper>(); break;
    case MapperKind::None: Mapper.emplace<NoMapper>(); break;
    }
    std::visit([&](auto& mapper) { mapper.Reset(*this); }, Mapper);
    RebuildMemoryMap();
}

void ConsoleMemory::SetSystem(CartridgeSystem system) {
    if (system == System) return;
    System = system;
    workRamMask_ = system == CartridgeSystem::Sg1000 ? kSg1000WorkRamMask : kWorkRamMask;
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
    std::visit([&](auto& mapper) { mapper.Reset(*this); }, Mapper);
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
    if (address >= kWorkRamStart) return WorkRam[address & workRamMask_];
    if (FirmwareMapped()) {
        const unsigned slot = address >> kSlotShift;
        const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
        return kBiosStore[(base + PageRegisters[slot] * kBankSize + (address & kSlotOffsetMask)) &
                          kBiosStoreMask];
    }
    return std::visit([&](auto& mapper) { return mapper.Read(*this, address); }, Mapper);
}

// Cartridge RAM, ROM and the mapper registers among it, and the registers at 0xFFFC-0xFFFF
// with the work RAM byte under them. The page table is rebuilt only when a register changed.
void ConsoleMemory::WriteUnpaged(std::uint16_t address, std::uint8_t value) {
    if (address < kWorkRamStart) {
        std::visit([&](auto& mapper) { mapper.Write(*this, address, value); }, Mapper);
    } else {
        std::visit([&](auto& mapper) { mapper.WriteHigh(*this, address, value); }, Mapper);
        WorkRam[address & workRamMask_] = value;
    }
    SyncMemoryMap();
}

static_assert(kBiosImageSize % (1u << ConsoleMemory::kPageShift) == 0 &&
              (kBiosStoreSize & (kBiosStoreSize - 1)) == 0);

// The firmware image is 1 KB aligned inside its power-of-two store, so a page never wraps
// part way.
void ConsoleMemory::RebuildMemoryMap() {
    const bool firmware = FirmwareMapped();
    const std::uint32_t base = BiosType != 0 ? kBiosImageSize : 0;
    for (std::size_t page = 0; page < kPageCount; ++page) {
        const auto start = static_cast<std::uint16_t>(page << kPageShift);
        const std::uint8_t* read = nullptr;
        if (start >= kWorkRamStart)
            read = &WorkRam[start & workRamMask_];
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
