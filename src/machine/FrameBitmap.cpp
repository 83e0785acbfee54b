#include "machine/FrameBitmap.h"

#include <algorithm>
#include <vector>

namespace velmar {

namespace {
constexpr std::uint32_t kHeaderBytes = 14 + 40;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
} // namespace

void FrameBitmap::MirrorVertically() {
    for (int top = 0, bottom = kHeight - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(Pixels.begin() + top * kPitch, Pixels.begin() + (top + 1) * kPitch,
                         Pixels.begin() + bottom * kPitch);
}

std::vector<std::uint8_t> FrameBitmap::BmpBytes() const {
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + kImageBytes);
    // File header.
    out.push_back('B');
    out.push_back('M');
    Put32(out, static_cast<std::uint32_t>(kHeaderBytes + kImageBytes));
    Put32(out, 0);
    Put32(out, kHeaderBytes);
    // Bitmap information header: bottom-up (positive height), 24 bits, uncompressed.
    Put32(out, 40);
    Put32(out, kWidth);
    Put32(out, kHeight);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(kImageBytes));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    return out;
}

} // namespace velmar
