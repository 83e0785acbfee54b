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
        "run " + Path("") + " --data-dir " + Path("d"), // a folder, not a ROM
    };
    for (const std::string& args : bad) {
        const Result r = Run(args);
        EXPECT_NE(r.Status, 0) << args;
        EXPECT_EQ(Lines(r.Err), 1) << args << "\n" << r.Err;
        EXPECT_EQ(r.Err.rfind("velmar-cli: ", 0), 0u) << r.Err;
        EXPECT_TRUE(r.Out.empty()) << args;
    }
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
