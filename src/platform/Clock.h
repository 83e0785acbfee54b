#pragma once

#include <cstdint>

namespace velmar {

// Time sources and waiting, as the frame pacing uses them.
class Clock {
  public:
    virtual ~Clock() = default;

    // A millisecond timer that wraps at 2^32.
    virtual std::uint32_t Milliseconds() = 0;
    virtual std::int64_t PerformanceCounter() = 0;
    // Performance-counter ticks per second.
    virtual std::int64_t PerformanceFrequency() = 0;
    // Returns once the performance counter reads counter or more: one sleep, no spinning
    // (at once when the time has come).
    virtual void WaitUntil(std::int64_t counter) = 0;
};

} // namespace velmar
