#pragma once

// files (velmar_files): the program's files above the machine: the data folder, the names of
// each game's RAM, state, snapshot and capture files, and where a firmware run keeps its
// battery RAM. The command-line runner and the desktop resolve names here and hand the
// machine finished paths.

#include "core/cpu/Cartridge.h"
#include "core/util/FileIo.h"

#include <chrono>
#include <filesystem>
#include <string>

namespace velmar {

// The game's base name: the RAM file name without its folder and without its last four
// characters (normally ".RAM" or ".SMS"); "BIOS" for a firmware run ("BIOS.SMS"), empty
// before any game. Both '/' and '\' separate folders.
std::string GameBaseName(const std::string& ramFileName);

// The name a cartridge file gives its game's files: the file name without its folder and
// without its last four characters (".SMS", ".ZIP"), or without ".sg" (any case) for an
// SG-1000 cartridge.
std::string RomBaseName(const std::filesystem::path& romFile);

// Local date and time as "ddmmyyyy_hhmmss".
std::string TimeStamp(std::chrono::system_clock::time_point when);

// Where the per-game files live: the folders RAM, VLR, BMP and AVI of one data folder.
class GameFiles {
  public:
    static constexpr const char* kBiosRamFileName = "BIOS.SMS";

    explicit GameFiles(std::filesystem::path dataFolder) : data_(std::move(dataFolder)) {}

    // The program folder when it is writable, else the per-user data folder
    // ($XDG_DATA_HOME/velmar, or ~/.local/share/velmar with the home folder from HOME or the
    // user database), so nothing is silently lost. Empty when the user has no home folder:
    // a folder shared with other users is never chosen.
    static std::filesystem::path DefaultDataFolder(const std::filesystem::path& programFolder);

    // Creates the data folder and its four subfolders; says which one could not be made, and
    // why.
    FileResult CreateFolders() const;

    const std::filesystem::path& DataFolder() const { return data_; }
    // RAM/{ROM base}.RAM for a cartridge file (RomBaseName).
    std::filesystem::path RamFileFor(const std::filesystem::path& romFile) const;
    // Where the battery RAM of a machine whose RAM file name is ramFileName is read and
    // written: the name itself, except the bare "BIOS.SMS" of a firmware run, whose RAM
    // goes to RAM/BIOS.RAM here rather than into the working folder.
    std::filesystem::path BatteryFile(const std::string& ramFileName) const;
    // Where a run's battery RAM goes when the save at ramFile exists but cannot be read: beside
    // it, as {base}_{stamp}.RAM (then _2, _3, ...), a name no file had. The file is created
    // empty, so that no other run takes the same name.
    static std::filesystem::path SpareRamFile(const std::filesystem::path& ramFile,
                                              const std::string& stamp);
    std::filesystem::path StateFile(const std::string& base) const;
    std::filesystem::path SnapshotFile(const std::string& base, const std::string& stamp) const;
    std::filesystem::path AviFile(const std::string& base, const std::string& stamp) const;

  private:
    std::filesystem::path data_;
};

} // namespace velmar
