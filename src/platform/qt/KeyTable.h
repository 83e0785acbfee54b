#pragma once

#include <array>
#include <cstdint>

namespace velmar {

// The Windows virtual-key codes one physical key sets: its own code and, for the
// left/right modifier keys, the generic code as well (left Shift holds both 160 and 16).
// Code 0 means no key.
struct VirtualKeys {
    std::uint8_t Code = 0;
    std::uint8_t Generic = 0;
};

// The key table from physical keys to Windows virtual-key codes, used both for play and
// for capturing keys, so the two always agree. The physical key is found from the native
// scan code when the window system gives an XKB key code (X11 and Wayland: Linux input
// code + 8); otherwise from the Qt key, with shifted digits and punctuation taken back to
// their unshifted key (Shift+1 is still the 1 key) and keypad keys to the keypad codes.
VirtualKeys VirtualKeyFor(int qtKey, bool keypad, std::uint32_t nativeScanCode, bool xkbScanCodes);

// Which keys are held, indexed by virtual-key code; code 0 never counts as held.
class KeyStateTable {
  public:
    void Press(VirtualKeys keys);
    void Release(VirtualKeys keys);
    void ReleaseAll() { held_.fill(0); }
    bool Held(std::uint32_t code) const { return code != 0 && code < 256 && held_[code] != 0; }

  private:
    // Per code, how many physical keys hold it (both Shift keys hold the generic Shift).
    std::array<std::uint8_t, 256> held_{};
};

} // namespace velmar
