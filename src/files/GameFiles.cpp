#include "files/GameFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace velmar {

namespace {
constexpr int kMostSpares = 10000;
} // namespace

std::string GameBaseName(const std::string& ramFileName) {
    std::size_t slash = ramFileName.find_last_of("/\\");
    std::string name = slash == std::string::npos ? ramFileName : ramFileName.substr(slash + 1);
    return name.size() <= 4 ? std::string() : name.substr(0, name.size() - 4);
}

std::string RomBaseName(const std::filesystem::path& romFile) {
    const std::string name = romFile.filename().string();
    if (SystemForFileName(name) == CartridgeSystem::Sg1000) return name.substr(0, name.size() - 3);
    return GameBaseName(name);
}

std::string TimeStamp(std::chrono::system_clock::time_point when) {
    std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d%04d_%02d%02d%02d", local.tm_mday, local.tm_mon + 1,
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::filesystem::path GameFiles::DefaultDataFolder(const std::filesystem::path& programFolder) {
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0) return programFolder;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        return std::filesystem::path(xdg) / "velmar";
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home != '/') {
        const passwd* user = ::getpwuid(::getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home != nullptr && *home == '/')
        return std::filesystem::path(home) / ".local" / "share" / "velmar";
    return {};
}

FileResult GameFiles::CreateFolders() const {
    for (const char* sub : {"RAM", "VLR", "BMP", "AVI"}) {
        std::error_code ec;
        std::filesystem::create_directories(data_ / sub, ec);
        if (!ec && !std::filesystem::is_directory(data_ / sub, ec))
            ec = std::make_error_code(std::errc::not_a_directory);
        if (ec)
            return {"cannot create the folder '" + (data_ / sub).string() + "': " + ec.message()};
    }
    return {};
}

// Two runs of one game in the same second must not share a spare: each name is taken by
// creating the file, which only one process can do.
std::filesystem::path GameFiles::SpareRamFile(const std::filesystem::path& ramFile,
                                              const std::string& stamp) {
    const std::string base = ramFile.stem().string() + "_" + stamp;
    const std::filesystem::path first = ramFile.parent_path() / (base + ".RAM");
    for (int n = 1; n <= kMostSpares; ++n) {
        const std::filesystem::path spare =
            n == 1 ? first : ramFile.parent_path() / (base + "_" + std::to_string(n) + ".RAM");
        const int fd =
            ::open(spare.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return spare;
        }
        if (errno != EEXIST) break;
    }
    return first; // the battery write then fails and says why
}

std::filesystem::path GameFiles::RamFileFor(const std::filesystem::path& romFile) const {
    return data_ / "RAM" / (RomBaseName(romFile) + ".RAM");
}

std::filesystem::path GameFiles::BatteryFile(const std::string& ramFileName) const {
    if (ramFileName == kBiosRamFileName) return data_ / "RAM" / "BIOS.RAM";
    return ramFileName;
}

std::filesystem::path GameFiles::StateFile(const std::string& base) const {
    return data_ / "VLR" / (base + ".VLR");
}

std::filesystem::path GameFiles::SnapshotFile(const std::string& base,
                                              const std::string& stamp) const {
    return data_ / "BMP" / (base + "_" + stamp + ".BMP");
}

std::filesystem::path GameFiles::AviFile(const std::string& base, const std::string& stamp) const {
    return data_ / "AVI" / (base + "_" + stamp + ".AVI");
}

} // namespace velmar
