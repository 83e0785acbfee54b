#pragma once

// The pieces the window's menus are built of: items named after their commands, submenus,
// groups of which exactly one item shows a tick, and ON/OFF pairs.

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMessageBox>

#include <cstdint>
#include <functional>
#include <initializer_list>

namespace velmar {

inline QAction* AddItem(QMenu* menu, const char* name, const char* caption,
                        std::function<void()> action, bool enabled = true) {
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setObjectName(QString::fromLatin1(name));
    item->setEnabled(enabled);
    // Nothing may leave a Qt slot: a command that fails says so and the window goes on.
    QObject::connect(item, &QAction::triggered, menu, [menu, action = std::move(action)] {
        try {
            action();
        } catch (const std::exception& e) {
            QMessageBox::warning(menu->window(), QStringLiteral("Velmar"),
                                 QString::fromUtf8(e.what()));
        }
    });
    return item;
}

inline QMenu* AddSubmenu(QMenu* parent, const char* name, const char* caption) {
    QMenu* sub = parent->addMenu(QString::fromUtf8(caption));
    sub->setObjectName(QString::fromLatin1(name));
    sub->menuAction()->setObjectName(QString::fromLatin1(name));
    return sub;
}

struct Choice {
    const char* Name;
    const char* Caption;
    std::function<void()> Action;
};

// Items of which exactly one shows a tick; choosing one ticks it and unticks the others.
inline void AddChoices(QMenu* menu, std::initializer_list<Choice> choices, int ticked) {
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    int i = 0;
    for (const Choice& c : choices) {
        QAction* item = AddItem(menu, c.Name, c.Caption, c.Action);
        item->setCheckable(true);
        item->setChecked(i++ == ticked);
        group->addAction(item);
    }
}

// An ON/OFF pair calling set(1) or set(0).
inline void AddSwitch(QMenu* menu, const char* on, const char* off, bool onTicked,
                      std::function<void(std::uint8_t)> set, const char* onCaption = "ON",
                      const char* offCaption = "OFF") {
    AddChoices(menu, {{on, onCaption, [set] { set(1); }}, {off, offCaption, [set] { set(0); }}},
               onTicked ? 0 : 1);
}

} // namespace velmar
