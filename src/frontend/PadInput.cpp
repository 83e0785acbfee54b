#include "frontend/PadInput.h"

#include "platform/qt/QtKeyboard.h"

namespace velmar {

void PadInput::Update() {
    state_.reset();
    if (inFront_ && !inFront_()) return;
    if (keyboardOn_ && keyboard_ != nullptr) {
        keyboard_->Update();
        state_ |= keyboard_->State();
    }
    if (joystickOn_ && joystick_ != nullptr) {
        joystick_->Update();
        state_ |= joystick_->State();
    }
}

void ConfigurePads(const ControllerSetup& setup, KeyboardDevice& keys1, KeyboardDevice& keys2,
                   PadInput& pad1, PadInput& pad2) {
    const auto assign = [](KeyboardDevice& k, const PadSetup& p, bool withPause) {
        k.Assigns = {};
        const std::int32_t codes[] = {p.Up,      p.Down,    p.Left,   p.Right,
                                      p.Button1, p.Button2, p.Button3};
        for (std::size_t s = 0; s < (withPause ? 7u : 6u); ++s)
            k.Assigns[s][0] = static_cast<std::uint32_t>(codes[s]);
    };
    assign(keys1, setup.Pad1, true);
    assign(keys2, setup.Pad2, false);
    const bool oneOnJoystick = setup.Pad1.Joypad;
    const bool twoOnJoystick = !oneOnJoystick && setup.Pad2.Joypad;
    pad1.SetJoystickOn(oneOnJoystick);
    pad1.SetKeyboardOn(!oneOnJoystick);
    pad2.SetJoystickOn(twoOnJoystick);
    pad2.SetKeyboardOn(!twoOnJoystick);
}

} // namespace velmar
