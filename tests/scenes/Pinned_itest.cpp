// Pins what the whole console produces: every frame and every sample of a few programs run
// for seconds through the firmware. Any change to the CPU, the mapper, the video chip or the
// sound chips that alters a pixel or a sample shows here, so speed work can be checked
// against it.

#include "scenes/SceneHarness.h"

#include <gtest/gtest.h>

namespace velmar::scenes {
namespace {

constexpr int kSamplesPerFrame = 735;

struct Hashes {
    std::uint64_t frames = 0xCBF29CE484222325ull;
    std::uint64_t samples = 0xCBF29CE484222325ull;
};

void Mix(std::uint64_t& h, std::uint64_t v) {
    h = (h ^ v) * 0x100000001B3ull;
}

// Runs a cartridge (or the firmware alone when rom is empty) and hashes each frame's
// picture and samples.
Hashes Record(const std::string& rom, std::uint8_t fm, int frames) {
    auto machine = NewMachine(kExport);
    machine->SetFmOutput(fm);
    if (rom.empty()) {
        machine->RunBios();
    } else {
        const FileResult loaded = machine->LoadCartridge(TestRom(rom));
        EXPECT_TRUE(static_cast<bool>(loaded)) << rom << ": " << loaded.error;
    }
    Hashes run;
    const Console& console = machine->GetConsole();
    for (int f = 0; f < frames; ++f) {
        machine->RunFrame();
        for (const std::uint16_t p : console.Vdp.FrameBuffer) Mix(run.frames, p);
        for (int i = 0; i < kSamplesPerFrame; ++i) {
            Mix(run.samples, static_cast<std::uint16_t>(console.SampleBuffer[i]));
        }
    }
    return run;
}

TEST(Pinned, ProgramsGiveTheSameFramesAndSamples) {
    struct Case {
        const char* rom;
        std::uint8_t fm;
        int frames;
        std::uint64_t frames_hash;
        std::uint64_t samples_hash;
    };
    const Case cases[] = {
        {"game_scene", 1, 600, 0x1EF5976616B0CEA4ull, 0x3FA4783A3E6EF9AEull},
        {"game_scene", 0, 200, 0x1094904BE95F440Cull, 0xCA740D220DE3331Eull},
        {"", 0, 200, 0x04E3AB5616E43EC4ull, 0x817CCE06E653BD85ull},
        {"sprites_nine", 0, 60, 0xA192D68B5D04E251ull, 0xC7D06137636438F5ull},
    };
    for (const Case& c : cases) {
        const Hashes run = Record(c.rom, c.fm, c.frames);
        EXPECT_EQ(run.frames, c.frames_hash) << c.rom << " fm " << int(c.fm);
        EXPECT_EQ(run.samples, c.samples_hash) << c.rom << " fm " << int(c.fm);
    }
}

} // namespace
} // namespace velmar::scenes
