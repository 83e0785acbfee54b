#include "frontend/GunAiming.h"

#include "machine/TSMS.h"
#include "platform/qt/QtVideo.h"

#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>

#include <cmath>

namespace velmar {

GunAiming::GunAiming(std::function<TSMS*()> machine, VideoWidget& video, QObject* parent)
    : QObject(parent), machine_(std::move(machine)), video_(video) {
    video_.installEventFilter(this);
}

void GunAiming::AddMenus(QMenu* controllers) {
    controllers->addSeparator();
    const struct {
        const char* Menu;
        const char* Caption;
        const char* Pad;
        const char* Gun;
        std::uint8_t Port;
    } ports[] = {{"mPortA", "Port A", "mPortAPad", "mPortAGun", bus::kPortA},
                 {"mPortB", "Port B", "mPortBPad", "mPortBGun", bus::kPortB}};
    for (int i = 0; i < 2; ++i) {
        const auto& p = ports[i];
        QMenu* menu = controllers->addMenu(QString::fromUtf8(p.Caption));
        menu->setObjectName(QString::fromLatin1(p.Menu));
        menu->menuAction()->setObjectName(QString::fromLatin1(p.Menu));
        auto* group = new QActionGroup(menu);
        pads_[i] = menu->addAction(QStringLiteral("Pad"));
        guns_[i] = menu->addAction(QStringLiteral("Light Phaser"));
        pads_[i]->setObjectName(QString::fromLatin1(p.Pad));
        guns_[i]->setObjectName(QString::fromLatin1(p.Gun));
        for (QAction* item : {pads_[i], guns_[i]}) {
            item->setCheckable(true);
            group->addAction(item);
        }
        pads_[i]->setChecked(true);
        const std::uint8_t port = p.Port;
        connect(guns_[i], &QAction::triggered, this, [this, port] { Plug(port); });
        connect(pads_[i], &QAction::triggered, this, [this, port] {
            if (port_ == port) Plug(0);
        });
    }
}

void GunAiming::Plug(std::uint8_t port) {
    port_ = port;
    for (int i = 0; i < 2; ++i) {
        const bool gun = port == (i == 0 ? bus::kPortA : bus::kPortB);
        (gun ? guns_[i] : pads_[i])->setChecked(true);
    }
    if (TSMS* machine = machine_()) {
        machine->SetLightGun(port);
        machine->AimGun(-1, -1);
        machine->PullGunTrigger(false);
    }
    video_.setMouseTracking(port != 0);
    if (port != 0)
        video_.setCursor(Qt::CrossCursor);
    else
        video_.unsetCursor();
}

std::pair<int, int> GunAiming::PicturePoint(const VideoWidget& video, QPointF position) {
    const QRect area = video.PictureArea();
    if (area.isEmpty()) return {-1, -1};
    const double x = (position.x() - area.x()) * vdp::kScreenWidth / area.width();
    const double y = (position.y() - area.y()) * vdp::kScreenHeight / area.height();
    if (x < 0 || y < 0 || x >= vdp::kScreenWidth || y >= vdp::kScreenHeight) return {-1, -1};
    return {static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
}

void GunAiming::Aim(QPointF position) {
    if (TSMS* machine = machine_()) {
        const auto [x, y] = PicturePoint(video_, position);
        machine->AimGun(x, y);
    }
}

bool GunAiming::eventFilter(QObject* watched, QEvent* event) {
    if (port_ == 0 || watched != &video_) return false;
    switch (event->type()) {
    case QEvent::MouseMove: Aim(static_cast<QMouseEvent*>(event)->position()); return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        Aim(mouse->position());
        if (TSMS* machine = machine_())
            machine->PullGunTrigger(event->type() == QEvent::MouseButtonPress);
        return true;
    }
    case QEvent::Leave:
        if (TSMS* machine = machine_()) machine->AimGun(-1, -1);
        return false;
    default: return false;
    }
}

} // namespace velmar
