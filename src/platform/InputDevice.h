#pragma once

#include <bitset>
#include <cstddef>

namespace velmar {

// What an input device reports after an update: flags 0 up, 1 down, 2 left, 3 right,
// 4 to 35 buttons 1 to 32 (36 to 39 unused).
inline constexpr std::size_t kInputStateFlags = 40;
using InputState = std::bitset<kInputStateFlags>;

inline constexpr std::size_t kInputUp = 0;
inline constexpr std::size_t kInputDown = 1;
inline constexpr std::size_t kInputLeft = 2;
inline constexpr std::size_t kInputRight = 3;
inline constexpr std::size_t kInputButton1 = 4;

// A keyboard or joystick bound to one pad, sampled once per frame.
class InputDevice {
  public:
    virtual ~InputDevice() = default;

    // Samples the device; State() then reports what it saw.
    virtual void Update() = 0;
    virtual InputState State() const = 0;
};

} // namespace velmar
