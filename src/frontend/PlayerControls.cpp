#include "frontend/PlayerControls.h"

#include "frontend/MainForm.h"
#include "frontend/MenuBuilder.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace velmar {

namespace {
std::string Numbered(const char* stem, int n) {
    return stem + std::to_string(n);
}

QString When(std::chrono::system_clock::time_point saved) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(saved.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString SlotCaption(int slot, std::optional<std::chrono::system_clock::time_point> saved) {
    return QStringLiteral("Slot &%1   %2")
        .arg(slot)
        .arg(saved ? When(*saved) : QStringLiteral("empty"));
}
} // namespace

PlayerControls::PlayerControls(TMainForm& form)
    : QObject(&form), form_(form), slots_(form.files_), recent_(form.ini_) {
    recent_.Read();
    if (TSMS* machine = form_.Machine()) machine->SetRewindRecording(true);
}

// ---- Menus -----------------------------------------------------------------------------

void PlayerControls::AddRecentGames(QMenu* file) {
    recentMenu_ = AddSubmenu(file, "mRecent", "Recent Games");
    recentMenu_->setToolTipsVisible(true);
    connect(recentMenu_, &QMenu::aboutToShow, this, [this] { ShowRecentGames(); });
    ShowRecentGames();
}

// The list as Velmar.ini holds it now; a game whose file is gone is shown greyed.
void PlayerControls::ShowRecentGames() {
    recent_.Read();
    recentMenu_->clear();
    int n = 0;
    for (const std::string& game : recent_.Files()) {
        ++n;
        const QString path = QString::fromStdString(game);
        const QString caption = (n < 10 ? QStringLiteral("&%1 ").arg(n) : QStringLiteral("1&0 ")) +
                                QFileInfo(path).fileName();
        QAction* item = AddItem(recentMenu_, Numbered("mRecent", n).c_str(), "",
                                [this, path] { form_.LoadRomFile(path); });
        item->setText(caption);
        item->setToolTip(path);
        item->setStatusTip(path);
        item->setEnabled(QFileInfo(path).isFile());
    }
    if (n == 0)
        AddItem(
            recentMenu_, "mRecentNone", "No Games Yet", [] {}, false);
    recentMenu_->addSeparator();
    AddItem(
        recentMenu_, "mRecentClear", "&Clear",
        [this] { // the items are made anew when the menu next opens, not under this one
            if (const FileResult cleared = recent_.Clear(); !cleared)
                form_.ShowNotice(QStringLiteral("The recent games were not cleared: ") +
                                 QString::fromStdString(cleared.error));
        },
        n > 0);
}

void PlayerControls::AddStateItems(QMenu* file) {
    undo_ = AddItem(
        file, "mUndoSave", "Undo Save State", [this] { UndoSave(); }, false);
    slotMenu_ = AddSubmenu(file, "mSlot", "State Slot");
    slotMenu_->menuAction()->setEnabled(false); // until a game runs
    auto* group = new QActionGroup(slotMenu_);
    for (int n = 0; n < StateSlots::kSlots; ++n) {
        QAction* item =
            AddItem(slotMenu_, Numbered("mSlot", n).c_str(), "", [this, n] { ChooseSlot(n); });
        item->setText(SlotCaption(n, std::nullopt));
        item->setCheckable(true);
        item->setChecked(n == 0);
        // Shown in the menu; on the picture the digit keys choose the slot.
        item->setShortcut(QKeySequence(Qt::Key_0 + n));
        item->setShortcutContext(Qt::WidgetShortcut);
        group->addAction(item);
    }
    connect(slotMenu_, &QMenu::aboutToShow, this, [this] { ShowSlots(); });
    file->addSeparator();
    fastToggle_ = AddItem(file, "mFastForward", "Fast Forward (Tab)", [this] { AfterFrame(); });
    fastToggle_->setCheckable(true);
}

void PlayerControls::AddCaptureSound(QMenu* dump) {
    dump->addSeparator();
    QAction* item = AddItem(dump, "mAviSound", "Every Frame with Sound", [this] {
        if (TSMS* machine = form_.Machine())
            machine->SetAviWithSound(form_.Item("mAviSound")->isChecked() ? 1 : 0);
    });
    item->setCheckable(true);
}

void PlayerControls::AddVolume(QMenu* sound) {
    QMenu* menu = AddSubmenu(sound, "mVolume", "Volume");
    mute_ = AddItem(menu, "mMute", "Mute (M)", [this] {
        muted_ = mute_->isChecked();
        ApplyVolume();
    });
    mute_->setCheckable(true);
    menu->addSeparator();
    AddItem(menu, "mLouder", "Louder (+)", [this] { SetVolume(volume_ + kVolumeStep); });
    AddItem(menu, "mSofter", "Softer (-)", [this] { SetVolume(volume_ - kVolumeStep); });
    menu->addSeparator();
    auto* group = new QActionGroup(menu);
    for (int percent = 100; percent >= 0; percent -= kVolumeStep) {
        QAction* item = AddItem(menu, Numbered("mVolume", percent).c_str(), "", [this, percent] {
            volume_ = percent;
            ApplyVolume();
        });
        item->setText(QStringLiteral("%1%").arg(percent));
        item->setCheckable(true);
        item->setChecked(percent == 100);
        group->addAction(item);
    }
}

// ---- Slots -----------------------------------------------------------------------------

void PlayerControls::GameStarted(const std::string& romFile) {
    if (!romFile.empty())
        if (const FileResult added = recent_.Add(romFile); !added)
            form_.ShowNotice(QStringLiteral("The recent games were not saved: ") +
                             QString::fromStdString(added.error));
    game_ = form_.GameBase();
    slots_.ForgetUndo();
    slotMenu_->menuAction()->setEnabled(true);
    ShowSlots();
}

void PlayerControls::ShowSlots() {
    for (int n = 0; n < StateSlots::kSlots; ++n)
        if (QAction* item = form_.Item(Numbered("mSlot", n).c_str()))
            item->setText(SlotCaption(n, form_.Machine()->GetReady() ? slots_.SavedAt(game_, n)
                                                                     : std::nullopt));
    undo_->setEnabled(slots_.UndoSlot().has_value());
}

void PlayerControls::ChooseSlot(int slot) {
    slot_ = std::clamp(slot, 0, StateSlots::kSlots - 1);
    if (QAction* item = form_.Item(Numbered("mSlot", slot_).c_str())) item->setChecked(true);
    if (!form_.Machine()->GetReady()) return;
    const auto saved = slots_.SavedAt(game_, slot_);
    form_.ShowNotice(
        QStringLiteral("State slot %1: ").arg(slot_) +
            (saved ? QStringLiteral("saved ") + When(*saved) : QStringLiteral("empty")),
        TMainForm::NoticeKind::Done);
}

void PlayerControls::SaveState() {
    TSMS* machine = form_.Machine();
    if (machine == nullptr) return;
    const std::vector<std::uint8_t> state = machine->StateBytes();
    if (const FileResult saved = slots_.Save(game_, slot_, state); !saved) {
        form_.ShowNotice(QStringLiteral("Save State failed: ") +
                         TMainForm::WriteFailure(slots_.File(game_, slot_), saved.error));
    } else {
        form_.ShowNotice(slot_ == 0 ? QStringLiteral("State saved")
                                    : QStringLiteral("State saved in slot %1").arg(slot_),
                         TMainForm::NoticeKind::Done);
    }
    undo_->setEnabled(slots_.UndoSlot().has_value());
}

void PlayerControls::LoadState() {
    TSMS* machine = form_.Machine();
    if (machine == nullptr) return;
    const auto file = slots_.File(game_, slot_);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        form_.ShowNotice(QStringLiteral("Load State: no state saved yet (") +
                         QString::fromStdString(file.string()) + QLatin1Char(')'));
    else if (const FileResult loaded = machine->LoadStateFromFile(file); !loaded)
        form_.ShowNotice(QStringLiteral("Load State failed: ") +
                         QString::fromStdString(loaded.error));
    else
        form_.ShowNotice(slot_ == 0 ? QStringLiteral("State loaded")
                                    : QStringLiteral("State loaded from slot %1").arg(slot_),
                         TMainForm::NoticeKind::Done);
}

void PlayerControls::UndoSave() {
    const auto slot = slots_.UndoSlot();
    if (!slot) return;
    if (const FileResult undone = slots_.Undo(); !undone)
        form_.ShowNotice(QStringLiteral("Undo Save State failed: ") +
                         TMainForm::WriteFailure(slots_.File(game_, *slot), undone.error));
    else
        form_.ShowNotice(QStringLiteral("Slot %1 has its earlier state back").arg(*slot),
                         TMainForm::NoticeKind::Done);
    undo_->setEnabled(slots_.UndoSlot().has_value());
}

// ---- Keys, volume, rewind and fast-forward ---------------------------------------------

bool PlayerControls::Key(std::uint32_t code) {
    if (form_.KeyPlaysAPad(code)) return false;
    const auto trigger = [this](const std::string& name) {
        if (QAction* item = form_.Item(name.c_str())) item->trigger();
        return true;
    };
    if (code >= keys::kDigit0 && code <= keys::kDigit0 + 9)
        return trigger(Numbered("mSlot", static_cast<int>(code - keys::kDigit0)));
    if (code >= keys::kKeypad0 && code <= keys::kKeypad0 + 9)
        return trigger(Numbered("mSlot", static_cast<int>(code - keys::kKeypad0)));
    if (code == keys::kPlus || code == keys::kKeypadPlus) return trigger("mLouder");
    if (code == keys::kMinus || code == keys::kKeypadMinus) return trigger("mSofter");
    if (code == keys::kMute) return trigger("mMute");
    return false;
}

// A step of the volume ticks its item, so the menu shows it and Velmar.ini keeps it.
void PlayerControls::SetVolume(int percent) {
    const int wanted = std::clamp(percent / kVolumeStep * kVolumeStep, 0, 100);
    if (QAction* item = form_.Item(Numbered("mVolume", wanted).c_str())) item->trigger();
    if (muted_) mute_->trigger();
    form_.ShowNotice(QStringLiteral("Volume %1%").arg(volume_), TMainForm::NoticeKind::Done);
}

void PlayerControls::ApplyVolume() {
    if (TSMS* machine = form_.Machine())
        machine->SetVolume(static_cast<std::uint8_t>(muted_ ? 0 : volume_));
}

bool PlayerControls::HeldForUs(std::uint32_t code) const {
    return form_.keyState_.Table().Held(code) && !form_.KeyPlaysAPad(code);
}

void PlayerControls::AfterFrame() {
    TSMS* machine = form_.Machine();
    if (machine == nullptr) return;
    const bool running = machine->IsRunning();
    const bool rewind = running && HeldForUs(keys::kBackspace);
    if (rewind != rewinding_) {
        rewinding_ = rewind;
        machine->SetRewinding(rewind);
        if (rewind) form_.ShowNotice(QStringLiteral("Rewinding"), TMainForm::NoticeKind::Done);
    }
    const bool fast = running && (fastToggle_->isChecked() || HeldForUs(keys::kTab));
    if (fast != fast_) {
        fast_ = fast;
        machine->SetFastForward(fast);
    }
}

void PlayerControls::Paused() {
    TSMS* machine = form_.Machine();
    if (machine == nullptr) return;
    rewinding_ = fast_ = false;
    machine->SetRewinding(false);
    machine->SetFastForward(false);
}

} // namespace velmar
