// Runs the timing test programs: start-up code that polls the V counter, a loop timed by
// the CPU alone, the frame interrupt in each interrupt mode, a game's pause handler driven
// through the pause key, and programs that time the beam from the CPU: the H counter
// latched through TH, and a status poll waiting for a sprite collision.

#include "machine/MachineTestSupport.h"
#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace velmar::scenes {
namespace {

constexpr std::size_t kCheckStarted = 0x13;
constexpr std::size_t kChecksDone = 0x14;
constexpr std::size_t kFrames = 0x15;
constexpr std::size_t kPauses = 0x16;
constexpr std::size_t kPaused = 0x17;

// Runs frames until the work RAM byte reads the magic value; false after `limit` frames.
bool RunUntil(TSMS& machine, std::size_t offset, int limit) {
    for (int f = 0; f < limit && Ram(machine, offset) != kReadyMagic; ++f) machine.RunFrame();
    return Ram(machine, offset) == kReadyMagic;
}

TEST(Timing, VCounterFallCheckFinishesWithinTwoFramesWithAndWithoutSound) {
    for (const std::uint8_t mixer : {std::uint8_t{1}, std::uint8_t{0}}) {
        auto machine = NewMachine(kJapanese);
        machine->SetMixer(mixer);
        ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("vcount_fall"))));
        ASSERT_TRUE(RunUntil(*machine, kCheckStarted, 60));
        std::vector<int> done{Ram(*machine, kChecksDone)};
        for (int f = 0; f < 60; ++f) {
            machine->RunFrame();
            done.push_back(Ram(*machine, kChecksDone));
        }
        for (std::size_t f = 2; f < done.size(); ++f)
            ASSERT_GT(done[f], done[f - 2])
                << "no check finished in frames " << f - 1 << "-" << f << ", mixer " << int(mixer);
    }
}

// The region check of start-up code (the V counter followed from 0x80 until it falls) tells
// each console apart through the firmware.
TEST(Timing, StartUpRegionCheckTellsPalFromNtsc) {
    const struct {
        ConsoleRegion region;
        std::uint8_t lastVCount, verdict;
    } cases[] = {{ConsoleRegion::Ntsc, 0xDA, 'N'}, {ConsoleRegion::Pal, 0xF2, 'P'}};
    for (const auto& c : cases) {
        auto machine = NewMachine(kJapanese);
        machine->SetRegion(c.region);
        machine->Reset();
        ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("region_detect"))));
        ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60)) << RegionName(c.region);
        EXPECT_EQ(Ram(*machine, 0x13), c.lastVCount) << RegionName(c.region);
        EXPECT_EQ(Ram(*machine, 0x14), c.verdict) << RegionName(c.region);
    }
}

TEST(Timing, LoopTimedByIndexHalfInstructionsRunsAtTheZ80sSpeed) {
    // ixh_square: each period of its square wave is 164 + 84 x 95 T-states, from the Z80's
    // 8 T-states for the IXH/IXL/IYH/IYL forms and 11 for LD IXL,n; 60 frames of 59,736
    // T-states hold 440.1 of them.
    constexpr double kPeriodTStates = 164 + 84 * 95;
    constexpr double kExpected = 60 * 59736 / kPeriodTStates;
    auto machine = NewMachine(kJapanese);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("ixh_square"))));
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    const auto periods = [&] { return Ram(*machine, 0x13) | (Ram(*machine, 0x14) << 8); };
    const int before = periods();
    for (int f = 0; f < 60; ++f) machine->RunFrame();
    EXPECT_NEAR(periods() - before, kExpected, 1.0);
}

TEST(Timing, FrameInterruptReachesItsHandlerInEachMode) {
    // irq_modes: EI while still in mode 0, three frames through 0x0038; three more in
    // mode 1; three in mode 2 through the vector at I x 256 + 0xFF.
    constexpr std::size_t kHits38 = 0x13;
    constexpr std::size_t kHitsIm2 = 0x14;
    constexpr std::size_t kStage = 0x15;
    constexpr std::size_t kDone = 0x16;
    auto machine = NewMachine(kJapanese);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("irq_modes"))));
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    const bool done = RunUntil(*machine, kDone, 20);
    EXPECT_TRUE(done) << "stuck in stage " << int(Ram(*machine, kStage)) << " after "
                      << int(Ram(*machine, kHits38)) << " frames through 0x0038";
    EXPECT_EQ(Ram(*machine, kHits38), 6);
    EXPECT_EQ(Ram(*machine, kHitsIm2), 3);
}

// The H counter as documented: 0x00-0x93, then 0xE9-0xFF; 0xF4 when a line starts (the V
// counter changes); one step every four master clocks, three master clocks to a T-state.
std::uint8_t DocumentedHCounter(int tstate) {
    std::vector<int> run;
    for (int v = 0x00; v <= 0x93; ++v) run.push_back(v);
    for (int v = 0xE9; v <= 0xFF; ++v) run.push_back(v);
    const auto start =
        static_cast<std::size_t>(std::find(run.begin(), run.end(), 0xF4) - run.begin());
    return static_cast<std::uint8_t>(
        run[(start + static_cast<std::size_t>(tstate * 3 / 4)) % run.size()]);
}

TEST(Timing, HCounterLatchedThroughThFollowsTheLine) {
    constexpr std::size_t kDone = 0x13, kLatched = 0x100, kReread = 0x200;
    for (const std::uint8_t mixer : {std::uint8_t{1}, std::uint8_t{0}}) {
        auto machine = NewMachine(kJapanese);
        machine->SetMixer(mixer);
        ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("hcounter"))));
        ASSERT_TRUE(RunUntil(*machine, kDone, 60));
        // Measurement k pulls TH low at T-state 132 + 4k of its line (hcounter.asm), which
        // sweeps past the jump and on into the next line.
        for (std::size_t k = 0; k < 60; ++k) {
            const auto tstate = static_cast<int>(132 + 4 * k);
            EXPECT_EQ(Ram(*machine, kLatched + k), DocumentedHCounter(tstate))
                << "T-state " << tstate << ", mixer " << int(mixer);
            EXPECT_EQ(Ram(*machine, kReread + k), Ram(*machine, kLatched + k))
                << "TH rising again latches nothing";
        }
    }
}

TEST(Timing, PolledCollisionFlagShowsWhenTheBeamReachesIt) {
    auto machine = NewMachine(kJapanese);
    ASSERT_TRUE(static_cast<bool>(machine->LoadCartridge(TestRom("flag_poll"))));
    ASSERT_TRUE(RunUntil(*machine, kSceneReady, 60));
    for (int f = 0; f < 3; ++f) machine->RunFrame();
    // The sprites collide at pixel 200: 12 + 100 counter steps after the line starts,
    // 448 master clocks, T-state 150. The reads at T-states 61, 102 and 143 miss it.
    int misses = 0;
    while (61 + 41 * misses < 150) ++misses;
    EXPECT_EQ(Ram(*machine, 0x13), misses);
}

// The game after its first frames, with the pause key on input 1's button 3.
struct PausingGame {
    testing::HeadlessMachine m;
    InputState pause;

    PausingGame() {
        pause.set(kInputButton1 + 2);
        m->SetKeys(0, 1, 0, 1, 2);
        m->SetBiosType(kJapanese);
        m->Reset();
        EXPECT_TRUE(static_cast<bool>(m->LoadCartridge(TestRom("pause_wait"))));
        EXPECT_TRUE(RunUntil(*m.Machine, kSceneReady, 60));
        Run(5);
    }
    void Run(int frames) {
        for (int f = 0; f < frames; ++f) m->RunFrame();
    }
    // Holds the key for the given number of frames, then lets go for one.
    void Press(int heldFrames = 1) {
        m.Input1.SetState(pause);
        Run(heldFrames);
        m.Input1.SetState({});
        Run(1);
    }
    std::uint8_t FrameCount() const { return Ram(*m.Machine, kFrames); }
};

TEST(Timing, PauseHandlerWaitingForTheSecondPressFreezesFrameInterrupts) {
    PausingGame game;
    const std::uint8_t before = game.FrameCount();
    game.Run(10);
    EXPECT_GE(static_cast<std::uint8_t>(game.FrameCount() - before), 9) << "frame interrupts run";

    game.Press();
    EXPECT_EQ(Ram(*game.m.Machine, kPaused), 1);
    const std::uint8_t paused = game.FrameCount();
    game.Run(60);
    EXPECT_EQ(game.FrameCount(), paused) << "no frame interrupt while paused";
    EXPECT_EQ(Ram(*game.m.Machine, kPauses), 1);

    game.Press();
    EXPECT_EQ(Ram(*game.m.Machine, kPaused), 0);
    EXPECT_EQ(Ram(*game.m.Machine, kPauses), 2);
    const std::uint8_t resumed = game.FrameCount();
    game.Run(10);
    EXPECT_GE(static_cast<std::uint8_t>(game.FrameCount() - resumed), 9)
        << "frame interrupts run again";
}

TEST(Timing, HoldingThePauseKeyForASecondPausesOnce) {
    PausingGame game;
    game.Press(60);
    EXPECT_EQ(Ram(*game.m.Machine, kPauses), 1);
    EXPECT_EQ(Ram(*game.m.Machine, kPaused), 1);
    const std::uint8_t paused = game.FrameCount();
    game.Run(30);
    EXPECT_EQ(game.FrameCount(), paused);
}

} // namespace
} // namespace velmar::scenes
