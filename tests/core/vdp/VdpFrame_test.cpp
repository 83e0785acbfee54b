#include <gtest/gtest.h>

#include <vector>

#include "VdpTestSupport.h"

namespace velmar {
namespace {

using namespace vdptest;

// A whole-screen picture of one colour goes through the scaler at each depth; other depths
// leave the destination alone.
TEST(VdpFrame, RenderFrameByDepth) {
    T_VDP_CORE vdp;
    SetRegister(vdp, 0, kMode4);
    SetRegister(vdp, 1, 0x40);
    WriteCram(vdp, 0, 0x03); // tile 0 everywhere, index 0: pure red
    RunFrame(vdp);
    ASSERT_EQ(Pixel(vdp, 0, 0), 0xF800);
    ASSERT_EQ(Pixel(vdp, 255, 191), 0xF800);

    struct Depth {
        int bits;
        std::vector<std::uint8_t> pixel; // bytes of one red pixel
    };
    const Depth depths[] = {
        {16, {0x00, 0xF8}}, {24, {0x00, 0x00, 0xF8}}, {32, {0x00, 0x00, 0xF8, 0x00}}};
    for (const auto& d : depths) {
        const int bytesPerPixel = d.bits / 8;
        const std::ptrdiff_t pitch = 512 * bytesPerPixel + 16; // wider than a row
        std::vector<std::uint8_t> dest(static_cast<std::size_t>(pitch) * 384, 0xCD);
        vdp.RenderFrame(dest.data(), d.bits, pitch, 1);
        for (int y = 0; y < 384; y += 383) {
            for (int x = 0; x < 512; ++x) {
                for (int i = 0; i < bytesPerPixel; ++i) {
                    ASSERT_EQ(dest[y * pitch + x * bytesPerPixel + i], d.pixel[i])
                        << d.bits << " bpp at " << x << "," << y;
                }
            }
            EXPECT_EQ(dest[y * pitch + 512 * bytesPerPixel], 0xCD) << "padding untouched";
        }
    }
    for (int bits : {8, 15, 0, 64}) {
        std::vector<std::uint8_t> dest(2048 * 384, 0xCD);
        vdp.RenderFrame(dest.data(), bits, 2048, 1);
        for (auto b : dest) ASSERT_EQ(b, 0xCD) << bits;
    }
}

} // namespace
} // namespace velmar
