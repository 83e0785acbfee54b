#include "frontend/PacingClock.h"

#include <chrono>
#include <thread>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace velmar {

void PacingClock::UseFineTimers() {
#if defined(__linux__)
    (void)prctl(PR_SET_TIMERSLACK, 1000UL, 0, 0, 0); // 1 microsecond
#endif
}

std::uint32_t PacingClock::Milliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::int64_t PacingClock::PerformanceCounter() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

void PacingClock::Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0) {
        // The last stretch of the frame wait, called in bursts of eleven: a short real sleep
        // keeps the wait within about half a millisecond of its end without spinning.
        std::this_thread::sleep_for(std::chrono::microseconds(40));
        return;
    }
    // The frame wait only sleeps while more than 2 ms remain: 1.8 ms keeps it short of the
    // deadline and leaves well under 2 ms to yield through.
    std::this_thread::sleep_for(std::chrono::microseconds(milliseconds * 1000 + 800));
}

} // namespace velmar
