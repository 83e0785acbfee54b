#pragma once

#include "platform/InputDevice.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct _SDL_Joystick;
struct _SDL_GameController;

namespace velmar {

// The axis rule: a raw reading between minimum and maximum becomes a value from -range to
// +range, with deadPercent of the half travel around the centre reading 0. The centre is
// taken as minimum + half, so on a signed range (SDL's -32768..32767) a centred stick
// reads 0.
std::int32_t JoystickAxisValue(std::int32_t raw, std::int32_t minimum, std::int32_t maximum,
                               std::int32_t range, std::int32_t deadPercent);

// A joystick read through SDL: the id-th joystick the system reports (counting from 0),
// with axes of range 1000 and a 50 % dead zone. X and Y give the directions, and so does
// the first hat (the d-pad of most pads); buttons 0 to 31 give Button1 to Button32. A
// gamepad that SDL's controller database knows also gives directions from its d-pad and
// left stick however its driver reports them. Joysticks plugged in or out while the
// program runs are picked up at the next update (SDL's device events). With no such
// joystick it reports nothing.
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
    // Picks up joysticks plugged in or out since the last call; Update does it first.
    void Refresh();
    void Update() override;
    InputState State() const override { return state_; }
    // Button n (0 to 31) held at the last update.
    bool ButtonHeld(int button) const;

    // The names of the joysticks attached, in the system's order, as of the last refresh.
    const std::vector<std::string>& Names() const { return names_; }
    // The name of the one read ("" when none).
    std::string Name() const;
    // Counts the changes of the joysticks attached, so that a caller sees when to look again.
    std::uint32_t Changes() const { return changes_; }
    // For a gamepad SDL's controller database knows, the joystick buttons that are its A, B
    // and Start: the pad's button 1, button 2 and pause by default. None for another
    // joystick, or one whose A, B or Start is not a plain button.
    std::optional<std::array<int, 3>> GamepadButtons() const;

    // The state a joystick reading gives, apart from any device: axes as SDL reports them,
    // the hat as SDL's SDL_HAT_* bits.
    static InputState StateFrom(std::int32_t rawX, std::int32_t rawY, std::uint32_t buttons,
                                std::uint8_t hat = 0);

  private:
    void Open();
    void Close();

    int id_;
    _SDL_Joystick* joystick_ = nullptr;
    _SDL_GameController* gamepad_ = nullptr;
    std::int32_t instance_ = -1;
    bool subsystemStarted_ = false;
    std::vector<std::string> names_;
    std::uint32_t changes_ = 0;
    InputState state_{};
};

} // namespace velmar
