#pragma once

#include <QDialog>

namespace velmar {

// "About Velmar": a black panel with the logo, the line "Master System Emulator" and an
// OK button.
class TAboutBox final : public QDialog {
  public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

} // namespace velmar
