#pragma once

// platform/null (velmar_platform_null): headless stand-ins for the services: an in-memory
// display, a stream buffer nobody plays, scripted input, and clocks that stand still or move
// only when a test says so.

#include "platform/DisplaySurface.h"

#include <cstdint>
#include <vector>

namespace velmar {

// An in-memory back surface (512 x 384 at 32 bits per pixel unless told otherwise); flips
// are only counted.
class NullDisplay final : public DisplaySurface {
  public:
    explicit NullDisplay(int width = 512, int height = 384, int bitsPerPixel = 32);

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void Resize(int width, int height) override;
    bool Lock(SurfaceLock& lock) override;
    void Unlock() override { locked_ = false; }
    void Flip() override { ++Flips; }

    int BitsPerPixel() const { return bitsPerPixel_; }
    std::ptrdiff_t Pitch() const { return static_cast<std::ptrdiff_t>(width_) * bitsPerPixel_ / 8; }
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }
    bool Locked() const { return locked_; }

    int Flips = 0;

  private:
    int width_;
    int height_;
    int bitsPerPixel_;
    bool locked_ = false;
    std::vector<std::uint8_t> pixels_;
};

} // namespace velmar
