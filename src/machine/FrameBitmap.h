#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velmar {

// The 512 x 384, 24 bits per pixel frame bitmap that snapshots and AVI frames are rendered
// into. Rows are 1536 bytes apart; pixels are blue, green, red.
struct FrameBitmap {
    static constexpr int kWidth = 512;
    static constexpr int kHeight = 384;
    static constexpr int kPitch = kWidth * 3;
    static constexpr std::size_t kImageBytes = static_cast<std::size_t>(kPitch) * kHeight;

    std::array<std::uint8_t, kImageBytes> Pixels{};

    // The scaler writes the top row first; a bitmap stores the bottom row first.
    void MirrorVertically();
    // The pixels, taken as bottom-up rows, as the bytes of a Windows BMP file.
    std::vector<std::uint8_t> BmpBytes() const;
};

} // namespace velmar
