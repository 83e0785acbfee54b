#pragma once

#include "platform/Clock.h"

namespace velmar {

// The window's clock for frame pacing: a steady nanosecond counter; Sleep(n) waits a little
// under n + 1 milliseconds, as a 1 ms system timer does, so the frame wait sleeps through
// most of the frame and waits actively only for its last stretch (under 2 ms). Sleep(0)
// returns at once, so the frame ends on time even on a busy machine.
class PacingClock final : public Clock {
  public:
    // Asks the system for fine sleeps on the calling thread (best effort).
    static void UseFineTimers();

    std::uint32_t Milliseconds() override;
    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return 1000000000; }
    void Sleep(std::uint32_t milliseconds) override;
};

} // namespace velmar
