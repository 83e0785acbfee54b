#pragma once

#include "frontend/RecentGames.h"
#include "frontend/StateSlots.h"

#include <QObject>

#include <cstdint>
#include <string>

class QAction;
class QMenu;

namespace velmar {

class TMainForm;

// Virtual-key codes of the keys these controls answer on the picture.
namespace keys {
inline constexpr std::uint32_t kBackspace = 8;
inline constexpr std::uint32_t kTab = 9;
inline constexpr std::uint32_t kDigit0 = '0';
inline constexpr std::uint32_t kKeypad0 = 96;
inline constexpr std::uint32_t kKeypadPlus = 107;
inline constexpr std::uint32_t kKeypadMinus = 109;
inline constexpr std::uint32_t kPlus = 187; // the = + key
inline constexpr std::uint32_t kMinus = 189;
inline constexpr std::uint32_t kMute = 'M';
} // namespace keys

// What players of desktop emulators look for beside the console's own commands: ten state
// slots per game with an undo of the last save, rewind (Backspace held) and fast-forward
// (Tab held, or a menu toggle), the games played last, the volume of what is heard, and
// captures with sound. A key that a pad plays on is the pad's, not these commands'. Part
// of the main window, which builds its menus and passes its keys and frames through it.
class PlayerControls final : public QObject {
  public:
    static constexpr int kVolumeStep = 10;

    explicit PlayerControls(TMainForm& form);

    // Menu parts, added where the window's menus want them.
    void AddRecentGames(QMenu* file);
    void AddStateItems(QMenu* file); // Undo Save State, State Slot, Fast Forward
    void AddCaptureSound(QMenu* dump);
    void AddVolume(QMenu* sound);

    // A game (its ROM file) or the firmware (empty) started: the recent list, the slots.
    void GameStarted(const std::string& romFile);
    // Save State and Load State: the current slot.
    void SaveState();
    void LoadState();
    void UndoSave();
    void ChooseSlot(int slot);
    // Keys on the picture; false for a key that is not these commands' (or plays a pad).
    bool Key(std::uint32_t code);
    // After each frame: rewind while Backspace is held, fast-forward while Tab is held or
    // the toggle is on.
    void AfterFrame();
    // The game paused: rewinding and fast-forward end.
    void Paused();

    int Slot() const { return slot_; }
    int Volume() const { return volume_; }
    bool Muted() const { return muted_; }
    const RecentGames& Recent() const { return recent_; }

  private:
    void ShowSlots();
    void ShowRecentGames();
    void SetVolume(int percent);
    void ApplyVolume();
    bool HeldForUs(std::uint32_t code) const;

    TMainForm& form_;
    StateSlots slots_;
    RecentGames recent_;
    std::string game_; // the base name the slots belong to
    int slot_ = 0;
    int volume_ = 100;
    bool muted_ = false;
    bool rewinding_ = false;
    bool fast_ = false;
    QMenu* slotMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* fastToggle_ = nullptr;
    QAction* mute_ = nullptr;
};

} // namespace velmar
