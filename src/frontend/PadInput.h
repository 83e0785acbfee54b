#pragma once

#include "frontend/Configuration.h"
#include "platform/InputDevice.h"

#include <functional>

namespace velmar {

class KeyboardDevice;

// The input object of one pad: a keyboard and a joystick device, each enabled or not and
// bound or not. Its state is the union of the bound devices' states; a disabled device
// reports nothing, and nothing at all is reported while the window is not in front.
class PadInput final : public InputDevice {
  public:
    PadInput(InputDevice* keyboard, InputDevice* joystick, std::function<bool()> inFront)
        : keyboard_(keyboard), joystick_(joystick), inFront_(std::move(inFront)) {}

    // On means enabled and bound; off, disabled and unbound.
    void SetKeyboardOn(bool on) { keyboardOn_ = on; }
    void SetJoystickOn(bool on) { joystickOn_ = on; }
    bool KeyboardOn() const { return keyboardOn_; }
    bool JoystickOn() const { return joystickOn_; }

    void Update() override;
    InputState State() const override { return state_; }

  private:
    InputDevice* keyboard_;
    InputDevice* joystick_;
    std::function<bool()> inFront_;
    bool keyboardOn_ = false;
    bool joystickOn_ = false;
    InputState state_{};
};

// Sets both pads from a stored set-up: the first key of each state, and which device each
// pad plays on (pad 1's joystick flag wins).
void ConfigurePads(const ControllerSetup& setup, KeyboardDevice& keys1, KeyboardDevice& keys2,
                   PadInput& pad1, PadInput& pad2);

} // namespace velmar
