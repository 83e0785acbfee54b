// A short fuzz of the ROM, state and Velmar.ini readers: random and mutated cartridges, zips
// and states go through the machine's loaders (thousands, in process) and through velmar-cli
// (dozens), mutated INI text through the controller set-up, mutated check files and input
// recordings through their readers; the sanitizer builds turn any memory fault into a failure.

#include "CheckFile.h"
#include "ZipSupport.h"
#include "files/InputRecording.h"
#include "files/RomFiles.h"
#include "frontend/Configuration.h"
#include "machine/MachineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace velmar;
using namespace velmar::testing;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Plain writes: scratch inputs need no syncing.
bool Put(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

class Mutator {
  public:
    explicit Mutator(std::uint32_t seed) : rng_(seed) {}

    std::size_t Below(std::size_t n) { return n == 0 ? 0 : rng_() % n; }

    Bytes Random(std::size_t size) {
        Bytes b(size);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng_());
        return b;
    }

    // Byte flips, runs of one value, truncation, growth, or a 512-byte header in front.
    Bytes Mutate(Bytes b) {
        switch (Below(5)) {
        case 0:
            for (std::size_t n = 1 + Below(64); n > 0 && !b.empty(); --n)
                b[Below(b.size())] = static_cast<std::uint8_t>(rng_());
            break;
        case 1:
            if (!b.empty()) {
                const std::size_t at = Below(b.size());
                const std::size_t len = std::min(b.size() - at, 1 + Below(4096));
                std::fill_n(b.begin() + static_cast<std::ptrdiff_t>(at), len,
                            static_cast<std::uint8_t>(Below(2) == 0 ? 0xFF : rng_()));
            }
            break;
        case 2: b.resize(Below(b.size() + 1)); break;
        case 3: {
            const Bytes tail = Random(1 + Below(20000));
            b.insert(b.end(), tail.begin(), tail.end());
            break;
        }
        default: {
            const Bytes header = Random(512);
            b.insert(b.begin(), header.begin(), header.end());
            break;
        }
        }
        return b;
    }

    // Sizes around the loaders' edges: empty, a header alone, just past a header, bank and
    // kilobyte boundaries, the 1 MB limit.
    std::size_t EdgeSize() {
        static constexpr std::size_t kSizes[] = {0,
                                                 1,
                                                 511,
                                                 512,
                                                 513,
                                                 1023,
                                                 1024,
                                                 1536,
                                                 16383,
                                                 16384,
                                                 16896,
                                                 32768,
                                                 57443,
                                                 57444,
                                                 57445,
                                                 1u << 20,
                                                 (1u << 20) + 512,
                                                 (1u << 20) + 513};
        return kSizes[Below(std::size(kSizes))];
    }

  private:
    std::mt19937 rng_;
};

TEST(CliFuzz, LoadersTakeRandomAndMutatedRomsAndStates) {
    TempFolder dir;
    Mutator mutate(0x5EED1234);
    std::vector<Bytes> roms;
    for (const auto& e : fs::directory_iterator(VELMAR_TEST_ROM_DIR)) {
        if (e.path().extension() != ".sms") continue;
        Bytes rom;
        ASSERT_TRUE(ReadWholeFile(e.path(), rom, 1 << 20));
        roms.push_back(std::move(rom));
    }
    ASSERT_FALSE(roms.empty());

    HeadlessMachine m;
    m->SetBiosType(0); // the Japanese firmware starts the cartridge at once
    m->Reset();
    ASSERT_TRUE(m->LoadCartridge(WriteRom(dir / "seed.sms", roms[0])));
    m->SetRamFileName("");
    m->RunBios();
    for (int f = 0; f < 20; ++f) m->RunFrame();
    const Bytes state = m->StateBytes();
    ASSERT_EQ(state.size(), machine::kStateFileSize);

    int romsTaken = 0;
    int statesTaken = 0;
    for (int i = 0; i < 1000; ++i) {
        const Bytes rom = i % 3 == 0 ? mutate.Random(mutate.EdgeSize())
                                     : mutate.Mutate(roms[mutate.Below(roms.size())]);
        ASSERT_TRUE(Put(dir / "fuzz.sms", rom));
        m->Reset();
        if (m->LoadCartridge(dir / "fuzz.sms")) {
            ++romsTaken;
            m->RunFrame();
        }
        const Bytes bad = i % 4 == 0 ? mutate.Random(mutate.EdgeSize()) : mutate.Mutate(state);
        ASSERT_TRUE(Put(dir / "fuzz.vlr", bad));
        if (m->LoadStateFromFile(dir / "fuzz.vlr")) {
            EXPECT_EQ(bad.size(), machine::kStateFileSize);
            ++statesTaken;
            m->RunFrame();
        }
    }
    // Damaged zips give an image or a reason, never a fault; each mapper sees odd images.
    const Bytes zip = MakeZip({{"a.sms", roms[0]}, {"b.sg", roms[1 % roms.size()]}});
    int zipsTaken = 0;
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(Put(dir / "fuzz.zip", mutate.Mutate(zip)));
        CartridgeImage image;
        const FileResult read = ReadCartridge(dir / "fuzz.zip", image);
        EXPECT_EQ(static_cast<bool>(read), !image.Bytes.empty());
        if (!read) continue;
        ++zipsTaken;
        m->SetMapperChoice(static_cast<MapperChoice>(i % 5));
        m->Reset();
        ASSERT_TRUE(m->LoadCartridge(image));
        m->RunFrame();
    }
    EXPECT_GT(zipsTaken, 10);
    EXPECT_LT(zipsTaken, 300);
    m->SetMapperChoice(MapperChoice::Auto);

    // Both loaders saw inputs they took and inputs they refused.
    EXPECT_GT(romsTaken, 100);
    EXPECT_LT(romsTaken, 1000);
    EXPECT_GT(statesTaken, 100);
    EXPECT_LT(statesTaken, 1000);

    // The same through the command line: an error is one line and exit status 1, never a
    // crash.
    for (int i = 0; i < 24; ++i) {
        const Bytes rom = mutate.Mutate(roms[mutate.Below(roms.size())]);
        ASSERT_TRUE(Put(dir / "cli.sms", rom));
        ASSERT_TRUE(Put(dir / "cli.vlr", i % 2 == 0 ? mutate.Mutate(state) : state));
        const std::string command =
            std::string("'") + VELMAR_CLI + "' run '" + (dir / "cli.sms").string() +
            "' --frames 3 --state-in '" + (dir / "cli.vlr").string() + "' --data-dir '" +
            (dir / "d").string() + "' >/dev/null 2>'" + (dir / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << command;
        EXPECT_LE(WEXITSTATUS(status), 1) << command;
        Bytes err;
        ASSERT_TRUE(ReadWholeFile(dir / "err.txt", err, 1 << 16));
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), WEXITSTATUS(status) == 0 ? 0 : 1);
    }
}

// Velmar.ini is edited by hand: any text gives a set-up the pads can use (key codes 0 to 255,
// joystick buttons 0 to 31, one pad at most on the joystick) or else the defaults, and a key
// written afterwards reads back.
TEST(CliFuzz, AnyIniTextGivesAUsableControllerSetup) {
    TempFolder dir;
    Mutator mutate(0x1A1F00D5);
    ProfileFile ini(dir / "Velmar.ini");
    const ControllerSetup defaults = ControllerSetup::Defaults();
    const std::string setup = "[CONTROLLER_1]\nUP=38\nDOWN=40\nLEFT=37\nRIGHT=39\nBUTTON_1=3\n"
                              "BUTTON_2=5\nBUTTON_3=7\nJOYPAD=1\n[CONTROLLER_2]\nUP=89\nDOWN=72\n"
                              "LEFT=71\nRIGHT=74\nBUTTON_1=75\nBUTTON_2=76\nJOYPAD=0\n";
    const Bytes valid(setup.begin(), setup.end());
    const std::string words[] = {"[CONTROLLER_1]\n",
                                 "[controller_2]\r\n",
                                 "[GENERAL_OPTIONS]\n",
                                 "UP=",
                                 "button_3 = ",
                                 "JOYPAD=1\n",
                                 "JOYPAD=",
                                 "=",
                                 "[",
                                 "]",
                                 "12x",
                                 "-1",
                                 "4294967296",
                                 " 65 ",
                                 "+7",
                                 "0x41",
                                 "31",
                                 "255",
                                 "\r",
                                 "\n",
                                 "\t",
                                 ";",
                                 "\xff",
                                 std::string(1, '\0'),
                                 std::string(700, '9')};
    int fellBack = 0;
    for (int i = 0; i < 1000; ++i) {
        Bytes text;
        if (i % 2 == 0) {
            text = mutate.Mutate(valid);
        } else {
            for (std::size_t n = mutate.Below(40); n > 0; --n) {
                const std::string& w = words[mutate.Below(std::size(words))];
                text.insert(text.end(), w.begin(), w.end());
            }
        }
        ASSERT_TRUE(Put(dir / "Velmar.ini", text));
        const ControllerSetup s = ReadControllerSetup(ini);
        if (s.FellBack) {
            ++fellBack;
            EXPECT_TRUE(s.Pad1 == defaults.Pad1 && s.Pad2 == defaults.Pad2);
        }
        EXPECT_FALSE(s.Pad1.Joypad && s.Pad2.Joypad);
        for (const PadSetup* p : {&s.Pad1, &s.Pad2}) {
            const std::int32_t most = p->Joypad ? 31 : 255;
            for (const std::int32_t v : {p->Up, p->Down, p->Left, p->Right})
                EXPECT_TRUE(v >= 0 && v <= 255) << v;
            for (const std::int32_t v : {p->Button1, p->Button2, p->Button3})
                EXPECT_TRUE(v >= 0 && v <= most) << v;
        }
        if (i % 250 == 0) { // a safe write syncs the disk: a few only
            ASSERT_TRUE(ini.Write("CONTROLLER_2", "UP", "77"));
            EXPECT_EQ(ini.Read("CONTROLLER_2", "UP", ""), "77") << i;
        }
    }
    EXPECT_GT(fellBack, 50);
    EXPECT_LT(fellBack, 950);
}

} // namespace

// Mutated check files and input recordings: each is read or refused with a reason that says
// where (a line, and for a check file its column); nothing crashes.
TEST(CliFuzz, CheckFilesAndRecordingsAreReadOrRefusedClearly) {
    TempFolder dir;
    std::mt19937 rng(0xC4EC4);
    const auto below = [&rng](std::size_t n) { return n == 0 ? 0 : rng() % n; };
    static const char* const kPieces[] = {"[[case]]\n", "[[case.ram]]\n",
                                          "=",          "\"",
                                          "'",          "\n",
                                          "frame = ",   "0xFFFFFFFFFFFF",
                                          "-1",         "[",
                                          "]",          "{",
                                          "}",          ",",
                                          "p1b1",       "9999999999",
                                          "1.5e308",    "true",
                                          "#",          "\xC3\xA9",
                                          "-",          "frames ",
                                          "rom ",       "silence",
                                          "255,191",    "nan"};
    const auto mutate = [&](std::string text) {
        for (std::size_t n = 1 + below(4); n > 0; --n) {
            const std::size_t at = below(text.size() + 1);
            switch (below(4)) {
            case 0: text.insert(at, kPieces[below(std::size(kPieces))]); break;
            case 1: text.erase(at, 1 + below(12)); break;
            case 2:
                if (at < text.size()) text[at] = static_cast<char>(rng());
                break;
            default: text.insert(at, text.substr(below(text.size()), below(40))); break;
            }
        }
        return text;
    };
    const std::string rom = std::string(VELMAR_EXAMPLE_DIR) + "/hello.sms";
    const std::string check = "[[case]]\nname = \"a\"\nrom = \"" + rom +
                              "\"\nframes = 30\npress = [\"1-2:p1b1\"]\n[[case.ram]]\nframe = "
                              "20\naddress = 0xC001\nvalues = [1, 2]\nmask = 3\n[[case.sound]]\n"
                              "first = 1\nlast = 9\npitch = 440\n[[case.vram]]\nframe = 3\nhash = "
                              "\"\"\n[[case.screenshot]]\nframe = 5\nbaseline = \"x.png\"\n";
    const std::string recording = "velmar-input 1\nrom 0badf00d hello\noptions --fm --mapper "
                                  "sega\nframes 40\n0-9 -\n10 p1b1,reset 12,34\n11-39 silence\n";
    const fs::path file = dir.Path() / "check.toml";
    int read = 0;
    for (int i = 0; i < 400; ++i) {
        std::ofstream(file, std::ios::trunc) << mutate(check);
        velmar::cli::CheckFile parsed;
        if (const Result r = velmar::cli::ReadCheckFile(file, parsed); !r) {
            EXPECT_EQ(r.error.rfind(file.string() + ":", 0), 0u) << r.error;
            EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
        } else {
            ++read;
        }
        InputRecording taken;
        if (const Result r = InputRecording::Parse(mutate(recording), taken); !r)
            EXPECT_EQ(r.error.rfind("line ", 0), 0u) << r.error;
        else
            EXPECT_LE(taken.Frames.size(), InputRecording::kMostFrames);
    }
    EXPECT_GT(read, 0); // some mutations leave a valid file
}
