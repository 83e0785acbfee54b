// velmar-cli check on the example program: each kind of checkpoint passing and failing with
// its reason, --update then a clean pass, a JUnit report an XML parser takes, and mistakes
// in the file reported at their line and column before anything runs.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace velmar::testing;

namespace {

const std::string kHello = std::string(VELMAR_EXAMPLE_DIR) + "/hello.sms";

struct Checked {
    int Status = 0;
    std::string Out;
};

Checked Check(const fs::path& toml, const std::string& flags = "") {
    int status = 0;
    Checked c;
    c.Out = RunCommand("'" + std::string(VELMAR_CLI) + "' check '" + toml.string() + "' " + flags +
                           " 2>&1",
                       &status);
    c.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return c;
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

// A case of hello.sms holding button 1 from frame 180 and walking right from 200, with one
// checkpoint.
std::string Case(const std::string& name, const std::string& checkpoint) {
    return "[[case]]\nname = \"" + name + "\"\nrom = \"" + kHello +
           "\"\nframes = 240\npress = [\"180-239:p1b1\", \"200-239:p1right\"]\n" + checkpoint +
           "\n";
}

TEST(Check, CheckpointsPassOrFailWithTheirReasonsAndUpdateWritesBaselines) {
    TempFolder dir;
    const fs::path toml = dir.Path() / "check.toml";
    // Snapshots first: missing, then written by --update, then a clean pass.
    Write(toml,
          Case("shot", "[[case.screenshot]]\nframe = 239\nbaseline = \"end.png\"") +
              Case("filtered",
                   "[[case.screenshot]]\nframe = 100\nbaseline = \"f.bmp\"\nfiltered = true") +
              Case("hashes", "[[case.vram]]\nframe = 239\nhash = \"\"\n[[case.cram]]\nframe = "
                             "239\nhash = ''"));
    Checked c = Check(toml);
    EXPECT_EQ(c.Status, 1);
    EXPECT_NE(c.Out.find("FAIL shot: screenshot at frame 239: the baseline end.png is missing"),
              std::string::npos)
        << c.Out;
    EXPECT_NE(c.Out.find("FAIL hashes: vram at frame 239: no hash yet: it is "), std::string::npos);
    c = Check(toml, "--update");
    EXPECT_EQ(c.Status, 0) << c.Out;
    EXPECT_NE(c.Out.find("ok   shot (updated: end.png written (it was missing))"),
              std::string::npos)
        << c.Out;
    EXPECT_TRUE(fs::exists(dir.Path() / "f.bmp"));
    c = Check(toml);
    EXPECT_EQ(c.Status, 0) << c.Out;
    EXPECT_EQ(c.Out, "ok   shot\nok   filtered\nok   hashes\n3 passed, 0 failed\n");

    // Each kind passing and failing; the failures name the first checkpoint and why.
    const struct {
        const char* Checkpoint;
        const char* Failure; // empty: passes
    } cases[] = {
        {"[[case.ram]]\nframe = 239\naddress = 0xC001\nvalues = [164]", ""},
        {"[[case.ram]]\nframe = 239\naddress = 0xC001\nvalues = [0xA5]\nmask = 0xF0", ""},
        {"[[case.ram]]\nframe = 239\naddress = 0xC001\nvalues = 0x95",
         "ram at frame 239: 0xc001 holds 0xa4, expected 0x95"},
        {"[[case.sound]]\nfirst = 100\nlast = 170\nsilent = true", ""},
        {"[[case.sound]]\nfirst = 190\nlast = 239\nsilent = true",
         "sound over frames 190-239: not silent: level -23.8 dBFS (silent is below -60 dBFS)"},
        {"[[case.sound]]\nfirst = 190\nlast = 239\nlevel = [-26.0, -20.0]", ""},
        {"[[case.sound]]\nfirst = 100\nlast = 170\nlevel = [-26.0, -20.0]",
         "sound over frames 100-170: no sound, expected -26.0 to -20.0 dBFS"},
        {"[[case.sound]]\nfirst = 190\nlast = 239\npitch = 440", ""},
        {"[[case.sound]]\nfirst = 190\nlast = 239\npitch = 880\ntolerance = 20",
         "sound over frames 190-239: strongest frequency 440.4 Hz, expected 880.0 Hz within "
         "20.0 Hz"},
        {"[[case.screenshot]]\nframe = 239\nbaseline = \"end.png\"", ""},
        {"[[case.screenshot]]\nframe = 230\nbaseline = \"end.png\"\ntolerance = 128", ""},
        {"[[case.screenshot]]\nframe = 230\nbaseline = \"end.png\"",
         "screenshot at frame 230: 128 pixels differ from end.png (tolerance 0); see "},
        {"[[case.cram]]\nframe = 239\nhash = \"0BADF00D\"",
         "cram at frame 239: hash b0c01c06, expected 0badf00d"},
    };
    std::string all;
    int n = 0;
    for (const auto& k : cases) all += Case("k" + std::to_string(n++), k.Checkpoint);
    Write(toml, all);
    const fs::path report = dir.Path() / "out" / "report.xml";
    fs::create_directories(report.parent_path());
    c = Check(toml, "--junit '" + report.string() + "'");
    EXPECT_EQ(c.Status, 1);
    n = 0;
    int failed = 0;
    for (const auto& k : cases) {
        const std::string name = "k" + std::to_string(n++);
        const std::string line = std::string(*k.Failure ? "FAIL " : "ok   ") + name +
                                 (*k.Failure ? ": " + std::string(k.Failure) : "\n");
        failed += *k.Failure ? 1 : 0;
        EXPECT_NE(c.Out.find(line), std::string::npos) << line << "\nin\n" << c.Out;
    }
    EXPECT_NE(
        c.Out.find(std::to_string(n - failed) + " passed, " + std::to_string(failed) + " failed\n"),
        std::string::npos);
    // The actual and difference pictures go beside the report.
    for (const char* picture : {"k11-frame230.actual.png", "k11-frame230.diff.png"}) {
        const std::vector<std::uint8_t> png = ReadBytes(report.parent_path() / picture);
        ASSERT_GT(png.size(), 24u) << picture;
        EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
        EXPECT_EQ(png[18] * 256 + png[19], 256); // IHDR width and height
        EXPECT_EQ(png[22] * 256 + png[23], 192);
    }
    int status = 0;
    const std::string parsed = RunCommand(
        "python3 -c \"import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); "
        "s = r.find('testsuite'); print(r.tag, s.get('tests'), s.get('failures'), "
        "len(s.findall('testcase/failure')))\" '" +
            report.string() + "' 2>&1",
        &status);
    EXPECT_EQ(parsed, "testsuites " + std::to_string(n) + " " + std::to_string(failed) + " " +
                          std::to_string(failed) + "\n");
}

TEST(Check, MistakesInTheFileAreReportedAtTheirPlaceBeforeAnythingRuns) {
    TempFolder dir;
    const fs::path toml = dir.Path() / "check.toml";
    const std::string head = "[[case]]\nrom = \"" + kHello + "\"\nframes = 100\n";
    const std::string shot = "[[case.screenshot]]\nframe = 10\nbaseline = \"a.png\"\n";
    Write(dir.Path() / "other.vrec", "velmar-input 1\nrom 12345678 other\noptions\nframes 5\n");
    const struct {
        std::string Text;
        const char* Where;
    } cases[] = {
        {head + "speed = 2\n" + shot, ":4:1: unknown key 'speed'"},
        {head + "mixer = \"loud\"\n" + shot, ":4:1: bad --mixer value 'loud' (on or off)"},
        {head + "wav = \"a.wav\"\n" + shot, ":4:1: 'wav' writes a file"},
        {"[[case]]\nrom = \"nowhere.sms\"\n" + shot, ":2:7: "},
        {head + shot + "colour = 3\n", ":7:1: unknown key 'colour' in a screenshot checkpoint"},
        {head + "[[case.ram]]\nframe = 100\naddress = 0xC000\nvalues = 1\n",
         ":5:9: frame 100 lies beyond the run (100 frames: 0 to 99)"},
        {head + "[[case.ram]]\nframe = 1\naddress = 0x100\nvalues = 1\n",
         ":6:11: address must be a whole number from 49152 to 65535"},
        {head + "[[case.sound]]\nfirst = 1\nlast = 2\n", ":4:1: a sound checkpoint needs one of"},
        {head + "input = \"other.vrec\"\n" + shot,
         ":4:1: the recording was made for 'other' (CRC-32 12345678), not for 'hello.sms'"},
        {head + shot + "frame = = 3\n", ":7:"},
        {"[case]\nrom = 1\n", ":1:1: "},
    };
    for (const auto& k : cases) {
        Write(toml, k.Text);
        const Checked c = Check(toml, "--update");
        EXPECT_EQ(c.Status, 2) << k.Text;
        EXPECT_EQ(c.Out.rfind("velmar-cli: " + toml.string() + k.Where, 0), 0u)
            << k.Text << "\ngave\n"
            << c.Out;
        EXPECT_FALSE(fs::exists(dir.Path() / "a.png"));
    }
}

} // namespace
