#include <gtest/gtest.h>

#include "filters/Hq2xTables.h"
#include "filters/Hq2xTestSupport.h"

namespace velmar::hq2x {
namespace {

TEST(Hq2xTables, ColourTablesFollowTheirFormulas) {
    const YuvTable& yuv = RgbToYuvTable();
    EXPECT_EQ(yuv[0x0000], 0x008080u);
    EXPECT_EQ(yuv[0x0001], 0x027E7Fu);
    EXPECT_EQ(yuv[0x001F], 0x3E4261u);
    EXPECT_EQ(yuv[0xFFFF], 0xBB8081u);
    EXPECT_EQ(yuv[0xF800], 0x3EBE61u); // r = 248: Y 62, U 128 + 62, V 128 - 31
    EXPECT_EQ(yuv[0x07E0], 0x3F80BFu); // g = 252: Y 63, U 128, V 128 + 63

    const ColourTable& wide = Rgb565To32Table();
    EXPECT_EQ(wide[0xFFFF], 0xF8FCF8u);
    EXPECT_EQ(wide[0xF800], 0xF80000u);
    EXPECT_EQ(wide[0x07E0], 0x00FC00u);
    EXPECT_EQ(wide[0x001F], 0x0000F8u);
    EXPECT_EQ(wide[0x0821], 0x080408u);
}

TEST(Hq2xTables, DifferentUsesEachThresholdInclusively) {
    // Differences up to the thresholds are similar; one more in any channel is different.
    EXPECT_FALSE(YuvDiffer(0x000000, 0x300706));
    EXPECT_FALSE(YuvDiffer(0x300706, 0x000000));
    EXPECT_TRUE(YuvDiffer(0x000000, 0x310000));
    EXPECT_TRUE(YuvDiffer(0x000000, 0x000800));
    EXPECT_TRUE(YuvDiffer(0x000000, 0x000007));
    EXPECT_TRUE(YuvDiffer(0x400000, 0x0F0000));
    // A byte-wise gap must not borrow from its neighbour: U 0x10 vs 0x08 is 8 apart.
    EXPECT_TRUE(YuvDiffer(0x001000, 0x000800));

    const YuvTable& yuv = RgbToYuvTable();
    EXPECT_FALSE(Different(yuv, 0x1234, 0x1234));
    EXPECT_TRUE(Different(yuv, 0x0000, 0xFFFF));
    // One step of blue: Y +2, U -2, V -1: similar.
    EXPECT_FALSE(Different(yuv, 0x8410, 0x8411));
    // Red 0 -> 31 alone: Y +62: different.
    EXPECT_TRUE(Different(yuv, 0x0000, 0xF800));
    // Red and blue have equal Y but U far apart.
    EXPECT_TRUE(Different(yuv, 0xF800, 0x001F));

    // The scaler compares pictures of console colours by equality alone, which holds only
    // while every two unequal console colours are Different.
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            EXPECT_EQ(Different(yuv, testing::ConsoleColour(a), testing::ConsoleColour(b)), a != b)
                << a << " " << b;
        }
    }
}

} // namespace
} // namespace velmar::hq2x
