#include "TestSupport.h"
#include "platform/ffmpeg/FfmpegAviWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using velmar::FfmpegAviWriter;

namespace {
constexpr int kW = 64, kH = 48;

std::string Capture(const std::string& command) {
    return velmar::testing::RunCommand(command);
}

// A bottom-up BGR frame whose top row (stored last) is red and whose other rows encode the
// frame number in green.
std::vector<std::uint8_t> Frame(int number) {
    std::vector<std::uint8_t> f(kW * kH * 3);
    for (int row = 0; row < kH; ++row) {
        int y = kH - 1 - row; // picture row held by this stored row
        for (int x = 0; x < kW; ++x) {
            std::uint8_t* p = &f[(row * kW + x) * 3];
            p[0] = static_cast<std::uint8_t>(x * 4);                    // blue
            p[1] = static_cast<std::uint8_t>(y == 0 ? 0 : number * 10); // green
            p[2] = static_cast<std::uint8_t>(y == 0 ? 255 : 0);         // red
        }
    }
    return f;
}
} // namespace

TEST(FfmpegAviWriter, WritesRawFramesThatPlayersShowRightSideUp) {
    fs::path dir = fs::temp_directory_path() / "velmar_avi_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path file = dir / "cap.AVI";
    {
        FfmpegAviWriter w;
        ASSERT_EQ(w.Open(file, kW, kH, 10), "");
        EXPECT_FALSE(fs::exists(file)) << "grows under a temporary name";
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(w.WriteFrame(Frame(i).data(), kW * kH * 3));
        EXPECT_FALSE(w.WriteFrame(Frame(0).data(), 10)) << "a frame of the wrong size is refused";
        ASSERT_TRUE(w.Close());
    }
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    std::string probe = Capture("ffprobe -v error -count_frames -select_streams v -show_entries "
                                "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 '" +
                                file.string() + "'");
    EXPECT_EQ(probe, "64,48,10/1,20\n");

    // Frame 7 decoded as top-down RGB: the first row is red, the rest carry green 70.
    std::string raw = Capture("ffmpeg -v error -i '" + file.string() +
                              "' -vf 'select=eq(n\\,7)' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(kW * kH * 3));
    auto at = [&](int x, int y, int c) {
        return static_cast<std::uint8_t>(raw[(y * kW + x) * 3 + c]);
    };
    EXPECT_EQ(at(5, 0, 0), 255);
    EXPECT_EQ(at(5, 0, 1), 0);
    EXPECT_EQ(at(5, 10, 0), 0);
    EXPECT_EQ(at(5, 10, 1), 70);
    EXPECT_EQ(at(5, 10, 2), 20);
    fs::remove_all(dir);
}

// With sound: every frame losslessly compressed and the samples in a second stream, both of
// one length, so picture and sound stay together however long the capture.
TEST(FfmpegAviWriter, WithSoundTwoStreamsOfOneLengthAndTheFramesUnchanged) {
    const fs::path dir = fs::temp_directory_path() / "velmar_avi_sound";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "cap.AVI";
    std::vector<std::int16_t> sound;
    {
        FfmpegAviWriter w;
        ASSERT_EQ(w.OpenWithSound(file, kW, kH, 60, 44100), "");
        for (int i = 0; i < 90; ++i) {
            std::vector<std::int16_t> frame(735);
            for (std::size_t k = 0; k < frame.size(); ++k)
                frame[k] = static_cast<std::int16_t>((i * 735 + static_cast<int>(k)) * 37 - 30000);
            ASSERT_TRUE(w.WriteFrame(Frame(i).data(), kW * kH * 3));
            ASSERT_TRUE(w.WriteSamples(frame.data(), frame.size()));
            sound.insert(sound.end(), frame.begin(), frame.end());
        }
        ASSERT_TRUE(w.Close());
    }
    // The sound stream's length is its sample count (90 x 735) at 44100 a second: 1.5 s, as
    // the picture's.
    EXPECT_EQ(Capture("ffprobe -v error -show_entries "
                      "stream=codec_type,codec_name,sample_rate,duration,nb_frames -of csv=p=0 '" +
                      file.string() + "'"),
              "utvideo,video,1.500000,90\npcm_s16le,audio,44100,N/A,66150\n");

    // One decoding of both: frame 7 as top-down RGB, and all of the sound.
    (void)Capture("ffmpeg -v error -i '" + file.string() + "' -map 0:v -vf 'select=eq(n\\,7)' " +
                  "-frames:v 1 -f rawvideo -pix_fmt rgb24 '" + (dir / "frame").string() +
                  "' -map 0:a -f s16le '" + (dir / "pcm").string() + "'");
    std::ifstream frameFile(dir / "frame", std::ios::binary),
        pcmFile(dir / "pcm", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(frameFile)), {});
    const std::string pcm((std::istreambuf_iterator<char>(pcmFile)), {});
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(kW * kH * 3));
    const std::vector<std::uint8_t> frame7 = Frame(7);
    for (int y : {0, 10, 47})
        for (int x : {0, 5, 63}) {
            const std::uint8_t* want = &frame7[((kH - 1 - y) * kW + x) * 3];
            const auto* got = reinterpret_cast<const std::uint8_t*>(&raw[(y * kW + x) * 3]);
            EXPECT_EQ(got[0], want[2]);
            EXPECT_EQ(got[1], want[1]);
            EXPECT_EQ(got[2], want[0]);
        }
    ASSERT_EQ(pcm.size(), sound.size() * 2);
    EXPECT_EQ(std::memcmp(pcm.data(), sound.data(), pcm.size()), 0);
    fs::remove_all(dir);
}

TEST(FfmpegAviWriter, FailedOpenLeavesNothingOpenOrBehind) {
    FfmpegAviWriter w;
    EXPECT_NE(w.Open("/nonexistent-folder/x.AVI", kW, kH, 10), "");
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.WriteFrame(Frame(0).data(), kW * kH * 3));
    EXPECT_TRUE(w.Close()); // harmless
}

using velmar::testing::FillingDisk;
using velmar::testing::FillingDiskRoom;

// However far the capture got, with or without sound, a full disk is reported and leaves
// neither the target nor a temporary behind.
TEST(FfmpegAviWriter, AFullDiskIsReportedAndLeavesNothing) {
    const fs::path dir = fs::temp_directory_path() / "velmar_avi_full";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path file = dir / "cap.AVI";
    const std::size_t frameBytes = kW * kH * 3;
    // With sound, 20 frames hold 29,400 bytes of samples alone.
    const std::vector<std::int16_t> samples(735, 1000);
    for (const ssize_t room :
         {ssize_t{100}, static_cast<ssize_t>(3 * frameBytes),
          static_cast<ssize_t>(20 * frameBytes + 4000), ssize_t{-100}, ssize_t{-20000}}) {
        SCOPED_TRACE(room);
        const bool sound = room < 0;
        FillingDiskRoom() = sound ? -room : room;
        FfmpegAviWriter w(FillingDisk);
        std::string opened =
            sound ? w.OpenWithSound(file, kW, kH, 60, 44100) : w.Open(file, kW, kH, 10);
        velmar::Result closed;
        if (opened.empty()) {
            for (int i = 0; i < 20; ++i) {
                (void)w.WriteFrame(Frame(i).data(), frameBytes);
                if (sound) (void)w.WriteSamples(samples.data(), samples.size());
            }
            closed = w.Close();
        }
        const std::string reason = opened.empty() ? closed.error : opened;
        EXPECT_NE(reason.find("No space left on device"), std::string::npos) << reason;
        EXPECT_NE(reason.find("cap.AVI"), std::string::npos) << reason;
        EXPECT_FALSE(w.IsOpen());
        EXPECT_TRUE(fs::is_empty(dir));
    }
    fs::remove_all(dir);
}
