#include "platform/sdl/SdlJoystick.h"

#include <SDL.h>

#include <algorithm>
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

// The device events are kept (they say when to look for joysticks again); the joysticks'
// own events are not wanted, as the state is read directly, and would only fill the queue.
SdlJoystick::SdlJoystick(int id) : id_(id) {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return;
    subsystemStarted_ = true;
    for (const Uint32 type :
         {SDL_JOYAXISMOTION, SDL_JOYBALLMOTION, SDL_JOYHATMOTION, SDL_JOYBUTTONDOWN,
          SDL_JOYBUTTONUP, SDL_JOYBATTERYUPDATED, SDL_CONTROLLERAXISMOTION,
          SDL_CONTROLLERBUTTONDOWN, SDL_CONTROLLERBUTTONUP, SDL_CONTROLLERTOUCHPADDOWN,
          SDL_CONTROLLERTOUCHPADMOTION, SDL_CONTROLLERTOUCHPADUP, SDL_CONTROLLERSENSORUPDATE})
        (void)SDL_EventState(type, SDL_IGNORE);
    Open();
}

SdlJoystick::~SdlJoystick() {
    Close();
    if (subsystemStarted_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER);
}

void SdlJoystick::Close() {
    if (gamepad_ != nullptr) SDL_GameControllerClose(gamepad_);
    if (joystick_ != nullptr) SDL_JoystickClose(joystick_);
    gamepad_ = nullptr;
    joystick_ = nullptr;
    instance_ = -1;
}

// The id-th joystick that opens; the one already open is kept when it still is that one.
void SdlJoystick::Open() {
    names_.clear();
    int found = 0;
    SDL_JoystickID wanted = -1;
    int wantedIndex = -1;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        const char* name = SDL_JoystickNameForIndex(i);
        names_.emplace_back(name != nullptr ? name : "Joystick " + std::to_string(i + 1));
        if (wantedIndex >= 0) continue;
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(i);
        if (instance == instance_) {
            if (found++ == id_) wantedIndex = i, wanted = instance;
            continue;
        }
        SDL_Joystick* probe = SDL_JoystickOpen(i);
        if (probe == nullptr) continue;
        SDL_JoystickClose(probe);
        if (found++ == id_) wantedIndex = i, wanted = instance;
    }
    if (wanted == instance_ && joystick_ != nullptr) return;
    Close();
    if (wantedIndex < 0) return;
    if (SDL_IsGameController(wantedIndex) == SDL_TRUE)
        gamepad_ = SDL_GameControllerOpen(wantedIndex);
    joystick_ = gamepad_ != nullptr ? SDL_GameControllerGetJoystick(gamepad_)
                                    : SDL_JoystickOpen(wantedIndex);
    if (gamepad_ != nullptr && joystick_ != nullptr) SDL_JoystickOpen(wantedIndex); // ours too
    instance_ = joystick_ != nullptr ? wanted : -1;
}

void SdlJoystick::Refresh() {
    if (!subsystemStarted_) return;
    SDL_JoystickUpdate(); // looks for joysticks plugged in or out, and reads the open ones
    SDL_Event events[8];
    bool changed = false;
    while (SDL_PeepEvents(events, 8, SDL_GETEVENT, SDL_JOYDEVICEADDED, SDL_JOYDEVICEREMOVED) > 0)
        changed = true;
    SDL_FlushEvents(SDL_JOYAXISMOTION, SDL_FINGERDOWN - 1); // the joysticks' and gamepads' events
    if (!changed) return;
    ++changes_;
    Open();
}

std::string SdlJoystick::Name() const {
    const char* name = joystick_ != nullptr ? SDL_JoystickName(joystick_) : nullptr;
    return name != nullptr ? name : "";
}

std::optional<std::array<int, 3>> SdlJoystick::GamepadButtons() const {
    if (gamepad_ == nullptr) return std::nullopt;
    std::array<int, 3> buttons{};
    const SDL_GameControllerButton wanted[3] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B,
                                                SDL_CONTROLLER_BUTTON_START};
    for (int i = 0; i < 3; ++i) {
        const SDL_GameControllerButtonBind bind =
            SDL_GameControllerGetBindForButton(gamepad_, wanted[i]);
        if (bind.bindType != SDL_CONTROLLER_BINDTYPE_BUTTON || bind.value.button < 0 ||
            bind.value.button >= kButtons)
            return std::nullopt;
        buttons[static_cast<std::size_t>(i)] = bind.value.button;
    }
    return buttons;
}

InputState SdlJoystick::StateFrom(std::int32_t rawX, std::int32_t rawY, std::uint32_t buttons,
                                  std::uint8_t hat) {
    InputState state;
    for (int i = 0; i < kButtons; ++i)
        if ((buttons >> i) & 1u) state.set(kInputButton1 + static_cast<std::size_t>(i));
    const std::int32_t x = JoystickAxisValue(rawX, -32768, 32767, kRange, kDeadZonePercent);
    const std::int32_t y = JoystickAxisValue(rawY, -32768, 32767, kRange, kDeadZonePercent);
    if (x < 0 || (hat & SDL_HAT_LEFT) != 0) state.set(kInputLeft);
    if (x > 0 || (hat & SDL_HAT_RIGHT) != 0) state.set(kInputRight);
    if (y < 0 || (hat & SDL_HAT_UP) != 0) state.set(kInputUp);
    if (y > 0 || (hat & SDL_HAT_DOWN) != 0) state.set(kInputDown);
    return state;
}

void SdlJoystick::Update() {
    state_.reset();
    Refresh();
    if (joystick_ == nullptr) return;
    std::uint32_t buttons = 0;
    const int count = std::min(SDL_JoystickNumButtons(joystick_), kButtons);
    for (int i = 0; i < count; ++i)
        if (SDL_JoystickGetButton(joystick_, i) != 0) buttons |= 1u << i;
    const int axes = SDL_JoystickNumAxes(joystick_);
    const std::int32_t x = axes > 0 ? SDL_JoystickGetAxis(joystick_, 0) : 0;
    const std::int32_t y = axes > 1 ? SDL_JoystickGetAxis(joystick_, 1) : 0;
    const std::uint8_t hat =
        SDL_JoystickNumHats(joystick_) > 0 ? SDL_JoystickGetHat(joystick_, 0) : 0;
    state_ = StateFrom(x, y, buttons, hat);
    if (gamepad_ == nullptr) return;
    // The gamepad's own d-pad and left stick, wherever its driver puts them.
    const auto pressed = [this](SDL_GameControllerButton b) {
        return SDL_GameControllerGetButton(gamepad_, b) != 0;
    };
    const InputState stick =
        StateFrom(SDL_GameControllerGetAxis(gamepad_, SDL_CONTROLLER_AXIS_LEFTX),
                  SDL_GameControllerGetAxis(gamepad_, SDL_CONTROLLER_AXIS_LEFTY), 0);
    state_ |= stick;
    if (pressed(SDL_CONTROLLER_BUTTON_DPAD_UP)) state_.set(kInputUp);
    if (pressed(SDL_CONTROLLER_BUTTON_DPAD_DOWN)) state_.set(kInputDown);
    if (pressed(SDL_CONTROLLER_BUTTON_DPAD_LEFT)) state_.set(kInputLeft);
    if (pressed(SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) state_.set(kInputRight);
}

bool SdlJoystick::ButtonHeld(int button) const {
    return button >= 0 && button < kButtons &&
           state_.test(kInputButton1 + static_cast<std::size_t>(button));
}

} // namespace velmar
