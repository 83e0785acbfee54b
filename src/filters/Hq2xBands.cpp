#include "filters/Hq2xBands.h"

#include <algorithm>
#include <system_error>

namespace velmar::hq2x {

BandThreads* BandThreads::Instance() {
    static BandThreads* const threads = [] {
        const unsigned processors = std::thread::hardware_concurrency();
        return processors > 1 ? new BandThreads(std::min(processors - 1, 3u)) : nullptr;
    }();
    return threads;
}

// Fewer threads than asked for, or none, where the system refuses more: the asking thread
// takes whatever bands are left.
BandThreads::BandThreads(unsigned threads) {
    try {
        for (unsigned k = 0; k < threads; ++k) threads_.emplace_back([this] { Loop(); });
    } catch (const std::system_error&) {
    }
}

void BandThreads::Run(const void* job, Work work, int bands, int helpers) {
    std::unique_lock<std::mutex> busy(busy_, std::try_to_lock);
    if (!busy.owns_lock() || helpers <= 0 || threads_.empty()) {
        for (int b = 0; b < bands; ++b) work(job, b);
        return;
    }
    std::uint64_t request;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        request = ++request_;
        job_ = job;
        work_ = work;
        bands_ = bands;
        done_ = 0;
        next_.store(request << 8, std::memory_order_release);
    }
    // Only the threads asked for are woken; one that wakes anyway finds a band or none.
    if (helpers >= Helpers()) {
        wake_.notify_all();
    } else {
        for (int k = 0; k < helpers; ++k) wake_.notify_one();
    }
    const int mine = WorkClaimed(job, work, bands, request);
    std::unique_lock<std::mutex> lock(mutex_);
    done_ += mine;
    finished_.wait(lock, [&] { return done_ == bands; });
    job_ = nullptr;
}

int BandThreads::WorkClaimed(const void* job, Work work, int bands, std::uint64_t request) {
    int count = 0;
    std::uint64_t next = next_.load(std::memory_order_acquire);
    for (;;) {
        if ((next >> 8) != request || static_cast<int>(next & 0xFF) >= bands) return count;
        if (!next_.compare_exchange_weak(next, next + 1, std::memory_order_acq_rel)) continue;
        work(job, static_cast<int>(next & 0xFF));
        ++count;
        next = next_.load(std::memory_order_acquire);
    }
}

void BandThreads::Loop() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return request_ != seen; });
        seen = request_;
        if (job_ == nullptr) continue; // finished before this thread woke
        const void* job = job_;
        const Work work = work_;
        const int bands = bands_;
        lock.unlock();
        // The job stays valid while a band of this request is unclaimed or unfinished.
        const int mine = WorkClaimed(job, work, bands, seen);
        lock.lock();
        if (mine > 0) {
            done_ += mine;
            finished_.notify_one();
        }
    }
}

} // namespace velmar::hq2x
