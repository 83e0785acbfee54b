#include "platform/chrono/SteadyClock.h"

#include <chrono>
#include <thread>

namespace velmar {

std::uint32_t SteadyClock::Milliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

std::int64_t SteadyClock::PerformanceCounter() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
}

void SteadyClock::WaitUntil(std::int64_t counter) {
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::nanoseconds(counter)));
}

} // namespace velmar
