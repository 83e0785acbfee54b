#pragma once

#include "core/util/FileIo.h"
#include "files/GameFiles.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velmar {

// Ten save states per game. Slot 0 is the game's one state file of old, VLR/{base}.VLR, so
// states saved before slots existed are slot 0; slots 1 to 9 are VLR/{base}.{n}.VLR, in the
// same format. Saving over a slot that held a state keeps that state in memory, so that
// Undo puts it back, until the next save (or another game).
class StateSlots {
  public:
    static constexpr int kSlots = 10;

    explicit StateSlots(const GameFiles& files) : files_(files) {}

    std::filesystem::path File(const std::string& base, int slot) const;
    // When the slot's state was written; none when the slot holds no file.
    std::optional<std::chrono::system_clock::time_point> SavedAt(const std::string& base,
                                                                 int slot) const;
    // Writes a state into the slot, whole or not at all.
    FileResult Save(const std::string& base, int slot, std::span<const std::uint8_t> state);
    // The slot the last save replaced a state in, while that state can be put back.
    std::optional<int> UndoSlot() const;
    // Puts back the state the last save replaced; there is nothing to undo after.
    FileResult Undo();
    void ForgetUndo() { undo_.reset(); }

  private:
    struct Replaced {
        std::string Base;
        int Slot = 0;
        std::vector<std::uint8_t> State;
    };
    const GameFiles& files_;
    std::optional<Replaced> undo_;
};

} // namespace velmar
