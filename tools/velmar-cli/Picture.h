#pragma once

#include "core/util/Result.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace velmar::cli {

// A picture of 8-bit red, green and blue, top row first.
struct Picture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;

    bool operator==(const Picture&) const = default;
};

// PNG (libpng) or 24-bit BMP, chosen by the name's extension (any case; anything but .bmp
// is PNG).
bool IsBmpName(const std::filesystem::path& file);
std::vector<std::uint8_t> EncodePicture(const Picture& picture, const std::filesystem::path& name);
// Reads a PNG (any kind, converted to RGB) or an uncompressed 24- or 32-bit BMP.
Result DecodePicture(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& name,
                     Picture& out);

// The pixels that differ between two pictures of one size, and a picture of where: the
// actual picture dimmed to a third, with the differing pixels in full red.
struct PictureDifference {
    std::uint64_t Pixels = 0;
    Picture Marked;
};
PictureDifference ComparePictures(const Picture& expected, const Picture& actual);

} // namespace velmar::cli
