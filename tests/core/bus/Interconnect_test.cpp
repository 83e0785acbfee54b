#include "core/bus/Interconnect.h"
#include "core/sound/psg/SN76489_EMU.h"
#include "core/sound/ym2413/YM2413_EMU.h"
#include "core/vdp/Vdp.h"

#include <gtest/gtest.h>

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
        Psg.Configure(60, 44100, 3546893, 262);
        Psg.Reset();
        Fm.Configure(60, 44100, 3546893, 262);
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

} // namespace
