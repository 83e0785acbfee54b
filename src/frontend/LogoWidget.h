#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

namespace velmar {

// The picture shown while no game runs or the emulation is paused; a click resumes.
class LogoWidget final : public QWidget {
  public:
    explicit LogoWidget(std::function<void()> onClick, QWidget* parent = nullptr);
    // Our own logo: drawn here at the given size.
    static QImage MakeLogo(QSize size);
    // The line shown under the logo (what resumes the game, or how to start one).
    void SetHint(const QString& hint);
    const QString& Hint() const { return hint_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    // Enter and Space act as a click.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::function<void()> onClick_;
    QImage logo_;
    QString hint_;
};

} // namespace velmar
