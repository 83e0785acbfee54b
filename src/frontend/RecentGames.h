#pragma once

#include "core/util/FileIo.h"
#include "frontend/ProfileFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velmar {

inline constexpr const char* kRecentSection = "RECENT_GAMES";

// The last games loaded, newest first, at most kMost, kept in Velmar.ini as GAME_1 (the
// newest) to GAME_10 of section RECENT_GAMES. A game loaded again moves to the front.
class RecentGames {
  public:
    static constexpr std::size_t kMost = 10;

    explicit RecentGames(ProfileFile& ini) : ini_(ini) {}

    // The list as the file holds it (empty keys and repeats left out).
    void Read();
    const std::vector<std::string>& Files() const { return files_; }
    // Puts a game at the front and stores the list.
    FileResult Add(const std::string& file);
    FileResult Clear();

  private:
    FileResult Store();

    ProfileFile& ini_;
    std::vector<std::string> files_;
};

} // namespace velmar
