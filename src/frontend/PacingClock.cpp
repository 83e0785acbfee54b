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

void PacingClock::WaitUntil(std::int64_t counter) {
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(counter)));
}

} // namespace velmar
