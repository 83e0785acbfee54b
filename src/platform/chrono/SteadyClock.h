#pragma once

// platform/chrono (velmar_platform_clock): the wall clock from the standard library.

#include "platform/Clock.h"

namespace velmar {

// The wall clock: a steady clock in nanosecond ticks, and real sleeps.
class SteadyClock final : public Clock {
  public:
    std::uint32_t Milliseconds() override;
    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return 1000000000; }
    void WaitUntil(std::int64_t counter) override;
};

} // namespace velmar
