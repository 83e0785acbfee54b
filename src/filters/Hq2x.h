// HQ2x: enlarges a 256 x 192 RGB565 picture to 512 x 384 at 16, 24 or 32 bits per pixel.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The scalers run code built for the widest vectors the processor offers; this makes them
// run the baseline build instead (or again the widest), so both can be checked.
void UseBaselineCode(bool baseline);

} // namespace hq2x

} // namespace velmar
