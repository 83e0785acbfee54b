#pragma once

#include "platform/Clock.h"

namespace velmar {

// The desktop's clock for frame pacing: a steady nanosecond counter and one sleep to the end
// of each wait. UseFineTimers asks the system to end sleeps close to their deadline, so a
// single sleep per frame keeps the frames evenly spaced without waking up in between.
class PacingClock final : public Clock {
  public:
    // Asks the system for fine sleeps on the calling thread (best effort).
    static void UseFineTimers();

    std::uint32_t Milliseconds() override;
    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return 1000000000; }
    void WaitUntil(std::int64_t counter) override;
};

} // namespace velmar
