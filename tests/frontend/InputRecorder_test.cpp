// A play-through recorded through the window's recorder, fed by the machine's own input
// step (frames run by a driver and by the emulation thread, the reset button both ways,
// pauses that silence the sound chip, a state loaded first), replays through velmar-cli to
// the same state and picture.
#include "TestSupport.h"
#include "frontend/InputRecorder.h"
#include "frontend/MainForm.h"
#include "frontend/QtTestSupport.h"
#include "machine/TSMS.h"

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace velmar {
namespace {

namespace fs = std::filesystem;

const std::string kHello = std::string(VELMAR_EXAMPLE_DIR) + "/hello.sms";

fs::path TestDir(const char* name) {
    const auto dir = fs::temp_directory_path() / ("velmar-record-" + std::string(name));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A pad whose polls can be counted from another thread while the machine runs.
class CountedPad final : public InputDevice {
  public:
    void Update() override {
        state_ = next_;
        Polls.fetch_add(1);
    }
    InputState State() const override { return state_; }
    void SetState(const InputState& state) { next_ = state; } // while no frame runs
    std::atomic<int> Polls{0};

  private:
    InputState next_{}, state_{};
};

InputState Held(std::initializer_list<std::size_t> flags) {
    InputState s;
    for (const std::size_t f : flags) s.set(f);
    return s;
}

TEST(InputRecorder, APlayThroughReplaysToTheSameStateAndPicture) {
    const fs::path dir = TestDir("replay");
    CountedPad pad1, pad2;
    MachineServices services;
    services.Input1 = &pad1;
    services.Input2 = &pad2;
    auto machine = std::make_unique<TSMS>(services);
    machine->SetKeys(0, 1, 0, 1, 2);
    ASSERT_TRUE(machine->LoadCartridge(kHello));
    for (int f = 0; f < 150; ++f) machine->RunFrame();
    ASSERT_TRUE(machine->SaveStateToFile(dir / "saved.vlr"));
    for (int f = 0; f < 20; ++f) machine->RunFrame();
    ASSERT_TRUE(machine->LoadStateFromFile(dir / "saved.vlr"));
    pad1.SetState(Held({kInputRight}));
    for (int f = 0; f < 7; ++f) machine->RunFrame();

    InputRecorder recorder;
    const fs::path file = dir / "play.vrec";
    ASSERT_TRUE(recorder.Start(*machine, file, "hello"));
    pad1.SetState(Held({kInputRight, kInputButton1}));
    for (int f = 0; f < 30; ++f) machine->RunFrame();
    machine->GameReset(); // between frames: pressed for the next one
    pad1.SetState(Held({kInputButton1 + 2}));
    for (int f = 0; f < 5; ++f) machine->RunFrame();
    // Frames on the emulation thread: a reset asked for while it runs, pauses in between.
    pad1.SetState(Held({kInputLeft}));
    for (int run = 0; run < 3; ++run) {
        machine->ResumeEmulation();
        if (run == 1) machine->GameReset();
        const int polls = pad1.Polls.load();
        while (pad1.Polls.load() < polls + 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        machine->PauseEmulation();
        pad1.SetState(Held({run == 0 ? kInputRight : kInputButton1}));
    }
    pad1.SetState({});
    machine->RunFrame();
    const std::size_t frames = recorder.Frames();
    ASSERT_TRUE(recorder.Stop());
    EXPECT_FALSE(recorder.Recording());

    RecordingFiles read;
    ASSERT_TRUE(ReadRecordingFiles(file, read));
    const std::vector<FrameInput>& recorded = read.Recording.Frames;
    ASSERT_EQ(recorded.size(), frames);
    const auto count = [&](std::uint32_t key) {
        return std::count_if(recorded.begin(), recorded.end(),
                             [key](const FrameInput& in) { return (in.Keys & key) != 0; });
    };
    EXPECT_EQ(count(kKeyReset), 2);
    EXPECT_EQ(count(kKeySilence), 3);
    EXPECT_EQ(read.State.size(), console::kStateFileSize);
    EXPECT_EQ(read.Recording.RomName, "hello");

    const fs::path state = dir / "replayed.vlr", shot = dir / "replayed.bmp";
    int status = 0;
    const std::string out = testing::RunCommand(
        std::string("'") + VELMAR_CLI + "' run --input '" + file.string() + "' '" + kHello +
            "' --data-dir '" + dir.string() + "' --state-out '" + state.string() +
            "' --screenshot '" + shot.string() + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(testing::ReadBytes(state), machine->StateBytes());
    EXPECT_EQ(testing::ReadBytes(shot), machine->SnapshotBmp());

    // Another ROM is refused, by name and hash.
    const std::string other = std::string(VELMAR_TEST_ROM_DIR) + "/scroll.sms";
    const std::string refused =
        testing::RunCommand(std::string("'") + VELMAR_CLI + "' run --input '" + file.string() +
                                "' '" + other + "' --data-dir '" + dir.string() + "' 2>&1",
                            &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(refused.find("the recording was made for 'hello'"), std::string::npos) << refused;
}

// The window's items start and stop a recording; a command that changes the console another
// way (here a console reset) ends it, saves it and says so.
TEST(InputRecorder, TheFileMenuRecordsAndAResetEndsTheRecording) {
    const fs::path dir = TestDir("menu");
    test::TestApplication();
    TMainForm::Options options;
    options.DataFolder = dir;
    options.OpenSoundDevice = false;
    TMainForm form(options);
    form.ShowError = [](const QString&) {};
    form.LoadRomFile(QString::fromStdString(kHello));
    form.RecordInputTo(QString::fromStdString((dir / "a.vrec").string()));
    EXPECT_TRUE(form.Recorder().Recording());
    EXPECT_FALSE(form.Item("mRecordInput")->isEnabled());
    EXPECT_TRUE(form.Item("mStopRecording")->isEnabled());
    for (int i = 0; i < 100 && form.FramesShown() < 10; ++i) QTest::qWait(10);
    form.Item("mConsoleReset")->trigger();
    EXPECT_FALSE(form.Recorder().Recording());
    EXPECT_TRUE(form.Item("mRecordInput")->isEnabled());
    EXPECT_TRUE(form.Notice().startsWith("Recording stopped: the console was reset; saved"))
        << form.Notice().toStdString();
    RecordingFiles read;
    EXPECT_TRUE(ReadRecordingFiles(dir / "a.vrec", read));
}

} // namespace
} // namespace velmar
