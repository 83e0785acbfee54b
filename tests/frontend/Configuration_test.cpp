#include "frontend/Configuration.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace velmar {
namespace {

class ConfigurationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("velmar-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Ini() const { return dir_ / "Velmar.ini"; }
    void WriteText(const std::string& text) const {
        std::ofstream(Ini(), std::ios::binary) << text;
    }
    std::string Text() const {
        std::ifstream in(Ini(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::filesystem::path dir_;
};

TEST_F(ConfigurationTest, ProfileReadsAndWritesKeyByKeyKeepingEverythingElse) {
    ProfileFile ini(Ini());
    EXPECT_EQ(ini.Read("A", "K", "dflt"), "dflt"); // no file
    EXPECT_FALSE(std::filesystem::exists(Ini()));  // reading creates nothing
    WriteText("; made by hand\r\n[other]\r\nX=1\r\n\r\n[Controller_1]\r\nup = 40 "
              "\r\nMYSTERY=\"keep me\"\r\n");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "UP", "0"), "40"); // names match in any case, blanks trimmed
    EXPECT_EQ(ini.Read("controller_1", "mystery", ""), "keep me");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "X", "none"), "none"); // X belongs to another section

    ASSERT_TRUE(ini.Write("CONTROLLER_1", "UP", "38"));
    ASSERT_TRUE(ini.Write("CONTROLLER_1", "DOWN", "72"));
    ASSERT_TRUE(ini.Write("GENERAL_OPTIONS", "DEFAULT_PATH", "/roms"));
    EXPECT_EQ(Text(), "; made by hand\n[other]\nX=1\n\n[Controller_1]\nUP=38\nMYSTERY=\"keep me\"\n"
                      "DOWN=72\n[GENERAL_OPTIONS]\nDEFAULT_PATH=/roms\n");
    EXPECT_EQ(ini.Read("GENERAL_OPTIONS", "DEFAULT_PATH", ""), "/roms");

    // A value over 2047 characters reads cut; values with line breaks are refused.
    ASSERT_TRUE(ini.Write("S", "LONG", std::string(3000, 'a')));
    EXPECT_EQ(ini.Read("S", "LONG", "").size(), 2047u);
    const std::string before = Text();
    EXPECT_FALSE(ini.Write("S", "K", "a\n[CONTROLLER_1]\nUP=1"));
    EXPECT_EQ(Text(), before);
}

TEST_F(ConfigurationTest, ControllerSetupRoundTripsAndDefaultsApply) {
    ProfileFile ini(Ini());
    const ControllerSetup defaults = ControllerSetup::Defaults();
    ControllerSetup read = ReadControllerSetup(ini); // no file at all
    EXPECT_EQ(read.Pad1, defaults.Pad1);
    EXPECT_EQ(read.Pad2, defaults.Pad2);
    EXPECT_FALSE(read.FellBack);
    EXPECT_EQ(ButtonKeys(read), (std::array<std::uint32_t, 5>{0, 1, 0, 1, 2}));

    const PadSetup pad1{87, 83, 65, 68, 3, 5, 7, true};
    const PadSetup pad2{73, 75, 74, 76, 90, 88, 0, false};
    ASSERT_TRUE(WritePadSetup(ini, 1, pad1));
    ASSERT_TRUE(WritePadSetup(ini, 2, pad2));
    EXPECT_EQ(ini.Read("CONTROLLER_2", "BUTTON_3", "absent"), "absent");
    read = ReadControllerSetup(ini);
    EXPECT_EQ(read.Pad1, pad1);
    EXPECT_EQ(read.Pad2, pad2);
    EXPECT_EQ(ButtonKeys(read), (std::array<std::uint32_t, 5>{3, 5, 0, 1, 7}));

    // JOYPAD=1 in both sections: pad 1 wins, pad 2 stays on the keyboard.
    ASSERT_TRUE(ini.Write("CONTROLLER_2", "JOYPAD", "1"));
    EXPECT_TRUE(ReadControllerSetup(ini).Pad1.Joypad);
    EXPECT_FALSE(ReadControllerSetup(ini).Pad2.Joypad);
    // Only the exact text "1" sets a flag; pad 2 on the joystick passes its buttons.
    for (const char* flag : {"yes", "true", "01"}) {
        ASSERT_TRUE(ini.Write("CONTROLLER_1", "JOYPAD", flag));
        EXPECT_FALSE(ReadControllerSetup(ini).Pad1.Joypad) << flag;
    }
    ASSERT_TRUE(ini.Write("CONTROLLER_2", "BUTTON_1", "4"));
    ASSERT_TRUE(ini.Write("CONTROLLER_2", "BUTTON_2", "6"));
    EXPECT_EQ(ButtonKeys(ReadControllerSetup(ini)), (std::array<std::uint32_t, 5>{0, 1, 4, 6, 2}));
}

TEST_F(ConfigurationTest, BadOrOutOfRangeValuesFallBackToTheDefaultsWithoutTouchingTheFile) {
    struct Case {
        const char* Section;
        const char* Key;
        const char* Value;
        const char* Joypad; // pad 1's JOYPAD
        bool Valid;
    };
    const Case cases[] = {
        {"CONTROLLER_1", "UP", "abc", "0", false},
        {"CONTROLLER_1", "UP", "", "0", false},
        {"CONTROLLER_1", "UP", "12x", "0", false},          // a number, then more
        {"CONTROLLER_2", "DOWN", "4294967296", "0", false}, // beyond 32 bits
        {"CONTROLLER_1", "LEFT", "256", "0", false},        // not a key code
        {"CONTROLLER_1", "RIGHT", "-1", "0", false},
        {"CONTROLLER_1", "BUTTON_1", "255", "0", true}, // a key code on the keyboard
        {"CONTROLLER_1", "BUTTON_1", "32", "1", false}, // no such joystick button
        {"CONTROLLER_1", "BUTTON_3", "31", "1", true},
        {"CONTROLLER_1", "UP", " 65 ", "0", true},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(Ini());
        ProfileFile ini(Ini());
        ASSERT_TRUE(WritePadSetup(ini, 1, {38, 40, 37, 39, 1, 2, 3, false}));
        ASSERT_TRUE(ini.Write(c.Section, c.Key, c.Value));
        ASSERT_TRUE(ini.Write("CONTROLLER_1", "JOYPAD", c.Joypad));
        const std::string before = Text();
        const ControllerSetup read = ReadControllerSetup(ini);
        EXPECT_EQ(read.FellBack, !c.Valid) << c.Key << "=" << c.Value;
        if (!c.Valid) {
            EXPECT_EQ(read.Pad1, ControllerSetup::Defaults().Pad1);
            EXPECT_EQ(ButtonKeys(read), (std::array<std::uint32_t, 5>{0, 1, 0, 1, 2}));
        }
        EXPECT_EQ(Text(), before);
    }
}

TEST_F(ConfigurationTest, RomFolderAndWriteFailures) {
    ProfileFile ini(Ini());
    WriteDefaultPath(ini, "/home/me/roms/Game.sms");
    EXPECT_EQ(ReadDefaultPath(ini), "/home/me/roms");
    WriteDefaultPath(ini, "/Game.sms"); // a ROM in the root folder
    EXPECT_EQ(ReadDefaultPath(ini), "/");
    WriteDefaultPath(ini, "/tmp/evil\n[CONTROLLER_1]\nUP=1/Game.sms");
    EXPECT_EQ(ReadDefaultPath(ini), "/");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "UP", "none"), "none");

    // A file that cannot be written: its folder is missing.
    ProfileFile nowhere(dir_ / "missing" / "Velmar.ini");
    const FileResult failed = WritePadSetup(nowhere, 2, ControllerSetup::Defaults().Pad2);
    EXPECT_EQ(failed.error, "Unable to write to " + (dir_ / "missing" / "Velmar.ini").string());
    WriteDefaultPath(nowhere, "/roms/a.sms"); // ignored
    EXPECT_EQ(ReadDefaultPath(nowhere), "");
}

} // namespace
} // namespace velmar
