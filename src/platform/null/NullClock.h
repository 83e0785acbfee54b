#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace velmar {

// A clock that stands still: the counters read 0, so pacing never waits and runs are
// independent of the wall clock.
class NullClock final : public Clock {
  public:
    std::uint32_t Milliseconds() override { return 0; }
    std::int64_t PerformanceCounter() override { return 0; }
    std::int64_t PerformanceFrequency() override { return 1000000; }
    void WaitUntil(std::int64_t) override {}
};

// A clock for tests. The counter reads the queued values first (so it can go backwards),
// then its own value; WaitUntil moves that value on to the counter waited for (never back)
// and records the wait.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::int64_t frequency = 1000) : frequency_(frequency) {}

    std::uint32_t Milliseconds() override { return MillisecondsNow; }
    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return frequency_; }
    void WaitUntil(std::int64_t counter) override;

    void QueueCounter(std::int64_t value) { queued_.push_back(value); }

    std::int64_t CounterNow = 0;
    std::uint32_t MillisecondsNow = 0;
    // The counters waited for, in order.
    std::vector<std::int64_t> Waits;
    int CounterReads = 0;

  private:
    std::int64_t frequency_;
    std::deque<std::int64_t> queued_;
};

} // namespace velmar
