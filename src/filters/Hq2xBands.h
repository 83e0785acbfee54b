// The threads that scale bands of a frame beside the thread that asks for the frame.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace velmar::hq2x {

// Bands are handed out one at a time from a counter tagged with the request's number, so
// whichever thread is free takes the next; Run returns once every band is done. One request
// runs at a time: a caller that finds the threads busy works through its bands alone.
class BandThreads {
  public:
    using Work = void (*)(const void* job, int band);
    static constexpr int kMostBands = 255;

    // The threads, or null where there is only one processor to run on. Up to three threads
    // help the asking one.
    static BandThreads* Instance();

    // How many threads there are to help.
    int Helpers() const { return static_cast<int>(threads_.size()); }

    // Runs work(job, b) for bands b = 0 to bands - 1 (1 to kMostBands), waking up to helpers
    // threads to take some of them.
    void Run(const void* job, Work work, int bands, int helpers);

  private:
    explicit BandThreads(unsigned threads);
    // Works bands of the given request until none is left; returns how many it did.
    int WorkClaimed(const void* job, Work work, int bands, std::uint64_t request);
    void Loop();

    std::mutex busy_;
    std::mutex mutex_;
    std::condition_variable wake_, finished_;
    std::uint64_t request_ = 0;
    const void* job_ = nullptr;
    Work work_ = nullptr;
    int bands_ = 0;
    int done_ = 0;
    std::atomic<std::uint64_t> next_{0}; // the request's number above 8 bits of band index
    std::vector<std::thread> threads_;
};

} // namespace velmar::hq2x
