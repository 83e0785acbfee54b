#include "core/util/FileIo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("velmar_cli_" + std::string(info->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    struct Result {
        int Status = 0;
        std::string Out;
        std::string Err;
    };

    // Runs velmar-cli with the arguments (shell words) and collects its output.
    Result Run(const std::string& args) {
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        const std::string command = std::string("'") + VELMAR_CLI + "' " + args + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        Result r;
        r.Status = std::system(command.c_str());
        r.Out = Read(out);
        r.Err = Read(err);
        return r;
    }

    static std::string Read(const fs::path& file) {
        std::vector<std::uint8_t> bytes;
        if (!velmar::ReadWholeFile(file, bytes, 1 << 24)) return {};
        return std::string(bytes.begin(), bytes.end());
    }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

int Lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

TEST_F(CliTest, ErrorsPrintOneLineAndFail) {
    const std::vector<std::string> bad = {
        "run " + Path("missing.sms"),
        "run --bios --bogus",
        "run --bios --frames many",
        "run --bios --frames",
        "run --bios --bios-type europe",
        "run --bios --press 5-3:p1up",
        "run --bios --press 0-3:jump",
        "run --bios --hq2x maybe",
        "run --bios --frameskip 300",
        "run --bios " + Path("also.sms"),
        "run",
        "bench " + Path("missing.sms"),
        "run " + Path("") + " --data-dir " + Path("d"),          // a folder, not a ROM
        "run --bios --frames 3000000 --wav " + Path("long.wav"), // past the format's 4 GB
        "run --bios --frames 1 --wav " + Path("no/such/folder.wav"),
    };
    for (const std::string& args : bad) {
        const Result r = Run(args);
        EXPECT_NE(r.Status, 0) << args;
        EXPECT_EQ(Lines(r.Err), 1) << args << "\n" << r.Err;
        EXPECT_EQ(r.Err.rfind("velmar-cli: ", 0), 0u) << r.Err;
        EXPECT_TRUE(r.Out.empty()) << args;
    }
    EXPECT_FALSE(fs::exists(Path("long.wav")));
    EXPECT_FALSE(fs::exists(Path("long.wav.part")));
    // An empty ROM file is refused too.
    ASSERT_TRUE(velmar::WriteFileAtomic(Path("empty.sms"), {}));
    const Result r = Run("run " + Path("empty.sms") + " --data-dir " + Path("d"));
    EXPECT_NE(r.Status, 0);
    EXPECT_EQ(Lines(r.Err), 1);
}

TEST_F(CliTest, RunsAreDeterministicAndWriteTheirOutputs) {
    const std::string common = "run --bios --frames 90 --data-dir " + Path("d") +
                               " --press 10-20:p1b1,p1right --press 30-31:pause" +
                               " --press 40-40:reset";
    const Result a = Run(common + " --screenshot " + Path("a.bmp") + " --wav " + Path("a.wav"));
    ASSERT_EQ(a.Status, 0) << a.Err;
    const Result b = Run(common + " --screenshot " + Path("b.bmp") + " --wav " + Path("b.wav"));
    ASSERT_EQ(b.Status, 0) << b.Err;
    const std::string shotA = Read(Path("a.bmp"));
    EXPECT_EQ(shotA.size(), 54u + 512u * 384u * 3u);
    EXPECT_EQ(shotA, Read(Path("b.bmp")));
    EXPECT_EQ(shotA.substr(0, 2), "BM");

    const std::string wav = Read(Path("a.wav"));
    ASSERT_EQ(wav.size(), 44u + 90u * 735u * 2u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(static_cast<unsigned char>(wav[24]) | (static_cast<unsigned char>(wav[25]) << 8),
              44100 & 0xFFFF);
    EXPECT_EQ(wav, Read(Path("b.wav")));
    EXPECT_TRUE(fs::is_directory(dir_ / "d" / "RAM"));

    // A state is written after the last frame and read before the first.
    const std::string plain = "run --bios --frames 30 --data-dir " + Path("d");
    ASSERT_EQ(Run(plain + " --state-out " + Path("s.vlr")).Status, 0);
    EXPECT_EQ(fs::file_size(Path("s.vlr")), 57444u);
    ASSERT_EQ(Run(plain + " --state-in " + Path("s.vlr") + " --state-out " + Path("t.vlr")).Status,
              0);
    EXPECT_EQ(fs::file_size(Path("t.vlr")), 57444u);
}

TEST_F(CliTest, BenchPrintsTheFramesPerSecond) {
    const Result r =
        Run("bench --bios --frames 120 --frameskip 1 --mixer off --data-dir " + Path("d"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    double fps = 0.0;
    double realtime = 0.0;
    char tail = 0;
    ASSERT_EQ(std::sscanf(r.Out.c_str(), "fps: %lf  realtime: %lf%c", &fps, &realtime, &tail), 3)
        << r.Out;
    EXPECT_EQ(r.Out.rfind("fps: ", 0), 0u);
    EXPECT_NE(r.Out.find("  realtime: "), std::string::npos);
    EXPECT_EQ(tail, '\n');
    EXPECT_EQ(Lines(r.Out), 1);
    EXPECT_GT(fps, 0.0);
    EXPECT_NEAR(realtime, fps / 60.0, 0.01);
}

} // namespace

// The firmware's no-cartridge screen animates without sound or pads, so a run split by a
// saved state must end on the very picture of an unbroken one.
TEST_F(CliTest, StatesResumeExactlyAndOnlyWholeStatesLoad) {
    const std::string bios = "run --bios --data-dir " + Path("d");
    ASSERT_EQ(Run(bios + " --frames 150 --screenshot " + Path("whole.bmp")).Status, 0);
    ASSERT_EQ(Run(bios + " --frames 100 --state-out " + Path("s.vlr")).Status, 0);
    ASSERT_EQ(fs::file_size(Path("s.vlr")), 57444u);
    const Result resumed =
        Run(bios + " --frames 50 --state-in " + Path("s.vlr") + " --screenshot " + Path("r.bmp"));
    ASSERT_EQ(resumed.Status, 0) << resumed.Err;
    EXPECT_EQ(Read(Path("r.bmp")), Read(Path("whole.bmp")));
    // Saving twice without running gives identical files.
    ASSERT_EQ(
        Run(bios + " --frames 0 --state-in " + Path("s.vlr") + " --state-out " + Path("again.vlr"))
            .Status,
        0);
    EXPECT_EQ(Read(Path("again.vlr")), Read(Path("s.vlr")));

    // Truncated, empty and oversized files are refused with a reason, and the run stops.
    const std::string state = Read(Path("s.vlr"));
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"short.vlr", state.substr(0, 100)},
        {"empty.vlr", ""},
        {"long.vlr", state + "x"},
    };
    for (const auto& [name, bytes] : bad) {
        ASSERT_TRUE(velmar::WriteFileAtomic(
            Path(name), {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
        const Result r = Run(bios + " --frames 1 --state-in " + Path(name));
        EXPECT_NE(r.Status, 0) << name;
        EXPECT_EQ(Lines(r.Err), 1) << r.Err;
        EXPECT_NE(r.Err.find(name), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find("57444"), std::string::npos) << r.Err;
    }
    const Result missing = Run(bios + " --frames 1 --state-in " + Path("none.vlr"));
    EXPECT_NE(missing.Status, 0);
    EXPECT_NE(missing.Err.find("not found"), std::string::npos) << missing.Err;
}

// 120 emulated frames give 20 capture frames at 10 per second: frames 0, 6, ..., 114.
TEST_F(CliTest, CaptureHoldsOneFrameInSixAndMatchesTheSnapshot) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffprobe";
    const std::string bios = "run --bios --data-dir " + Path("d");
    ASSERT_EQ(Run(bios + " --frames 120 --avi " + Path("c.avi")).Status, 0);
    const std::string info = [&] {
        std::string out;
        const std::string command = "ffprobe -v error -count_frames -show_entries "
                                    "stream=codec_type,width,height,r_frame_rate,nb_read_frames "
                                    "-of csv=p=0 '" +
                                    Path("c.avi") + "'";
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, p) != nullptr) out += buf;
            ::pclose(p);
        }
        return out;
    }();
    EXPECT_EQ(info, "video,512,384,10/1,20\n");

    // The last capture frame is emulated frame 114: the snapshot after 115 frames.
    ASSERT_EQ(Run(bios + " --frames 115 --screenshot " + Path("s.bmp")).Status, 0);
    const std::string command = "ffmpeg -v error -i '" + Path("c.avi") +
                                "' -vf 'select=eq(n\\,19)' -frames:v 1 -f rawvideo -pix_fmt "
                                "bgr24 -y '" +
                                Path("f19.raw") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string frame = Read(Path("f19.raw"));
    const std::string bmp = Read(Path("s.bmp"));
    constexpr std::size_t kRow = 512 * 3;
    ASSERT_EQ(frame.size(), kRow * 384);
    ASSERT_EQ(bmp.size(), 54 + kRow * 384);
    // The decoded frame is top-down; the bitmap stores its bottom row first.
    for (std::size_t y = 0; y < 384; ++y)
        ASSERT_EQ(frame.compare(y * kRow, kRow, bmp, 54 + (383 - y) * kRow, kRow), 0)
            << "row " << y;
}
