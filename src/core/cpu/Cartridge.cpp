#include "core/cpu/Cartridge.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmar {

namespace {

constexpr std::array<const char*, 5> kChoiceNames = {"auto", "sega", "codemasters", "korean",
                                                     "none"};
constexpr std::array<const char*, 4> kKindCaptions = {"Sega", "Codemasters", "Korean", "None"};

// The Codemasters header block: a bank count, the build date and time, the checksum and
// 0x10000 minus the checksum (both little-endian), then six zero bytes.
constexpr std::size_t kCodemastersHeader = 0x7FE0;
constexpr std::size_t kCodemastersChecksum = kCodemastersHeader + 6;
constexpr std::size_t kCodemastersComplement = kCodemastersHeader + 8;
constexpr std::size_t kCodemastersZeros = kCodemastersHeader + 10;
constexpr std::size_t kCodemastersHeaderEnd = kCodemastersHeader + 16;

// LD (nn),A with its address, little-endian.
constexpr std::uint8_t kStoreA = 0x32;
constexpr std::uint16_t kKoreanRegister = 0xA000;
constexpr std::uint16_t kSegaRegistersStart = 0xFFFC;

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

unsigned Word(std::span<const std::uint8_t> image, std::size_t at) {
    return image[at] | (unsigned{image[at + 1]} << 8);
}

bool HasCodemastersHeader(std::span<const std::uint8_t> image) {
    if (image.size() < kCodemastersHeaderEnd) return false;
    const unsigned sum = Word(image, kCodemastersChecksum) + Word(image, kCodemastersComplement);
    return sum == 0x10000 &&
           std::all_of(image.begin() + kCodemastersZeros, image.begin() + kCodemastersHeaderEnd,
                       [](std::uint8_t b) { return b == 0; });
}

// Stores to the Korean mapper's register against stores to the Sega mapper's.
bool StoresLikeKorean(std::span<const std::uint8_t> image) {
    std::size_t korean = 0;
    for (std::size_t i = 0; i + 2 < image.size(); ++i) {
        if (image[i] != kStoreA) continue;
        const unsigned address = Word(image, i + 1);
        if (address >= kSegaRegistersStart) return false;
        if (address == kKoreanRegister) ++korean;
    }
    return korean != 0;
}

} // namespace

const char* MapperChoiceName(MapperChoice choice) {
    return kChoiceNames[static_cast<std::size_t>(choice)];
}

std::optional<MapperChoice> ParseMapperChoice(std::string_view name) {
    for (std::size_t i = 0; i < kChoiceNames.size(); ++i)
        if (name == kChoiceNames[i]) return static_cast<MapperChoice>(i);
    return std::nullopt;
}

const char* MapperKindCaption(MapperKind kind) {
    return kKindCaptions[static_cast<std::size_t>(kind)];
}

CartridgeSystem SystemForFileName(std::string_view fileName) {
    return EndsWithNoCase(fileName, ".sg") ? CartridgeSystem::Sg1000
                                           : CartridgeSystem::MasterSystem;
}

Result CheckRomBytes(std::vector<std::uint8_t>& bytes, CartridgeSystem system) {
    std::size_t size = bytes.size();
    const bool header = size % 1024 != 0;
    if (header || size == 0) {
        if (size <= kRomFileHeaderSize)
            return {"too small to be a ROM image (" + std::to_string(size) + " bytes)"};
        size -= kRomFileHeaderSize;
    }
    if (size > kLargestRomImage)
        return {"ROM image larger than 1 MB (" + std::to_string(size) + " bytes)"};
    if (system == CartridgeSystem::Sg1000 && size > kLargestFixedImage)
        return {"SG-1000 ROM image larger than 48 KB (" + std::to_string(size) + " bytes)"};
    if (header) bytes.erase(bytes.begin(), bytes.begin() + kRomFileHeaderSize);
    return {};
}

FileResult ReadRomFile(const std::filesystem::path& path, CartridgeImage& out) {
    std::vector<std::uint8_t> data;
    if (FileResult r = ReadWholeFile(path, data, kLargestRomFile); !r) return r;
    const CartridgeSystem system = SystemForFileName(path.filename().string());
    if (Result checked = CheckRomBytes(data, system); !checked)
        return {"'" + path.string() + "': " + checked.error};
    out.Bytes = std::move(data);
    out.System = system;
    return {};
}

MapperKind DetectMapper(std::span<const std::uint8_t> image, CartridgeSystem system) {
    if (system == CartridgeSystem::Sg1000) return MapperKind::None;
    if (HasCodemastersHeader(image)) return MapperKind::Codemasters;
    if (image.size() > kLargestFixedImage && StoresLikeKorean(image)) return MapperKind::Korean;
    return MapperKind::Sega;
}

} // namespace velmar
