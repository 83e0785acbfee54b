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
        // The last stretch of the frame wait: giving the processor away here can cost a
        // whole time slice of another process on a busy machine, so only a pause hint.
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
        return;
    }
    // The frame wait only sleeps while more than 2 ms remain: 1.8 ms keeps it short of the
    // deadline and leaves well under 2 ms to yield through.
    std::this_thread::sleep_for(std::chrono::microseconds(milliseconds * 1000 + 800));
}

} // namespace velmar
