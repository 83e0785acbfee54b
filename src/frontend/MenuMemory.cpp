#include "frontend/MenuMemory.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QWidget>

namespace velmar {

namespace {

RememberedChoice Pair(const char* key, const char* on, const char* off) {
    return {key, {{on, "1"}, {off, "0"}}, false};
}

std::vector<RememberedChoice> MakeChoices() {
    std::vector<RememberedChoice> c = {
        {"BIOS_TYPE", {{"mBIOSBr", "export"}, {"mBIOSJap", "japan"}}, false},
        {"FRAMESKIP", {{"mFrameOff", "0"}, {"mFrame50", "1"}, {"mFrame75", "3"}}, false},
        Pair("BACKGROUND", "mBckOn", "mBckOff"),
        Pair("SPRITES", "mSprOn", "mSprOff"),
        Pair("VSYNC", "mVSyncON", "mVSyncOFF"),
        Pair("HQ2X", "mHQ2xON", "mHQ2xOFF"),
        Pair("VDP_STATUS", "mVDPSOn", "mVDPSOff"),
        {"WINDOW_SIZE",
         {{"mSize1", "1"}, {"mSize2", "2"}, {"mSize3", "3"}, {"mSize4", "4"}},
         false},
        {"INTEGER_SCALING", {{"mIntegerScaling", ""}}, true},
        {"AVI_SOUND", {{"mAviSound", ""}}, true},
        Pair("MIXER", "mMixerOn", "mMixerOff"),
        Pair("PSG_OUTPUT", "mPSGOn", "mPSGOff"),
        Pair("PSG_TONE_1", "mTom1On", "mTom1Off"),
        Pair("PSG_TONE_2", "mTom2On", "mTom2Off"),
        Pair("PSG_TONE_3", "mTom3On", "mTom3Off"),
        Pair("PSG_NOISE", "mNoiseOn", "mNoiseOff"),
        {"WAVE_SHAPE", {{"mSquare", "square"}, {"mSine", "sine"}}, false},
        Pair("PSG_STATUS", "mPSGSOn", "mPSGSOff"),
        Pair("FM_OUTPUT", "mFMOn", "mFMOff"),
        {"MUTE", {{"mMute", ""}}, true},
        {"PORT_A", {{"mPortAPad", "pad"}, {"mPortAGun", "gun"}}, false},
        {"PORT_B", {{"mPortBPad", "pad"}, {"mPortBGun", "gun"}}, false},
    };
    for (int n = 1; n <= 9; ++n) {
        const std::string s = std::to_string(n);
        c.push_back(
            {"FM_CHANNEL_" + s, {{"mCH" + s + "On", "1"}, {"mCH" + s + "Off", "0"}}, false});
    }
    RememberedChoice volume{"VOLUME", {}, false};
    for (int percent = 0; percent <= 100; percent += 10)
        volume.Items.emplace_back("mVolume" + std::to_string(percent), std::to_string(percent));
    c.push_back(volume);
    RememberedChoice slot{"STATE_SLOT", {}, false};
    for (int n = 0; n <= 9; ++n)
        slot.Items.emplace_back("mSlot" + std::to_string(n), std::to_string(n));
    c.push_back(slot);
    return c;
}

} // namespace

const std::vector<RememberedChoice>& RememberedChoices() {
    static const std::vector<RememberedChoice> choices = MakeChoices();
    return choices;
}

MenuMemory::MenuMemory(QWidget& window, ProfileFile& ini,
                       std::function<void(const QString&)> failed)
    : QObject(&window), window_(window), ini_(ini), failed_(std::move(failed)) {
    for (const RememberedChoice& choice : RememberedChoices()) {
        for (const auto& [name, value] : choice.Items) {
            QAction* item = window_.findChild<QAction*>(QString::fromStdString(name));
            if (item == nullptr) continue;
            const std::string key = choice.Key;
            const bool single = choice.Single;
            const std::string chosen = value;
            connect(item, &QAction::triggered, this, [this, key, single, chosen, item] {
                if (restoring_) return;
                const std::string stored = single ? (item->isChecked() ? "1" : "0") : chosen;
                if (const FileResult written = ini_.Write(kDesktopSection, key, stored);
                    !written && failed_)
                    failed_(QStringLiteral("The choice was not remembered: ") +
                            QString::fromStdString(written.error));
            });
        }
    }
}

void MenuMemory::Restore() {
    restoring_ = true;
    for (const RememberedChoice& choice : RememberedChoices()) {
        const std::string stored = ini_.Read(kDesktopSection, choice.Key, "");
        if (stored.empty()) continue;
        for (const auto& [name, value] : choice.Items) {
            QAction* item = window_.findChild<QAction*>(QString::fromStdString(name));
            if (item == nullptr || !item->isEnabled()) continue;
            const bool wanted = choice.Single ? stored == "1" : stored == value;
            if (choice.Single ? (stored == "1" || stored == "0") && item->isChecked() != wanted
                              : wanted && !item->isChecked())
                item->trigger();
        }
    }
    restoring_ = false;
}

namespace {

void AssignIn(const QList<QAction*>& actions) {
    QSet<QChar> taken;
    for (const QAction* a : actions) {
        const QString text = a->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at >= 0 && at + 1 < text.size()) taken.insert(text[at + 1].toLower());
    }
    for (QAction* a : actions) {
        if (a->isSeparator()) continue;
        QString text = a->text();
        if (!text.contains(QLatin1Char('&'))) {
            qsizetype pick = -1;
            for (qsizetype i = 0; i < text.size() && pick < 0; ++i)
                if (text[i].isLetter() && (i == 0 || text[i - 1] == QLatin1Char(' ')) &&
                    !taken.contains(text[i].toLower()))
                    pick = i;
            for (qsizetype i = 0; i < text.size() && pick < 0; ++i)
                if (text[i].isLetterOrNumber() && !taken.contains(text[i].toLower())) pick = i;
            if (pick >= 0) {
                taken.insert(text[pick].toLower());
                text.insert(pick, QLatin1Char('&'));
                a->setText(text);
            }
        }
        if (QMenu* sub = a->menu()) AssignIn(sub->actions());
    }
}

} // namespace

void AssignMnemonics(QMenuBar* bar) {
    AssignIn(bar->actions());
}

} // namespace velmar
