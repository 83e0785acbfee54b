#pragma once

// core/util: what every chip shares: the Result type, whole-file reading and atomic writing,
// and the little-endian state streams of the save-state format.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmar {

// Save states are headerless little-endian concatenations of fields. Each core writes one
// template function over the stream type that lists its fields once, in file order, and
// both saving and loading go through it:
//
//     template <class Stream> void SerializeState(Stream& s) { s.U8(a); s.U16(pc); ... }
//
// StateWriter appends the fields; StateReader fills them from a byte block and never reads
// past its end (a short block leaves the remaining fields untouched and marks the reader
// failed).
class StateWriter {
  public:
    static constexpr bool kLoading = false;

    void U8(const std::uint8_t& v) { bytes_.push_back(v); }
    void U16(const std::uint16_t& v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(const std::uint32_t& v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void I32(const std::int32_t& v) { U32(static_cast<std::uint32_t>(v)); }
    void Bytes(const std::uint8_t* p, std::size_t n) { bytes_.insert(bytes_.end(), p, p + n); }

    // Sets the stream position back to 0, discarding what was written.
    void Rewind() { bytes_.clear(); }
    std::size_t Position() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Data() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

class StateReader {
  public:
    static constexpr bool kLoading = true;

    explicit StateReader(std::span<const std::uint8_t> data) : data_(data) {}

    void U8(std::uint8_t& v) {
        if (Need(1)) v = data_[pos_++];
    }
    void U16(std::uint16_t& v) {
        if (!Need(2)) return;
        v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
    }
    void U32(std::uint32_t& v) {
        if (!Need(4)) return;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(data_[pos_ + i]) << (8 * i);
        pos_ += 4;
    }
    void I32(std::int32_t& v) {
        std::uint32_t u = static_cast<std::uint32_t>(v);
        U32(u);
        v = static_cast<std::int32_t>(u);
    }
    void Bytes(std::uint8_t* p, std::size_t n) {
        if (!Need(n)) return;
        for (std::size_t i = 0; i < n; ++i) p[i] = data_[pos_ + i];
        pos_ += n;
    }

    void Rewind() { pos_ = 0; }
    std::size_t Position() const { return pos_; }
    bool Failed() const { return failed_; }

  private:
    bool Need(std::size_t n) {
        if (failed_ || data_.size() - pos_ < n) {
            failed_ = true;
            return false;
        }
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace velmar
