#include "machine/RewindRing.h"

#include <algorithm>
#include <cstring>

namespace velmar {

namespace {

// Unchanged stretches shorter than this stay inside a run of changed bytes: a new pair of
// counts would cost as much as they do.
constexpr std::size_t kShortestGap = 3;

std::size_t PutCount(std::size_t value, std::uint8_t* out) {
    std::size_t n = 0;
    while (value >= 0x80) {
        out[n++] = static_cast<std::uint8_t>(value | 0x80);
        value >>= 7;
    }
    out[n++] = static_cast<std::uint8_t>(value);
    return n;
}

std::size_t GetCount(std::span<const std::uint8_t> code, std::size_t& at) {
    std::size_t value = 0;
    for (unsigned shift = 0; at < code.size(); shift += 7) {
        const std::uint8_t b = code[at++];
        value |= static_cast<std::size_t>(b & 0x7F) << shift;
        if ((b & 0x80) == 0) break;
    }
    return value;
}

// The first byte from i on where the two differ (or n), eight bytes at a time.
std::size_t SameUpTo(const std::uint8_t* a, const std::uint8_t* b, std::size_t i, std::size_t n) {
    while (i + 8 <= n) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) break;
        i += 8;
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

} // namespace

RewindRing::RewindRing(std::size_t stateBytes, std::size_t codeBytes, std::size_t maxStates)
    : stateBytes_(stateBytes), newest_(stateBytes), codeSize_(std::max<std::size_t>(codeBytes, 1)),
      // Not cleared: the memory is taken by the system only as the differences fill it.
      code_(std::make_unique_for_overwrite<std::uint8_t[]>(codeSize_)),
      // The worst case: every byte changed, and the counts of each run.
      scratch_(stateBytes + stateBytes / 2 + 32), entryRing_(std::max<std::size_t>(maxStates, 1)) {}

std::size_t RewindRing::Encode(std::span<const std::uint8_t> now,
                               std::span<const std::uint8_t> before, std::uint8_t* out) {
    const std::size_t n = std::min(now.size(), before.size());
    const std::uint8_t* a = now.data();
    const std::uint8_t* b = before.data();
    std::size_t written = 0;
    std::size_t i = 0;
    while (i < n) {
        const std::size_t changed = SameUpTo(a, b, i, n);
        if (changed == n) break; // the rest is unchanged: the code ends
        // The run of changed bytes goes on across unchanged stretches too short to end it.
        std::size_t end = changed;
        while (end < n) {
            if (a[end] != b[end]) {
                ++end;
                continue;
            }
            const std::size_t next = SameUpTo(a, b, end, std::min(n, end + kShortestGap));
            if (next - end >= kShortestGap || next == n) break;
            end = next;
        }
        written += PutCount(changed - i, out + written);
        written += PutCount(end - changed, out + written);
        for (std::size_t k = changed; k < end; ++k)
            out[written++] = static_cast<std::uint8_t>(a[k] ^ b[k]);
        i = end;
    }
    return written;
}

void RewindRing::Apply(std::span<const std::uint8_t> code, std::span<std::uint8_t> state) {
    std::size_t at = 0;
    std::size_t i = 0;
    while (at < code.size()) {
        i += GetCount(code, at);
        const std::size_t changed = GetCount(code, at);
        for (std::size_t k = 0; k < changed && at < code.size() && i < state.size(); ++k)
            state[i++] ^= code[at++];
    }
}

void RewindRing::DropOldest() {
    const Entry& oldest = entryRing_[firstEntry_];
    codeStart_ = (codeStart_ + oldest.Length) % codeSize_;
    codeUsed_ -= oldest.Length;
    firstEntry_ = (firstEntry_ + 1) % entryRing_.size();
    --entries_;
}

void RewindRing::CopyIn(const std::uint8_t* bytes, std::size_t length) {
    const std::size_t start = (codeStart_ + codeUsed_) % codeSize_;
    const std::size_t first = std::min(length, codeSize_ - start);
    std::memcpy(code_.get() + start, bytes, first);
    std::memcpy(code_.get(), bytes + first, length - first);
    entryRing_[(firstEntry_ + entries_) % entryRing_.size()] = {start, length};
    ++entries_;
    codeUsed_ += length;
}

void RewindRing::Push(std::span<const std::uint8_t> state) {
    if (state.size() != stateBytes_) return;
    if (haveNewest_) {
        const std::size_t length = Encode(newest_, state, scratch_.data());
        while (entries_ > 0 &&
               (entries_ + 1 >= entryRing_.size() || codeUsed_ + length > codeSize_))
            DropOldest();
        // A difference larger than the whole ring cannot be kept: the past before it is lost.
        if (length <= codeSize_ && entries_ + 1 < entryRing_.size())
            CopyIn(scratch_.data(), length);
    }
    std::memcpy(newest_.data(), state.data(), stateBytes_);
    haveNewest_ = true;
}

bool RewindRing::Pop(std::span<std::uint8_t> out) {
    if (!haveNewest_ || out.size() != stateBytes_) return false;
    std::memcpy(out.data(), newest_.data(), stateBytes_);
    if (entries_ == 0) {
        haveNewest_ = false;
        return true;
    }
    const Entry& last = entryRing_[(firstEntry_ + entries_ - 1) % entryRing_.size()];
    const std::size_t first = std::min(last.Length, codeSize_ - last.Start);
    std::memcpy(scratch_.data(), code_.get() + last.Start, first);
    std::memcpy(scratch_.data() + first, code_.get(), last.Length - first);
    Apply({scratch_.data(), last.Length}, newest_);
    codeUsed_ -= last.Length;
    --entries_;
    return true;
}

void RewindRing::Clear() {
    haveNewest_ = false;
    entries_ = 0;
    firstEntry_ = 0;
    codeStart_ = 0;
    codeUsed_ = 0;
}

} // namespace velmar
