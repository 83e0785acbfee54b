#pragma once

#include <cstddef>
#include <cstdint>

namespace velmar {

// A locked back surface: the first pixel, the bytes between rows and the pixel depth.
struct SurfaceLock {
    std::uint8_t* Pixels = nullptr;
    std::ptrdiff_t Pitch = 0;
    int BitsPerPixel = 0;
};

// The back surface that each frame is drawn on, then flipped to the screen.
class DisplaySurface {
  public:
    virtual ~DisplaySurface() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void Resize(int width, int height) = 0;
    // Locks the whole surface; false when it cannot be locked (nothing to unlock then).
    virtual bool Lock(SurfaceLock& lock) = 0;
    virtual void Unlock() = 0;
    // Shows the back surface (waiting for the vertical blank when the display is set so).
    virtual void Flip() = 0;
};

} // namespace velmar
