#include "files/GameFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include <pwd.h>
#include <unistd.h>

using namespace velmar;
namespace fs = std::filesystem;

TEST(GameFiles, BaseNameDropsFolderAndLastFourCharacters) {
    EXPECT_EQ(GameBaseName("/data/RAM/Sonic.RAM"), "Sonic");
    EXPECT_EQ(GameBaseName("C:\\Velmar\\RAM\\Alex Kidd.RAM"), "Alex Kidd");
    EXPECT_EQ(GameBaseName("BIOS.SMS"), "BIOS");
    EXPECT_EQ(GameBaseName(""), "");
    // A name without extension still loses four characters; a short one becomes empty.
    EXPECT_EQ(GameBaseName("/roms/WONDERBOY"), "WONDE");
    EXPECT_EQ(GameBaseName("/roms/GAME"), "");
    EXPECT_EQ(GameBaseName("abc"), "");
}

TEST(GameFiles, NamesPerGameAndSharedAcrossFoldersAndExtensionCase) {
    GameFiles files("/d");
    EXPECT_EQ(files.RamFileFor("/a/Game.SMS"), fs::path("/d/RAM/Game.RAM"));
    EXPECT_EQ(files.RamFileFor("/b/Game.sms"), fs::path("/d/RAM/Game.RAM"));
    EXPECT_EQ(files.RamFileFor("/roms/GAME"), fs::path("/d/RAM/.RAM"));
    // A zip names the game; an SG-1000 file loses its three-letter ".sg".
    EXPECT_EQ(files.RamFileFor("/a/Game.zip"), fs::path("/d/RAM/Game.RAM"));
    EXPECT_EQ(files.RamFileFor("/a/Castle.SG"), fs::path("/d/RAM/Castle.RAM"));
    EXPECT_EQ(files.StateFile("BIOS"), fs::path("/d/VLR/BIOS.VLR"));
    EXPECT_EQ(files.SnapshotFile("Game", "08122026_034825"),
              fs::path("/d/BMP/Game_08122026_034825.BMP"));
    EXPECT_EQ(files.AviFile("", "08122026_034825"), fs::path("/d/AVI/_08122026_034825.AVI"));
    // The firmware run keeps its cartridge RAM in the data folder, never the working folder.
    EXPECT_EQ(files.BatteryFile("BIOS.SMS"), fs::path("/d/RAM/BIOS.RAM"));
    EXPECT_EQ(files.BatteryFile("/d/RAM/Game.RAM"), fs::path("/d/RAM/Game.RAM"));
}

TEST(GameFiles, TimeStampIsDayMonthYearThenTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 8 December 2026, 03:48:25 UTC.
    auto when = std::chrono::system_clock::from_time_t(1796701705);
    EXPECT_EQ(TimeStamp(when), "08122026_034825");
}

TEST(GameFiles, DataFolderFallsBackWhenProgramFolderIsNotWritable) {
    fs::path tmp = fs::temp_directory_path();
    EXPECT_EQ(GameFiles::DefaultDataFolder(tmp), tmp);
    ::setenv("XDG_DATA_HOME", "/xdg", 1);
    EXPECT_EQ(GameFiles::DefaultDataFolder("/nonexistent/velmar"), fs::path("/xdg/velmar"));
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(GameFiles::DefaultDataFolder("/nonexistent/velmar"),
              fs::path("/home/u/.local/share/velmar"));
    // Without HOME: the user's own home folder from the user database, or none at all, but
    // never a folder every user shares.
    ::unsetenv("HOME");
    const fs::path fallback = GameFiles::DefaultDataFolder("/nonexistent/velmar");
    const passwd* user = ::getpwuid(::getuid());
    EXPECT_EQ(fallback, user != nullptr && user->pw_dir[0] == '/'
                            ? fs::path(user->pw_dir) / ".local" / "share" / "velmar"
                            : fs::path());
    EXPECT_NE(fallback, fs::temp_directory_path() / "velmar");
}

TEST(GameFiles, FoldersThatCannotBeMadeSayWhyAndSpareNamesAreFree) {
    const fs::path d = fs::temp_directory_path() / "velmar_gamefiles_folders";
    fs::remove_all(d);
    fs::create_directories(d / "RAM");
    { std::ofstream(d / "file") << "x"; }
    const FileResult made = GameFiles(d / "file").CreateFolders();
    EXPECT_NE(made.error.find("Not a directory"), std::string::npos) << made.error;
    EXPECT_TRUE(GameFiles(d).CreateFolders());

    // Two runs in the same second each get a spare of their own: the name is taken at once.
    const fs::path save = d / "RAM" / "Game.RAM";
    EXPECT_EQ(GameFiles::SpareRamFile(save, "08122026_034825"),
              d / "RAM" / "Game_08122026_034825.RAM");
    EXPECT_EQ(GameFiles::SpareRamFile(save, "08122026_034825"),
              d / "RAM" / "Game_08122026_034825_2.RAM");
    EXPECT_TRUE(fs::is_regular_file(d / "RAM" / "Game_08122026_034825_2.RAM"));
    fs::remove_all(d);
}
