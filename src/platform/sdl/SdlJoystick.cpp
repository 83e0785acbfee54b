#include "platform/sdl/SdlJoystick.h"

#include <SDL.h>

#include <cstdlib>

namespace velmar {

std::int32_t JoystickAxisValue(std::int32_t raw, std::int32_t minimum, std::int32_t maximum,
                               std::int32_t range, std::int32_t deadPercent) {
    const std::int64_t half = (static_cast<std::int64_t>(maximum) - minimum) / 2;
    const std::int64_t dead = deadPercent * half / 100;
    if (half == dead) return 0;
    const std::int64_t v = static_cast<std::int64_t>(raw) - minimum - half;
    if (std::llabs(v) <= dead) return 0;
    const std::int64_t numerator = (v > 0 ? v - dead : v + dead) * range;
    const std::int64_t denominator = half - dead;
    // Rounded to nearest, halves away from zero.
    const std::int64_t rounded = numerator >= 0 ? (2 * numerator + denominator) / (2 * denominator)
                                                : (2 * numerator - denominator) / (2 * denominator);
    return static_cast<std::int32_t>(rounded);
}

SdlJoystick::SdlJoystick(int id) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return;
    subsystemStarted_ = true;
    int found = 0;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        SDL_Joystick* joystick = SDL_JoystickOpen(i);
        if (joystick == nullptr) continue;
        if (found++ == id) {
            joystick_ = joystick;
            break;
        }
        SDL_JoystickClose(joystick);
    }
}

SdlJoystick::~SdlJoystick() {
    if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
    if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

InputState SdlJoystick::StateFrom(std::int32_t rawX, std::int32_t rawY, std::uint32_t buttons) {
    InputState state;
    for (int i = 0; i < kButtons; ++i)
        if ((buttons >> i) & 1u) state.set(kInputButton1 + static_cast<std::size_t>(i));
    const std::int32_t x = JoystickAxisValue(rawX, -32768, 32767, kRange, kDeadZonePercent);
    const std::int32_t y = JoystickAxisValue(rawY, -32768, 32767, kRange, kDeadZonePercent);
    if (x < 0) state.set(kInputLeft);
    if (x > 0) state.set(kInputRight);
    if (y < 0) state.set(kInputUp);
    if (y > 0) state.set(kInputDown);
    return state;
}

void SdlJoystick::Update() {
    state_.reset();
    if (joystick_ == nullptr) return;
    SDL_JoystickUpdate();
    std::uint32_t buttons = 0;
    const int count = std::min(SDL_JoystickNumButtons(joystick_), kButtons);
    for (int i = 0; i < count; ++i)
        if (SDL_JoystickGetButton(joystick_, i) != 0) buttons |= 1u << i;
    const int axes = SDL_JoystickNumAxes(joystick_);
    const std::int32_t x = axes > 0 ? SDL_JoystickGetAxis(joystick_, 0) : 0;
    const std::int32_t y = axes > 1 ? SDL_JoystickGetAxis(joystick_, 1) : 0;
    state_ = StateFrom(x, y, buttons);
}

bool SdlJoystick::ButtonHeld(int button) const {
    return button >= 0 && button < kButtons &&
           state_.test(kInputButton1 + static_cast<std::size_t>(button));
}

} // namespace velmar
