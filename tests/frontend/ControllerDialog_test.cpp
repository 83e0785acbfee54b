#include "frontend/ControllerDialog.h"
#include "frontend/MainForm.h"

#include "QtTestSupport.h"

#include <QAction>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace velmar {
namespace {

// Keys and buttons held as the test says; counts its readings.
class FakeSource final : public CaptureSource {
  public:
    void SetOn(bool on) override { On = on; }
    void Update() override {
        ++Updates;
        if (BeforeUpdate) BeforeUpdate();
    }
    bool KeyHeld(std::uint32_t code) const override { return On && Keys.count(code) != 0; }
    bool ButtonHeld(int button) const override { return On && Buttons.count(button) != 0; }
    bool JoystickPresent() const override { return Present; }
    std::vector<std::string> JoystickNames() override {
        return Present ? Names : std::vector<std::string>{};
    }
    std::optional<std::array<int, 3>> GamepadButtons() const override { return Gamepad; }

    std::set<std::uint32_t> Keys;
    std::set<int> Buttons;
    bool Present = true;
    std::vector<std::string> Names = {"Test Stick"};
    std::optional<std::array<int, 3>> Gamepad;
    bool On = false;
    int Updates = 0;
    std::function<void()> BeforeUpdate;
};

// Runs the event loop until done() holds (the capture's pauses are 0 ms here).
bool RunUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20000 && !done(); ++i) QCoreApplication::processEvents();
    return done();
}

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}

// A dialog on a fake source with instant pauses, recording the prompts and pauses it shows.
struct Rig {
    explicit Rig(bool present = true) {
        test::TestApplication();
        auto fake = std::make_unique<FakeSource>();
        source = fake.get();
        source->Present = present;
        dialog = std::make_unique<TfrmController>(std::move(fake));
        dialog->TimeScale = 0;
        dialog->PauseObserver = [this](int ms) { pauses.push_back(ms); };
    }
    QLabel* Message(int pad) const { return pad == 1 ? dialog->lblMSGPL1 : dialog->lblMSGPL2; }
    // Clicks Redefine Keys and answers prompt k with answer(k) on the second reading of
    // that prompt; the prompts are recorded in order.
    void Redefine(int pad, const std::function<void(int prompt)>& answer) {
        std::string last;
        source->BeforeUpdate = [this, pad, &last, &answer] {
            const std::string shown = Text(Message(pad));
            if (shown == last) {
                answer(static_cast<int>(prompts.size()));
                return;
            }
            prompts.push_back(shown);
            last = shown;
            source->Keys.clear();
            source->Buttons.clear();
            // Nothing answers the first reading; every control but Cancel is off.
            EXPECT_FALSE(dialog->btnOK->isEnabled() || dialog->rdP1K->isEnabled() ||
                         dialog->btnDefSeqP2->isEnabled() || dialog->rdP2J->isEnabled());
            EXPECT_TRUE(dialog->btnCancel->isEnabled());
        };
        (pad == 1 ? dialog->btnDefSeqP1 : dialog->btnDefSeqP2)->click();
        EXPECT_TRUE(RunUntil([this] { return !dialog->Capturing(); }));
        source->BeforeUpdate = nullptr;
    }

    FakeSource* source;
    std::unique_ptr<TfrmController> dialog;
    std::vector<std::string> prompts;
    std::vector<int> pauses;
};

TEST(ControllerDialogTest, ChoiceRulesKeepAtMostOnePadOnTheJoystick) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    EXPECT_EQ(d.windowTitle(), "Controller Configuration and Key Assignments");
    EXPECT_EQ(d.size(), QSize(426, 269)); // a line for the joysticks' names under the pads
    EXPECT_EQ(d.grpJoypadP2->title(), " Control Pad 2 ");
    EXPECT_EQ(d.grpRedefP1->title(), " New Keys ");
    EXPECT_EQ(d.btnDefSeqP2->geometry(), QRect(40, 32, 121, 25));
    EXPECT_EQ(d.btnCancel->geometry(), QRect(225, 238, 110, 25));

    // Stored choices shown by PrepareDialog: checked and enabled joystick choices per pad.
    struct Shown {
        std::uint8_t Pad1, Pad2;
        bool P1J, P2J, P1JEnabled, P2JEnabled;
    };
    for (const Shown& s :
         {Shown{0, 0, false, false, true, true}, Shown{1, 0, true, false, true, false},
          Shown{0, 1, false, true, false, true}, Shown{1, 1, true, false, true, false}}) {
        d.Pad1Joystick = s.Pad1;
        d.Pad2Joystick = s.Pad2;
        d.PrepareDialog();
        EXPECT_EQ(d.rdP1J->isChecked(), s.P1J) << int(s.Pad1) << int(s.Pad2);
        EXPECT_EQ(d.rdP2J->isChecked(), s.P2J) << int(s.Pad1) << int(s.Pad2);
        EXPECT_EQ(d.rdP1K->isChecked(), !s.P1J);
        EXPECT_EQ(d.rdP1J->isEnabled(), s.P1JEnabled) << int(s.Pad1) << int(s.Pad2);
        EXPECT_EQ(d.rdP2J->isEnabled(), s.P2JEnabled) << int(s.Pad1) << int(s.Pad2);
        EXPECT_EQ(Text(d.lblMSGPL2), "Press [Redefine] to change");
    }
    EXPECT_TRUE(rig.source->On);

    d.Pad1Joystick = d.Pad2Joystick = 0;
    d.PrepareDialog();
    d.rdP1J->click();
    EXPECT_TRUE(d.rdP2K->isChecked());
    EXPECT_FALSE(d.rdP2J->isEnabled());
    d.rdP1K->click();
    EXPECT_TRUE(d.rdP2J->isEnabled());
    d.rdP2J->click();
    EXPECT_TRUE(d.rdP1K->isChecked());
    EXPECT_FALSE(d.rdP1J->isEnabled());
    d.rdP2K->click();
    EXPECT_TRUE(d.rdP1J->isEnabled());

    // No joystick attached: neither pad can choose it, whatever the other pad does, until
    // one is plugged in while the dialog is open.
    Rig none(false);
    none.dialog->Pad1Joystick = 1;
    none.dialog->PrepareDialog();
    none.dialog->rdP1K->click();
    EXPECT_FALSE(none.dialog->rdP1J->isEnabled());
    EXPECT_FALSE(none.dialog->rdP2J->isEnabled());
    EXPECT_EQ(Text(none.dialog->lblJoysticks), "No joystick attached");
    none.source->Present = true;
    none.source->Names = {"Pad One", "Pad Two"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return none.dialog->rdP1J->isEnabled(); }, 5000));
    EXPECT_EQ(Text(none.dialog->lblJoysticks), "Joystick: Pad One; Pad Two (the first plays)");
}

// A gamepad SDL knows gives the pad chosen for it its A, B and Start, to be written at OK as
// a redefinition; one redefined by hand in the same showing keeps what was pressed.
TEST(ControllerDialogTest, AKnownGamepadGivesItsButtonsWhenChosen) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    rig.source->Gamepad = std::array<int, 3>{2, 1, 9};
    d.PrepareDialog();
    d.rdP1J->click();
    EXPECT_EQ(d.Pad1Redefined, 1);
    EXPECT_EQ(Text(d.lblMSGPL1), "Gamepad: A, B and Start");
    EXPECT_EQ(d.KeyCodes[4], 2);
    EXPECT_EQ(d.KeyCodes[5], 1);
    EXPECT_EQ(d.KeyCodes[6], 9);
    rig.Redefine(1, [&](int asked) { rig.source->Buttons = {20 + asked}; });
    EXPECT_EQ(d.KeyCodes[4], 21) << "redefined by hand";
    d.rdP1J->click();
    EXPECT_EQ(d.KeyCodes[4], 21) << "kept when chosen again";
    d.rdP1K->click(); // back to the keyboard: the redefinition is forgotten
    EXPECT_EQ(d.Pad1Redefined, 0);
    d.rdP2J->click();
    EXPECT_EQ(d.Pad2Redefined, 1);
    EXPECT_EQ(d.KeyCodes[11], 2);
    EXPECT_EQ(d.KeyCodes[12], 1);
    d.rdP2K->click();
    d.rdP1J->click();
    EXPECT_EQ(d.KeyCodes[4], 2) << "chosen again: the gamepad's once more";
}

TEST(ControllerDialogTest, RedefineAsksEachPromptAndStoresTheAnswers) {
    const std::vector<std::string> all = {"Press key for UP",       "Press key for DOWN",
                                          "Press key for LEFT",     "Press key for RIGHT",
                                          "Press key for Button 1", "Press key for Button 2",
                                          "Press key for Pause"};
    struct Case {
        int Pad;
        bool Joystick;
        std::size_t First, Count; // prompts asked, within the seven above
        std::size_t Entry;        // KeyCodes entry of the first answer
    };
    for (const Case& c : {Case{1, false, 0, 7, 0}, Case{2, false, 0, 6, 7}, Case{1, true, 4, 3, 4},
                          Case{2, true, 4, 2, 11}}) {
        Rig rig;
        TfrmController& d = *rig.dialog;
        d.PrepareDialog();
        if (c.Joystick) (c.Pad == 1 ? d.rdP1J : d.rdP2J)->click();
        const auto before = d.KeyCodes;
        rig.Redefine(c.Pad, [&](int asked) {
            if (c.Joystick)
                rig.source->Buttons = {20 + asked};
            else
                rig.source->Keys = {static_cast<std::uint32_t>(60 + asked)};
        });
        const std::vector<std::string> expected(all.begin() + static_cast<long>(c.First),
                                                all.begin() + static_cast<long>(c.First + c.Count));
        EXPECT_EQ(rig.prompts, expected) << c.Pad << c.Joystick;
        auto want = before;
        for (std::size_t i = 0; i < c.Count; ++i)
            want[c.Entry + i] = static_cast<std::uint8_t>((c.Joystick ? 20 : 60) + i + 1);
        EXPECT_EQ(d.KeyCodes, want) << c.Pad << c.Joystick; // nothing else changes
        EXPECT_EQ(Text(rig.Message(c.Pad)), "Configuration Sucessful!");
        EXPECT_EQ(c.Pad == 1 ? d.Pad1Redefined : d.Pad2Redefined, 1);
        EXPECT_EQ(c.Pad == 1 ? d.Pad2Redefined : d.Pad1Redefined, 0);
        EXPECT_TRUE(d.btnOK->isEnabled() && d.btnDefSeqP1->isEnabled() && d.rdP2K->isEnabled());
        // Per prompt: 200 ms after the empty reading, the accept pause, 200 ms.
        std::vector<int> pauses;
        for (std::size_t i = 0; i < c.Count; ++i)
            pauses.insert(pauses.end(), {200, c.Joystick ? 700 : 500, 200});
        EXPECT_EQ(rig.pauses, pauses);
    }
}

TEST(ControllerDialogTest, LowestHeldCandidateWinsAndAHeldKeyAnswersTheNextPrompt) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    d.PrepareDialog();
    // Held from the first reading to the last: every prompt takes the lowest held key.
    rig.source->Keys = {200, 90, 65};
    d.btnDefSeqP2->click();
    ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    for (std::size_t i = 7; i < 13; ++i) EXPECT_EQ(d.KeyCodes[i], 65) << i;
    EXPECT_EQ(rig.source->Updates, 6);
    EXPECT_EQ(rig.pauses,
              (std::vector<int>{500, 200, 500, 200, 500, 200, 500, 200, 500, 200, 500, 200}));

    rig.source->Keys.clear();
    rig.source->Buttons = {31, 7, 3};
    d.rdP1J->click();
    d.btnDefSeqP1->click();
    ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    EXPECT_EQ(d.KeyCodes[4], 3);
    EXPECT_EQ(d.KeyCodes[6], 3);
}

// Keys come from the dialog's key events too: a tap pressed and released between two
// readings answers the prompt.
TEST(ControllerDialogTest, ATapBetweenTwoReadingsAnswersThePrompt) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    d.PrepareDialog();
    const Qt::Key taps[] = {Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_R, Qt::Key_T, Qt::Key_Y};
    std::size_t tapped = 0;
    rig.source->BeforeUpdate = [&] {
        if (tapped < std::size(taps)) QTest::keyClick(&d, taps[tapped++]);
    };
    d.btnDefSeqP2->click();
    ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    const std::array<std::uint8_t, 6> want = {'Q', 'W', 'E', 'R', 'T', 'Y'};
    EXPECT_TRUE(std::equal(want.begin(), want.end(), d.KeyCodes.begin() + 7));
}

TEST(ControllerDialogTest, EscCancelOrClosingAbortsACaptureAndLeavesThePadAsItWas) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    d.Pad1Joystick = 1;
    d.PrepareDialog();
    d.show();
    const auto codes = d.KeyCodes;
    const std::function<void()> aborts[] = {
        [&] { QTest::keyClick(&d, Qt::Key_Escape); },
        [&] { d.btnCancel->click(); },
        [&] { d.close(); },
    };
    for (const auto& abort : aborts) {
        // Button 1 is answered; then the joystick goes quiet and the capture waits.
        rig.source->Buttons = {5};
        rig.source->BeforeUpdate = [&] {
            if (Text(d.lblMSGPL1) == "Press key for Button 2") rig.source->Buttons.clear();
        };
        d.btnDefSeqP1->click();
        const int start = rig.source->Updates;
        ASSERT_TRUE(RunUntil([&] { return rig.source->Updates > start + 3; }));
        EXPECT_EQ(Text(d.lblMSGPL1), "Press key for Button 2");
        EXPECT_EQ(d.KeyCodes[4], 5);
        abort();
        EXPECT_FALSE(d.Capturing());
        EXPECT_TRUE(d.isVisible()); // only the capture ended
        EXPECT_EQ(d.result(), 0);
        EXPECT_EQ(d.KeyCodes, codes);
        EXPECT_EQ(d.Pad1Redefined, 0);
        EXPECT_EQ(Text(d.lblMSGPL1), "Press [Redefine] to change");
        EXPECT_TRUE(d.btnOK->isEnabled() && d.rdP1J->isEnabled() && !d.rdP2J->isEnabled());
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&d, &repeat); // Esc still held: the dialog stays
        EXPECT_TRUE(d.isVisible());
        const int updates = rig.source->Updates;
        QTest::qWait(5);
        EXPECT_EQ(rig.source->Updates, updates); // nothing runs on
    }
    // Idle, Cancel closes.
    d.btnCancel->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), QDialog::Rejected);
    EXPECT_FALSE(rig.source->On);
}

TEST(ControllerDialogTest, APadThatChangesTypeAfterItsRedefinitionIsNoLongerRedefined) {
    Rig rig;
    TfrmController& d = *rig.dialog;
    d.PrepareDialog();
    rig.source->Keys = {65};
    rig.source->Buttons = {1};
    d.btnDefSeqP1->click(); // keyboard
    ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    d.rdP2J->click();
    d.btnDefSeqP2->click(); // joystick
    ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    ASSERT_EQ(d.Pad1Redefined + d.Pad2Redefined, 2);
    d.rdP2K->click();
    EXPECT_EQ(d.Pad1Redefined, 1);
    EXPECT_EQ(d.Pad2Redefined, 0);
    EXPECT_EQ(Text(d.lblMSGPL2), "Press [Redefine] to change");
    d.rdP1J->click();
    EXPECT_EQ(d.Pad1Redefined, 0);
    EXPECT_EQ(Text(d.lblMSGPL1), "Press [Redefine] to change");
    d.rdP1K->click(); // back again: still not redefined
    EXPECT_EQ(d.Pad1Redefined, 0);
}

// The main window's command over a file in a folder of its own.
class ControllerCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("velmar-ctl-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string FileText(const std::filesystem::path& file) const {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // Runs the command; inside the shown dialog, script() acts and closes it.
    void Run(ProfileFile& ini, const std::function<void(TfrmController&)>& script) {
        TfrmController& d = *rig_.dialog;
        ControllerCommand command{&d, &ini, [this] { log_ += "release;"; },
                                  [this] { log_ += "load;"; },
                                  [this](const QString& e) { log_ += e.toStdString() + ";"; }};
        QTimer::singleShot(0, &d, [&] {
            log_ += "shown;";
            script(d);
            if (d.isVisible()) d.reject();
        });
        command.Run();
    }
    // Redefines a pad holding one key or button all through.
    void Redefine(TfrmController& d, int pad, std::uint32_t key, int button) {
        rig_.source->Keys = {key};
        rig_.source->Buttons = {button};
        (pad == 1 ? d.btnDefSeqP1 : d.btnDefSeqP2)->click();
        ASSERT_TRUE(RunUntil([&] { return !d.Capturing(); }));
    }

    std::filesystem::path dir_;
    Rig rig_;
    std::string log_;
};

TEST_F(ControllerCommandTest, OkWritesOnlyTheRedefinedPadsInOrderAndCancelNothing) {
    ProfileFile ini(dir_ / "Velmar.ini");
    // Pad 2 alone, on the keyboard.
    Run(ini, [&](TfrmController& d) {
        d.rdP1J->click(); // a type change alone is not stored
        Redefine(d, 2, 65, 0);
        d.btnOK->click();
    });
    EXPECT_EQ(log_, "release;shown;load;");
    EXPECT_EQ(FileText(ini.Path()), "[CONTROLLER_2]\nUP=65\nDOWN=65\nLEFT=65\nRIGHT=65\n"
                                    "BUTTON_1=65\nBUTTON_2=65\nJOYPAD=0\n");
    // Both pads, pad 1 on the joystick: its directions keep the stored keys.
    ASSERT_TRUE(WritePadSetup(ini, 1, {87, 83, 65, 68, 67, 88, 13, false}));
    Run(ini, [&](TfrmController& d) {
        EXPECT_TRUE(d.rdP1K->isChecked());
        d.rdP1J->click();
        Redefine(d, 1, 66, 9);
        Redefine(d, 2, 70, 0);
        d.btnOK->click();
    });
    EXPECT_EQ(FileText(ini.Path()),
              "[CONTROLLER_2]\nUP=70\nDOWN=70\nLEFT=70\nRIGHT=70\nBUTTON_1=70\nBUTTON_2=70\n"
              "JOYPAD=0\n[CONTROLLER_1]\nUP=87\nDOWN=83\nLEFT=65\nRIGHT=68\nBUTTON_1=9\n"
              "BUTTON_2=9\nBUTTON_3=9\nJOYPAD=1\n");
    // Cancel after redefining: nothing written, the set-up reloaded.
    const std::string stored = FileText(ini.Path());
    log_.clear();
    Run(ini, [&](TfrmController& d) {
        EXPECT_TRUE(d.rdP1J->isChecked());
        d.rdP1K->click();
        d.rdP2J->click();
        Redefine(d, 2, 0, 4);
        d.btnCancel->click();
    });
    EXPECT_EQ(log_, "release;shown;load;");
    EXPECT_EQ(FileText(ini.Path()), stored);
    // Reopened, the dialog shows the stored choices, not the cancelled ones.
    Run(ini, [&](TfrmController& d) {
        EXPECT_TRUE(d.rdP1J->isChecked());
        EXPECT_TRUE(d.rdP2K->isChecked());
        EXPECT_FALSE(d.rdP2J->isEnabled());
        EXPECT_EQ(d.Pad2Redefined, 0);
        d.btnOK->click();
    });
    EXPECT_EQ(FileText(ini.Path()), stored);
}

TEST_F(ControllerCommandTest, AFailedWriteIsShownAndThePadsStillReload) {
    ProfileFile ini(dir_ / "missing" / "Velmar.ini");
    Run(ini, [&](TfrmController& d) {
        Redefine(d, 1, 65, 0);
        Redefine(d, 2, 66, 0);
        d.btnOK->click();
    });
    EXPECT_EQ(log_, "release;shown;Unable to write to " + ini.Path().string() + ";load;");
}

// The window's own command: keys come from the window's key table, so the captured key
// is the one play reads.
TEST_F(ControllerCommandTest, TheWindowCapturesFromItsKeyTableAndStoresOnOk) {
    test::TestApplication();
    TMainForm form({dir_, false});
    form.show();
    TfrmController& d = form.ControllerDialog();
    d.TimeScale = 0;
    QTimer::singleShot(0, &d, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(&d));
        QTest::keyPress(&d, Qt::Key_A);
        d.btnDefSeqP1->click();
        RunUntil([&] { return !d.Capturing(); });
        QTest::keyRelease(&d, Qt::Key_A);
        d.btnOK->click();
    });
    form.Item("mConfig")->trigger();
    ProfileFile ini(dir_ / "Velmar.ini");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "UP", ""), "65");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "BUTTON_3", ""), "65");
    EXPECT_EQ(ini.Read("CONTROLLER_1", "JOYPAD", ""), "0");
    if (const char* shot = std::getenv("VELMAR_DIALOG_SHOT")) {
        d.PrepareDialog();
        d.lblMSGPL2->setText(QStringLiteral("Press key for Button 1"));
        d.btnDefSeqP2->setEnabled(false);
        d.grab().save(QString::fromLocal8Bit(shot));
    }
}

} // namespace
} // namespace velmar
