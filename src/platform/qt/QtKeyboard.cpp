#include "platform/qt/QtKeyboard.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>

namespace velmar {

QtKeyState::QtKeyState(QObject* parent) : QObject(parent) {
    const QString platform = QGuiApplication::platformName();
    xkbScanCodes_ =
        platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

VirtualKeys QtKeyState::KeysOf(const QKeyEvent& event) {
    const QString platform = QGuiApplication::platformName();
    const bool xkb =
        platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    return VirtualKeyFor(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0,
                         event.nativeScanCode(), xkb);
}

bool QtKeyState::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (key->isAutoRepeat()) break;
        const VirtualKeys keys =
            VirtualKeyFor(key->key(), (key->modifiers() & Qt::KeypadModifier) != 0,
                          key->nativeScanCode(), xkbScanCodes_);
        if (event->type() == QEvent::KeyPress)
            table_.Press(keys);
        else
            table_.Release(keys);
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::ApplicationDeactivate: table_.ReleaseAll(); break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

void KeyboardDevice::Update() {
    state_.reset();
    for (std::size_t s = 0; s < kStates; ++s)
        for (const std::uint32_t code : Assigns[s])
            if (keys_.Held(code)) {
                state_.set(s);
                break;
            }
}

} // namespace velmar
