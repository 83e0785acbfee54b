#include "frontend/WindowControls.h"

#include "frontend/MainForm.h"
#include "frontend/MenuBuilder.h"
#include "frontend/MenuMemory.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

namespace velmar {

namespace {
constexpr const char* kWindowKey = "WINDOW";
constexpr const char* kFullScreenKey = "FULL_SCREEN";
constexpr int kConsoleWidth = 256;
constexpr int kConsoleHeight = 192;
} // namespace

WindowControls::WindowControls(TMainForm& form) : QObject(&form), form_(form) {}

void WindowControls::AddWindowSize(QMenu* graphics) {
    QMenu* menu = AddSubmenu(graphics, "mWindowSize", "Window Size");
    auto* group = new QActionGroup(menu);
    for (int scale = 1; scale <= kMostScale; ++scale) {
        const std::string name = "mSize" + std::to_string(scale);
        QAction* item = AddItem(menu, name.c_str(), "", [this, scale] { SetScale(scale); });
        item->setText(QStringLiteral("&%1x (%2 x %3)")
                          .arg(scale)
                          .arg(scale * kConsoleWidth)
                          .arg(scale * kConsoleHeight));
        item->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + scale)));
        item->setCheckable(true);
        item->setChecked(scale == 2);
        group->addAction(item);
    }
}

void WindowControls::AddIntegerScaling(QMenu* videoMode) {
    videoMode->addSeparator();
    integer_ = AddItem(videoMode, "mIntegerScaling", "Integer Scaling in Full Screen",
                       [this] { FullScreenChanged(form_.isFullScreen()); });
    integer_->setCheckable(true);
    integer_->setChecked(true);
}

// Full screen leaves the window's size alone: the size comes back with the window.
void WindowControls::SetScale(int scale) {
    if (form_.isFullScreen()) form_.SetWindowed();
    if (form_.isMaximized()) form_.showNormal();
    const QMenuBar* bar = form_.menuBar();
    const int menuHeight = bar->isVisible() || !form_.isVisible() ? bar->sizeHint().height() : 0;
    form_.resize(scale * kConsoleWidth, scale * kConsoleHeight + menuHeight);
}

void WindowControls::FullScreenChanged(bool full) {
    form_.Video().SetWholeMultiples(!full || integer_ == nullptr || integer_->isChecked());
}

// The shortcuts also belong to the window, so that they work while the menu bar is hidden.
// Full screen is switched both ways by F11 and Alt+Enter; its menu item shows F11.
void WindowControls::FinishMenus() {
    const auto shortcut = [this](const char* name, QKeySequence keys) {
        if (QAction* item = form_.Item(name)) {
            item->setShortcut(keys);
            form_.addAction(item);
        }
    };
    shortcut("mLoadRom", QKeySequence(Qt::CTRL | Qt::Key_O));
    shortcut("mExit", QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (int scale = 1; scale <= kMostScale; ++scale)
        if (QAction* item = form_.Item(("mSize" + std::to_string(scale)).c_str()))
            form_.addAction(item);
    auto* toggle = new QAction(&form_);
    toggle->setObjectName(QStringLiteral("mToggleFullScreen"));
    toggle->setShortcuts({QKeySequence(Qt::Key_F11), QKeySequence(Qt::ALT | Qt::Key_Return),
                          QKeySequence(Qt::ALT | Qt::Key_Enter)});
    connect(toggle, &QAction::triggered, this, [this] {
        if (form_.isFullScreen())
            form_.SetWindowed();
        else
            form_.SetFullScreen();
    });
    form_.addAction(toggle);
    if (QAction* full = form_.Item("mFull")) {
        full->setShortcut(QKeySequence(Qt::Key_F11));
        full->setShortcutContext(Qt::WidgetShortcut); // shown; the window's toggle acts
    }
    AssignMnemonics(form_.menuBar());
    auto* memory =
        new MenuMemory(form_, form_.ini_, [this](const QString& why) { form_.ShowNotice(why); });
    memory->Restore();
}

// WINDOW is "x,y,width,height" of the window as it is when not full screen.
void WindowControls::RestorePlace() {
    const QStringList parts =
        QString::fromStdString(form_.ini_.Read(kDesktopSection, kWindowKey, ""))
            .split(QLatin1Char(','));
    int v[4] = {};
    bool ok = parts.size() == 4;
    for (int i = 0; i < 4 && ok; ++i) v[i] = parts[i].trimmed().toInt(&ok);
    const QRect place(v[0], v[1], v[2], v[3]);
    // A place on a screen no longer there keeps its size, on the screen the window has.
    if (ok && place.width() >= kConsoleWidth && place.height() >= kConsoleHeight) {
        if (QGuiApplication::screenAt(place.center()) != nullptr)
            form_.setGeometry(place);
        else
            form_.resize(place.size());
    }
    if (form_.ini_.Read(kDesktopSection, kFullScreenKey, "0") == "1") {
        form_.windowedGeometry_ = form_.geometry();
        form_.setWindowState(form_.windowState() | Qt::WindowFullScreen);
        form_.WindowStateChanged();
    }
}

QRect WindowControls::PlaceToKeep() const {
    if (form_.isFullScreen() && form_.windowedGeometry_.isValid()) return form_.windowedGeometry_;
    return form_.isMaximized() ? form_.normalGeometry() : form_.geometry();
}

void WindowControls::StorePlace() {
    const QRect place = PlaceToKeep();
    (void)form_.ini_.Write(kDesktopSection, {{kWindowKey, QStringLiteral("%1,%2,%3,%4")
                                                              .arg(place.x())
                                                              .arg(place.y())
                                                              .arg(place.width())
                                                              .arg(place.height())
                                                              .toStdString()},
                                             {kFullScreenKey, form_.isFullScreen() ? "1" : "0"}});
}

} // namespace velmar
