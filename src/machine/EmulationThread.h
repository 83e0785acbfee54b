#pragma once

#include "machine/Console.h"
#include "machine/Presenter.h"
#include "machine/Rewinder.h"
#include "platform/FrameHandOver.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace velmar {

// The emulation thread around a Console: it runs frames while asked to and parks between
// them. Each finished frame is handed to the presentation side (through the FrameHandOver
// when one is given, whose receiver calls ServiceHandOver on its own thread; inline
// otherwise), and the thread waits until it has been presented. Commands that touch the
// cores run through WithCoresStill, which parks a running thread at its next frame boundary
// for their duration; the per-line path takes no lock.
class EmulationThread {
  public:
    EmulationThread(Rewinder& frames, Presenter& presenter, FrameHandOver* handOver);
    ~EmulationThread(); // stops and joins the thread
    EmulationThread(const EmulationThread&) = delete;
    EmulationThread& operator=(const EmulationThread&) = delete;

    // Lets the thread run frames; the first call prepares the output and starts it.
    void Resume();
    // Stops a running thread at its next frame boundary and reports whether it was running;
    // a frame handed over meanwhile is presented here, so this cannot deadlock.
    bool Park();
    void Unpark();
    template <class F> void WithCoresStill(F&& command);

    // Presents a frame the thread has handed over (does nothing when none waits).
    void ServiceHandOver();
    // True on the emulation thread itself and on a thread presenting a handed-over frame:
    // no frame runs then, so the cores may be touched directly.
    bool OnControlledThread() const;
    // True while the thread is asked to run frames.
    bool IsRunning() const;

  private:
    void ThreadBody();
    void HandOverFrame();

    Rewinder& frames_;
    Presenter& presenter_;
    FrameHandOver* handOver_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::thread thread_;
    bool threadStarted_ = false;
    bool runRequested_ = false;
    bool parked_ = true;
    bool handOverPending_ = false;
    bool terminate_ = false;
    std::thread::id emulationThreadId_{};
    std::thread::id presentingThreadId_{};
};

template <class F> void EmulationThread::WithCoresStill(F&& command) {
    if (OnControlledThread()) {
        command();
        return;
    }
    const bool wasRunning = Park();
    command();
    if (wasRunning) Unpark();
}

} // namespace velmar
