#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmar {

// Our own boot firmware: the Japanese image at offset 0 and the American / Brazilian
// image at offset 8192, assembled from firmware/*.asm at build time.
inline constexpr std::size_t kBiosImageSize = 8192;
inline constexpr std::size_t kBiosStoreSize = 2 * kBiosImageSize;
extern const std::array<std::uint8_t, kBiosStoreSize> kBiosStore;

} // namespace velmar
