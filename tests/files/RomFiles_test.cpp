#include "TestSupport.h"
#include "ZipSupport.h"
#include "files/RomFiles.h"

#include <gtest/gtest.h>

using namespace velmar;
using namespace velmar::testing;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> Rom(std::size_t size, std::uint8_t first) {
    std::vector<std::uint8_t> rom(size, 0x11);
    rom[0] = first;
    return rom;
}

} // namespace

TEST(RomFiles, ZipsGiveTheirFirstRomEntryAndPlainFilesTheirBytes) {
    TempFolder dir;
    std::vector<std::uint8_t> headed(512, 0xEE);
    const std::vector<std::uint8_t> rom = Rom(16384, 0xA1);
    headed.insert(headed.end(), rom.begin(), rom.end());
    WriteBytes(dir / "game.ZIP", MakeZip({{"readme.txt", {1, 2, 3}},
                                          {"roms/", {}},
                                          {"roms/Game.SMS", headed},
                                          {"other.sg", Rom(8192, 0xB2)}}));
    WriteBytes(dir / "sg.zip", MakeZip({{"notes.sms.txt", {1}}, {"Castle.SG", Rom(8192, 0xB2)}}));
    WriteBytes(dir / "plain.sg", Rom(8192, 0xC3));

    CartridgeImage image;
    const FileResult read = ReadCartridge(dir / "game.ZIP", image);
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(image.Bytes, rom) << "the header is dropped inside a zip too";
    EXPECT_EQ(image.System, CartridgeSystem::MasterSystem);
    ASSERT_TRUE(ReadCartridge(dir / "sg.zip", image));
    EXPECT_EQ(image.Bytes, Rom(8192, 0xB2));
    EXPECT_EQ(image.System, CartridgeSystem::Sg1000);
    ASSERT_TRUE(ReadCartridge(dir / "plain.sg", image));
    EXPECT_EQ(image.Bytes[0], 0xC3);
    EXPECT_EQ(image.System, CartridgeSystem::Sg1000);
}

TEST(RomFiles, BadZipsSayWhyAndChangeNothing) {
    TempFolder dir;
    const std::vector<std::uint8_t> good = MakeZip({{"game.sms", Rom(16384, 1)}});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* why;
    };
    const Case cases[] = {
        {"zero.zip", {}, "empty file, not a zip archive"},
        {"noise.zip", std::vector<std::uint8_t>(300, 0x5A), "damaged or not a zip archive"},
        {"cut.zip", {good.begin(), good.begin() + 9000}, "damaged or not a zip archive"},
        {"crc.zip", MakeZip({{"game.sms", Rom(16384, 1), true}}),
         "'game.sms' inside: cannot be read"},
        {"empty.zip", MakeZip({}), "the zip archive is empty"},
        {"none.zip", MakeZip({{"readme.txt", {1}}, {"game/", {}}}), "no .sms or .sg file inside"},
        {"huge.zip", MakeZip({{"huge.sms", std::vector<std::uint8_t>(kLargestRomFile + 1)}}),
         "'huge.sms' inside: 1049089 bytes, larger than the largest cartridge (1 MB)"},
        {"bigsg.zip", MakeZip({{"big.sg", std::vector<std::uint8_t>(65536)}}),
         "SG-1000 ROM image larger than 48 KB"},
        {"hollow.zip", MakeZip({{"hollow.sms", {}}}),
         "'hollow.sms' inside: too small to be a ROM image (0 bytes)"},
    };
    for (const Case& c : cases) WriteBytes(dir / c.name, c.bytes);
    fs::create_directories(dir / "folder.zip");

    CartridgeImage image;
    image.Bytes = {9, 9, 9};
    for (const Case& c : cases) {
        const FileResult r = ReadCartridge(dir / c.name, image);
        EXPECT_NE(r.error.find("'" + (dir / c.name).string() + "': "), std::string::npos)
            << r.error;
        EXPECT_NE(r.error.find(c.why), std::string::npos) << c.name << ": " << r.error;
    }
    EXPECT_NE(ReadCartridge(dir / "missing.zip", image).error.find("file not found"),
              std::string::npos);
    EXPECT_NE(ReadCartridge(dir / "folder.zip", image).error.find("not a regular file"),
              std::string::npos);
    EXPECT_EQ(image.Bytes, (std::vector<std::uint8_t>{9, 9, 9}));
    EXPECT_EQ(image.System, CartridgeSystem::MasterSystem);
}
