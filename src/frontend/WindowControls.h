#pragma once

#include <QObject>
#include <QRect>

class QAction;
class QMenu;

namespace velmar {

class TMainForm;

// The window's size and place: presets of 1x to 4x the console's 256 x 192 (2x, 512 x 384,
// as at the start), whole-multiple ("integer") scaling in full screen or the picture as
// large as the screen allows, the standard shortcuts (Ctrl+O, Ctrl+Q, F11 and Alt+Enter for
// full screen, Ctrl+1 to Ctrl+4 for the sizes), which keep working while the menu bar is
// hidden, and the window's place and full screen remembered in Velmar.ini.
class WindowControls final : public QObject {
  public:
    static constexpr int kMostScale = 4;

    explicit WindowControls(TMainForm& form);

    // Menu parts: "Window Size" in Graphics, "Integer Scaling in Full Screen" in Video Mode.
    void AddWindowSize(QMenu* graphics);
    void AddIntegerScaling(QMenu* videoMode);
    // Once every menu is built: the shortcuts, the mnemonics and the remembered choices.
    void FinishMenus();
    // The window went to or from full screen: how the picture is scaled follows.
    void FullScreenChanged(bool full);
    // The window's place and full screen: put back at the start, kept at the end.
    void RestorePlace();
    void StorePlace();
    // Sizes the window so that its picture is scale times 256 x 192.
    void SetScale(int scale);

  private:
    QRect PlaceToKeep() const;

    TMainForm& form_;
    QAction* integer_ = nullptr;
};

} // namespace velmar
