#include "core/ConsoleConstants.h"
#include "frontend/MainForm.h"
#include "frontend/MenuMemory.h"
#include "frontend/PlayerControls.h"
#include "frontend/QtTestSupport.h"
#include "frontend/RecentGames.h"
#include "frontend/StateSlots.h"

#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velmar {
namespace {

std::filesystem::path TestDir(const char* name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("velmar-player-" + std::string(name));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

std::vector<std::uint8_t> Contents(const std::filesystem::path& file) {
    std::vector<std::uint8_t> bytes;
    (void)ReadWholeFile(file, bytes, 1 << 20);
    return bytes;
}

// Slot 0 is the one state file of old; a save over a state keeps that state for Undo until
// the next save, and a file that is no state is not kept.
TEST(StateSlots, SlotZeroIsTheOldFileAndTheLastSaveCanBeUndone) {
    const auto dir = TestDir("saves");
    const GameFiles files(dir);
    ASSERT_TRUE(files.CreateFolders());
    StateSlots saves(files);
    EXPECT_EQ(saves.File("Game", 0), files.StateFile("Game"));
    EXPECT_EQ(saves.File("Game", 0), dir / "VLR" / "Game.VLR");
    EXPECT_EQ(saves.File("Game", 7), dir / "VLR" / "Game.7.VLR");
    const auto state = [](std::uint8_t fill) {
        return std::vector<std::uint8_t>(console::kStateFileSize, fill);
    };

    EXPECT_FALSE(saves.SavedAt("Game", 7));
    ASSERT_TRUE(saves.Save("Game", 7, state(1)));
    EXPECT_TRUE(saves.SavedAt("Game", 7));
    EXPECT_FALSE(saves.UndoSlot()) << "nothing was replaced";
    ASSERT_TRUE(saves.Save("Game", 7, state(2)));
    EXPECT_EQ(saves.UndoSlot(), 7);
    ASSERT_TRUE(saves.Save("Game", 3, state(3)));
    EXPECT_FALSE(saves.UndoSlot()) << "the next save ends the undo";
    ASSERT_TRUE(saves.Save("Game", 7, state(4)));
    ASSERT_TRUE(saves.Undo());
    EXPECT_EQ(Contents(saves.File("Game", 7)), state(2));
    EXPECT_FALSE(saves.UndoSlot());
    EXPECT_FALSE(saves.Undo());

    std::ofstream(saves.File("Game", 5)) << "not a state";
    ASSERT_TRUE(saves.Save("Game", 5, state(5)));
    EXPECT_FALSE(saves.UndoSlot());
    std::filesystem::remove_all(dir);
}

TEST(RecentGames, NewestFirstTenAtMostKeptInTheIni) {
    const auto dir = TestDir("recent");
    ProfileFile ini(dir / "Velmar.ini");
    RecentGames recent(ini);
    const auto game = [](int n) { return "/roms/game " + std::to_string(n) + ".sms"; };
    for (int n = 0; n < 12; ++n) ASSERT_TRUE(recent.Add(game(n)));
    ASSERT_EQ(recent.Files().size(), RecentGames::kMost);
    EXPECT_EQ(recent.Files().front(), game(11));
    EXPECT_EQ(recent.Files().back(), game(2));
    ASSERT_TRUE(recent.Add(game(5)));
    EXPECT_EQ(recent.Files().front(), game(5));
    EXPECT_EQ(std::count(recent.Files().begin(), recent.Files().end(), game(5)), 1);
    EXPECT_EQ(recent.Files()[1], game(11));
    EXPECT_EQ(ini.Read(kRecentSection, "GAME_1", ""), game(5));

    RecentGames again(ini);
    again.Read();
    EXPECT_EQ(again.Files(), recent.Files());
    ASSERT_TRUE(recent.Clear());
    again.Read();
    EXPECT_TRUE(again.Files().empty());
    std::filesystem::remove_all(dir);
}

std::unique_ptr<TMainForm> MakeForm(const std::filesystem::path& dir) {
    test::TestApplication();
    TMainForm::Options options;
    options.DataFolder = dir;
    options.OpenSoundDevice = false;
    auto form = std::make_unique<TMainForm>(options);
    form->ShowError = [](const QString&) {};
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
}

template <class Pred> bool WaitFor(Pred pred) {
    for (int i = 0; i < 1000 && !pred(); ++i) QTest::qWait(10);
    return pred();
}

// The picture takes whole multiples of the console's 256 x 192 (every window size preset
// exactly), or in full screen without integer scaling as much as fits.
TEST(VideoWidget, PictureAtWholeMultiplesOrAsLargeAsFits) {
    struct Case {
        QSize Widget;
        bool Whole;
        QRect Picture;
    };
    const QSize picture(512, 384);
    for (const Case& c :
         {Case{{256, 192}, true, {0, 0, 256, 192}}, Case{{768, 576}, true, {0, 0, 768, 576}},
          Case{{1024, 768}, true, {0, 0, 1024, 768}},
          Case{{1920, 1080}, true, {320, 60, 1280, 960}},
          Case{{1920, 1080}, false, {240, 0, 1440, 1080}},
          Case{{200, 300}, true, {0, 75, 200, 150}}})
        EXPECT_EQ(VideoWidget::PictureRect(c.Widget, picture, c.Whole), c.Picture)
            << c.Widget.width() << "x" << c.Widget.height() << " " << c.Whole;
}

// Every menu choice comes back in the next run, with what it sets in the machine; keys of
// other sections of Velmar.ini are kept.
TEST(PlayerControls, MenuChoicesWindowPlaceAndFullScreenAreRemembered) {
    const auto dir = TestDir("remembered");
    std::ofstream(dir / "Velmar.ini") << "[GENERAL_OPTIONS]\nDEFAULT_PATH=/roms\nOLD_KEY=kept\n";
    const char* chosen[] = {"mFrame75", "mHQ2xOFF",  "mVolume60",      "mMute",
                            "mSlot4",   "mAviSound", "mSine",          "mCH3Off",
                            "mBIOSJap", "mPortBGun", "mIntegerScaling"};
    QRect place;
    {
        auto form = MakeForm(dir);
        for (const char* name : chosen) form->Item(name)->trigger();
        form->Item("mSize3")->trigger();
        EXPECT_TRUE(WaitFor([&] { return form->centralWidget()->size() == QSize(768, 576); }));
        form->move(40, 30);
        place = form->geometry();
        form->Item("mToggleFullScreen")->trigger();
        EXPECT_TRUE(form->isFullScreen());
        form->close();
    }
    auto form = MakeForm(dir);
    for (const char* name : chosen)
        EXPECT_EQ(form->Item(name)->isChecked(), std::string(name) != "mIntegerScaling") << name;
    EXPECT_TRUE(form->Item("mSize3")->isChecked());
    EXPECT_TRUE(form->isFullScreen());
    EXPECT_FALSE(form->Video().WholeMultiples()) << "integer scaling is off in full screen";
    const TSMS& m = *form->Machine();
    EXPECT_EQ(m.GetConsole().Frameskip, 3);
    EXPECT_EQ(form->Machine()->GetPresenter().Hq2xOn, 0);
    EXPECT_EQ(form->Machine()->GetPresenter().Volume, 0) << "muted";
    EXPECT_EQ(form->Machine()->GetPresenter().AviWithSound, 1);
    EXPECT_EQ(m.GetConsole().Cpu.BiosType, 0);
    EXPECT_EQ(m.GetConsole().Bus.GunPort, bus::kPortB);
    EXPECT_EQ(form->Player().Slot(), 4);
    EXPECT_EQ(form->Player().Volume(), 60);

    form->Item("mToggleFullScreen")->trigger();
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_TRUE(form->Video().WholeMultiples());
    EXPECT_TRUE(WaitFor([&] { return form->centralWidget()->size() == QSize(768, 576); }));
    EXPECT_EQ(form->geometry(), place);
    form.reset();
    const ProfileFile ini(dir / "Velmar.ini");
    EXPECT_EQ(ini.Read("GENERAL_OPTIONS", "OLD_KEY", ""), "kept");
    EXPECT_EQ(ini.Read(kDesktopSection, "FRAMESKIP", ""), "3");
    std::filesystem::remove_all(dir);
}

// On the picture: digits choose the slot, F5 and F8 act on it, the save it replaced can be
// put back; Backspace held rewinds and Tab held runs ahead; - + and M set the volume. The
// game joins the recent games, where one whose file is gone is greyed.
TEST(PlayerControls, SlotsUndoRewindFastForwardVolumeAndRecentGames) {
    const auto dir = TestDir("keys");
    auto form = MakeForm(dir);
    ProfileFile ini(dir / "Velmar.ini");
    RecentGames recent(ini);
    ASSERT_TRUE(recent.Add((dir / "gone.sms").string()));
    const std::string rom = std::string(VELMAR_TEST_ROM_DIR) + "/battery.sms";
    form->LoadRomFile(QString::fromStdString(rom));
    ASSERT_TRUE(form->Machine()->IsRunning());
    emit form->Menu("mRecent")->aboutToShow();
    ASSERT_NE(form->Item("mRecent2"), nullptr);
    EXPECT_EQ(form->Item("mRecent1")->toolTip().toStdString(), rom);
    EXPECT_TRUE(form->Item("mRecent1")->isEnabled());
    EXPECT_FALSE(form->Item("mRecent2")->isEnabled());
    EXPECT_TRUE(form->Item("mRecentClear")->isEnabled());
    form->Item("mRecentClear")->trigger();
    emit form->Menu("mRecent")->aboutToShow();
    EXPECT_EQ(form->Item("mRecent1"), nullptr);
    EXPECT_FALSE(form->Item("mRecentClear")->isEnabled());

    QWidget* video = &form->Video();
    QTest::keyClick(video, Qt::Key_3);
    EXPECT_TRUE(form->Item("mSlot3")->isChecked());
    const auto slot3 = dir / "VLR" / "battery.3.VLR";
    QTest::keyClick(video, Qt::Key_F5);
    EXPECT_EQ(form->Notice(), "State saved in slot 3");
    const std::vector<std::uint8_t> first = Contents(slot3);
    ASSERT_EQ(first.size(), console::kStateFileSize);
    EXPECT_FALSE(form->Item("mUndoSave")->isEnabled());
    ASSERT_TRUE(WaitFor([&] { return form->FramesShown() > 5; }));
    QTest::keyClick(video, Qt::Key_F5);
    EXPECT_TRUE(form->Item("mUndoSave")->isEnabled());
    EXPECT_NE(Contents(slot3), first);
    form->Item("mUndoSave")->trigger();
    EXPECT_EQ(Contents(slot3), first);
    EXPECT_FALSE(form->Item("mUndoSave")->isEnabled());
    QTest::keyClick(video, Qt::Key_F8);
    EXPECT_EQ(form->Notice(), "State loaded from slot 3");
    QTest::keyClick(video, Qt::Key_0);
    QTest::keyClick(video, Qt::Key_F5);
    EXPECT_TRUE(std::filesystem::exists(dir / "VLR" / "battery.VLR"));
    emit form->Menu("mSlot")->aboutToShow();
    EXPECT_TRUE(form->Item("mSlot3")->text().contains(QStringLiteral("20")));
    EXPECT_TRUE(form->Item("mSlot5")->text().endsWith(QStringLiteral("empty")));

    TSMS& m = *form->Machine();
    for (const auto& [key, held] : {std::pair{Qt::Key_Backspace, &TSMS::GetRewinding},
                                    std::pair{Qt::Key_Tab, &TSMS::GetFastForward}}) {
        QTest::keyPress(video, key);
        EXPECT_TRUE(WaitFor([&, held = held] { return (m.*held)(); })) << key;
        QTest::keyRelease(video, key);
        EXPECT_TRUE(WaitFor([&, held = held] { return !(m.*held)(); })) << key;
    }
    EXPECT_GT(m.RewindFramesKept(), 0u);

    // The standard shortcuts, also while the menu bar is hidden.
    EXPECT_EQ(form->Item("mLoadRom")->shortcut(), QKeySequence(QKeySequence::fromString("Ctrl+O")));
    EXPECT_EQ(form->Item("mExit")->shortcut(), QKeySequence(QKeySequence::fromString("Ctrl+Q")));
    EXPECT_EQ(form->Item("mFull")->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(form->Menu("mFile")->menuAction()->text(), "&File");
    QTest::keyClick(video, Qt::Key_Escape);
    ASSERT_FALSE(form->MenuBarShown());
    QTest::keyClick(video, Qt::Key_F11);
    EXPECT_TRUE(form->isFullScreen());
    QTest::keyClick(video, Qt::Key_Return, Qt::AltModifier);
    EXPECT_FALSE(form->isFullScreen());
    QTest::keyClick(video, Qt::Key_Escape);

    QTest::keyClick(video, Qt::Key_Minus);
    EXPECT_TRUE(form->Item("mVolume90")->isChecked());
    EXPECT_EQ(m.GetPresenter().Volume, 90);
    QTest::keyClick(video, Qt::Key_M);
    EXPECT_EQ(m.GetPresenter().Volume, 0);
    QTest::keyClick(video, Qt::Key_Plus);
    EXPECT_FALSE(form->Item("mMute")->isChecked()) << "louder ends the mute";
    EXPECT_EQ(m.GetPresenter().Volume, 100);
    form.reset();
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace velmar
