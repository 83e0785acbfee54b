#pragma once

// Runs the console headless for the picture, sound and firmware tests: a machine on the
// heap, a cartridge booted through one of the firmware images, and helpers that compare
// the video chip's frame buffer with a picture the test builds itself.

#include "core/util/FileIo.h"
#include "machine/TSMS.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velmar::scenes {

inline constexpr int kWidth = 256;
inline constexpr int kHeight = 192;
inline constexpr std::uint8_t kJapanese = 0;
inline constexpr std::uint8_t kExport = 1;

// Work RAM offsets (address - 0xC000) shared by the test programs in tests/roms.
inline constexpr std::size_t kStatusAcc = 0x10;
inline constexpr std::size_t kFmDetect = 0x12;
inline constexpr std::size_t kSceneReady = 0x20;
inline constexpr std::uint8_t kReadyMagic = 0x5A;
inline constexpr std::uint8_t kStatusFrame = 0x80;
inline constexpr std::uint8_t kStatusOverflow = 0x40;
inline constexpr std::uint8_t kStatusCollision = 0x20;

// A 6-bit console colour (bits 0-1 red, 2-3 green, 4-5 blue) as RGB565, each 2-bit
// component spread evenly over its 5- or 6-bit range.
constexpr std::uint16_t Rgb565(std::uint8_t colour) {
    constexpr std::array<std::uint16_t, 4> five{0, 10, 21, 31};
    constexpr std::array<std::uint16_t, 4> six{0, 21, 42, 63};
    return static_cast<std::uint16_t>((five[colour & 3] << 11) | (six[(colour >> 2) & 3] << 5) |
                                      five[(colour >> 4) & 3]);
}

inline std::filesystem::path TestRom(const std::string& name) {
    return std::filesystem::path(VELMAR_TEST_ROM_DIR) / (name + ".sms");
}

// A machine after a console reset with the given firmware image selected.
inline std::unique_ptr<TSMS> NewMachine(std::uint8_t biosType) {
    auto machine = std::make_unique<TSMS>(MachineServices{});
    machine->SetBiosType(biosType);
    machine->Reset();
    return machine;
}

// Resets, loads the cartridge and runs the given number of frames.
inline std::unique_ptr<TSMS> BootCartridge(const std::filesystem::path& rom, std::uint8_t biosType,
                                           int frames) {
    auto machine = NewMachine(biosType);
    const FileResult loaded = machine->LoadCartridge(rom);
    EXPECT_TRUE(static_cast<bool>(loaded)) << rom << ": " << loaded.error;
    for (int f = 0; f < frames; ++f) machine->RunFrame();
    return machine;
}

inline std::uint8_t Ram(const TSMS& machine, std::size_t offset) {
    return machine.GetConsole().Cpu.WorkRam[offset];
}

inline std::uint16_t Pixel(const TSMS& machine, int x, int y) {
    return machine.GetConsole().Vdp.FrameBuffer[static_cast<std::size_t>(y * kWidth + x)];
}

// Compares the frame buffer with expected(x, y), a 6-bit colour, and reports the number of
// wrong pixels and the first few.
inline ::testing::AssertionResult PictureIs(const TSMS& machine,
                                            const std::function<std::uint8_t(int, int)>& expected) {
    int wrong = 0;
    std::string first;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const std::uint16_t want = Rgb565(expected(x, y));
            const std::uint16_t got = Pixel(machine, x, y);
            if (want == got) continue;
            if (++wrong <= 5) {
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") want " +
                         std::to_string(want) + " got " + std::to_string(got) + ";";
            }
        }
    }
    if (wrong == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << first;
}

// The picture as distinct RGB565 values counted over a rectangle.
inline std::vector<std::uint16_t> ColoursIn(const TSMS& machine, int x0, int y0, int x1, int y1) {
    std::vector<std::uint16_t> seen;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const std::uint16_t p = Pixel(machine, x, y);
            bool known = false;
            for (std::uint16_t s : seen) known = known || s == p;
            if (!known) seen.push_back(p);
        }
    }
    return seen;
}

// Writes a cartridge image to a file under the test's temporary folder.
inline std::filesystem::path WriteCartridge(const std::string& name,
                                            std::span<const std::uint8_t> image) {
    const auto path = std::filesystem::path(::testing::TempDir()) / (name + ".sms");
    const FileResult written = WriteFileAtomic(path, image);
    EXPECT_TRUE(static_cast<bool>(written)) << written.error;
    return path;
}

} // namespace velmar::scenes
