#pragma once

// What a cartridge is before it is plugged in: its ROM bytes, the console it was made for,
// and which mapper wires it to the Z80. Reading and checking an image is here; mapping it
// is ConsoleMemory's.

#include "core/util/FileIo.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmar {

// The cartridge hardware between the Z80 and the ROM. The order is the order of
// ConsoleMemory's mapper alternatives.
enum class MapperKind : std::uint8_t { Sega, Codemasters, Korean, None };
// What the user asks for: one kind, or Auto (DetectMapper decides from the image).
enum class MapperChoice : std::uint8_t { Auto, Sega, Codemasters, Korean, None };
// The console a cartridge was made for: the Master System, or the SG-1000 (1 KB of work
// RAM, no boot firmware).
enum class CartridgeSystem : std::uint8_t { MasterSystem, Sg1000 };

inline constexpr std::size_t kCartridgeBankSize = 16384;
inline constexpr std::size_t kLargestRomImage = 64 * kCartridgeBankSize; // 1 MB
// The most ROM three fixed slots show, and the most an SG-1000 cartridge holds: 48 KB.
inline constexpr std::size_t kLargestFixedImage = 3 * kCartridgeBankSize;
inline constexpr std::size_t kRomFileHeaderSize = 512;
// The largest file that can hold a ROM image: a full 1 MB behind its 512-byte header.
inline constexpr std::size_t kLargestRomFile = kLargestRomImage + kRomFileHeaderSize;

// A checked ROM image, header removed, ready for ConsoleMemory::LoadRomImage.
struct CartridgeImage {
    std::vector<std::uint8_t> Bytes;
    CartridgeSystem System = CartridgeSystem::MasterSystem;
};

// "auto", "sega", "codemasters", "korean", "none" (the names velmar-cli and Velmar.ini use).
const char* MapperChoiceName(MapperChoice choice);
std::optional<MapperChoice> ParseMapperChoice(std::string_view name);
// "Sega", "Codemasters", "Korean", "None".
const char* MapperKindCaption(MapperKind kind);

// An SG-1000 cartridge file ends in ".sg" (any case); anything else is a Master System one.
CartridgeSystem SystemForFileName(std::string_view fileName);

// Turns the bytes of a ROM file into an image: a 512-byte header is dropped when the size is
// not a multiple of 1024; refuses an empty file, a header with nothing behind it, more than
// 1 MB of ROM, and more than 48 KB for an SG-1000. On refusal the reason (without a file
// name) is returned and the bytes are left as they were.
Result CheckRomBytes(std::vector<std::uint8_t>& bytes, CartridgeSystem system);

// Reads and checks a plain ROM file (no archive); the system comes from the file's name.
// Errors name the file.
FileResult ReadRomFile(const std::filesystem::path& path, CartridgeImage& out);

// The mapper Auto picks for an image:
//  - an SG-1000 cartridge has none;
//  - the Codemasters mapper when the header block at 0x7FE0 carries a checksum and its
//    complement that add up to 0x10000, followed by six zero bytes;
//  - the Korean mapper when an image larger than 48 KB stores to 0xA000 (LD (0xA000),A) and
//    never to the Sega registers 0xFFFC-0xFFFF (LD (nn),A);
//  - the Sega mapper otherwise.
MapperKind DetectMapper(std::span<const std::uint8_t> image, CartridgeSystem system);

} // namespace velmar
