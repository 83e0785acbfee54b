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
    void Sleep(std::uint32_t) override {}
};

// A clock for tests. The counter reads the queued values first (so it can go backwards),
// then its own value; Sleep(n) moves that value on by n milliseconds, Sleep(0) by one tick.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::int64_t frequency = 1000) : frequency_(frequency) {}

    std::uint32_t Milliseconds() override { return MillisecondsNow; }
    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return frequency_; }
    void Sleep(std::uint32_t milliseconds) override;

    void QueueCounter(std::int64_t value) { queued_.push_back(value); }

    std::int64_t CounterNow = 0;
    std::uint32_t MillisecondsNow = 0;
    std::vector<std::uint32_t> Sleeps;
    int CounterReads = 0;

  private:
    std::int64_t frequency_;
    std::deque<std::int64_t> queued_;
};

} // namespace velmar
