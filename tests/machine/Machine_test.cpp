#include "MachineTestSupport.h"

#include "files/BatteryFiles.h"
#include "platform/TextCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

using namespace velmar;
using namespace velmar::testing;

namespace {

constexpr std::uint8_t kCartridgeMapped = 0x08;

// Loads a cartridge of NOPs and maps it, skipping the firmware: the CPU then walks through
// memory one 4-T-state instruction at a time.
void StartNopSlide(TSMS& m, const TempFolder& dir) {
    m.Reset();
    ASSERT_TRUE(m.LoadCartridge(WriteRom(dir / "nop.sms", std::vector<std::uint8_t>(32768, 0))));
    m.GetConsole().Cpu.MemoryControl = kCartridgeMapped;
}

TEST(Machine, DefaultsAfterCreation) {
    HeadlessMachine m;
    EXPECT_FALSE(m->GetReady());
    EXPECT_EQ(m->GetPresenter().FramesPerSecond, 60u);
    EXPECT_EQ(m->GetConsole().ClockHz, 3579545u);
    EXPECT_EQ(m->GetPresenter().SamplesPerFrame, 735);
    EXPECT_EQ(m->GetPresenter().StreamBytes, 17640);
    EXPECT_EQ(m->GetPresenter().WaveFormat.AvgBytesPerSec, 88200u);
    EXPECT_EQ(m->GetPresenter().WaveFormat.BlockAlign, 2);
    EXPECT_EQ(m->GetConsole().MixerOn, 1);
    EXPECT_EQ(m->GetPresenter().Hq2xOn, 1);
    EXPECT_EQ(m->GetConsole().Cpu.BiosType, 1);
    EXPECT_EQ(m->GetConsole().Fm.ReadControl(), 0) << "the FM unit starts switched off";
    EXPECT_EQ(m->GetPresenter().PerfFrequency, 1000);
}

TEST(Machine, FrameskipDrawsOneFrameInNPlusOne) {
    HeadlessMachine m;
    m->SetFrameskip(3);
    std::vector<bool> drawn;
    std::vector<int> counter;
    for (int frame = 0; frame < 9; ++frame) {
        m->RunFrame();
        drawn.push_back(m->GetConsole().LastFrameDrawn);
        counter.push_back(m->GetConsole().FrameskipCounter);
    }
    // After each decrement the counter read -1, 2, 1, 0, -1 ...; a drawn frame reloads it.
    EXPECT_EQ(drawn,
              (std::vector<bool>{true, false, false, false, true, false, false, false, true}));
    EXPECT_EQ(counter, (std::vector<int>{3, 2, 1, 0, 3, 2, 1, 0, 3}));

    // A new value takes effect when the counter next runs out.
    m->SetFrameskip(1);
    drawn.clear();
    for (int frame = 0; frame < 6; ++frame) {
        m->RunFrame();
        drawn.push_back(m->GetConsole().LastFrameDrawn);
    }
    EXPECT_EQ(drawn, (std::vector<bool>{false, false, false, true, false, true}));
}

TEST(Machine, EveryFrameRunsTheSameCpuTimeWithOrWithoutSound) {
    TempFolder dir;
    HeadlessMachine m;
    StartNopSlide(*m.Machine, dir);
    m->RunFrame();
    EXPECT_EQ(m->GetConsole().Cpu.PC, 59736 / 4) << "one frame is 59736 T-states";
    EXPECT_EQ(m->GetConsole().Cpu.R, static_cast<std::uint8_t>(3 * (59736 / 4)));

    StartNopSlide(*m.Machine, dir);
    m->SetMixer(0);
    std::fill(m->GetConsole().SampleBuffer.begin(), m->GetConsole().SampleBuffer.end(),
              std::int16_t{7});
    m->RunFrame();
    EXPECT_EQ(m->GetConsole().Cpu.PC, 59736 / 4);
    EXPECT_TRUE(std::all_of(m->GetConsole().SampleBuffer.begin(),
                            m->GetConsole().SampleBuffer.begin() + 8192,
                            [](std::int16_t s) { return s == 0; }));
    EXPECT_EQ(m->GetConsole().SampleBuffer[8192], 7);
    // The stream carries that silence.
    const auto& stream = m.Sound.Data();
    EXPECT_TRUE(std::all_of(stream.begin(), stream.begin() + 1470, [](auto b) { return b == 0; }));
}

// A PAL console: 313 lines of 228 T-states a frame and 882 samples, 50 frames a second. The
// stream keeps its 200 ms (ten frames) and the writer its lead of three frames; back on NTSC
// the 60 Hz numbers return.
TEST(Machine, PalConsoleRunsFiftyFramesASecond) {
    TempFolder dir;
    HeadlessMachine m(1000000); // microsecond ticks
    m->SetFmChannel(4, 0);
    m->SetRegion(ConsoleRegion::Pal);
    StartNopSlide(*m.Machine, dir);
    EXPECT_EQ(m->GetConsole().ClockHz, 3546893u);
    EXPECT_EQ(m->GetConsole().Fm.FmEnabled, 0) << "the sound chips' switches stay";
    EXPECT_EQ(m->GetConsole().Fm.ChannelEnabled[4], 0);
    m.Clock.CounterNow = 1;
    m->RunFrame();
    EXPECT_EQ(m->GetConsole().Cpu.PC, 71364 / 4);
    for (int frame = 2; frame <= 3; ++frame) m->RunFrame();
    EXPECT_TRUE(m.Sound.IsPlaying());
    EXPECT_EQ(m->GetPresenter().CursorDelta, 3u * 1764u);
    for (int frame = 4; frame <= 10; ++frame) m->RunFrame();
    EXPECT_EQ(m->GetPresenter().WriteCursor, 0u) << "ten frames fill the stream exactly";
    EXPECT_EQ(m.Sound.GetPlayPosition(), 17640u - 3u * 1764u);
    ASSERT_EQ(m.Clock.Waits.size(), 9u);
    EXPECT_EQ(m.Clock.Waits.back(), 1 + 9 * 20000) << "a frame every 20 ms";
    m.Sound.Advance(1764);
    m->RunFrame();
    EXPECT_EQ(m->GetPresenter().CursorDelta, 3u * 1764u) << "the player moves a frame a frame";

    m->SetRegion(ConsoleRegion::Ntsc);
    StartNopSlide(*m.Machine, dir);
    m->RunFrame();
    EXPECT_EQ(m->GetConsole().Cpu.PC, 59736 / 4);
    EXPECT_EQ(m->GetConsole().ClockHz, 3579545u);
    EXPECT_EQ(m->GetPresenter().SamplesPerFrame, 735);
    EXPECT_EQ(m->GetPresenter().FramesPerSecond, 60u);
    EXPECT_EQ(m->GetPresenter().CursorDelta, 1470u) << "the stream started afresh";
}

// The video step of a line runs before the line's CPU time: the first instruction of a frame
// reads the V counter of line 0, not the one left by the previous frame's last line.
TEST(Console, EachLineSeesItsVideoStepBeforeItsCpuTime) {
    auto c = std::make_unique<Console>();
    c->Cpu.MemoryControl = kCartridgeMapped;
    const std::uint8_t program[] = {0x76, 0xDB, 0x7E, 0x76}; // HALT; IN A,(0x7E); HALT
    std::copy(std::begin(program), std::end(program), c->Cpu.RomImage.begin());
    c->EmulateFrame();
    c->Cpu.PC = 1;
    c->Cpu.Halted = 0;
    c->Cpu.A = 0x55;
    c->EmulateFrame();
    EXPECT_EQ(c->Cpu.A, 0) << "line 0's V counter";
    EXPECT_EQ(c->Cpu.PC, 4);
}

// Sound is rendered in batches; writes must still land between the same two samples as when
// every sample is rendered at its own point of the frame. A loop of 61 T-states writes the
// PSG and the FM unit at every offset between the samples, 81.27 T-states apart, and each
// frame's samples must equal those of a console driven sample by sample.
TEST(Console, BatchedSoundMatchesSampleBySample) {
    const std::uint8_t program[] = {0xF3,              // DI
                                    0xD3, 0x7F,        // loop: OUT (0x7F),A
                                    0xD3, 0xF0,        // OUT (0xF0),A
                                    0xEE, 0x3F,        // XOR 0x3F (key on, audible volumes)
                                    0xD3, 0xF1,        // OUT (0xF1),A
                                    0xEE, 0x3F,        // XOR 0x3F
                                    0x3C,              // INC A
                                    0xC3, 0x01, 0x00}; // JP loop
    std::array<std::unique_ptr<Console>, 2> c;
    for (auto& console : c) {
        console = std::make_unique<Console>();
        console->Cpu.MemoryControl = kCartridgeMapped;
        std::copy(std::begin(program), std::end(program), console->Cpu.RomImage.begin());
        console->Fm.SetFmEnabled(1);
    }
    Console& ref = *c[1];
    for (int frame = 0; frame < 3; ++frame) {
        c[0]->EmulateFrame();
        // The reference: sample k of the frame once the CPU has run (k + 1) x 59736 / 735
        // T-states, rounded up, each line's video step first.
        std::int64_t cpu = 0;
        int sample = 0;
        for (int line = 0; line < console::kLinesPerFrame; ++line) {
            ref.Vdp.RunLine(line, true, false);
            const std::int64_t lineEnd = (line + 1) * std::int64_t{console::kCyclesPerLine};
            for (;;) {
                const std::int64_t due = ((sample + 1) * std::int64_t{console::kCyclesPerFrame} +
                                          console::kSamplesPerFrame - 1) /
                                         console::kSamplesPerFrame;
                if (sample == static_cast<int>(console::kSamplesPerFrame) || due > lineEnd) break;
                if (due > cpu) ref.Cpu.RunCycles(static_cast<std::uint32_t>(due - cpu));
                cpu = due;
                ref.Psg.RenderSamples(&ref.SampleBuffer[sample], 1);
                ref.Fm.RenderSamples(&ref.SampleBuffer[sample], 1);
                ++sample;
            }
            if (lineEnd > cpu) ref.Cpu.RunCycles(static_cast<std::uint32_t>(lineEnd - cpu));
            cpu = lineEnd;
        }
        ASSERT_EQ(sample, 735);
        ASSERT_EQ(c[0]->SampleBuffer, ref.SampleBuffer) << "frame " << frame;
        ASSERT_EQ(c[0]->Cpu.PC, ref.Cpu.PC) << "frame " << frame;
    }
    EXPECT_GT(std::count_if(ref.SampleBuffer.begin(), ref.SampleBuffer.begin() + 735,
                            [](std::int16_t s) { return s != 0; }),
              100)
        << "the program makes sound";
}

// The loudest the two chips can be together: three PSG tones flipping in step and white
// noise, all at attenuation 0, on top of nine FM channels playing the same full-level sine
// in phase. Every sample stays inside the 16-bit range, with the chips' balance kept.
TEST(Console, LoudestMixOfBothChipsStaysInside16Bits) {
    auto c = std::make_unique<Console>();
    c->Cpu.MemoryControl = kCartridgeMapped; // the ROM image is all NOP
    c->Fm.SetFmEnabled(1);
    for (int b : {0x90, 0xB0, 0xD0, 0xF0, 0xE4, 0x88, 0x3E, 0xA8, 0x3E, 0xC8, 0x3E})
        c->Bus.WritePort(0x7F, static_cast<std::uint8_t>(b)); // tones at period 1000
    const auto fm = [&](int reg, int value) {
        c->Bus.WritePort(0xF0, static_cast<std::uint8_t>(reg));
        c->Bus.WritePort(0xF1, static_cast<std::uint8_t>(value));
    };
    // A plain sine at full level: the modulator never attacks, the carrier at once.
    for (const auto& [reg, value] : {std::pair{0x00, 0x20},
                                     {0x01, 0x21},
                                     {0x02, 0x3F},
                                     {0x03, 0x00},
                                     {0x04, 0x00},
                                     {0x05, 0xF0},
                                     {0x06, 0x00},
                                     {0x07, 0x00}})
        fm(reg, value);
    for (int ch = 0; ch < 9; ++ch) {
        fm(0x30 + ch, 0x00);
        fm(0x10 + ch, 0x20);
        fm(0x20 + ch, 0x13);
    }
    int peak = 0;
    for (int frame = 0; frame < 60; ++frame) {
        c->EmulateFrame();
        for (int i = 0; i < 735; ++i) peak = std::max(peak, std::abs(int{c->SampleBuffer[i]}));
    }
    EXPECT_GT(peak, 20000);
    EXPECT_LT(peak, 32767);
}

// One wait per frame, to one period after the previous frame was due: late frames are
// caught up, the count starts afresh after a stall, a counter that goes back or fast-forward.
TEST(Machine, PacingWaitsOnceUntilEachFrameIsDue) {
    HeadlessMachine m(1000000); // microsecond ticks: a period of 16,666
    Presenter& p = m->GetPresenter();
    m.Clock.CounterNow = 100;
    m->RunFrame(); // the first frame is not held
    EXPECT_EQ(p.PerfLast, 100);
    m.Clock.QueueCounter(50);
    m->RunFrame();
    EXPECT_EQ(p.PerfLast, 50);
    EXPECT_TRUE(m.Clock.Waits.empty());

    m->RunFrame();
    EXPECT_EQ(m.Clock.Waits, (std::vector<std::int64_t>{50 + 16666}));
    m.Clock.CounterNow += 16666 + 9000; // late: released at once, the next due on the beat
    m->RunFrame();
    EXPECT_EQ(p.PerfLast, 50 + 2 * 16666);
    EXPECT_EQ(m.Clock.Waits.size(), 1u);
    for (int f = 0; f < 120; ++f) m->RunFrame();
    EXPECT_EQ(p.PerfLast, 50 + 122 * 16666);
    EXPECT_EQ(m.Clock.Waits.size(), 121u);

    m.Clock.CounterNow = p.PerfLast + 6 * 16666; // a stall is not caught up
    m->RunFrame();
    EXPECT_EQ(p.PerfLast, m.Clock.CounterNow);
    p.Unpaced = true;
    for (int f = 0; f < 3; ++f) m->RunFrame();
    EXPECT_EQ(m.Clock.Waits.size(), 121u);
}

// While a clocked device plays, the writer holds its lead of three frames by shortening or
// stretching the frame period, by up to 1 % when it is a frame or more off; without such a
// device the period stays exact.
TEST(Machine, TheSoundDevicePacesThroughTheWritersLead) {
    for (const bool clocked : {true, false}) {
        HeadlessMachine m(1000000);
        m.Sound.Clocked = clocked;
        m.Clock.CounterNow = 1;
        // The period of a frame after the device has played the given bytes.
        const auto period = [&](std::uint32_t played) {
            m.Sound.Advance(played);
            const std::int64_t before = m.Clock.CounterNow;
            m->RunFrame();
            return m.Clock.CounterNow - before;
        };
        for (int f = 0; f < 3; ++f) m->RunFrame();
        ASSERT_TRUE(m.Sound.IsPlaying());
        for (int f = 0; f < 50; ++f) ASSERT_EQ(period(1470), 16666) << f;
        period(1470 * 3); // the device ran two frames ahead: frames come quicker
        for (int f = 0; f < 100; ++f) period(1470);
        EXPECT_EQ(m->GetPresenter().CursorDelta, 1470u);
        EXPECT_NEAR(period(1470), clocked ? 16500 : 16666, 1);
        for (int f = 0; f < 4; ++f) period(0); // now it lags three frames: they come slower
        for (int f = 0; f < 100; ++f) period(1470);
        EXPECT_NEAR(period(1470), clocked ? 16833 : 16666, 1);
    }
}

TEST(Machine, FpsCountsFramesOfTheLastSecond) {
    HeadlessMachine m;
    m.Clock.MillisecondsNow = 500;
    for (int i = 0; i < 30; ++i) m->RunFrame();
    EXPECT_EQ(m->GetFps(), 0u);
    m.Clock.MillisecondsNow = 1000;
    m->RunFrame(); // 1000 ms since the start at 0: the 30 earlier frames
    EXPECT_EQ(m->GetFps(), 30u);
    EXPECT_EQ(m->GetPresenter().FrameCount, 1);
    // A timer that wrapped below the start never completes a window.
    m.Clock.MillisecondsNow = 10;
    for (int i = 0; i < 5; ++i) m->RunFrame();
    EXPECT_EQ(m->GetFps(), 30u);
}

TEST(Machine, SetKeysAndThePadPolling) {
    HeadlessMachine m;
    // Buttons left at 0 read the up flag of their device.
    InputState up;
    up.set(kInputUp);
    m.Input1.SetState(up);
    m.Input2.SetState(up);
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Bus.PortA, 0xFF & ~(0x01 | 0x10 | 0x20 | 0x40));
    EXPECT_EQ(m->GetConsole().Bus.PortB, 0xFF & ~(0x04 | 0x08));

    m->SetKeys(0, 1, 0, 1, 2);
    EXPECT_EQ(m->GetPresenter().ButtonTable, (std::array<std::uint8_t, 5>{4, 5, 4, 5, 6}));
    m->SetKeys(32, 0xFFFFFFFF, 31, 40, 3);
    EXPECT_EQ(m->GetPresenter().ButtonTable, (std::array<std::uint8_t, 5>{4, 5, 35, 5, 7}));

    // Buttons 1 and 2 of each device and the directions of pad 2.
    InputState one;
    one.set(kInputLeft);
    one.set(kInputButton1 + 1);
    InputState two;
    two.set(kInputRight);
    two.set(kInputDown);
    two.set(kInputButton1 + 31);
    m.Input1.SetState(one);
    m.Input2.SetState(two);
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Bus.PortA, 0xFF & ~(0x04 | 0x20 | 0x80));
    EXPECT_EQ(m->GetConsole().Bus.PortB, 0xFF & ~(0x02 | 0x04));
    m.Input1.SetState({});
    m.Input2.SetState({});
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Bus.PortA, 0xFF);
    EXPECT_EQ(m->GetConsole().Bus.PortB, 0xFF);

    // Each direction of each device reaches its own pad's bit and no other.
    struct Direction {
        int device;
        std::size_t flag;
        std::uint8_t portA, portB;
    };
    for (const Direction& d : {Direction{1, kInputUp, 0xFE, 0xFF},
                               {1, kInputDown, 0xFD, 0xFF},
                               {1, kInputLeft, 0xFB, 0xFF},
                               {1, kInputRight, 0xF7, 0xFF},
                               {2, kInputUp, 0xBF, 0xFF},
                               {2, kInputDown, 0x7F, 0xFF},
                               {2, kInputLeft, 0xFF, 0xFE},
                               {2, kInputRight, 0xFF, 0xFD}}) {
        InputState held;
        held.set(d.flag);
        m.Input1.SetState(d.device == 1 ? held : InputState{});
        m.Input2.SetState(d.device == 2 ? held : InputState{});
        m->PollInput();
        EXPECT_EQ(m->GetConsole().Bus.PortA, d.portA)
            << "device " << d.device << " flag " << d.flag;
        EXPECT_EQ(m->GetConsole().Bus.PortB, d.portB)
            << "device " << d.device << " flag " << d.flag;
    }
}

TEST(Machine, PauseRaisesOneNmiPerPress) {
    TempFolder dir;
    HeadlessMachine m;
    StartNopSlide(*m.Machine, dir);
    m->SetKeys(0, 1, 0, 1, 2);
    m->GetConsole().Cpu.SP = 0xDFF0;
    InputState pause;
    pause.set(kInputButton1 + 2);
    m.Input1.SetState(pause);
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Cpu.PC, 0x0066);
    EXPECT_EQ(m->GetConsole().Cpu.SP, 0xDFEE);
    for (int f = 0; f < 20; ++f) m->RunFrame(); // presentation polls the held key again
    EXPECT_EQ(m->GetConsole().Cpu.SP, 0xDFEE) << "no second NMI while the key stays down";
    m.Input1.SetState({});
    m->PollInput();
    m.Input1.SetState(pause);
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Cpu.SP, 0xDFEC) << "a new press is a new NMI";
    // Pause on pad 2's device does nothing.
    m.Input1.SetState({});
    m->PollInput();
    m.Input2.SetState(pause);
    m->PollInput();
    EXPECT_EQ(m->GetConsole().Cpu.SP, 0xDFEC);
}

TEST(Machine, PsgChannelSwitchesAndOutOfRangeChannels) {
    HeadlessMachine m;
    const auto snapshot = [&] {
        std::vector<int> enabled;
        for (int i = 0; i < 3; ++i) enabled.push_back(m->GetConsole().Psg.GetTone(i).Enabled);
        enabled.push_back(m->GetConsole().Psg.GetNoise().Enabled);
        return enabled;
    };
    const std::vector<int> before = snapshot();
    m->SetPsgChannel(4, 0);
    m->SetPsgChannel(0xFFFFFFFF, 0);
    EXPECT_EQ(snapshot(), before);
    m->SetPsgChannel(3, 0);
    m->SetPsgChannel(1, 0);
    EXPECT_EQ(snapshot(), (std::vector<int>{before[0], 0, before[2], 0}));
}

TEST(Machine, BatteryRamIsWrittenOnResetAndPauseOnlyWhenUsed) {
    TempFolder dir;
    HeadlessMachine m;
    const auto ramFile = dir / "game.RAM";
    m->Reset();
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "game.sms", std::vector<std::uint8_t>(32768, 0))));
    m->SetRamFileName(ramFile.string());
    EXPECT_EQ(m->GetRamFileName(), ramFile.string());
    m->Reset();
    m->Reset();
    EXPECT_FALSE(std::filesystem::exists(ramFile));

    m->GetConsole().Cpu.WriteMemory(0xFFFC, 0x08);
    m->GetConsole().Cpu.WriteMemory(0x8000, 0x42);
    m->Reset();
    ASSERT_TRUE(std::filesystem::exists(ramFile));
    EXPECT_EQ(std::filesystem::file_size(ramFile), 32768u);
    std::filesystem::remove(ramFile);
    m->Reset(); // the reset cleared the used flag
    EXPECT_FALSE(std::filesystem::exists(ramFile));

    m->GetConsole().Cpu.WriteMemory(0x8001, 0x43); // RamControl survived the reset
    m->PauseEmulation();
    EXPECT_TRUE(std::filesystem::exists(ramFile));
}

// A save that exists but cannot be read is someone's progress: it is kept and the run's RAM
// goes beside it. A save that cannot be written is reported and written at the next chance.
TEST(Machine, UnreadableSavesAreKeptAndFailedSavesReportedAndRetried) {
    TempFolder dir;
    HeadlessMachine m;
    const auto useRam = [&](std::uint8_t value) {
        m->GetConsole().Cpu.WriteMemory(0xFFFC, 0x08);
        m->GetConsole().Cpu.WriteMemory(0x8000, value);
    };
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "game.sms", std::vector<std::uint8_t>(32768, 0))));
    useRam(0x77);
    const auto save = dir / "game.RAM";
    ASSERT_TRUE(WriteFileAtomic(save, std::vector<std::uint8_t>(100, 0x5A)));
    std::filesystem::resize_file(save, (16u << 20) + 1); // over the size any save can have
    m->SetRamFileName(save.string());
    EXPECT_TRUE(m->BatteryRamUnreadable());
    EXPECT_EQ(m->GetConsole().Cpu.CartridgeRam[0], 0x00) << "the game starts clear";
    useRam(0x41);
    m->Reset(); // no file named yet: the save stays as it is
    EXPECT_EQ(std::filesystem::file_size(save), (16u << 20) + 1);
    const std::string notice = AttachBatteryFile(*m.Machine, GameFiles(dir.Path()));
    EXPECT_NE(notice.find("too large"), std::string::npos) << notice;
    useRam(0x42);
    m->Reset();
    EXPECT_TRUE(m->BatteryRamSaveResult());
    EXPECT_EQ(std::filesystem::file_size(save), (16u << 20) + 1) << "the save is kept";
    std::vector<std::uint8_t> spare;
    std::filesystem::path spareFile;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        if (entry.path().filename().string().rfind("game_", 0) == 0) spareFile = entry.path();
    ASSERT_FALSE(spareFile.empty());
    EXPECT_NE(notice.find(spareFile.string()), std::string::npos) << notice;
    ASSERT_TRUE(ReadWholeFile(spareFile, spare, 1 << 20));
    EXPECT_EQ(spare.size(), 32768u);
    EXPECT_EQ(spare[0], 0x42);

    // A save in a folder's place: reported, and the RAM is written once the way is clear
    // although the reset in between cleared the used flag.
    const auto blocked = dir / "blocked.RAM";
    std::filesystem::create_directories(blocked);
    m->SetRamFileName(blocked.string());
    (void)AttachBatteryFile(*m.Machine, GameFiles(dir.Path()));
    EXPECT_TRUE(m->BatteryRamNotice().empty());
    useRam(0x43);
    m->Reset();
    EXPECT_NE(m->BatteryRamSaveResult().error.find("Is a directory"), std::string::npos)
        << m->BatteryRamSaveResult().error;
    std::filesystem::remove(blocked);
    m->PauseEmulation();
    EXPECT_TRUE(m->BatteryRamSaveResult());
    ASSERT_TRUE(ReadWholeFile(blocked, spare, 1 << 20));
    EXPECT_EQ(spare[0], 0x43);

    // A save that is a link stays one; the file it names gets the RAM.
    std::filesystem::create_symlink(blocked, dir / "linked.RAM");
    m->SetRamFileName((dir / "linked.RAM").string());
    (void)AttachBatteryFile(*m.Machine, GameFiles(dir.Path()));
    EXPECT_EQ(m->GetConsole().Cpu.CartridgeRam[0], 0x43);
    useRam(0x44);
    m->Reset();
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "linked.RAM"));
    ASSERT_TRUE(ReadWholeFile(blocked, spare, 1 << 20));
    EXPECT_EQ(spare[0], 0x44);
}

TEST(Machine, FirmwareRunNamesAndItsRamGoesToTheDataFolderOnly) {
    TempFolder dir;
    // Whatever the current folder is, nothing lands there.
    const auto working = dir / "working";
    std::filesystem::create_directories(working / "RAM");
    const auto nothingWritten = [&] {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(working))
            if (!entry.is_directory()) return false;
        return true;
    };
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(working);
    struct Back {
        std::filesystem::path to;
        ~Back() { std::filesystem::current_path(to); }
    } back{previous};
    HeadlessMachine m;
    m->Reset();
    m->SetRamFileName("");
    m->RunBios();
    EXPECT_TRUE(m->GetReady());
    EXPECT_EQ(m->GetRamFileName(), "BIOS.SMS");
    m->GetConsole().Cpu.WriteMemory(0xFFFC, 0x08);
    m->GetConsole().Cpu.WriteMemory(0x8000, 0x01);
    m->Reset(); // no data folder: not written anywhere
    EXPECT_TRUE(nothingWritten());
    std::filesystem::create_directories(dir / "RAM");
    m->SetDataFolder(dir.Path());
    m->GetConsole().Cpu.WriteMemory(0x8000, 0x01);
    m->Reset();
    EXPECT_TRUE(std::filesystem::exists(dir / "RAM" / "BIOS.RAM"));
    EXPECT_TRUE(nothingWritten());
    // A battery file the caller resolved takes its place.
    m->SetBatteryFile(dir / "elsewhere.RAM");
    m->GetConsole().Cpu.WriteMemory(0x8000, 0x01);
    m->Reset();
    EXPECT_TRUE(std::filesystem::exists(dir / "elsewhere.RAM"));
    EXPECT_TRUE(nothingWritten());

    // After a cartridge, RunBios keeps the cartridge's name.
    m->SetRamFileName((dir / "RAM" / "game.RAM").string());
    m->RunBios();
    EXPECT_EQ(m->GetRamFileName(), (dir / "RAM" / "game.RAM").string());
}

TEST(Machine, RefusedCartridgeLeavesTheMachineAsItWas) {
    TempFolder dir;
    HeadlessMachine m;
    FileResult r = m->LoadCartridge(dir / "missing.sms");
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(m->GetReady());
    m->ResumeEmulation(); // before Ready: nothing runs
    EXPECT_FALSE(m->IsRunning());
    EXPECT_EQ(m.Input1.Updates, 0);
    EXPECT_FALSE(m->SaveSnapshot(dir / "shot.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "shot.bmp"));

    std::vector<std::uint8_t> rom(16384, 0);
    rom[0x1000] = 0xAB;
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "good.sms", rom)));
    EXPECT_TRUE(m->GetReady());
    EXPECT_FALSE(m->LoadCartridge(WriteRom(dir / "empty.sms", {})));
    EXPECT_FALSE(m->LoadCartridge(dir.Path()));
    EXPECT_TRUE(m->GetReady());
    EXPECT_EQ(m->GetConsole().Cpu.RomImage[0x1000], 0xAB);
    EXPECT_EQ(m->GetConsole().Cpu.BankCount, 1);
}

// The writer leads the player by three frames (50 ms): playback starts once that much is
// written, and a player that has not begun to move, that passed the writer, or that the
// writer is about to lap, is put back that far behind it.
TEST(Machine, StreamKeepsThePlayerThreeFramesBehind) {
    HeadlessMachine m;
    for (int frame = 1; frame <= 2; ++frame) {
        m->RunFrame();
        EXPECT_FALSE(m.Sound.IsPlaying()) << "frame " << frame;
    }
    m->RunFrame();
    EXPECT_TRUE(m.Sound.IsPlaying());
    EXPECT_EQ(m->GetPresenter().CursorDelta, 4410u);
    EXPECT_EQ(m.Sound.GetPlayPosition(), 0u);
    // The device has not begun to play: the player waits three frames behind the writer.
    for (int frame = 4; frame <= 12; ++frame) m->RunFrame();
    EXPECT_EQ(m->GetPresenter().WriteCursor, 0u) << "12 frames fill the buffer exactly";
    EXPECT_EQ(m.Sound.GetPlayPosition(), 17640u - 4410u);
    EXPECT_EQ(m.Sound.Creations, 1);
    EXPECT_EQ(m.Sound.Format().SamplesPerSec, 44100u);

    struct Case {
        std::uint32_t Played; // bytes the player moves on before each frame
        int Frames;
        std::uint32_t Delta; // the lead after the last frame
    };
    // A lead of exactly one frame stays; a player that the writer is about to lap is put back;
    // one past the writer (however far past) too, and each such pass makes the lead aimed
    // at a frame longer, up to eight frames. 1800 frames without a pass take one off.
    for (const Case c : {Case{4410, 1, 1470}, Case{1, 11, 4410}, Case{4411, 1, 5880},
                         Case{10290, 1, 7350}, Case{13230, 4, 11760}}) {
        for (int frame = 0; frame < c.Frames; ++frame) {
            m.Sound.Advance(c.Played);
            m->RunFrame();
        }
        EXPECT_EQ(m->GetPresenter().CursorDelta, c.Delta) << c.Played;
    }
    const std::uint32_t write = m->GetPresenter().WriteCursor;
    EXPECT_EQ(m.Sound.GetPlayPosition(), (write + 17640 - 11760) % 17640);
    for (int frame = 0; frame < 1800; ++frame) {
        m.Sound.Advance(1470);
        m->RunFrame();
    }
    EXPECT_EQ(m->GetPresenter().LeadTarget, 10290u);

    // Reset stops the buffer and rewinds both cursors; pausing stops it too.
    m->Reset();
    EXPECT_FALSE(m.Sound.IsPlaying());
    EXPECT_EQ(m->GetPresenter().WriteCursor, 0u);
    EXPECT_EQ(m.Sound.GetPlayPosition(), 0u);
}

// The volume scales what the stream gets, never the frame's samples. Unpaced frames leave
// their sound out while the player still has the lead to play, and give it once it has not.
TEST(Machine, VolumeScalesTheStreamOnlyAndFastForwardLeavesSoundOut) {
    HeadlessMachine m;
    ASSERT_TRUE(m->LoadCartridge(std::string(VELMAR_TEST_ROM_DIR) + "/psg_tone.sms"));
    m->SetBiosType(0); // the firmware that starts the cartridge at once
    m->Reset();
    const auto& samples = m->GetConsole().SampleBuffer;
    const auto streamed = [&](std::size_t i) {
        const std::uint32_t at = (m->GetPresenter().WriteCursor + 17640 - 1470) % 17640;
        std::int16_t v = 0;
        std::memcpy(&v, m.Sound.Data().data() + at + 2 * i, 2);
        return v;
    };
    for (const int volume : {40, 0, 250}) {
        m->SetVolume(static_cast<std::uint8_t>(volume));
        for (int frame = 0; frame < 20; ++frame) m->RunFrame();
        EXPECT_NE(*std::max_element(samples.begin(), samples.begin() + 735), 0);
        for (std::size_t i = 0; i < 735; i += 7)
            ASSERT_EQ(streamed(i), samples[i] * std::min(volume, 100) / 100) << volume << " " << i;
    }

    ASSERT_TRUE(m.Sound.IsPlaying());
    m->SetFastForward(true);
    const std::uint32_t write = m->GetPresenter().WriteCursor;
    for (int frame = 0; frame < 10; ++frame) m->RunFrame();
    EXPECT_EQ(m->GetPresenter().WriteCursor, write);
    m.Sound.Advance(1470);
    m->RunFrame();
    EXPECT_EQ(m->GetPresenter().WriteCursor, (write + 1470) % 17640);
    m->RunFrame();
    EXPECT_EQ(m->GetPresenter().WriteCursor, (write + 1470) % 17640);
    EXPECT_EQ(m->GetPresenter().CursorDelta, 4410u);
}

class RecordingCanvas final : public TextCanvas {
  public:
    void SetFont(std::string_view, int, bool, CanvasColour) override {}
    void SetBrush(CanvasColour) override {}
    void SetPen(CanvasColour) override {}
    void Rectangle(int left, int top, int right, int bottom) override {
        Boxes.push_back({left, top, right, bottom});
    }
    void TextOut(int, int top, std::string_view text) override {
        Lines.push_back(std::to_string(top) + ":" + std::string(text));
    }
    void Release() override { ++Releases; }
    std::vector<std::array<int, 4>> Boxes;
    std::vector<std::string> Lines;
    int Releases = 0;
};

TEST(Machine, ReadoutsAndPictureDepths) {
    NullDisplay display(100, 100, 8);
    RecordingCanvas canvas;
    MachineServices services;
    services.Display = &display;
    services.Canvas = &canvas;
    auto m = std::make_unique<TSMS>(services);
    m->SetVdpStatus(1);
    m->SetPsgStatus(1);
    m->SetFrameskip(3);
    m->GetPresenter().Fps = 60;
    m->RunFrame();
    EXPECT_EQ(display.Width(), 512);
    EXPECT_EQ(display.Height(), 384);
    EXPECT_EQ(display.Flips, 1);
    EXPECT_TRUE(std::all_of(display.Pixels().begin(), display.Pixels().end(), [](std::uint8_t b) {
        return b == 0;
    })) << "an 8-bit surface gets no picture";
    EXPECT_EQ(canvas.Releases, 2);
    EXPECT_NE(std::find(canvas.Lines.begin(), canvas.Lines.end(), "240:Frames p/ Sc: 15"),
              canvas.Lines.end());
    EXPECT_NE(std::find(canvas.Lines.begin(), canvas.Lines.end(), "130:Delta EMU/EX: 0"),
              canvas.Lines.end());
    // The PSG box and the VDP box do not overlap; a silent channel shows a one-pixel bar.
    ASSERT_GE(canvas.Boxes.size(), 10u);
    EXPECT_EQ(canvas.Boxes[0], (std::array<int, 4>{10, 37, 125, 145}));
    EXPECT_EQ(canvas.Boxes[5], (std::array<int, 4>{105, 52 + 15, 120, 68}));
    EXPECT_EQ(canvas.Boxes.back(), (std::array<int, 4>{10, 157, 105, 255}));
}

class FakeAvi final : public AviWriter {
  public:
    std::string Open(const std::filesystem::path& path, int width, int height, int fps) override {
        return OpenWithSound(path, width, height, fps, 0);
    }
    std::string OpenWithSound(const std::filesystem::path&, int width, int height, int fps,
                              int sampleRate) override {
        open = true;
        frames = samples = 0;
        EXPECT_EQ(width, 512);
        EXPECT_EQ(height, 384);
        rate = fps;
        soundRate = sampleRate;
        return {};
    }
    bool WriteFrame(const std::uint8_t*, std::size_t bytes) override {
        EXPECT_EQ(bytes, 589824u);
        ++frames;
        return !failWrites;
    }
    bool WriteSamples(const std::int16_t*, std::size_t count) override {
        samples += count;
        return soundRate != 0;
    }
    Result Close() override {
        open = false;
        return {closeError};
    }
    bool IsOpen() const override { return open; }
    bool open = false;
    bool failWrites = false;
    std::string closeError;
    int frames = 0, rate = 0, soundRate = 0;
    std::size_t samples = 0;
};

TEST(Machine, AviCaptureWritesOneFrameInSixAndStopsOnAFailedWrite) {
    FakeAvi avi;
    MachineServices services;
    services.Avi = &avi;
    auto m = std::make_unique<TSMS>(services);
    EXPECT_FALSE(m->StartAviDump("x.avi", "x.avi")) << "nothing loaded";
    m->RunBios();
    const std::string name30(30, 'a');
    ASSERT_TRUE(m->StartAviDump("x.avi", name30));
    EXPECT_EQ(m->GetPresenter().AviShortName, name30);
    for (int frame = 0; frame < 60; ++frame) m->RunFrame();
    EXPECT_EQ(m->GetFramesDumped(), 10);
    EXPECT_EQ(avi.frames, 10);
    EXPECT_EQ(avi.rate, 10);
    EXPECT_EQ(avi.samples, 0u);

    // With sound: every frame and its 735 samples, a second of each in a second of play.
    m->StopAviDump();
    m->SetAviWithSound(1);
    ASSERT_TRUE(m->StartAviDump("s.avi", "s.avi"));
    for (int frame = 0; frame < 60; ++frame) m->RunFrame();
    EXPECT_EQ(avi.frames, 60);
    EXPECT_EQ(avi.rate, 60);
    EXPECT_EQ(avi.soundRate, 44100);
    EXPECT_EQ(avi.samples, 44100u);
    m->SetAviWithSound(0);

    // At 50 frames a second, one frame in five keeps the file's ten a second.
    m->StopAviDump();
    m->SetRegion(ConsoleRegion::Pal);
    ASSERT_TRUE(m->StartAviDump("x.avi", name30));
    for (int frame = 0; frame < 50; ++frame) m->RunFrame();
    EXPECT_EQ(m->GetFramesDumped(), 10);
    m->SetRegion(ConsoleRegion::Ntsc);

    m->StopAviDump();
    EXPECT_FALSE(avi.open);
    const std::string name40 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd";
    ASSERT_TRUE(m->StartAviDump("y.avi", name40));
    EXPECT_EQ(m->GetPresenter().AviShortName, "ABCDE ... " + name40.substr(40 - 19));
    EXPECT_EQ(m->GetFramesDumped(), 0);
    avi.failWrites = true;
    for (int frame = 0; frame < 12; ++frame) m->RunFrame();
    EXPECT_FALSE(m->GetAviDumping());
    EXPECT_FALSE(avi.open);
    EXPECT_FALSE(m->StopAviDump()) << "a capture that stopped by itself is reported";
    EXPECT_TRUE(m->StopAviDump()) << "once";

    // A file that cannot be finished is reported with the writer's reason.
    avi.failWrites = false;
    avi.closeError = "'y.avi': cannot write: No space left on device";
    ASSERT_TRUE(m->StartAviDump("y.avi", "y.avi"));
    m->RunFrame();
    EXPECT_EQ(m->StopAviDump().error, avi.closeError);
}

} // namespace

TEST(Machine, RefusedStateChangesNothingAndGamesWithoutRamFilesStartClear) {
    TempFolder dir;
    HeadlessMachine m;
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "game.sms", std::vector<std::uint8_t>(16384, 0))));
    for (int i = 0; i < 3; ++i) m->RunFrame();
    ASSERT_TRUE(m->SaveStateToFile(dir / "good.vlr"));
    std::vector<std::uint8_t> state;
    ASSERT_TRUE(ReadWholeFile(dir / "good.vlr", state, 1 << 20));
    ASSERT_EQ(state.size(), machine::kStateFileSize);

    m->RunFrame();
    const auto ram = m->GetConsole().Cpu.WorkRam;
    const auto pc = m->GetConsole().Cpu.PC;
    const auto vram = m->GetConsole().Vdp.Vram;
    std::vector<std::uint8_t> cut(state.begin(), state.begin() + 8229);
    for (auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<std::uint8_t>>>{
             {"cut.vlr", cut}, {"empty.vlr", {}}, {"long.vlr", std::vector<std::uint8_t>(70000)}}) {
        ASSERT_TRUE(WriteFileAtomic(dir / name, bytes));
        FileResult r = m->LoadStateFromFile(dir / name);
        EXPECT_FALSE(r) << name;
        EXPECT_NE(r.error.find(name), std::string::npos) << r.error;
    }
    EXPECT_FALSE(m->LoadStateFromFile(dir / "missing.vlr"));
    EXPECT_EQ(m->GetConsole().Cpu.WorkRam, ram);
    EXPECT_EQ(m->GetConsole().Cpu.PC, pc);
    EXPECT_EQ(m->GetConsole().Vdp.Vram, vram);
    EXPECT_TRUE(m->LoadStateFromFile(dir / "good.vlr"));

    // A game whose RAM file exists gets it; one without starts from clear cartridge RAM
    // instead of inheriting (and later overwriting) the other game's save.
    std::vector<std::uint8_t> save(32768, 0x5A);
    ASSERT_TRUE(WriteFileAtomic(dir / "game.RAM", save));
    m->SetRamFileName((dir / "game.RAM").string());
    EXPECT_EQ(m->GetConsole().Cpu.CartridgeRam[100], 0x5A);
    m->SetRamFileName((dir / "other.RAM").string());
    EXPECT_EQ(m->GetConsole().Cpu.CartridgeRam[100], 0x00);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.RAM"));
}

// Test cartridges of each mapper as Auto finds them, run from reset: each program records
// what it reads from 0xC000 on, then 0x5A at 0xC0FF.
TEST(Machine, MapperCartridgesSwitchBanksOnTheMapperAutoChooses) {
    TempFolder dir;
    struct Case {
        const char* rom;
        const char* loadAs;
        MapperKind kind;
        int frames; // the Japanese firmware hands over within 30; an SG-1000 needs none
        std::vector<std::uint8_t> seen;
    };
    const Case cases[] = {
        {"mapper_codemasters",
         "cm.sms",
         MapperKind::Codemasters,
         30,
         {0xB3, 0xB2, 0xB1, 0x5A, 0xB3, 0xB3, 0x5A, 0xB2, 0xB3}},
        {"mapper_korean", "kr.SMS", MapperKind::Korean, 30, {0xB3, 0xB1, 0xB1, 0xB0, 0xB1, 0x02}},
        {"sg_ram", "sg_ram.sg", MapperKind::None, 1, {0x11, 0x22, 0x33, 0xFF}},
        {"battery", "battery.sms", MapperKind::Sega, 0, {}},
    };
    std::vector<std::uint8_t> codemastersState;
    for (const Case& c : cases) {
        HeadlessMachine m;
        m->SetBiosType(0);
        m->Reset();
        std::filesystem::copy_file(std::string(VELMAR_TEST_ROM_DIR) + "/" + c.rom + ".sms",
                                   dir / c.loadAs);
        ASSERT_TRUE(m->LoadCartridge(dir / c.loadAs)) << c.rom;
        EXPECT_EQ(m->GetMapper(), c.kind) << c.rom;
        for (int f = 0; f < c.frames; ++f) m->RunFrame();
        const auto& ram = m->GetConsole().Cpu.WorkRam;
        if (c.seen.empty()) continue;
        EXPECT_EQ(ram[0xFF], 0x5A) << c.rom << " did not finish";
        EXPECT_EQ(std::vector<std::uint8_t>(ram.begin(), ram.begin() + std::ssize(c.seen)), c.seen)
            << c.rom;
        if (c.kind == MapperKind::Codemasters) codemastersState = m->StateBytes();
        if (c.kind == MapperKind::None) {
            m->Reset(); // the firmware runs when asked for, with the cartridge in the slot
            m->RunBios();
            EXPECT_EQ(m->GetConsole().Cpu.ReadMemory(0x0000), 0xF3);
        }
    }

    // The Codemasters registers travel where the Sega page registers do (banks 0, 1, 3, RAM
    // on); the kind comes from the choice. Chosen Sega, the same program never switches.
    ASSERT_EQ(codemastersState.size(), machine::kStateFileSize);
    EXPECT_EQ(
        std::vector<std::uint8_t>(codemastersState.begin() + 8193, codemastersState.begin() + 8197),
        (std::vector<std::uint8_t>{0, 1, 3, 0x80}));
    HeadlessMachine m;
    m->SetBiosType(0);
    m->Reset();
    ASSERT_TRUE(m->LoadCartridge(dir / "cm.sms"));
    m->GetConsole().LoadState(codemastersState);
    EXPECT_EQ(m->GetConsole().Cpu.ReadMemory(0x8200), 0xB3);
    m->SetMapperChoice(MapperChoice::Sega);
    m->Reset();
    for (int f = 0; f < 30; ++f) m->RunFrame();
    EXPECT_EQ(m->GetConsole().Cpu.WorkRam[0], 0xB2);
}
