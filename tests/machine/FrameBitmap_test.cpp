#include "machine/FrameBitmap.h"

#include <gtest/gtest.h>

#include <memory>

using namespace velmar;

TEST(FrameBitmap, MirrorsRowsAndWritesABottomUpBmp) {
    auto bmp = std::make_unique<FrameBitmap>();
    // Top row blue, bottom row red, as the scaler leaves them.
    for (int x = 0; x < FrameBitmap::kWidth; ++x) {
        bmp->Pixels[x * 3 + 0] = 0xFF;
        bmp->Pixels[(FrameBitmap::kHeight - 1) * FrameBitmap::kPitch + x * 3 + 2] = 0xFF;
    }
    bmp->MirrorVertically();
    EXPECT_EQ(bmp->Pixels[2], 0xFF) << "the bottom row is stored first";
    EXPECT_EQ(bmp->Pixels[(FrameBitmap::kHeight - 1) * FrameBitmap::kPitch], 0xFF);

    const std::vector<std::uint8_t> data = bmp->BmpBytes();
    ASSERT_EQ(data.size(), 54u + 589824u);
    EXPECT_EQ(data[0], 'B');
    EXPECT_EQ(data[10], 54);                    // pixel data offset
    EXPECT_EQ(data[18] | (data[19] << 8), 512); // width
    EXPECT_EQ(data[22] | (data[23] << 8), 384); // height, positive: bottom-up
    EXPECT_EQ(data[28], 24);                    // bits per pixel
    EXPECT_EQ(data[54 + 2], 0xFF);              // first stored pixel: the bottom row, red
}
