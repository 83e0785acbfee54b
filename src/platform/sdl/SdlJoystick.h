#pragma once

#include "platform/InputDevice.h"

#include <cstdint>

struct _SDL_Joystick;

namespace velmar {

// The axis rule: a raw reading between minimum and maximum becomes a value from -range to
// +range, with deadPercent of the half travel around the centre reading 0. The centre is
// taken as minimum + half, so on a signed range (SDL's -32768..32767) a centred stick
// reads 0.
std::int32_t JoystickAxisValue(std::int32_t raw, std::int32_t minimum, std::int32_t maximum,
                               std::int32_t range, std::int32_t deadPercent);

// A joystick read through SDL: the id-th joystick the system reports (counting from 0),
// with axes of range 1000 and a 50 % dead zone. X and Y give the directions, buttons 0 to
// 31 give Button1 to Button32. With no such joystick it reports nothing.
class SdlJoystick final : public InputDevice {
  public:
    static constexpr std::int32_t kRange = 1000;
    static constexpr std::int32_t kDeadZonePercent = 50;
    static constexpr int kButtons = 32;

    explicit SdlJoystick(int id = 0);
    ~SdlJoystick() override;
    SdlJoystick(const SdlJoystick&) = delete;
    SdlJoystick& operator=(const SdlJoystick&) = delete;

    bool Present() const { return joystick_ != nullptr; }
    void Update() override;
    InputState State() const override { return state_; }
    // Button n (0 to 31) held at the last update.
    bool ButtonHeld(int button) const;

    // The state a joystick reading gives, apart from any device: axes as SDL reports them.
    static InputState StateFrom(std::int32_t rawX, std::int32_t rawY, std::uint32_t buttons);

  private:
    _SDL_Joystick* joystick_ = nullptr;
    bool subsystemStarted_ = false;
    InputState state_{};
};

} // namespace velmar
