#include "machine/TSMS.h"
#include "platform/null/NullClock.h"
#include "platform/sdl/SdlJoystick.h"
#include "platform/sdl/SdlStreamBuffer.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

namespace velmar {
namespace {

TEST(SdlJoystick, AxisRuleOnTheSignedRange) {
    struct Case {
        std::int32_t Raw;
        std::int32_t Value;
    };
    // Half travel 32767, dead zone 16383 around raw -1: a direction needs more than half
    // way out, and then rounds to a value of at least 1.
    const Case cases[] = {{0, 0},       {-1, 0},       {16390, 0},    {16391, 1},
                          {-16392, 0},  {-16393, -1},  {32767, 1000}, {-32768, -1000},
                          {24576, 500}, {-24576, -500}};
    for (const Case& c : cases)
        EXPECT_EQ(JoystickAxisValue(c.Raw, -32768, 32767, 1000, 50), c.Value) << c.Raw;
    EXPECT_EQ(JoystickAxisValue(5, 0, 1, 1000, 100), 0); // no travel outside the dead zone

    const InputState centred = SdlJoystick::StateFrom(0, -1, 0);
    EXPECT_TRUE(centred.none());
    const InputState pushed = SdlJoystick::StateFrom(-30000, 30000, 0x80000001u);
    EXPECT_TRUE(pushed.test(kInputLeft) && pushed.test(kInputDown));
    EXPECT_FALSE(pushed.test(kInputRight) || pushed.test(kInputUp));
    EXPECT_TRUE(pushed.test(kInputButton1) && pushed.test(kInputButton1 + 31));
    EXPECT_EQ(pushed.count(), 4u);

    SdlJoystick none(99); // no such joystick: nothing reported
    none.Update();
    EXPECT_TRUE(none.State().none());
}

// A gamepad plugged in while the program runs is picked up by name, its d-pad hat and its
// buttons read, and SDL's database gives its A, B and Start; unplugged, it reports nothing.
TEST(SdlJoystick, GamepadsComeAndGoAndTheirHatSteers) {
    SdlJoystick pad;
    pad.Update();
    if (!pad.Names().empty()) GTEST_SKIP() << "a joystick is attached";
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.nhats = 1;
    desc.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.name = "Velmar Test Pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) GTEST_SKIP() << "no virtual joysticks: " << SDL_GetError();
    SDL_Joystick* device = SDL_JoystickOpen(index);
    ASSERT_NE(device, nullptr);
    const std::uint32_t changes = pad.Changes();
    pad.Update();
    EXPECT_GT(pad.Changes(), changes);
    EXPECT_EQ(pad.Names(), std::vector<std::string>{"Velmar Test Pad"});
    EXPECT_TRUE(pad.Present());
    EXPECT_EQ(pad.Name(), "Velmar Test Pad");
    EXPECT_EQ(pad.GamepadButtons(), (std::array<int, 3>{0, 1, 6}));
    SDL_JoystickSetVirtualHat(device, 0, SDL_HAT_LEFTUP);
    SDL_JoystickSetVirtualButton(device, 1, 1);
    pad.Update();
    EXPECT_TRUE(pad.State().test(kInputLeft) && pad.State().test(kInputUp));
    EXPECT_TRUE(pad.ButtonHeld(1));
    EXPECT_EQ(pad.State().count(), 3u);

    SDL_JoystickClose(device);
    SDL_JoystickDetachVirtual(index);
    pad.Update();
    EXPECT_TRUE(pad.Names().empty());
    EXPECT_FALSE(pad.Present());
    EXPECT_TRUE(pad.State().none());
}

class SdlStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!buffer_.Open(WaveFormatRecord{})) GTEST_SKIP() << "no SDL audio: " << buffer_.Error();
    }
    SdlStreamBuffer buffer_;
};

TEST_F(SdlStreamTest, PlaysLoopingFromItsPositionOnlyWhilePlaying) {
    ASSERT_TRUE(buffer_.Create(WaveFormatRecord{}, 17640));
    EXPECT_FALSE(buffer_.IsPlaying());
    buffer_.SetPlayPosition(17640 + 100); // wraps
    EXPECT_EQ(buffer_.GetPlayPosition(), 100u);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(buffer_.GetPlayPosition(), 100u); // stopped: the position stays

    const auto region = buffer_.Lock(17640 - 10, 1470);
    EXPECT_EQ(region.size(), 10u); // never past the end
    buffer_.Unlock();
    buffer_.Play();
    const auto start = std::chrono::steady_clock::now();
    while (buffer_.GetPlayPosition() == 100u &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_NE(buffer_.GetPlayPosition(), 100u);
    EXPECT_TRUE(buffer_.IsPlaying());
    buffer_.SetPlayPosition(0);
    EXPECT_GE(buffer_.Rewinds(), 1u);
    buffer_.Stop();
    EXPECT_FALSE(buffer_.IsPlaying());
}

// The machine's streaming over the device buffer: the third frame starts playback, with
// the device pacing; a reset stops it.
TEST_F(SdlStreamTest, MachineStreamingOverTheDevice) {
    NullClock clock;
    MachineServices services;
    services.Sound = &buffer_;
    services.Timer = &clock;
    auto machine = std::make_unique<TSMS>(services);
    machine->RunBios();
    for (int frame = 1; frame <= 2; ++frame) {
        machine->RunFrame();
        EXPECT_FALSE(buffer_.IsPlaying()) << frame;
    }
    machine->RunFrame();
    EXPECT_TRUE(buffer_.IsPlaying() && buffer_.IsClocked());
    machine->Reset(); // stops the buffer at 0 and zeroes the cursors
    EXPECT_FALSE(buffer_.IsPlaying());
    EXPECT_EQ(buffer_.GetPlayPosition(), 0u);
}

} // namespace
} // namespace velmar
