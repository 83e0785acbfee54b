#pragma once

#include "platform/InputDevice.h"

namespace velmar {

// An input device whose state is set by its owner (a test or the headless runner's --press
// script). Update() takes the state set last.
class ScriptedInput final : public InputDevice {
  public:
    void Update() override {
        state_ = next_;
        ++Updates;
    }
    InputState State() const override { return state_; }

    void SetState(const InputState& state) { next_ = state; }

    int Updates = 0;

  private:
    InputState next_{};
    InputState state_{};
};

} // namespace velmar
