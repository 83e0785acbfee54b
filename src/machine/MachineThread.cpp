#include "machine/TSMS.h"

namespace velmar {

// The emulation thread runs frames while asked to; between frames it parks. Each finished
// frame is handed to the presentation side, and the thread waits until it has been shown.
void TSMS::ThreadBody() {
    {
        std::lock_guard lock(mutex_);
        emulationThreadId_ = std::this_thread::get_id();
    }
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (!runRequested_ && !terminate_) {
                parked_ = true;
                cv_.notify_all();
                cv_.wait(lock, [this] { return runRequested_ || terminate_; });
            }
            if (terminate_) {
                parked_ = true;
                cv_.notify_all();
                return;
            }
            parked_ = false;
        }
        EmulateFrame();
        HandOverFrame(true);
        CountFrame();
    }
}

void TSMS::HandOverFrame(bool onEmulationThread) {
    if (!onEmulationThread || services_.HandOver == nullptr) {
        PresentHandedOverFrame();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        handOverPending_ = true;
    }
    cv_.notify_all(); // a parking command may present it
    services_.HandOver->Post();
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !handOverPending_ || terminate_; });
    handOverPending_ = false;
}

void TSMS::ServiceHandOver() {
    {
        std::lock_guard lock(mutex_);
        if (!handOverPending_ || presentingThreadId_ != std::thread::id{}) return;
        presentingThreadId_ = std::this_thread::get_id();
    }
    PresentHandedOverFrame();
    {
        std::lock_guard lock(mutex_);
        presentingThreadId_ = std::thread::id{};
        handOverPending_ = false;
    }
    cv_.notify_all();
}

// While waiting for the thread to park, a frame it hands over meanwhile is presented here,
// so a command issued during a hand-over cannot deadlock.
bool TSMS::Park() {
    std::unique_lock lock(mutex_);
    if (!threadStarted_) return false;
    const bool wasRunning = runRequested_;
    runRequested_ = false;
    cv_.notify_all();
    while (!parked_) {
        if (handOverPending_ && presentingThreadId_ == std::thread::id{}) {
            lock.unlock();
            ServiceHandOver();
            lock.lock();
            continue;
        }
        cv_.wait(lock);
    }
    return wasRunning;
}

void TSMS::Unpark() {
    {
        std::lock_guard lock(mutex_);
        if (!threadStarted_ || terminate_) return;
        runRequested_ = true;
    }
    cv_.notify_all();
}

// The emulation thread itself, and a thread presenting a handed-over frame, may touch the
// cores directly: no frame is running then.
bool TSMS::OnControlledThread() const {
    std::lock_guard lock(mutex_);
    const auto self = std::this_thread::get_id();
    return (threadStarted_ && self == emulationThreadId_) || self == presentingThreadId_;
}

bool TSMS::IsRunning() const {
    std::lock_guard lock(mutex_);
    return runRequested_;
}

void TSMS::PauseEmulation() {
    if (OnControlledThread()) { // a frame boundary is already being held
        SaveBatteryRam();
        return;
    }
    const bool wasRunning = Park();
    SaveBatteryRam();
    if (wasRunning) {
        Psg.Reset(); // silences the chip
        if (services_.Sound != nullptr) services_.Sound->Stop();
    }
}

// Resumes only a parked machine that has a cartridge or the firmware to run. The first
// resume prepares the output and starts the thread.
void TSMS::ResumeEmulation() {
    if (Ready != 1 || OnControlledThread()) return;
    std::unique_lock lock(mutex_);
    if (runRequested_ || terminate_) return;
    runRequested_ = true;
    if (!threadStarted_) {
        lock.unlock();
        PrepareOutput();
        lock.lock();
        threadStarted_ = true;
        thread_ = std::thread([this] { ThreadBody(); });
        return;
    }
    lock.unlock();
    cv_.notify_all();
}

TSMS::~TSMS() {
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
        runRequested_ = false;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

} // namespace velmar
