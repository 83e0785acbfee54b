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

void FakeClock::WaitUntil(std::int64_t counter) {
    Waits.push_back(counter);
    if (counter > CounterNow) CounterNow = counter;
}

} // namespace velmar
