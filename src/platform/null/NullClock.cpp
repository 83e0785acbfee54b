#include "platform/null/NullClock.h"

namespace velmar {

std::int64_t FakeClock::PerformanceCounter() {
    ++CounterReads;
    if (!queued_.empty()) {
        const std::int64_t value = queued_.front();
        queued_.pop_front();
        return value;
    }
    return CounterNow;
}

void FakeClock::Sleep(std::uint32_t milliseconds) {
    Sleeps.push_back(milliseconds);
    CounterNow +=
        milliseconds == 0 ? 1 : static_cast<std::int64_t>(milliseconds) * frequency_ / 1000;
}

} // namespace velmar
