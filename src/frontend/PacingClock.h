#pragma once

#include "platform/Clock.h"

namespace velmar {

// The window's clock for frame pacing: a steady nanosecond counter; Sleep(n) waits a little
// under n + 1 milliseconds, as a 1 ms system timer does, so the frame wait sleeps through
// most of the frame and yields only for its last stretch. Sleep(0) yields.
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
