#include <gtest/gtest.h>

#include <cstdlib>

#include "filters/Hq2xTestSupport.h"

namespace velmar::testing {
namespace {

constexpr int kDepths[] = {16, 24, 32};

// Counts the output pixels that differ from expected(x, y).
template <typename Expect> int Mismatches(const Output& out, Expect expected) {
    int bad = 0;
    for (int y = 0; y < kOutHeight; ++y) {
        for (int x = 0; x < kOutWidth; ++x) {
            if (out.Rgb(x, y) != expected(x, y)) ++bad;
        }
    }
    return bad;
}

TEST(Hq2xPicture, UniformPictureGivesUniformOutput) {
    for (const std::uint16_t colour : {0x0000, 0xFFFF, 0x8410, 0x1234}) {
        const Picture picture(colour);
        for (const int bits : kDepths) {
            for (const std::uint8_t filter : {0, 1}) {
                const Output out = Render(bits, picture, filter);
                EXPECT_EQ(Mismatches(out, [&](int, int) { return Wide(colour); }), 0)
                    << bits << " bits, colour " << colour << ", filter " << int(filter);
                if (bits == 16) {
                    EXPECT_EQ(out.Raw16(511, 383), colour);
                }
            }
        }
    }
}

TEST(Hq2xPicture, SinglePixelOnBackground) {
    const std::uint16_t background = 0x0000, dot = 0xFFFF;
    Picture picture(background);
    picture.At(100, 50) = dot;
    // Every neighbour of the dot differs from it and all of them are alike, so each output
    // pixel of the dot is 14:1:1 of the dot and the background; around it the background's
    // blends only mix background colours.
    const std::uint32_t blended = Mix(Wide(dot), 14, Wide(background), 1, Wide(background), 1);
    for (const int bits : kDepths) {
        const std::uint32_t expectBlend =
            bits == 16
                ? Wide(static_cast<std::uint16_t>((blended >> 8 & 0xF800) |
                                                  (blended >> 5 & 0x07E0) | (blended >> 3 & 0x1F)))
                : blended;
        const auto inDot = [](int x, int y) { return x / 2 == 100 && y / 2 == 50; };
        const Output on = Render(bits, picture, 1);
        EXPECT_EQ(
            Mismatches(on,
                       [&](int x, int y) { return inDot(x, y) ? expectBlend : Wide(background); }),
            0)
            << bits << " bits";
        const Output off = Render(bits, picture, 0);
        EXPECT_EQ(
            Mismatches(off,
                       [&](int x, int y) { return inDot(x, y) ? Wide(dot) : Wide(background); }),
            0)
            << bits << " bits";
    }
}

TEST(Hq2xPicture, SimilarRightNeighbourBlendsTheRightHalfWithOrWithoutFilter) {
    const std::uint16_t base = 0x8410, near = 0x9452; // two steps more red, green and blue
    Picture picture(base);
    picture.At(60, 40) = near;
    for (const int bits : kDepths) {
        std::uint32_t expected;
        if (bits == 16) {
            constexpr std::uint32_t m = 0xF7DE;
            const std::uint32_t t = ((((base & m) + (near & m)) >> 1) + 0x0821) & m;
            expected = Wide(static_cast<std::uint16_t>(((base & m) + t) >> 1));
        } else {
            expected = Mix(Wide(base), 3, Wide(near), 1, 0, 0);
        }
        ASSERT_NE(expected, Wide(base));
        for (const std::uint8_t filter : {0, 1}) {
            const Output out = Render(bits, picture, filter);
            EXPECT_EQ(out.Rgb(118, 80), Wide(base));
            EXPECT_EQ(out.Rgb(118, 81), Wide(base));
            EXPECT_EQ(out.Rgb(119, 80), expected) << bits << " bits, filter " << int(filter);
            EXPECT_EQ(out.Rgb(119, 81), expected) << bits << " bits, filter " << int(filter);
        }
    }
}

TEST(Hq2xPicture, FilterOffDrawsPlainBlocksWhereNeighboursDiffer) {
    Picture picture;
    for (int y = 0; y < kHq2xSourceHeight; ++y) {
        for (int x = 0; x < kHq2xSourceWidth; ++x) {
            picture.At(x, y) = ((x / 3 + y / 2) & 1) ? 0xFFFF : 0x0000;
        }
    }
    for (const int bits : kDepths) {
        const Output off = Render(bits, picture, 0);
        EXPECT_EQ(Mismatches(off, [&](int x, int y) { return Wide(picture.At(x / 2, y / 2)); }), 0)
            << bits << " bits";
        const Output on = Render(bits, picture, 1);
        EXPECT_GT(Mismatches(on, [&](int x, int y) { return Wide(picture.At(x / 2, y / 2)); }),
                  1000)
            << bits << " bits";
        // Any value but 1 is off.
        const Output two = Render(bits, picture, 2);
        EXPECT_EQ(two.bytes, off.bytes);
    }
}

TEST(Hq2xPicture, EdgeColumnsRepeatThemselvesInsteadOfWrapping) {
    // The two columns on one side are plain; the far column alternates a colour similar to
    // them with a different one. The frame repeats its outer columns, so the plain side stays
    // plain; a read that wrapped into the neighbouring row would meet the alternating column
    // and blend it in. Reads above the first or below the last row would leave the buffer.
    const std::uint16_t plain = 0xFFFF, similar = 0xFFFE, other = 0x001F;
    for (const bool plainOnLeft : {true, false}) {
        Picture picture(0x8410);
        const int plainA = plainOnLeft ? 0 : kHq2xSourceWidth - 1;
        const int plainB = plainOnLeft ? 1 : kHq2xSourceWidth - 2;
        const int far = plainOnLeft ? kHq2xSourceWidth - 1 : 0;
        for (int y = 0; y < kHq2xSourceHeight; ++y) {
            picture.At(plainA, y) = plain;
            picture.At(plainB, y) = plain;
            picture.At(far, y) = (y & 1) ? other : similar;
        }
        const int outColumn = plainOnLeft ? 0 : kOutWidth - 2;
        for (const int bits : kDepths) {
            const Output out = Render(bits, picture, 1);
            int impure = 0;
            for (int y = 0; y < kOutHeight; ++y) {
                for (const int x : {outColumn, outColumn + 1}) {
                    if (out.Rgb(x, y) != Wide(plain)) ++impure;
                }
            }
            EXPECT_EQ(impure, 0) << bits << " bits, plain on the "
                                 << (plainOnLeft ? "left" : "right");
        }
    }
}

TEST(Hq2xPicture, AnyPitchPlacesRowsExactlyAndLeavesGuardBytesAlone) {
    const Picture picture = GameLikePicture();
    for (const int bits : kDepths) {
        const Output tight = Render(bits, picture, 1);
        const std::ptrdiff_t row = kOutWidth * (bits / 8);
        for (const std::ptrdiff_t pitch : {row + 1, row + 24, 2 * row, -row, -(row + 7)}) {
            const Output wide = Render(bits, picture, 1, pitch, 0xAA);
            int moved = 0;
            for (int y = 0; y < kOutHeight; ++y) {
                for (int x = 0; x < kOutWidth; ++x) {
                    if (wide.Rgb(x, y) != tight.Rgb(x, y)) ++moved;
                }
            }
            EXPECT_EQ(moved, 0) << bits << " bits, pitch " << pitch;
            // Bytes between the end of one row and the start of the next stay untouched.
            int touched = 0;
            for (int y = 0; y + 1 < kOutHeight; ++y) {
                const std::uint8_t* end = wide.PixelBytes(0, y) + row;
                const std::ptrdiff_t gap = (pitch < 0 ? -pitch : pitch) - row;
                const std::uint8_t* gapStart = pitch < 0 ? wide.PixelBytes(0, y + 1) + row : end;
                for (std::ptrdiff_t i = 0; i < gap; ++i) {
                    if (gapStart[i] != 0xAA) ++touched;
                }
            }
            EXPECT_EQ(touched, 0) << bits << " bits, pitch " << pitch;
        }
    }
}

TEST(Hq2xPicture, EveryPixelByteIsWrittenAndNoneBeyond) {
    // The buffers end exactly after the last pixel, so an overrun past the bottom-right block
    // is caught by the address sanitizer; two different fills show that every byte is written.
    const Picture picture = GameLikePicture();
    for (const int bits : kDepths) {
        const Output zeros = Render(bits, picture, 1, 0, 0x00);
        const Output ones = Render(bits, picture, 1, 0, 0xFF);
        ASSERT_EQ(zeros.bytes.size(), static_cast<std::size_t>(kOutWidth * kOutHeight * bits / 8));
        EXPECT_EQ(zeros.bytes, ones.bytes) << bits << " bits";
        if (bits == 32) {
            for (std::size_t i = 3; i < zeros.bytes.size(); i += 4) {
                ASSERT_EQ(zeros.bytes[i], 0) << "fourth byte of pixel " << i / 4;
            }
        }
    }
}

} // namespace
} // namespace velmar::testing
