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
    // Sleep(0) gives up the rest of the time slice.
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

} // namespace velmar
