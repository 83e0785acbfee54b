#include "core/bus/Interconnect.h"
#include "core/bus/SampleClock.h"
#include "core/sound/psg/SN76489_EMU.h"
#include "core/sound/ym2413/YM2413_EMU.h"
#include "core/vdp/Vdp.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

using namespace velmar;

namespace {

struct Chips {
    T_VDP_CORE Vdp;
    T_PSG_CORE Psg;
    T_YM2413_OPLL_CORE Fm;
    T_INTERCONNECT_CORE Bus;
    Chips() {
        Vdp.Reset();
        Psg.Configure(44100, 3546893);
        Psg.Reset();
        Fm.Configure(44100, 3546893);
        Fm.SetFmEnabled(0); // as the machine starts it
        Bus.Connect(Vdp, Psg, Fm);
    }
};

class InterconnectTest : public ::testing::Test {
  protected:
    std::unique_ptr<Chips> chips = std::make_unique<Chips>();
    T_INTERCONNECT_CORE& bus = chips->Bus;
};

TEST_F(InterconnectTest, PadsReadReleasedAfterConnectAndEachSetterMovesOneBit) {
    EXPECT_EQ(bus.ReadPort(0xDC), 0xFF);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);

    using B = T_INTERCONNECT_CORE;
    struct Setter {
        void (*Press)(B&);
        void (*Release)(B&);
        std::uint8_t Port;
        std::uint8_t Bit;
    };
    const Setter setters[] = {
        {[](B& b) { b.Pad1UpPress(); }, [](B& b) { b.Pad1UpRelease(); }, 0xDC, 0x01},
        {[](B& b) { b.Pad1DownPress(); }, [](B& b) { b.Pad1DownRelease(); }, 0xDC, 0x02},
        {[](B& b) { b.Pad1LeftPress(); }, [](B& b) { b.Pad1LeftRelease(); }, 0xDC, 0x04},
        {[](B& b) { b.Pad1RightPress(); }, [](B& b) { b.Pad1RightRelease(); }, 0xDC, 0x08},
        {[](B& b) { b.Pad1Button1Press(); }, [](B& b) { b.Pad1Button1Release(); }, 0xDC, 0x10},
        {[](B& b) { b.Pad1Button2Press(); }, [](B& b) { b.Pad1Button2Release(); }, 0xDC, 0x20},
        {[](B& b) { b.Pad2UpPress(); }, [](B& b) { b.Pad2UpRelease(); }, 0xDC, 0x40},
        {[](B& b) { b.Pad2DownPress(); }, [](B& b) { b.Pad2DownRelease(); }, 0xDC, 0x80},
        {[](B& b) { b.Pad2LeftPress(); }, [](B& b) { b.Pad2LeftRelease(); }, 0xDD, 0x01},
        {[](B& b) { b.Pad2RightPress(); }, [](B& b) { b.Pad2RightRelease(); }, 0xDD, 0x02},
        {[](B& b) { b.Pad2Button1Press(); }, [](B& b) { b.Pad2Button1Release(); }, 0xDD, 0x04},
        {[](B& b) { b.Pad2Button2Press(); }, [](B& b) { b.Pad2Button2Release(); }, 0xDD, 0x08},
    };
    for (const Setter& s : setters) {
        s.Press(bus);
        EXPECT_EQ(bus.ReadPort(s.Port), static_cast<std::uint8_t>(0xFF & ~s.Bit));
        EXPECT_EQ(bus.ReadPort(s.Port == 0xDC ? 0xDD : 0xDC), 0xFF);
        s.Release(bus);
        EXPECT_EQ(bus.ReadPort(s.Port), 0xFF);
    }

    // A console reset releases everything and returns the lines to inputs.
    bus.Pad1UpPress();
    bus.Pad2LeftPress();
    bus.WritePort(0x3F, 0x00);
    bus.Connect(chips->Vdp, chips->Psg, chips->Fm);
    EXPECT_EQ(bus.ReadPort(0xDC), 0xFF);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    EXPECT_EQ(bus.IoControl, 0x0F);
}

TEST_F(InterconnectTest, TrAndThOutputsReadBackTheirLevels) {
    bus.Pad1Button2Press();
    EXPECT_EQ(bus.ReadPort(0xDC), 0xDF);
    bus.WritePort(0x3F, 0x0E); // TR of pad 1 an output at level 0
    bus.Pad1Button2Release();
    EXPECT_EQ(bus.ReadPort(0xDC), 0xDF);
    bus.WritePort(0x3F, 0x1E); // level 1
    EXPECT_EQ(bus.ReadPort(0xDC), 0xFF);
    // Any odd port of 0x01-0x3F is the I/O control register.
    bus.WritePort(0x01, 0x0E);
    EXPECT_EQ(bus.ReadPort(0xDC), 0xDF);

    bus.WritePort(0x3F, 0xF5);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    bus.WritePort(0x3F, 0x55);
    EXPECT_EQ(bus.ReadPort(0xDD), 0x3F);
    // One output line among the three is enough to reflect all three levels.
    bus.WritePort(0x3F, 0x07); // TH of pad 2 an output, every level 0
    EXPECT_EQ(bus.ReadPort(0xDD), 0x37);
    // Each TH reads back its own level, not the other pad's.
    bus.WritePort(0x3F, 0x25); // TH 1 high, TH 2 low
    EXPECT_EQ(bus.ReadPort(0xDD), 0x77);
    bus.WritePort(0x3F, 0x85); // TH 1 low, TH 2 high
    EXPECT_EQ(bus.ReadPort(0xDD), 0xB7);
    // Pad 2 buttons stay visible in the kept bits; TR of pad 2 follows its level.
    bus.Pad2Button1Press();
    bus.Pad2Button2Press();
    bus.WritePort(0x3F, 0x45);
    EXPECT_EQ(bus.ReadPort(0xDD), 0x3B);
}

// The TH lines and the H counter, with a stand-in for the CPU's clock: Line(n) begins line
// n, At(t) moves to T-state t of it.
class BeamTest : public InterconnectTest {
  protected:
    void SetUp() override { chips->Vdp.AttachClock(&clock); }
    void Line(int line) {
        clock.BudgetStart += console::kCyclesPerLine;
        clock.BeforeInstruction = 0;
        chips->Vdp.RunLine(line, false, false);
        bus.StartLine(line);
    }
    void At(std::uint32_t t) { clock.BeforeInstruction = t; }
    TStateClock clock{5000, 0, 0};
};

// The documented run of the counter: 0xF4 when a line starts, one step every 4/3 T-state,
// 0x00 at T-state 16 (pixel 0), 0x93 and then 0xE9 at T-states 213 and 214.
TEST_F(BeamTest, ThFallingThroughPort3FLatchesTheHCounter) {
    Line(10);
    const struct {
        std::uint32_t t;
        std::uint8_t io; // written to port 0x3F at T-state t
        std::uint8_t latched;
    } steps[] = {
        {100, 0xDD, 0x3F}, // TH of port A made an output at level 0: it falls, 75 steps on
        {140, 0xFF, 0x3F}, // back to an input, pulled high: a rise latches nothing
        {150, 0xFD, 0x3F}, // an output at level 1: no change
        {170, 0xDD, 0x73}, // level 0: falls
        {213, 0x77, 0x93}, // TH of port B an output at 0 (port A's input, high): falls
        {214, 0xFF, 0x93}, {214, 0xDD, 0xE9}, {227, 0xFF, 0xE9}, {227, 0x77, 0xF3},
    };
    for (const auto& s : steps) {
        At(s.t);
        bus.WritePort(0x3F, s.io);
        At(s.t + 1);
        EXPECT_EQ(bus.ReadPort(0x7F), s.latched) << s.t << " " << int{s.io};
        EXPECT_EQ(bus.ReadPort(0x41), s.latched) << "every odd port 0x41-0x7F";
    }
    // The latch holds into the next lines; the count starts over with each line.
    Line(11);
    At(16);
    EXPECT_EQ(bus.ReadPort(0x7F), 0xF3);
    bus.WritePort(0x3F, 0xFF);
    bus.WritePort(0x3F, 0xDD);
    EXPECT_EQ(bus.ReadPort(0x7F), 0x00);
}

TEST_F(BeamTest, LightGunPullsThLowWhereTheBeamPassesABrightAimAndLatches) {
    bus.GunPort = bus::kPortA;
    bus.GunX = 100;
    bus.GunY = 50;
    auto& picture = chips->Vdp.FrameBuffer;
    std::fill(picture.begin(), picture.end(), std::uint16_t{0xFFFF});
    // Pixel 100 shows at T-state 83 (12 + 50 steps, 248 master clocks); the pulse lasts 80.
    Line(47);
    for (std::uint32_t t : {0u, 100u, 200u}) {
        At(t);
        EXPECT_EQ(bus.ReadPort(0xDD), 0xFF) << "two lines above the aim: dark";
    }
    Line(48);
    At(82);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    At(83);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xBF);
    At(162);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xBF);
    At(163);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    EXPECT_EQ(bus.ReadPort(0x7F), 50) << "latched where TH fell: pixel 100";

    // Nobody looks on line 49 (aimed at pixel 20 now): its edge still latches.
    bus.GunX = 20;
    Line(49);
    bus.GunX = 100;
    Line(50);
    At(20);
    EXPECT_EQ(bus.ReadPort(0x7F), 10);
    // A dark aim point: no pulse (line 50's, unread, has latched pixel 100 meanwhile).
    picture[51 * 256 + 100] = 0x0000;
    Line(51);
    At(100);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    EXPECT_EQ(bus.ReadPort(0x7F), 50);
    // TH an output: the gun neither shows nor latches.
    bus.WritePort(0x3F, 0xFD);
    Line(52);
    At(120);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    EXPECT_EQ(bus.ReadPort(0x7F), 50);
    // Turning TH back into an input while the gun holds it low is a falling edge.
    bus.WritePort(0x3F, 0xFF);
    EXPECT_EQ(bus.ReadPort(0x7F), 0x4E);

    // On port B it is TH of port B; a pulse late in a line carries into the next one.
    bus.GunPort = bus::kPortB;
    bus.GunX = 255;
    bus.GunY = 100;
    Line(98);
    At(185);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    At(186);
    EXPECT_EQ(bus.ReadPort(0xDD), 0x7F);
    Line(99);
    At(37);
    EXPECT_EQ(bus.ReadPort(0xDD), 0x7F) << "still low from the line before";
    At(38);
    EXPECT_EQ(bus.ReadPort(0x7F), 127);
    bus.WritePort(0x3F, 0xFF);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
}

TEST_F(InterconnectTest, ResetButtonIsReleasedByTheNextPortBRead) {
    bus.ResetButtonPress();
    EXPECT_EQ(bus.ReadPort(0xDD), 0xEF);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    bus.ResetButtonPress();
    EXPECT_EQ(bus.ReadPort(0xDC), 0xFF); // port A leaves it alone
    EXPECT_EQ(bus.ReadPort(0xC1), 0xEF); // a mirror of port B
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
    // Also while the TH/TR lines are outputs.
    bus.WritePort(0x3F, 0xF5);
    bus.ResetButtonPress();
    EXPECT_EQ(bus.ReadPort(0xFF), 0xEF);
    EXPECT_EQ(bus.ReadPort(0xDD), 0xFF);
}

TEST_F(InterconnectTest, FmDetectReadOnlyAfterTheMemoryControlBit) {
    bus.Pad1UpPress();
    bus.WritePort(0xF2, 0x01);
    EXPECT_EQ(bus.ReadPort(0xF2), 0xFE) << "reads as port A";
    bus.WritePort(0x3C, 0x04); // any even port 0x00-0x3F
    EXPECT_EQ(bus.MemoryControlCopy, 0x04);
    EXPECT_EQ(bus.ReadPort(0xF2), 0x00) << "the FM unit is switched off";
    chips->Fm.SetFmEnabled(1);
    EXPECT_EQ(bus.ReadPort(0xF2), 0x01);
    EXPECT_EQ(bus.ReadPort(0xF0), 0xFE) << "only 0xF2 is readable";
    bus.WritePort(0x3E, 0x00);
    EXPECT_EQ(bus.ReadPort(0xF2), 0xFE);
}

TEST_F(InterconnectTest, PortDecodeReachesTheChipsAndMirrors) {
    EXPECT_EQ(bus.ReadPort(0x3E), 0xFF);
    EXPECT_EQ(bus.ReadPort(0x00), 0xFF);
    EXPECT_EQ(bus.ReadPort(0x41), 0x00);

    // VDP control and data through mirrors: set VRAM address 0x0010 for writing, write a
    // byte through 0x80, read it back through 0xBE after a read set-up through 0x81.
    bus.WritePort(0x81, 0x10);
    bus.WritePort(0xBD, 0x40);
    bus.WritePort(0x80, 0x5A);
    EXPECT_EQ(chips->Vdp.Vram[0x0010], 0x5A);
    bus.WritePort(0xBF, 0x10);
    bus.WritePort(0xBF, 0x00);
    EXPECT_EQ(bus.ReadPort(0xBE), 0x5A);

    // The V counter at every even port 0x40-0x7E.
    chips->Vdp.RunLine(0, false, false);
    chips->Vdp.RunLine(1, false, false);
    const std::uint8_t v = chips->Vdp.ReadVCounter();
    EXPECT_EQ(bus.ReadPort(0x7E), v);
    EXPECT_EQ(bus.ReadPort(0x40), v);

    // Frame interrupt: enable it, run to line 193, the line reaches the CPU side; a status
    // read through a mirror clears it.
    bus.WritePort(0xBF, 0x20);
    bus.WritePort(0xBF, 0x81);
    for (int line = 2; line <= 193; ++line) chips->Vdp.RunLine(line, false, false);
    EXPECT_EQ(bus.IrqPending(), 1);
    EXPECT_NE(bus.ReadPort(0x83) & 0x80, 0);
    EXPECT_EQ(bus.IrqPending(), 0);

    // PSG: 0x7F reaches it just as 0x7E does (tone 1 attenuation).
    bus.WritePort(0x7F, 0x90 | 0x03);
    EXPECT_EQ(chips->Psg.GetTone(0).Attenuation, 3);
    bus.WritePort(0x41, 0x90 | 0x07);
    EXPECT_EQ(chips->Psg.GetTone(0).Attenuation, 7);

    // Writes to 0xC0-0xEF and 0xF3-0xFF go nowhere.
    const std::uint8_t a = bus.PortA, b = bus.PortB, io = bus.IoControl;
    for (int port : {0xC0, 0xDC, 0xDD, 0xEF, 0xF3, 0xFF}) bus.WritePort(port, 0x00);
    EXPECT_EQ(bus.PortA, a);
    EXPECT_EQ(bus.PortB, b);
    EXPECT_EQ(bus.IoControl, io);
}

// A frame's samples fall at evenly spaced points: for the console's 59,736 T-states and
// 735 samples, and for a 313-line region's 71,364 and 882, every sample falls inside the
// frame, 81 or 82 (80 or 81) T-states after the one before, the last at its end; the next
// frame starts over.
TEST(SampleClockTest, SamplesSpreadEvenlyOverTheFrame) {
    for (const auto& [tstates, samples] : {std::pair{59736u, 735u}, {71364u, 882u}}) {
        SampleClock clock(tstates, samples);
        for (int frame = 0; frame < 2; ++frame) {
            clock.StartFrame();
            std::uint32_t last = 0;
            for (std::uint32_t k = 0; k < samples; ++k, clock.Advance()) {
                const auto exact = static_cast<double>(k + 1) * tstates / samples;
                ASSERT_GE(clock.Due(), exact) << k;
                ASSERT_LT(clock.Due(), exact + 1) << k;
                ASSERT_LE(clock.Due() - last, tstates / samples + 1) << k;
                last = clock.Due();
            }
            EXPECT_EQ(last, tstates);
            EXPECT_GT(clock.Due(), tstates);
        }
    }
}

// Due samples go to the frame's next entries; those past the buffer's end are computed
// and dropped, and setting the buffer starts the frame at entry 0 again.
TEST_F(InterconnectTest, DueSamplesFillTheBufferFromItsStart) {
    bus.WritePort(0x7F, 0x90); // tone 1 at full level, period 0: a constant
    std::array<std::int16_t, 16> buffer{};
    buffer.fill(0x7777);
    bus.SetSampleBuffer(buffer.data(), 9);
    for (int i = 0; i < 40; ++i) bus.SampleDue();
    bus.RenderDueSamples();
    EXPECT_NE(buffer[9], 0x7777);
    EXPECT_EQ(buffer[10], 0x7777);
    buffer[0] = 0x7777;
    bus.SetSampleBuffer(buffer.data(), 9);
    bus.SampleDue();
    bus.WritePort(0x7F, 0x9F); // a write renders what fell due before it
    EXPECT_NE(buffer[0], 0x7777);
}

} // namespace
