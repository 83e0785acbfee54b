#pragma once

#include <cstdint>

namespace velmar {

// The lines of the two pads, the pause and reset buttons, as one frame takes them. The order
// is the one the command-line runner's key names follow (p1up ... reset).
enum FrameKey : std::uint32_t {
    kKeyP1Up = 1u << 0,
    kKeyP1Down = 1u << 1,
    kKeyP1Left = 1u << 2,
    kKeyP1Right = 1u << 3,
    kKeyP1B1 = 1u << 4,
    kKeyP1B2 = 1u << 5,
    kKeyP2Up = 1u << 6,
    kKeyP2Down = 1u << 7,
    kKeyP2Left = 1u << 8,
    kKeyP2Right = 1u << 9,
    kKeyP2B1 = 1u << 10,
    kKeyP2B2 = 1u << 11,
    // Held: the console raises its pause interrupt as the button goes down.
    kKeyPause = 1u << 12,
    // Pressed before the frame: reads as pressed until the game next reads the port.
    kKeyReset = 1u << 13,
    // The window paused the game before the frame, which silences the sound chip.
    kKeySilence = 1u << 14,
};

// What one frame is given: the keys above (a Light Phaser's trigger is its port's button 1)
// and where the gun aims (-1, -1: nowhere on the picture).
struct FrameInput {
    std::uint32_t Keys = 0;
    int AimX = -1;
    int AimY = -1;

    bool operator==(const FrameInput&) const = default;
};

// Told each frame's input as the console takes it (an input recording). Called on the
// thread that presents the frames, while no frame runs.
class InputTap {
  public:
    virtual ~InputTap() = default;
    // The input of the frame about to run, polled after the one before.
    virtual void Polled(const FrameInput& input) = 0;
    // Between frames the input of the frame about to run grew (the reset button, a pause).
    virtual void Changed(const FrameInput& input) = 0;
    // A command is about to change the console in a way no input says (a reset, a state
    // loaded, an option): the tap has been taken off already.
    virtual void Interrupted(const char* why) = 0;
};

} // namespace velmar
