#include "platform/null/NullDisplay.h"

#include <algorithm>

namespace velmar {

NullDisplay::NullDisplay(int width, int height, int bitsPerPixel)
    : width_(0), height_(0), bitsPerPixel_(bitsPerPixel) {
    Resize(width, height);
}

void NullDisplay::Resize(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    pixels_.assign(static_cast<std::size_t>(Pitch()) * static_cast<std::size_t>(height_), 0);
}

bool NullDisplay::Lock(SurfaceLock& lock) {
    if (pixels_.empty()) return false;
    locked_ = true;
    lock.Pixels = pixels_.data();
    lock.Pitch = Pitch();
    lock.BitsPerPixel = bitsPerPixel_;
    return true;
}

} // namespace velmar
