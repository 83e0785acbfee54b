// HQ2x: enlarges a 256 x 192 RGB565 picture to 512 x 384 at 16, 24 or 32 bits per pixel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmar {

inline constexpr int kHq2xSourceWidth = 256, kHq2xSourceHeight = 192;

// source: 192 rows of 256 RGB565 pixels, top row first, rows 256 pixels apart.
// dest: first byte of a 512 x 384 area, rows pitch bytes apart. filterEnabled: 1 = filter on.
void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled);
void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled);
void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled);

namespace hq2x {
struct CacheAccess;
} // namespace hq2x

// One caller's last source picture and its scaled output at one depth and filter setting.
// Scaling through a cache scales again only the output blocks whose 3 x 3 neighbourhood
// changed since the last frame (in runs of 16 source pixels) and copies the others from the
// kept output, which is the scaler's own copy: the destination is only ever written. The
// output is the same as without the cache. A change of depth or filter setting scales the
// next frame in full, and so does a frame after one in which nearly every row changed (a
// scroll), whose output is not kept. A cache serves one caller at a time; its 0.9 MB are
// allocated with its first frame.
class Hq2xCache {
  private:
    friend struct hq2x::CacheAccess;
    bool sourceKept_ = false;
    int bytesPerPixel_ = 0; // of the kept output; 0: none kept
    bool filter_ = false;
    std::vector<std::uint16_t> source_;
    std::vector<std::uint8_t> output_; // lines 512 x bytesPerPixel_ bytes apart
    // Per row of the kept source: whether it holds a colour that is not the console's.
    std::array<bool, kHq2xSourceHeight> stray_{};
    // Per source row, the runs of 16 pixels to scale this frame (bit k: pixels 16k to 16k + 15).
    std::array<std::uint16_t, kHq2xSourceHeight> runs_{};
};

// The same through a cache.
void Hq2x16(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache);
void Hq2x24(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache);
void Hq2x32(const std::uint16_t* source, std::uint8_t* dest, std::ptrdiff_t pitch,
            std::uint8_t filterEnabled, Hq2xCache& cache);

namespace hq2x {

// The scalers run code built for the widest vectors the processor offers; this makes them
// run the baseline build instead (or again the widest), so both can be checked.
void UseBaselineCode(bool baseline);

} // namespace hq2x

} // namespace velmar
