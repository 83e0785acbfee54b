#pragma once

#include "core/util/StateStream.h"
#include "machine/Console.h"
#include "machine/RewindRing.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmar {

class Presenter;

namespace machine {
// The recent past kept for rewinding: a state at the start of every frame, up to a minute
// of play, in at most this many bytes of differences (a busy game needs 2 to 5 KB a frame).
inline constexpr std::size_t kRewindStates = 60 * 60;
inline constexpr std::size_t kRewindCodeBytes = 24u << 20;
} // namespace machine

// Runs each frame of the machine forwards, keeping the state it starts from (the save state
// and where the CPU stands in time; not the sound chips, which play on), or backwards:
// while Rewinding, each frame steps one frame back. A backward step loads the state the
// frame before started from, runs that frame again to draw its picture (its sound is not
// heard) and loads the state once more, so the game stands exactly where it stood then and
// goes on from there when rewinding ends. At the oldest state kept it stays there.
//
// Recording is off until switched on (the window does; the headless runner never does), so
// a run that does not rewind is the same frame for frame with or without it.
class Rewinder {
  public:
    explicit Rewinder(Console& console);

    // The frame step of the machine: forwards, or one frame back while Rewinding.
    void RunFrame(Presenter& presenter);
    // Whether states are kept; the ring's memory is taken when first switched on, and
    // switching it off forgets the states. Only between frames.
    void SetRecording(bool on);
    bool Recording() const { return ring_ != nullptr && recording_; }
    // Forgets the past (a reset, another game, another mapper). Only between frames.
    void Forget();

    // Set from any thread; read at the start of each frame.
    std::atomic<bool> Rewinding{false};

    // The frames that can be stepped back and the memory they take, readable from any
    // thread.
    std::uint32_t FramesKept() const { return framesKept_.load(std::memory_order_relaxed); }
    std::size_t BytesUsed() const { return bytesUsed_.load(std::memory_order_relaxed); }
    // The ring itself (null until recording was first switched on); only between frames.
    const RewindRing* Ring() const { return ring_.get(); }

  private:
    void Publish();
    void Capture();
    void Restore();

    Console& console_;
    std::unique_ptr<RewindRing> ring_;
    StateWriter writer_;
    std::vector<std::uint8_t> state_;
    bool recording_ = false;
    std::atomic<std::uint32_t> framesKept_{0};
    std::atomic<std::size_t> bytesUsed_{0};
};

} // namespace velmar
