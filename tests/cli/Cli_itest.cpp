#include "Options.h"
#include "ZipSupport.h"
#include "core/util/FileIo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <csignal>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // prefix: shell commands run first (limits, traps).
    Result Run(const std::string& args, const std::string& prefix = "") {
        const fs::path out = dir_ / "stdout.txt";
        const fs::path err = dir_ / "stderr.txt";
        const std::string command = prefix + std::string("'") + VELMAR_CLI + "' " + args + " >'" +
                                    out.string() + "' 2>'" + err.string() + "'";
        Result r;
        const int status = std::system(command.c_str());
        r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 256 + WTERMSIG(status);
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
        "run --bios --mapper sg1000",
        "run --bios --region secam",
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

// A zipped Codemasters cartridge: its game files are named after the zip, and --mapper
// overrides what Auto finds (on the Sega mapper the program never reaches its RAM).
TEST_F(CliTest, ZippedCartridgesRunOnTheMapperChosen) {
    std::vector<std::uint8_t> rom;
    ASSERT_TRUE(velmar::ReadWholeFile(std::string(VELMAR_TEST_ROM_DIR) + "/mapper_codemasters.sms",
                                      rom, 1 << 20));
    ASSERT_TRUE(velmar::WriteFileAtomic(
        Path("micro.zip"), velmar::testing::MakeZip({{"read.me", {1}}, {"Micro.sms", rom}})));
    const std::string run =
        "run " + Path("micro.zip") + " --bios-type japan --frames 40 --data-dir " + Path("d");
    const Result sega = Run(run + " --mapper sega");
    ASSERT_EQ(sega.Status, 0) << sega.Err;
    EXPECT_FALSE(fs::exists(dir_ / "d" / "RAM" / "micro.RAM"));
    const Result automatic = Run(run + " --mapper auto");
    ASSERT_EQ(automatic.Status, 0) << automatic.Err;
    const std::string ram = Read(dir_ / "d" / "RAM" / "micro.RAM");
    ASSERT_EQ(ram.size(), 32768u);
    EXPECT_EQ(ram[0x123], 0x5A);

    ASSERT_TRUE(
        velmar::WriteFileAtomic(Path("text.zip"), velmar::testing::MakeZip({{"read.me", {1}}})));
    const Result none = Run("run " + Path("text.zip") + " --data-dir " + Path("d"));
    EXPECT_EQ(none.Status, 1);
    EXPECT_EQ(none.Err, "velmar-cli: cannot load ROM: '" + Path("text.zip") +
                            "': no .sms or .sg file inside the zip archive\n");
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
    // Fifty frames of a PAL console are one second of sound.
    ASSERT_EQ(Run("run --bios --region pal --frames 50 --data-dir " + Path("d") + " --wav " +
                  Path("pal.wav"))
                  .Status,
              0);
    EXPECT_EQ(Read(Path("pal.wav")).size(), 44u + 44100u * 2u);

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

// Values easy to get subtly wrong: the widest frameskip, a press of one frame, on and off.
TEST(CliOptions, EdgeValuesParseAsWritten) {
    const auto parse = [](std::vector<std::string> words) {
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        std::string error;
        return velmar::cli::ParseRunOptions(static_cast<int>(argv.size()), argv.data(), error);
    };
    const auto o = parse(
        {"--bios", "--frameskip", "255", "--press", "5-5:p1b1", "--mixer", "off", "--hq2x", "off"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->Frameskip, 255);
    EXPECT_EQ(o->KeysAt(5), velmar::kKeyP1B1);
    EXPECT_EQ(o->KeysAt(4) | o->KeysAt(6), 0u);
    EXPECT_FALSE(o->Mixer || o->Hq2x);
    const auto on =
        parse({"--bios", "--mixer", "off", "--mixer", "on", "--hq2x", "off", "--hq2x", "on"});
    ASSERT_TRUE(on);
    EXPECT_TRUE(on->Mixer && on->Hq2x);
    EXPECT_FALSE(parse({"--bios", "--frameskip", "256"})) << "a byte would wrap to 0";
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

// A light gun on port A aimed by --aim and fired by --press p1b1: the shooting program
// (gun.asm) keeps the point it marked in work RAM, the first bytes of a state.
TEST_F(CliTest, LightGunIsAimedAndFiredFromTheCommandLine) {
    const std::string rom = std::string(VELMAR_TEST_ROM_DIR) + "/gun.sms";
    const std::string run = "run " + rom + " --bios-type japan --frames 70 --data-dir " +
                            Path("d") + " --gun a --press 50-52:p1b1 --state-out " + Path("s.vlr");
    const Result hit = Run(run + " --aim 0-69:150,70");
    ASSERT_EQ(hit.Status, 0) << hit.Err;
    const std::string state = Read(Path("s.vlr"));
    ASSERT_EQ(state.size(), 57444u);
    EXPECT_EQ(state[0x40], 1) << "one shot";
    EXPECT_NEAR(static_cast<unsigned char>(state[0x42]), 150, 4);
    EXPECT_NEAR(static_cast<unsigned char>(state[0x43]), 70, 4);
    ASSERT_EQ(Run(run).Status, 0) << "not aimed: a miss";
    EXPECT_EQ(Read(Path("s.vlr"))[0x41], 1);

    for (const char* args : {"--gun c", "--aim 0-9:10,10", "--gun a --aim 0-9:256,10"}) {
        const Result r = Run("run --bios --frames 1 " + std::string(args));
        EXPECT_NE(r.Status, 0) << args;
        EXPECT_EQ(Lines(r.Err), 1) << r.Err;
    }
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

namespace {

// A cartridge that maps its battery RAM, writes 0x42 to it and spins (started at once by the
// Japanese firmware).
const std::vector<std::uint8_t>& RamCartridge() {
    static const std::vector<std::uint8_t> image = [] {
        std::vector<std::uint8_t> rom(8192, 0x00);
        const std::uint8_t code[] = {
            0xF3,             // di
            0x3E, 0x08,       // ld a,0x08
            0x32, 0xFC, 0xFF, // ld (0xFFFC),a
            0x3E, 0x42,       // ld a,0x42
            0x32, 0x00, 0x80, // ld (0x8000),a
            0x3A, 0x00, 0x80, // ld a,(0x8000)
            0x18, 0xFE,       // jr $
        };
        std::copy(std::begin(code), std::end(code), rom.begin());
        return rom;
    }();
    return image;
}

bool WriteBytes(const fs::path& file, const std::string& bytes) {
    return static_cast<bool>(velmar::WriteFileAtomic(
        file, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
}

// A character device made in the test's folder (never the system's own): 1,3 discards.
// Empty when devices cannot be made here.
fs::path Device(const fs::path& path, unsigned minor) {
    if (::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, minor)) != 0) return {};
    return path;
}

// Files in the folder other than the runner's own output captures.
std::vector<std::string> Leftovers(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.find(".part") != std::string::npos || name.rfind(".velmar-", 0) == 0)
            names.push_back(name);
    }
    return names;
}

// The size of the sound file a run is writing (its temporary), 0 while there is none.
std::uintmax_t WavBytes(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".velmar-", 0) != 0) continue;
        std::ifstream in(e.path(), std::ios::binary);
        char head[12] = {};
        std::error_code ec;
        if (in.read(head, sizeof head) && std::string(head + 8, 4) == "WAVE")
            return fs::file_size(e.path(), ec);
    }
    return 0;
}

} // namespace

class CliFilesTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        ASSERT_TRUE(velmar::WriteFileAtomic(Path("game.sms"), RamCartridge()));
    }
    // The RAM cartridge under the Japanese firmware, with the test's data folder.
    std::string Game(int frames) const {
        return "run " + Path("game.sms") + " --bios-type japan --frames " + std::to_string(frames) +
               " --data-dir " + Path("d");
    }
    std::string Save() const { return Path("d/RAM/game.RAM"); }
};

// Folders, devices and pipes are refused before the first frame and never opened: a pipe
// without a reader would hold the run up for ever (the time limit ends a run that hangs).
TEST_F(CliFilesTest, OutputsThatAreNotFilesAreRefusedAtOnce) {
    fs::create_directories(Path("folder.avi"));
    Result r = Run(Game(12) + " --avi " + Path("folder.avi"));
    EXPECT_NE(r.Status, 0);
    EXPECT_EQ(Lines(r.Err), 1) << r.Err;
    EXPECT_NE(r.Err.find("Is a directory"), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::is_directory(Path("folder.avi")));

    const std::string limit = "timeout -s KILL 10 ";
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0644), 0);
    std::vector<std::pair<std::string, fs::path>> cases;
    for (const std::string option : {"--avi", "--screenshot", "--wav", "--state-out"})
        cases.emplace_back(option, Path("pipe"));
    if (const fs::path null = Device(Path("null"), 3); !null.empty())
        cases.emplace_back("--wav", null);
    for (const auto& [option, node] : cases) {
        r = Run(Game(12) + " " + option + " " + node.string(), limit);
        EXPECT_EQ(r.Status, 1) << option << " " << node;
        EXPECT_NE(r.Err.find("not a regular file"), std::string::npos) << option << r.Err;
    }
    EXPECT_TRUE(fs::is_fifo(Path("pipe")));
    // A pipe at the battery file: refused before the run, and left as it is.
    fs::create_directories(Path("d/RAM"));
    ASSERT_EQ(::mkfifo(Save().c_str(), 0644), 0);
    r = Run(Game(12), limit);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("battery RAM"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("not a regular file"), std::string::npos) << r.Err;
    EXPECT_TRUE(fs::is_fifo(Save()));
}

TEST_F(CliFilesTest, LinksAreFollowedAndPlantedTemporariesIgnored) {
    ASSERT_TRUE(WriteBytes(Path("victim"), "precious"));
    for (const char* planted : {"a.wav.part", "c.avi.part", "s.vlr.part", "s.vlr.tmp"})
        fs::create_symlink(Path("victim"), Path(planted));
    fs::create_directories(Path("real"));
    ASSERT_TRUE(WriteBytes(Path("real/s.vlr"), "old"));
    fs::create_symlink("real/s.vlr", Path("s.vlr"));
    fs::create_directories(Path("d/RAM"));
    fs::create_symlink(Path("real/game.RAM"), Save());
    const Result r = Run(Game(12) + " --wav " + Path("a.wav") + " --avi " + Path("c.avi") +
                         " --state-out " + Path("s.vlr"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Read(Path("victim")), "precious");
    EXPECT_TRUE(fs::is_symlink(Path("s.vlr")));
    EXPECT_EQ(fs::file_size(Path("real/s.vlr")), 57444u);
    EXPECT_TRUE(fs::is_symlink(Save()));
    EXPECT_EQ(fs::file_size(Path("real/game.RAM")), 32768u);
}

TEST_F(CliFilesTest, AnUnreadableSaveIsKeptAndTheRunsRamGoesBesideIt) {
    fs::create_directories(Path("d/RAM"));
    ASSERT_TRUE(WriteBytes(Save(), "x"));
    fs::resize_file(Save(), (16u << 20) + 1);
    Result r = Run(Game(12));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Lines(r.Err), 1) << r.Err;
    EXPECT_EQ(fs::file_size(Save()), (16u << 20) + 1);
    std::string spare;
    for (const auto& e : fs::directory_iterator(Path("d/RAM")))
        if (e.path() != fs::path(Save())) spare = e.path().string();
    ASSERT_FALSE(spare.empty());
    EXPECT_NE(r.Err.find(spare), std::string::npos) << r.Err;
    EXPECT_EQ(fs::file_size(spare), 32768u);

    // A save that cannot be written fails the run, with the reason: a folder in the way, a
    // full disk (files are limited to 10 KB here).
    fs::remove(Save());
    fs::create_directories(Save());
    r = Run(Game(12));
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Err.find("Is a directory"), std::string::npos) << r.Err;
    fs::remove(Save());
    r = Run(Game(12), "trap '' XFSZ; ulimit -f 20; ");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Err.find("battery RAM"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("File too large"), std::string::npos) << r.Err;
}

TEST_F(CliFilesTest, AFailedRunWritesNoOutputs) {
    ASSERT_TRUE(WriteBytes(Path("s.vlr"), "good state"));
    ASSERT_TRUE(WriteBytes(Path("s.bmp"), "good picture"));
    // The disk fills while the sound is written (files are limited to 200 KB here).
    const Result r = Run(Game(600) + " --wav " + Path("a.wav") + " --state-out " + Path("s.vlr") +
                             " --screenshot " + Path("s.bmp"),
                         "trap '' XFSZ; ulimit -f 400; ");
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(r.Err.find("File too large"), std::string::npos) << r.Err;
    EXPECT_EQ(Read(Path("s.vlr")), "good state");
    EXPECT_EQ(Read(Path("s.bmp")), "good picture");
    EXPECT_FALSE(fs::exists(Path("a.wav")));
    EXPECT_TRUE(Leftovers(dir_).empty());
    EXPECT_EQ(fs::file_size(Save()), 32768u) << "the battery RAM is still written";

    // A name the folder cannot hold is found before the first frame, so nothing is replaced.
    const Result refused = Run(Game(6) + " --state-out " + Path("s.vlr") + " --screenshot " +
                               Path(std::string(256, 'n') + ".bmp"));
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("File name too long"), std::string::npos) << refused.Err;
    EXPECT_EQ(Read(Path("s.vlr")), "good state");
}

// However the names are spelt: through links, from the working folder, or the game's own
// battery file, whose write at exit would destroy the output.
TEST_F(CliFilesTest, TwoOutputsOnOneFileAreRefused) {
    fs::create_symlink(Path("x.out"), Path("alias.out"));
    fs::create_symlink(dir_, Path("here"));
    fs::create_directories(Path("d/RAM"));
    ASSERT_TRUE(WriteBytes(Save(), "save"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"--wav " + Path("x.out") + " --avi " + Path("x.out"), "same file"},
        {"--screenshot " + Path("x.out") + " --state-out " + Path("alias.out"), "same file"},
        {"--wav x.out --avi ./x.out", "same file"},
        {"--wav x.out --avi " + Path("here/x.out"), "same file"},
        {"--state-out " + Path("here/d/RAM/game.RAM"), "battery file"},
    };
    for (const auto& [outputs, reason] : cases) {
        const Result r = Run(Game(6) + " " + outputs, "cd '" + dir_.string() + "' && ");
        EXPECT_NE(r.Status, 0) << outputs;
        EXPECT_EQ(Lines(r.Err), 1) << r.Err;
        EXPECT_NE(r.Err.find(reason), std::string::npos) << r.Err;
        EXPECT_FALSE(fs::exists(Path("x.out")));
        EXPECT_EQ(Read(Save()), "save");
    }
}

TEST_F(CliFilesTest, ReplacedFilesKeepTheirModeAndLongNamesWork) {
    ASSERT_TRUE(WriteBytes(Path("s.vlr"), "old"));
    fs::permissions(Path("s.vlr"), fs::perms::owner_read | fs::perms::owner_write);
    const std::string longName = Path(std::string(250, 'n') + ".vlr");
    const Result r = Run(Game(6) + " --state-out " + Path("s.vlr") + " --screenshot " + longName);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(fs::status(Path("s.vlr")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::file_size(Path("s.vlr")), 57444u);
    EXPECT_EQ(fs::file_size(longName), 54u + 512u * 384u * 3u);
}

// A stop signal ends the run at a frame boundary: partial outputs go, the battery RAM is
// written and the exit status says the run did not complete.
TEST_F(CliFilesTest, StopSignalsEndTheRunCleanly) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        fs::remove_all(Path("d"));
        const std::string args = Game(2'000'000) + " --wav " + Path("a.wav") + " --avi " +
                                 Path("c.avi") + " --state-out " + Path("s.vlr");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::execl(
                "/bin/sh", "sh", "-c",
                ("exec '" + std::string(VELMAR_CLI) + "' " + args + " 2>'" + Path("err.txt") + "'")
                    .c_str(),
                static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait until about 100 frames of sound are on disk: by then the game has long used
        // its cartridge RAM, however slowly this build runs.
        for (int i = 0; i < 1200 && WavBytes(dir_) < 150'000; ++i) ::usleep(25'000);
        ::kill(child, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "died of signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        EXPECT_NE(Read(Path("err.txt")).find("stopped by"), std::string::npos);
        EXPECT_TRUE(Leftovers(dir_).empty());
        EXPECT_FALSE(fs::exists(Path("a.wav")));
        EXPECT_FALSE(fs::exists(Path("c.avi")));
        EXPECT_FALSE(fs::exists(Path("s.vlr")));
        EXPECT_TRUE(fs::exists(Save()) && fs::file_size(Save()) == 32768u);
    }
}

TEST_F(CliFilesTest, MessagesGiveTheSystemsReason) {
    ASSERT_TRUE(WriteBytes(Path("file"), "x"));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {Game(6) + " --screenshot " + Path("no/s.bmp"), "No such file or directory"},
        {Game(6) + " --avi " + Path("no/c.avi"), "No such file or directory"},
        {"run --bios --frames 6 --data-dir " + Path("file/d"), "Not a directory"},
        {"run --bios --frames 100000001", "100,000,000"},
    };
    for (const auto& [args, reason] : cases) {
        const Result r = Run(args);
        EXPECT_NE(r.Status, 0) << args;
        EXPECT_EQ(Lines(r.Err), 1) << r.Err;
        EXPECT_NE(r.Err.find(reason), std::string::npos) << args << "\n" << r.Err;
    }
}

TEST_F(CliTest, CpmEndsOnHaltStopsRunawaysAndReportsLostOutput) {
    // LD C,2; LD E,'A'; CALL 5; DI; HALT
    ASSERT_TRUE(WriteBytes(Path("halt.com"), std::string("\x0E\x02\x1E"
                                                         "A\xCD\x05\x00\xF3\x76",
                                                         9)));
    Result r = Run("cpm " + Path("halt.com"));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out.rfind("A\nT-states: ", 0), 0u) << r.Out;
    unsigned long tstates = 0;
    ASSERT_EQ(std::sscanf(r.Out.c_str(), "A\nT-states: %lu", &tstates), 1);
    EXPECT_LT(tstates, 100u);

    // A program that never ends: a loop, and a HALT that waits for an interrupt.
    ASSERT_TRUE(WriteBytes(Path("loop.com"), "\x18\xFE"));
    ASSERT_TRUE(WriteBytes(Path("wait.com"), "\xFB\x76"));
    for (const char* name : {"loop.com", "wait.com"}) {
        r = Run("cpm --max-tstates 100000 " + Path(name));
        EXPECT_NE(r.Status, 0) << name;
        EXPECT_EQ(Lines(r.Err), 1) << r.Err;
        EXPECT_NE(r.Err.find("--max-tstates"), std::string::npos) << r.Err;
    }
    EXPECT_NE(Run("cpm --max-tstates lots " + Path("loop.com")).Status, 0);

    // Output that cannot be written fails the command.
    for (const std::string& args :
         {"cpm " + Path("halt.com"), "bench --bios --frames 1 --data-dir " + Path("d")}) {
        const std::string command =
            std::string("'") + VELMAR_CLI + "' " + args + " >/dev/full 2>'" + Path("err.txt") + "'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << args;
        EXPECT_NE(Read(Path("err.txt")).find("No space left on device"), std::string::npos) << args;
    }
}
