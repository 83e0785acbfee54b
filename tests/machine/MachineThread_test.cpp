#include "MachineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <mutex>
#include <thread>

using namespace velmar;
using namespace velmar::testing;
using namespace std::chrono_literals;

namespace {

// Counts presentations: each frame's presentation updates both devices once.
class CountingInput final : public InputDevice {
  public:
    void Update() override { Updates.fetch_add(1); }
    InputState State() const override { return {}; }
    std::atomic<int> Updates{0};
};

// A presentation side that only notes each hand-over; the test thread services them, as a
// window thread would from its event loop.
class QueuedHandOver final : public FrameHandOver {
  public:
    void Post() override {
        std::lock_guard lock(mutex);
        ++posts;
        cv.notify_all();
    }
    // Waits until at least n hand-overs were posted.
    bool WaitForPosts(int n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 5s, [&] { return posts >= n; });
    }
    int Posts() {
        std::lock_guard lock(mutex);
        return posts;
    }
    std::mutex mutex;
    std::condition_variable cv;
    int posts = 0;
};

template <class Pred> bool WaitUntil(Pred pred) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct ThreadedMachine {
    CountingInput Input1;
    CountingInput Input2;
    NullClock Clock;
    NullStreamBuffer Sound;
    QueuedHandOver HandOver;
    std::unique_ptr<TSMS> Machine;

    explicit ThreadedMachine(bool queued) {
        MachineServices services;
        services.Input1 = &Input1;
        services.Input2 = &Input2;
        services.Timer = &Clock;
        services.Sound = &Sound;
        if (queued) services.HandOver = &HandOver;
        Machine = std::make_unique<TSMS>(services);
    }
    TSMS* operator->() { return Machine.get(); }
};

TEST(MachineThread, ResumeBeforeReadyStartsNothing) {
    ThreadedMachine m(false);
    m->ResumeEmulation();
    EXPECT_FALSE(m->IsRunning());
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m.Input1.Updates.load(), 0);
    m->PauseEmulation(); // harmless on a machine that never ran
    EXPECT_FALSE(m->IsRunning());
}

TEST(MachineThread, PauseParksAtAFrameBoundaryAndResumeContinues) {
    ThreadedMachine m(false);
    m->RunBios();
    m->ResumeEmulation();
    EXPECT_TRUE(m->IsRunning());
    ASSERT_TRUE(WaitUntil([&] { return m.Input1.Updates.load() >= 5; }));

    m->PauseEmulation();
    EXPECT_FALSE(m->IsRunning());
    const int frames = m.Input1.Updates.load();
    // Parked between frames: every frame run was also presented, and nothing runs now.
    EXPECT_EQ(m->GetPresenter().FrameCount, frames);
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(m.Input1.Updates.load(), frames);
    m->PauseEmulation(); // pausing twice is harmless

    // Commands reach the cores while parked; the thread carries on from there.
    m->SetFrameskip(1);
    m->ResumeEmulation();
    ASSERT_TRUE(WaitUntil([&] { return m.Input1.Updates.load() >= frames + 5; }));
    // A command while running parks the thread for its duration and lets it go on.
    m->SetFrameskip(0);
    EXPECT_TRUE(m->IsRunning());
    // A light gun is plugged in the same way, and aimed and fired from this thread while
    // frames run; the next input step takes both.
    m->SetLightGun(bus::kPortA);
    m->AimGun(10, 20);
    m->PullGunTrigger(true);
    const int later = m.Input1.Updates.load();
    ASSERT_TRUE(WaitUntil([&] { return m.Input1.Updates.load() >= later + 5; }));
    // Rewinding, fast-forward and the volume are set from this thread while frames run.
    m->SetRewindRecording(true);
    ASSERT_TRUE(WaitUntil([&] { return m->RewindFramesKept() >= 5; }));
    m->SetRewinding(true);
    m->SetFastForward(true);
    m->SetVolume(50);
    ASSERT_TRUE(WaitUntil([&] { return m->RewindFramesKept() == 0; }));
    m->SetRewinding(false);
    m->SetFastForward(false);
    m->PauseEmulation();
    EXPECT_EQ(m->GetConsole().Frameskip, 0);
    const T_INTERCONNECT_CORE& bus = m->GetConsole().Bus;
    EXPECT_EQ(bus.GunX, 10);
    EXPECT_EQ(bus.GunY, 20);
    EXPECT_EQ(bus.PortA & bus::kPortAPad1Button1, 0);
}

TEST(MachineThread, HandOverWaitsForThePresentationSide) {
    ThreadedMachine m(true);
    m->RunBios();
    m->ServiceHandOver(); // nothing waits: does nothing
    EXPECT_EQ(m.Input1.Updates.load(), 0);
    m->ResumeEmulation();
    for (int frame = 1; frame <= 5; ++frame) {
        ASSERT_TRUE(m.HandOver.WaitForPosts(frame));
        // The emulation thread waits: nothing more is posted until this frame is presented.
        std::this_thread::sleep_for(2ms);
        EXPECT_EQ(m.HandOver.Posts(), frame);
        EXPECT_EQ(m.Input1.Updates.load(), frame - 1);
        m->ServiceHandOver();
        EXPECT_EQ(m.Input1.Updates.load(), frame);
    }
    ASSERT_TRUE(m.HandOver.WaitForPosts(6));
    m->PauseEmulation(); // presents the waiting frame itself, then parks
    EXPECT_EQ(m.Input1.Updates.load(), 6);
    EXPECT_EQ(m.HandOver.Posts(), 6);
}

TEST(MachineThread, PauseRequestedDuringAHandOverDoesNotDeadlock) {
    ThreadedMachine m(true);
    m->RunBios();
    m->ResumeEmulation();
    ASSERT_TRUE(m.HandOver.WaitForPosts(1));
    // The frame waits for a presentation that this thread has not given; pausing now must
    // neither deadlock nor lose the frame.
    m->PauseEmulation();
    EXPECT_FALSE(m->IsRunning());
    EXPECT_EQ(m.Input1.Updates.load(), m.HandOver.Posts());
    // Commands and a restart work as usual afterwards.
    m->Reset();
    const int posted = m.HandOver.Posts();
    m->ResumeEmulation();
    ASSERT_TRUE(m.HandOver.WaitForPosts(posted + 1));
    m->ServiceHandOver();
    m->GameReset(); // while running: pressed at the next presentation, no waiting
    ASSERT_TRUE(m.HandOver.WaitForPosts(posted + 2));
    m->ServiceHandOver();
    m->PauseEmulation();
}

// Pausing a machine that plays silences it: the stream stops and the PSG is reset. One that
// is parked already is left as it is. (The hand-over is serviced here, so the stream is
// started on this thread.)
TEST(MachineThread, PausingSilencesARunningMachineOnly) {
    ThreadedMachine m(true);
    const TempFolder dir;
    std::vector<std::uint8_t> rom(8192, 0x00);
    const std::uint8_t loud[] = {0xF3, 0x3E, 0x90, 0xD3, 0x7F, 0x18, 0xFE}; // tone 1 at full
    std::copy(std::begin(loud), std::end(loud), rom.begin());
    m->SetBiosType(0); // starts the cartridge at once
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "loud.sms", rom)));
    m->ResumeEmulation();
    for (int frame = 1; frame <= 40 && !m.Sound.IsPlaying(); ++frame) {
        ASSERT_TRUE(m.HandOver.WaitForPosts(frame));
        m->ServiceHandOver();
    }
    ASSERT_TRUE(m.Sound.IsPlaying());
    m->PauseEmulation();
    EXPECT_FALSE(m.Sound.IsPlaying());
    EXPECT_EQ(m->GetConsole().Psg.GetTone(0).Attenuation, T_PSG_CORE::kSilent);

    m.Sound.Play();
    m->GetConsole().Psg.WriteData(0x90);
    m->PauseEmulation();
    EXPECT_TRUE(m.Sound.IsPlaying());
    EXPECT_EQ(m->GetConsole().Psg.GetTone(0).Attenuation, 0);
}

TEST(MachineThread, DestroyingARunningMachineJoinsItsThread) {
    for (bool queued : {false, true}) {
        ThreadedMachine m(queued);
        m->RunBios();
        m->ResumeEmulation();
        if (queued)
            ASSERT_TRUE(m.HandOver.WaitForPosts(1));
        else
            ASSERT_TRUE(WaitUntil([&] { return m.Input1.Updates.load() >= 2; }));
        m.Machine.reset(); // joins, even with a hand-over nobody will service
        EXPECT_EQ(m.Machine, nullptr);
    }
}

} // namespace
