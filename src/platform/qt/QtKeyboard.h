#pragma once

#include "platform/InputDevice.h"
#include "platform/qt/KeyTable.h"

#include <QObject>

#include <array>
#include <cstdint>

class QKeyEvent;

namespace velmar {

// The held keys of one window, fed from its key events on the window thread: auto-repeat
// is ignored, and every key is released when the window loses focus or is deactivated.
// Install it as an event filter on the application (it never consumes an event).
class QtKeyState final : public QObject {
  public:
    explicit QtKeyState(QObject* parent = nullptr);

    const KeyStateTable& Table() const { return table_; }
    void ReleaseAll() { table_.ReleaseAll(); }
    // The virtual-key codes a key event stands for.
    static VirtualKeys KeysOf(const QKeyEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    KeyStateTable table_;
    bool xkbScanCodes_ = false;
};

// A keyboard bound to one pad: for each input state up to three assigned keys (0 = none);
// a state is on while any of its keys is held.
class KeyboardDevice final : public InputDevice {
  public:
    static constexpr std::size_t kStates = 36;
    static constexpr std::size_t kKeysPerState = 3;

    explicit KeyboardDevice(const KeyStateTable& keys) : keys_(keys) {}

    void Update() override;
    InputState State() const override { return state_; }
    bool Held(std::uint32_t code) const { return keys_.Held(code); }

    std::array<std::array<std::uint32_t, kKeysPerState>, kStates> Assigns{};

  private:
    const KeyStateTable& keys_;
    InputState state_{};
};

} // namespace velmar
