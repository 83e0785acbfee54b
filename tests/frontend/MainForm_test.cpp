#include "ZipSupport.h"
#include "frontend/MainForm.h"
#include "frontend/QtTestSupport.h"
#include "platform/null/ScriptedInput.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmar {
namespace {

std::filesystem::path TestDir(const char* name) {
    const auto dir = std::filesystem::temp_directory_path() / ("velmar-form-" + std::string(name));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// Captions in order without their mnemonic marks, "-" for a separator.
std::string Captions(const QList<QAction*>& actions) {
    std::string out;
    for (const QAction* a : actions) {
        if (!out.empty()) out += '|';
        out += a->isSeparator() ? std::string("-") : QString(a->text()).remove('&').toStdString();
    }
    return out;
}

std::unique_ptr<TMainForm> MakeForm(const std::filesystem::path& dir,
                                    QStringList* errors = nullptr) {
    test::TestApplication();
    TMainForm::Options options;
    options.DataFolder = dir;
    options.OpenSoundDevice = false;
    auto form = std::make_unique<TMainForm>(options);
    form->ShowError = [errors](const QString& text) {
        if (errors != nullptr) errors->push_back(text);
    };
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    return form;
}

// Waits (ten seconds at most) until pred holds, letting the window work meanwhile.
template <class Pred> bool WaitFor(Pred pred) {
    for (int i = 0; i < 1000 && !pred(); ++i) QTest::qWait(10);
    return pred();
}

// Waits until the machine has shown n more frames: a loaded machine may start slowly.
bool WaitForFrames(const TMainForm& form, std::uint64_t n) {
    const std::uint64_t until = form.FramesShown() + n;
    return WaitFor([&] { return form.FramesShown() >= until; });
}

// A left click on the logo shown over the picture.
void ClickLogo(TMainForm& form) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&form.Logo(), &press);
}

bool PictureHasDetail(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 5) colours.insert(image.pixel(x, y));
    return colours.size() >= 2;
}

TEST(MainForm, CommandTableCaptionsSeparatorsTicksAndStartStates) {
    const auto dir = TestDir("menus");
    auto form = MakeForm(dir);
    EXPECT_EQ(form->windowTitle(), "Velmar");
    EXPECT_EQ(Captions(form->menuBar()->actions()), "File|Graphics|Sound|Controllers|Help");
    const std::pair<const char*, const char*> menus[] = {
        {"mFile", "Load Game ROM|Recent Games|Game Reset (F9)|Console Reset (F12)|-|Load State "
                  "(F8)|Save State (F5)|Undo Save State|State Slot|-|Fast Forward (Tab)|-|Record "
                  "Input...|Stop Recording|-|Run BIOS|BIOS Type|Region|Mapper|-|Exit"},
        {"mRecent", "No Games Yet|-|Clear"},
        {"mSlot",
         "Slot 0   empty|Slot 1   empty|Slot 2   empty|Slot 3   empty|Slot 4   empty|Slot 5 "
         "  empty|Slot 6   empty|Slot 7   empty|Slot 8   empty|Slot 9   empty"},
        {"mBiosType", "American / Brazilian|Japanese"},
        {"mRegion", "NTSC (60 Hz)|PAL (50 Hz)"},
        {"mMapper", "Auto|Sega|Codemasters|Korean|None"},
        {"mGraphics", "Frameskip|Background|Sprites|Video Mode|Window Size|VSync|HQ2x "
                      "Filter|-|Snapshot|-|AVI Dump|-|VDP Status"},
        {"mFrameskip", "75% Frameskip|50% Frameskip|No Frameskip"},
        {"mExib", "Windowed|Full Screen|-|Integer Scaling in Full Screen"},
        {"mWindowSize", "1x (256 x 192)|2x (512 x 384)|3x (768 x 576)|4x (1024 x 768)"},
        {"mAVIDump", "Start Dump|End Dump|-|Every Frame with Sound"},
        {"mVDPS", "Show|Hide"},
        {"mSound", "Volume|-|General Output (Mixer)|-|PSG Sound|FM Sound"},
        {"mVolume",
         "Mute (M)|-|Louder (+)|Softer (-)|-|100%|90%|80%|70%|60%|50%|40%|30%|20%|10%|0%"},
        {"mPSGSound", "PSG Output|-|Tone Generator 1|Tone Generator 2|Tone Generator 3|Noise "
                      "Generator|-|Wave Shape|-|PSG Status"},
        {"mWaveShape", "Square|Sine"},
        {"mFMSound", "FM Output|-|Channel 1|Channel 2|Channel 3|Channel 4|Channel 5|Channel "
                     "6|Channel 7|Channel 8|Channel 9"},
        {"mChan9", "ON|OFF"},
        {"mControllers", "Configuration|-|Port A|Port B"},
        {"mPortA", "Pad|Light Phaser"},
        {"mHelp", "About"},
    };
    for (const auto& [name, captions] : menus) {
        ASSERT_NE(form->Menu(name), nullptr) << name;
        EXPECT_EQ(Captions(form->Menu(name)->actions()), captions) << name;
    }

    const char* ticked[] = {"mBIOSBr",   "mFrameOff",       "mBckOn",      "mSprOn",   "mWindowed",
                            "mVSyncOFF", "mHQ2xON",         "mVDPSOff",    "mMixerOn", "mPSGOn",
                            "mTom1On",   "mTom2On",         "mTom3On",     "mNoiseOn", "mSquare",
                            "mPSGSOff",  "mFMOff",          "mCH1On",      "mCH5On",   "mCH9On",
                            "mPortAPad", "mPortBPad",       "mMapperAuto", "mSlot0",   "mVolume100",
                            "mSize2",    "mIntegerScaling", "mRegionNTSC"};
    for (const char* name : ticked) {
        ASSERT_NE(form->Item(name), nullptr) << name;
        EXPECT_TRUE(form->Item(name)->isChecked()) << name;
    }
    for (const char* name :
         {"mBIOSJap", "mFrame75", "mFrame50", "mBckOff", "mVSyncON", "mFull", "mHQ2xOFF", "mSine",
          "mFMOn", "mCH9Off", "mPSGSOn", "mMute", "mAviSound", "mFastForward", "mSlot3"})
        EXPECT_FALSE(form->Item(name)->isChecked()) << name;
    for (const char* name : {"mGameReset", "mConsoleReset", "mLoadState", "mSaveState", "mEDump",
                             "mMapper", "mUndoSave", "mSlot", "mRecentClear", "mStopRecording"})
        EXPECT_FALSE(form->Item(name)->isEnabled()) << name;
    for (const char* name : {"mLoadRom", "mBios", "mSDump", "mSnapshot", "mExit", "mAbout"})
        EXPECT_TRUE(form->Item(name)->isEnabled()) << name;

    // One tick per group, whichever is chosen.
    form->Item("mFrame50")->trigger();
    EXPECT_EQ(form->Machine()->GetConsole().Frameskip, 1);
    form->Item("mFrame75")->trigger();
    EXPECT_EQ(form->Machine()->GetConsole().Frameskip, 3); // one frame drawn in four
    EXPECT_TRUE(form->Item("mFrame75")->isChecked());
    EXPECT_FALSE(form->Item("mFrameOff")->isChecked());
    form->Item("mFrame75")->trigger(); // choosing the ticked one keeps it ticked
    EXPECT_TRUE(form->Item("mFrame75")->isChecked());
    form->Item("mCH3Off")->trigger();
    EXPECT_FALSE(form->Item("mCH3On")->isChecked());
    EXPECT_TRUE(form->Item("mCH3Off")->isChecked());
    form.reset();
    std::filesystem::remove_all(dir);
}

TEST(MainForm, PausingResumingKeysAndFileCommands) {
    const auto dir = TestDir("play");
    QStringList errors;
    auto form = MakeForm(dir, &errors);
    const auto click = [&form] { ClickLogo(*form); };

    // No game: the logo stays whatever is clicked.
    EXPECT_TRUE(form->LogoShown());
    click();
    EXPECT_TRUE(form->LogoShown());
    EXPECT_FALSE(form->Machine()->IsRunning());

    // A ROM that cannot be read: one message, nothing changes.
    form->LoadRomFile(QString::fromStdString((dir / "missing.sms").string()));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(form->LogoShown());
    EXPECT_FALSE(form->Item("mSaveState")->isEnabled());

    const std::string rom = std::string(VELMAR_TEST_ROM_DIR) + "/battery.sms";
    form->LoadRomFile(QString::fromStdString(rom));
    EXPECT_TRUE(form->Machine()->IsRunning());
    EXPECT_FALSE(form->LogoShown());
    for (const char* name : {"mGameReset", "mConsoleReset", "mLoadState", "mSaveState"})
        EXPECT_TRUE(form->Item(name)->isEnabled()) << name;
    EXPECT_EQ(ProfileFile(dir / "Velmar.ini").Read("GENERAL_OPTIONS", "DEFAULT_PATH", ""),
              VELMAR_TEST_ROM_DIR);
    EXPECT_TRUE(WaitFor([&] { return form->Video().Flips() > 30; }));
    EXPECT_TRUE(PictureHasDetail(form->Video().Front()));

    // A file that is no ROM image is judged before the game is given up: it plays on, and
    // the reason is put plainly.
    std::ofstream(dir / "notes.sms") << "a note to self, not a game at all";
    form->LoadRomFile(QString::fromStdString((dir / "notes.sms").string()));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors.back().endsWith("too small to be a ROM image (33 bytes)"))
        << errors.back().toStdString();
    EXPECT_TRUE(form->Machine()->IsRunning());
    EXPECT_FALSE(form->LogoShown());
    EXPECT_EQ(form->Machine()->GetRamFileName(), form->Files().RamFileFor(rom).string());

    // Opening a top-level menu pauses under the logo; other commands keep it paused.
    emit form->Menu("mGraphics")->aboutToShow();
    EXPECT_FALSE(form->Machine()->IsRunning());
    EXPECT_TRUE(form->LogoShown());
    form->Item("mBIOSJap")->trigger();
    EXPECT_TRUE(form->Item("mBIOSJap")->isChecked());
    EXPECT_FALSE(form->Item("mBIOSBr")->isChecked());
    EXPECT_FALSE(form->Machine()->IsRunning());
    form->Item("mSnapshot")->trigger();
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir / "BMP"), {}), 1);
    EXPECT_EQ(form->Notice().toStdString(),
              "Snapshot saved: " +
                  std::filesystem::directory_iterator(dir / "BMP")->path().filename().string());
    click();
    EXPECT_TRUE(form->Machine()->IsRunning());
    EXPECT_FALSE(form->LogoShown());

    // Console Reset from the menu resumes and brings the picture back.
    emit form->Menu("mFile")->aboutToShow();
    form->Item("mConsoleReset")->trigger();
    EXPECT_TRUE(form->Machine()->IsRunning());
    EXPECT_FALSE(form->LogoShown());

    // Keys on the picture, applied between frames.
    QTest::keyClick(&form->Video(), Qt::Key_F8);
    EXPECT_TRUE(form->Notice().startsWith("Load State: no state saved yet"));
    QTest::keyClick(&form->Video(), Qt::Key_F5);
    EXPECT_TRUE(std::filesystem::exists(dir / "VLR" / "battery.VLR"));
    EXPECT_EQ(form->Notice(), "State saved");
    QTest::keyClick(&form->Video(), Qt::Key_F8);
    EXPECT_EQ(form->Notice(), "State loaded");
    QTest::keyClick(&form->Video(), Qt::Key_F9);
    QTest::keyClick(&form->Video(), Qt::Key_F12);
    EXPECT_TRUE(form->Machine()->IsRunning());
    QTest::keyClick(&form->Video(), Qt::Key_Escape);
    EXPECT_FALSE(form->MenuBarShown());
    QTest::keyClick(&form->Video(), Qt::Key_Escape);
    EXPECT_TRUE(form->MenuBarShown());

    // A state that cannot be written says so over the picture.
    std::filesystem::remove_all(dir / "VLR");
    std::ofstream(dir / "VLR") << "not a folder";
    QTest::keyClick(&form->Video(), Qt::Key_F5);
    EXPECT_EQ(form->Notice().toStdString(),
              "Save State failed: " + (dir / "VLR").string() + " is not a folder");

    // Capture: the items swap, and Exit finishes the file.
    emit form->Menu("mGraphics")->aboutToShow();
    form->Item("mSDump")->trigger();
    EXPECT_FALSE(form->Item("mSDump")->isEnabled());
    EXPECT_TRUE(form->Item("mEDump")->isEnabled());
    click();
    ASSERT_TRUE(WaitForFrames(*form, 30));

    form->close(); // as Exit: capture finished, battery RAM written
    EXPECT_EQ(form->Machine(), nullptr);
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(dir / "AVI"), {}), 1);
    EXPECT_GT(std::filesystem::directory_iterator(dir / "AVI")->file_size(), 1000u);
    std::ifstream ram(dir / "RAM" / "battery.RAM", std::ios::binary);
    char head[4] = {};
    ram.read(head, 4);
    EXPECT_EQ(std::string(head, 4), "VLMR");
    EXPECT_EQ(errors.size(), 2);
    form.reset();
    std::filesystem::remove_all(dir);
}

// P pauses and resumes; under the logo a line says how to go on, and Enter or Space does;
// another window in front pauses the game until the window is back, unless Velmar.ini
// turns that off.
TEST(MainForm, KeysPauseAndResumeAndLosingFocusPauses) {
    for (const bool onFocusLoss : {true, false}) {
        const auto dir = TestDir(onFocusLoss ? "keys" : "keys-stay");
        if (!onFocusLoss)
            std::ofstream(dir / "Velmar.ini") << "[GENERAL_OPTIONS]\nPAUSE_ON_FOCUS_LOSS=0\n";
        auto form = MakeForm(dir);
        EXPECT_TRUE(form->Logo().Hint().contains("Load Game ROM"));
        form->LoadRomFile(QString::fromLatin1(VELMAR_TEST_ROM_DIR "/battery.sms"));
        ASSERT_TRUE(form->Machine()->IsRunning());
        for (const Qt::Key resume : {Qt::Key_Return, Qt::Key_Space, Qt::Key_P}) {
            QTest::keyClick(&form->Video(), Qt::Key_P);
            EXPECT_FALSE(form->Machine()->IsRunning());
            EXPECT_TRUE(form->LogoShown());
            EXPECT_TRUE(form->Logo().Hint().contains("Enter or Space"));
            QTest::keyClick(&form->Logo(), resume);
            EXPECT_TRUE(form->Machine()->IsRunning()) << resume;
            EXPECT_FALSE(form->LogoShown());
        }
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QWidget other;
        other.show();
        other.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
        EXPECT_EQ(form->Machine()->IsRunning(), !onFocusLoss);
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        EXPECT_TRUE(form->Machine()->IsRunning());
        form.reset();
        std::filesystem::remove_all(dir);
    }
}

// A data folder that cannot be written is told once, with where the files go instead; a
// long message wraps within the window, breaking a long path where it must.
TEST(MainForm, MessagesOverThePictureFitAndSayWhereFilesGo) {
    const auto dir = TestDir("messages");
    setenv("XDG_DATA_HOME", (dir / "xdg").c_str(), 1);
    std::ofstream(dir / "data") << "a file where the data folder should be";
    auto form = MakeForm(dir / "data");
    EXPECT_EQ(form->Files().DataFolder(), dir / "xdg" / "velmar");
    EXPECT_EQ(form->Notice().toStdString(), "The folder " + (dir / "data").string() +
                                                " cannot be written: games' files go to " +
                                                (dir / "xdg" / "velmar").string() + " instead.");
    const QString path = QStringLiteral("/a-rather-long-folder-name").repeated(12);
    form->ShowNotice(
        QStringLiteral("Save State failed: the folder %1 cannot be written").arg(path));
    EXPECT_LE(form->NoticeSize().width(), form->width() - 16);
    EXPECT_GE(form->NoticeSize().height(), 4 * form->fontMetrics().height());
    form.reset();
    unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(dir);
}

// Files stop growing past this many bytes while it lives, as on a disk that is full.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

std::string Head(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[4] = {};
    in.read(head, 4);
    return std::string(head, static_cast<std::size_t>(in.gcount()));
}

// A battery save or a capture that fails is told over the picture when it happens, the RAM
// is kept for the next try, the menu follows a capture that stopped by itself, and what fails
// at Exit is reported too.
TEST(MainForm, FailedSavesAndCapturesAreReported) {
    const auto dir = TestDir("failures");
    QStringList errors;
    auto form = MakeForm(dir, &errors);
    const auto click = [&form] { ClickLogo(*form); };
    form->Item("mBIOSJap")->trigger(); // the cartridge starts at once
    const auto ram = dir / "RAM" / "battery.RAM";
    std::filesystem::create_directories(ram); // in the way of the save
    form->LoadRomFile(QString::fromStdString(std::string(VELMAR_TEST_ROM_DIR) + "/battery.sms"));
    ASSERT_TRUE(WaitForFrames(*form, 30));
    emit form->Menu("mFile")->aboutToShow();
    EXPECT_TRUE(form->Notice().startsWith("Battery RAM not saved")) << form->Notice().toStdString();
    EXPECT_TRUE(form->Notice().contains("Is a directory")) << form->Notice().toStdString();
    std::filesystem::remove(ram);
    emit form->Menu("mFile")->aboutToShow(); // the next pause writes the RAM it kept
    EXPECT_EQ(Head(ram), "VLMR");

    // The disk fills during a capture: the reason at once, and Start Dump offered again.
    form->Item("mSDump")->trigger();
    ASSERT_TRUE(form->Item("mEDump")->isEnabled());
    {
        const FileSizeLimit limit(100'000);
        click();
        EXPECT_TRUE(WaitFor([&] { return form->Item("mSDump")->isEnabled(); }));
    }
    EXPECT_FALSE(form->Item("mEDump")->isEnabled());
    EXPECT_TRUE(form->Notice().startsWith("AVI Dump failed")) << form->Notice().toStdString();
    EXPECT_TRUE(form->Notice().contains("File too large")) << form->Notice().toStdString();

    // At Exit neither the capture nor the battery RAM can be finished: both are reported.
    emit form->Menu("mGraphics")->aboutToShow();
    form->Item("mSDump")->trigger();
    click();
    ASSERT_TRUE(WaitForFrames(*form, 30));
    emit form->Menu("mGraphics")->aboutToShow();
    {
        const FileSizeLimit limit(1);
        form->close();
    }
    ASSERT_EQ(errors.size(), 2) << errors.join('\n').toStdString();
    EXPECT_EQ(form->ExitFailures(), errors);
    EXPECT_TRUE(errors[0].startsWith("AVI Dump failed")) << errors[0].toStdString();
    EXPECT_TRUE(errors[1].startsWith("Battery RAM not saved")) << errors[1].toStdString();
    form.reset();
    std::filesystem::remove_all(dir);
}

// SIGTERM ends the program as Exit does, even while a message box is open as it starts (the
// time limit ends a program that missed it).
TEST(MainForm, StopSignalEndsTheProgramDuringAStartUpMessage) {
    const auto dir = TestDir("signal");
    std::filesystem::create_directories(dir / "RAM");
    // A save too large to read: the program keeps it and says so in a message box.
    { std::ofstream(dir / "RAM" / "battery.RAM") << "x"; }
    std::filesystem::resize_file(dir / "RAM" / "battery.RAM", (16u << 20) + 1);
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"};
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 &&
            std::strncmp(*e, "SDL_AUDIODRIVER=", 16) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string folder = dir.string();
    const std::string rom = std::string(VELMAR_TEST_ROM_DIR) + "/battery.sms";
    const char* argv[] = {VELMAR_DESKTOP, "--data-dir", folder.c_str(), rom.c_str(), nullptr};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execve(VELMAR_DESKTOP, const_cast<char**>(argv), envp.data());
        ::_exit(127);
    }
    // The spare file beside the save is made just before the message is shown.
    const auto files = [&] {
        return std::distance(std::filesystem::directory_iterator(dir / "RAM"), {});
    };
    for (int i = 0; i < 400 && files() < 2; ++i) QTest::qWait(50);
    QTest::qWait(300);
    ::kill(child, SIGTERM);
    int status = 0;
    pid_t done = 0;
    for (int i = 0; i < 400 && done == 0; ++i) {
        done = ::waitpid(child, &status, WNOHANG);
        if (done == 0) QTest::qWait(50);
    }
    if (done == 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "still running 20 s after SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
    EXPECT_EQ(std::filesystem::file_size(dir / "RAM" / "battery.RAM"), (16u << 20) + 1);
    std::filesystem::remove_all(dir);
}

TEST(MainForm, RomDialogListsSmsFilesInAnyCase) {
    test::TestApplication();
    const auto dir = TestDir("dialog");
    for (const char* name : {"a.sms", "B.SMS", "c.Sms", "d.txt", "e.SG", "f.zip", "g.sgx"})
        std::ofstream(dir / name) << "x";
    const auto dialog = TMainForm::MakeRomDialog(nullptr, QString::fromStdString(dir.string()));
    EXPECT_EQ(dialog->nameFilters(),
              QStringList{"Master System and SG-1000 ROM Files (*.SMS *.SG *.ZIP)"});
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex root = model->index(QString::fromStdString(dir.string()));
    QTRY_COMPARE(model->rowCount(root), model->nameFilterDisables() ? 7 : 5);
    QStringList shown;
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex i = model->index(row, 0, root);
        if (model->flags(i) & Qt::ItemIsEnabled) shown << model->fileName(i);
    }
    shown.sort();
    EXPECT_EQ(shown, (QStringList{"B.SMS", "a.sms", "c.Sms", "e.SG", "f.zip"}));
    std::filesystem::remove_all(dir);
}

// The mapper choice belongs to the game: remembered in Velmar.ini under its name and taken
// up when it is loaded again. A zip that cannot be played leaves the running game alone.
TEST(MainForm, MapperAndRegionChoicesAreRememberedAndBadZipsKeepTheGame) {
    const auto dir = TestDir("mapper");
    QStringList errors;
    auto form = MakeForm(dir, &errors);
    std::vector<std::uint8_t> rom;
    ASSERT_TRUE(
        ReadWholeFile(std::string(VELMAR_TEST_ROM_DIR) + "/mapper_codemasters.sms", rom, 1 << 20));
    ASSERT_TRUE(WriteFileAtomic(dir / "Micro [=].zip", testing::MakeZip({{"m.sms", rom}})));
    const QString game = QString::fromStdString((dir / "Micro [=].zip").string());
    const QString other = QString::fromStdString(std::string(VELMAR_TEST_ROM_DIR) + "/battery.sms");

    form->LoadRomFile(game);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    EXPECT_EQ(form->Machine()->GetRamFileName(), (dir / "RAM" / "Micro [=].RAM").string());
    EXPECT_TRUE(form->Item("mMapper")->isEnabled());
    EXPECT_TRUE(form->Item("mMapperAuto")->isChecked());
    EXPECT_EQ(form->Item("mMapperAuto")->text(), "Auto (Codemasters)");
    EXPECT_EQ(form->Machine()->GetMapper(), MapperKind::Codemasters);

    emit form->Menu("mFile")->aboutToShow();
    form->Item("mMapperKorean")->trigger();
    EXPECT_EQ(form->Machine()->GetMapper(), MapperKind::Korean);
    EXPECT_FALSE(form->Machine()->IsRunning()) << "reset, and paused as after a firmware change";
    EXPECT_EQ(ProfileFile(dir / "Velmar.ini").Read("MAPPER", "Micro%20%5B%3D%5D", ""), "korean");

    form->LoadRomFile(other);
    EXPECT_TRUE(form->Item("mMapperAuto")->isChecked());
    EXPECT_EQ(form->Item("mMapperAuto")->text(), "Auto (Sega)");
    EXPECT_EQ(form->Machine()->GetMapper(), MapperKind::Sega);
    form->LoadRomFile(game);
    EXPECT_TRUE(form->Item("mMapperKorean")->isChecked());
    EXPECT_EQ(form->Machine()->GetMapper(), MapperKind::Korean);

    // The region is the console's, kept in Velmar.ini for the next start.
    form->Item("mRegionPAL")->trigger();
    EXPECT_EQ(form->Machine()->GetRegion(), ConsoleRegion::Pal);
    EXPECT_EQ(form->Machine()->GetPresenter().FramesPerSecond, 50u);
    EXPECT_EQ(ProfileFile(dir / "Velmar.ini").Read("GENERAL_OPTIONS", "REGION", ""), "pal");
    form.reset();
    form = MakeForm(dir, &errors);
    EXPECT_EQ(form->Machine()->GetRegion(), ConsoleRegion::Pal);
    EXPECT_TRUE(form->Item("mRegionPAL")->isChecked());
    form->LoadRomFile(game);

    // A damaged zip: one message naming it; the game, its files and its mapper stay.
    auto damaged = testing::MakeZip({{"m.sms", rom}});
    damaged.resize(damaged.size() / 2);
    ASSERT_TRUE(WriteFileAtomic(dir / "damaged.zip", damaged));
    const auto image = form->Machine()->GetConsole().Cpu.RomImage;
    form->LoadRomFile(QString::fromStdString((dir / "damaged.zip").string()));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("damaged.zip")) << errors[0].toStdString();
    EXPECT_EQ(form->Machine()->GetConsole().Cpu.RomImage, image);
    EXPECT_EQ(form->Machine()->GetRamFileName(), (dir / "RAM" / "Micro [=].RAM").string());
    EXPECT_EQ(form->Machine()->GetMapper(), MapperKind::Korean);
    form.reset();
    std::filesystem::remove_all(dir);
}

TEST(PadInput, DevicesByControllerTypeAndNothingWhenNotInFront) {
    KeyStateTable table;
    KeyboardDevice keys1(table), keys2(table);
    ScriptedInput joystick;
    bool inFront = true;
    PadInput pad1(&keys1, &joystick, [&] { return inFront; });
    PadInput pad2(&keys2, &joystick, [&] { return inFront; });
    ControllerSetup setup = ControllerSetup::Defaults();
    setup.Pad2.Joypad = true;
    ConfigurePads(setup, keys1, keys2, pad1, pad2);
    EXPECT_TRUE(pad1.KeyboardOn() && !pad1.JoystickOn());
    EXPECT_TRUE(!pad2.KeyboardOn() && pad2.JoystickOn());

    table.Press({13, 0}); // pad 1's Pause key: Button3 of its keyboard
    table.Press({37, 0});
    InputState stick;
    stick.set(kInputUp);
    joystick.SetState(stick);
    pad1.Update();
    pad2.Update();
    EXPECT_TRUE(pad1.State().test(kInputButton1 + 2) && pad1.State().test(kInputLeft));
    EXPECT_EQ(pad2.State(), stick);
    inFront = false;
    pad1.Update();
    pad2.Update();
    EXPECT_TRUE(pad1.State().none() && pad2.State().none());

    // Both on the joystick: pad 1 has it, pad 2 keeps the keyboard.
    setup.Pad1.Joypad = true;
    ConfigurePads(setup, keys1, keys2, pad1, pad2);
    EXPECT_TRUE(!pad1.KeyboardOn() && pad1.JoystickOn());
    EXPECT_TRUE(pad2.KeyboardOn() && !pad2.JoystickOn());
}

} // namespace
} // namespace velmar
