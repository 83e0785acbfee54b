#pragma once

#include "frontend/ProfileFile.h"

#include <QObject>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QMenuBar;
class QString;
class QWidget;

namespace velmar {

inline constexpr const char* kDesktopSection = "DESKTOP";

// A menu choice remembered between runs under a key of section DESKTOP: for a group of
// items, the value of the item ticked; for a single item that is ticked or not, "1" or "0".
struct RememberedChoice {
    std::string Key;
    std::vector<std::pair<std::string, std::string>> Items; // item name, value
    bool Single = false;
};

// Every choice remembered: the firmware, frameskip, layers, VSync, filter, read-outs, window
// size and scaling, capture with sound, mixer, PSG and FM switches, wave shape, volume,
// state slot and the controller ports.
const std::vector<RememberedChoice>& RememberedChoices();

// Puts back the choices Velmar.ini holds, by choosing the items (so their commands run),
// then writes each choice back as it is made. Items the window does not have and values
// it does not know are passed over.
class MenuMemory final : public QObject {
  public:
    MenuMemory(QWidget& window, ProfileFile& ini, std::function<void(const QString&)> failed);
    void Restore();

  private:
    QWidget& window_;
    ProfileFile& ini_;
    std::function<void(const QString&)> failed_;
    bool restoring_ = false;
};

// Gives each menu and item without a mnemonic one: the first letter of one of its words
// that nothing else in the same menu has, else any such letter or digit.
void AssignMnemonics(QMenuBar* bar);

} // namespace velmar
