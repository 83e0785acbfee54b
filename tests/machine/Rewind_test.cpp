#include "MachineTestSupport.h"
#include "machine/RewindRing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace velmar;
using namespace velmar::testing;

namespace {

// Each step changes a few scattered bytes and a run, as a frame of play does; now and then
// every byte.
std::vector<std::vector<std::uint8_t>> Steps(std::size_t size, int count) {
    std::mt19937 random(7);
    std::vector<std::vector<std::uint8_t>> states(1, std::vector<std::uint8_t>(size, 0));
    for (int i = 1; i < count; ++i) {
        std::vector<std::uint8_t> s = states.back();
        if (i % 9 == 0) {
            for (auto& b : s) b = static_cast<std::uint8_t>(b + 1);
        } else {
            for (int k = 0; k < 5; ++k)
                s[random() % size] ^= static_cast<std::uint8_t>(random() | 1);
            const std::size_t run = random() % (size - 40);
            for (std::size_t k = run; k < run + 40; k += (k % 3) + 1)
                s[k] = static_cast<std::uint8_t>(i);
        }
        states.push_back(std::move(s));
    }
    return states;
}

// Newest first, each state exactly as pushed; when the memory or the count runs out the
// oldest go first, and whatever can be stepped back to is still exact.
TEST(RewindRing, StepsBackExactlyAndDropsTheOldestFirst) {
    constexpr std::size_t kSize = 1000;
    const auto states = Steps(kSize, 40);
    struct Case {
        std::size_t CodeBytes, MaxStates, Kept;
    };
    // Room for everything; too few states; too little memory (the all-changed steps cost
    // a whole state each); less memory than one all-changed step.
    for (const Case c :
         {Case{1 << 20, 100, 40}, Case{1 << 20, 25, 25}, Case{3500, 100, 0}, Case{900, 100, 0}}) {
        SCOPED_TRACE(c.CodeBytes);
        RewindRing ring(kSize, c.CodeBytes, c.MaxStates);
        for (const auto& s : states) ring.Push(s);
        if (c.Kept != 0) {
            EXPECT_EQ(ring.States(), c.Kept);
        }
        EXPECT_LE(ring.BytesUsed(), kSize + c.CodeBytes);
        const std::size_t kept = ring.States();
        EXPECT_GE(kept, 1u);
        std::vector<std::uint8_t> out(kSize);
        for (std::size_t back = 0; back < kept; ++back) {
            ASSERT_TRUE(ring.Pop(out));
            ASSERT_EQ(out, states[states.size() - 1 - back]) << back;
        }
        EXPECT_FALSE(ring.Pop(out));
        EXPECT_EQ(ring.BytesUsed(), 0u);
    }
    // The code of an unchanged state is empty; of a state changed everywhere, a little more
    // than the state.
    RewindRing ring(kSize, 1 << 16, 10);
    std::vector<std::uint8_t> code(ring.MaxCodeBytes());
    EXPECT_EQ(RewindRing::Encode(states[3], states[3], code.data()), 0u);
    const std::size_t all = RewindRing::Encode(states[9], states[8], code.data());
    EXPECT_GT(all, kSize);
    EXPECT_LT(all, kSize + 8);
}

// A minute of a busy game is kept at the start of each frame; rewinding twenty seconds steps
// back to the very state and picture of that frame, silently, and the game goes on from
// there as it did the first time. Keeping the states changes nothing of the run.
TEST(Machine, RewindingTwentySecondsRestoresTheExactEarlierFrame) {
    NullStreamBuffer sound;
    MachineServices services;
    services.Sound = &sound;
    auto m = std::make_unique<TSMS>(services);
    m->SetRewindRecording(true);
    const std::string rom = std::string(VELMAR_TEST_ROM_DIR) + "/game_scene.sms";
    ASSERT_TRUE(m->LoadCartridge(rom));
    m->Reset();
    constexpr int kFrom = 100, kBack = 20 * 60;
    for (int frame = 0; frame < kFrom; ++frame) m->RunFrame();
    const std::vector<std::uint8_t> before = m->StateBytes();
    m->RunFrame();
    const auto picture = m->GetConsole().Vdp.FrameBuffer;
    const std::vector<std::uint8_t> after = m->StateBytes();
    for (int frame = kFrom + 1; frame < kFrom + kBack; ++frame) m->RunFrame();
    EXPECT_EQ(m->RewindFramesKept(), static_cast<std::uint32_t>(kFrom + kBack));
    const std::size_t bytes = m->RewindBytesUsed();
    std::printf("rewind: %u frames kept in %zu bytes (%.0f bytes a frame)\n", m->RewindFramesKept(),
                bytes, static_cast<double>(bytes) / (kFrom + kBack));
    EXPECT_LT(bytes, std::size_t{8} << 20) << "twenty seconds of a busy game";

    m->SetRewinding(true);
    for (int frame = 0; frame < kBack; ++frame) m->RunFrame();
    EXPECT_EQ(m->StateBytes(), before);
    EXPECT_TRUE(m->GetConsole().Vdp.FrameBuffer == picture);
    EXPECT_TRUE(std::all_of(sound.Data().begin(), sound.Data().end(), [](auto b) {
        return b == 0;
    })) << "nothing is heard while rewinding";
    m->SetRewinding(false);
    m->RunFrame();
    EXPECT_EQ(m->StateBytes(), after);

    // The same frames without keeping states.
    auto plain = std::make_unique<TSMS>(MachineServices{});
    ASSERT_TRUE(plain->LoadCartridge(rom));
    plain->Reset();
    for (int frame = 0; frame <= kFrom; ++frame) plain->RunFrame();
    EXPECT_EQ(plain->StateBytes(), after);

    // At the oldest state kept the game stands still; a reset forgets the past.
    m->SetRewinding(true);
    for (int frame = 0; frame < kFrom + 5; ++frame) m->RunFrame();
    EXPECT_EQ(m->RewindFramesKept(), 0u);
    m->SetRewinding(false);
    m->RunFrame();
    m->Reset();
    EXPECT_EQ(m->RewindFramesKept(), 0u);
}

} // namespace
