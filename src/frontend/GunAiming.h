#pragma once

#include <QObject>
#include <QPointF>

#include <cstdint>
#include <functional>
#include <utility>

class QAction;
class QMenu;

namespace velmar {

class TSMS;
class VideoWidget;

// The Light Phaser on the desktop: the Controllers menu's choice per port (a pad or the gun;
// one mouse aims, so choosing the gun for one port gives the other its pad back), and the
// mouse over the picture as the gun: it aims where it points, the left button pulls the
// trigger, and the cursor is a crosshair there while a gun is plugged in.
class GunAiming final : public QObject {
  public:
    // machine: the window's machine, or null once it is gone.
    GunAiming(std::function<TSMS*()> machine, VideoWidget& video, QObject* parent = nullptr);

    // Adds "Port A" and "Port B", each "Pad" or "Light Phaser", to the menu.
    void AddMenus(QMenu* controllers);
    // The port the gun is plugged into (bus::kPortA, bus::kPortB), 0 for none.
    std::uint8_t GunPort() const { return port_; }
    // The point of the 256 x 192 picture under a position of the picture widget, or -1, -1.
    static std::pair<int, int> PicturePoint(const VideoWidget& video, QPointF position);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Plug(std::uint8_t port);
    void Aim(QPointF position);

    std::function<TSMS*()> machine_;
    VideoWidget& video_;
    std::uint8_t port_ = 0;
    QAction* pads_[2] = {};
    QAction* guns_[2] = {};
};

} // namespace velmar
