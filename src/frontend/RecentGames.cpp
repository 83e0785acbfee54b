#include "frontend/RecentGames.h"

#include <algorithm>

namespace velmar {

namespace {
std::string Key(std::size_t n) {
    return "GAME_" + std::to_string(n + 1);
}
} // namespace

void RecentGames::Read() {
    files_.clear();
    for (std::size_t n = 0; n < kMost; ++n) {
        const std::string file = ini_.Read(kRecentSection, Key(n), "");
        if (!file.empty() && std::find(files_.begin(), files_.end(), file) == files_.end())
            files_.push_back(file);
    }
}

FileResult RecentGames::Add(const std::string& file) {
    if (file.empty() || file.find_first_of("\r\n") != std::string::npos) return {};
    Read(); // another copy of the program may have added games meanwhile
    files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
    files_.insert(files_.begin(), file);
    if (files_.size() > kMost) files_.resize(kMost);
    return Store();
}

FileResult RecentGames::Clear() {
    files_.clear();
    return Store();
}

// Every key is written, the unused ones empty, so a shorter list leaves no old entry behind.
FileResult RecentGames::Store() {
    ProfileFile::Entries entries;
    for (std::size_t n = 0; n < kMost; ++n)
        entries.emplace_back(Key(n), n < files_.size() ? files_[n] : std::string());
    return ini_.Write(kRecentSection, entries);
}

} // namespace velmar
