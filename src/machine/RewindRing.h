#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace velmar {

// The recent past of a running game, as a ring of save states in memory, newest last.
//
// The newest state is kept whole; each older one is kept as the difference from the state
// after it (the bytes exclusive-or'ed, which leaves zeros wherever nothing changed) in a
// run-length code: a count of unchanged bytes, a count of changed ones and those bytes.
// Stepping back undoes the newest difference; when the ring is full the oldest difference
// is dropped. A frame of play changes a few hundred bytes to a few kilobytes of the 57,444,
// so minutes fit in a few megabytes.
//
// All memory is reserved when the ring is created: Push and Pop never allocate.
class RewindRing {
  public:
    // States of stateBytes bytes, differences taking at most codeBytes in all, at most
    // maxStates states kept.
    RewindRing(std::size_t stateBytes, std::size_t codeBytes, std::size_t maxStates);

    // Keeps a state (exactly stateBytes long) as the newest.
    void Push(std::span<const std::uint8_t> state);
    // Takes the newest state out into out (stateBytes long); false when the ring is empty.
    bool Pop(std::span<std::uint8_t> out);
    void Clear();

    // States that can be stepped back to.
    std::size_t States() const { return haveNewest_ ? entries_ + 1 : 0; }
    // Memory the states take now: the newest whole state and the differences.
    std::size_t BytesUsed() const { return (haveNewest_ ? stateBytes_ : 0) + codeUsed_; }

    // The run-length code of the difference of two states, and its inverse (applied onto
    // a state in place). Exposed for tests; Encode returns the bytes written to out, which
    // must hold MaxCodeBytes().
    static std::size_t Encode(std::span<const std::uint8_t> now,
                              std::span<const std::uint8_t> before, std::uint8_t* out);
    static void Apply(std::span<const std::uint8_t> code, std::span<std::uint8_t> state);
    std::size_t MaxCodeBytes() const { return scratch_.size(); }

  private:
    struct Entry {
        std::size_t Start = 0; // in code_, where the difference begins (it may wrap)
        std::size_t Length = 0;
    };
    void DropOldest();
    void CopyIn(const std::uint8_t* bytes, std::size_t length);

    std::size_t stateBytes_;
    std::vector<std::uint8_t> newest_;
    bool haveNewest_ = false;
    std::size_t codeSize_;
    std::unique_ptr<std::uint8_t[]> code_; // the differences, a ring of bytes
    std::vector<std::uint8_t> scratch_;    // one difference, whole
    std::vector<Entry> entryRing_;         // the differences in order, a ring of entries
    std::size_t firstEntry_ = 0;           // the oldest difference
    std::size_t entries_ = 0;
    std::size_t codeStart_ = 0; // where the oldest difference begins
    std::size_t codeUsed_ = 0;
};

} // namespace velmar
