#include "machine/EmulationThread.h"

#if defined(__linux__)
#include <pthread.h>
#endif

namespace velmar {

EmulationThread::EmulationThread(Rewinder& frames, Presenter& presenter, FrameHandOver* handOver)
    : frames_(frames), presenter_(presenter), handOver_(handOver) {}

// The emulation thread runs frames while asked to; between frames it parks. Each finished
// frame is handed to the presentation side, and the thread waits until it has been shown.
void EmulationThread::ThreadBody() {
#if defined(__linux__)
    (void)pthread_setname_np(pthread_self(), "velmar-emu"); // so tools can tell it apart
#endif
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
        frames_.RunFrame(presenter_);
        HandOverFrame();
        presenter_.CountFrame();
        presenter_.Pace(); // here, so the window thread never waits for the frame's time
    }
}

void EmulationThread::HandOverFrame() {
    if (handOver_ == nullptr) {
        presenter_.PresentHandedOverFrame();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        handOverPending_ = true;
    }
    cv_.notify_all(); // a parking command may present it
    handOver_->Post();
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !handOverPending_ || terminate_; });
    handOverPending_ = false;
}

void EmulationThread::ServiceHandOver() {
    {
        std::lock_guard lock(mutex_);
        if (!handOverPending_ || presentingThreadId_ != std::thread::id{}) return;
        presentingThreadId_ = std::this_thread::get_id();
    }
    presenter_.PresentHandedOverFrame();
    {
        std::lock_guard lock(mutex_);
        presentingThreadId_ = std::thread::id{};
        handOverPending_ = false;
    }
    cv_.notify_all();
}

// While waiting for the thread to park, a frame it hands over meanwhile is presented here,
// so a command issued during a hand-over cannot deadlock.
bool EmulationThread::Park() {
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

void EmulationThread::Unpark() {
    {
        std::lock_guard lock(mutex_);
        if (!threadStarted_ || terminate_) return;
        runRequested_ = true;
    }
    cv_.notify_all();
}

// The emulation thread itself, and a thread presenting a handed-over frame, may touch the
// cores directly: no frame is running then.
bool EmulationThread::OnControlledThread() const {
    std::lock_guard lock(mutex_);
    const auto self = std::this_thread::get_id();
    return (threadStarted_ && self == emulationThreadId_) || self == presentingThreadId_;
}

bool EmulationThread::IsRunning() const {
    std::lock_guard lock(mutex_);
    return runRequested_;
}

// The first resume prepares the output and starts the thread.
void EmulationThread::Resume() {
    std::unique_lock lock(mutex_);
    if (runRequested_ || terminate_) return;
    runRequested_ = true;
    if (!threadStarted_) {
        lock.unlock();
        presenter_.PrepareOutput();
        lock.lock();
        threadStarted_ = true;
        thread_ = std::thread([this] { ThreadBody(); });
        return;
    }
    lock.unlock();
    cv_.notify_all();
}

EmulationThread::~EmulationThread() {
    {
        std::lock_guard lock(mutex_);
        terminate_ = true;
        runRequested_ = false;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
}

} // namespace velmar
