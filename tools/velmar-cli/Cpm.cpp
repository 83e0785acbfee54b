#include "Commands.h"
#include "Output.h"

#include "core/cpu/CpmRunner.h"
#include "core/util/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace velmar::cli {
namespace {

// Larger files are refused by the reader itself; smaller ones too big for the program area
// get their own message from the runner.
constexpr std::uint64_t kMaxReadBytes = 16u << 20;
// The program runs in slices of this many T-states until it ends.
constexpr std::uint64_t kSliceTStates = 100'000'000;
// Twice what the longest instruction exerciser needs (about 47 billion); a program still running
// then is taken to be stuck.
constexpr std::uint64_t kDefaultMaxTStates = 100'000'000'000;

struct Console {
    char LastChar = '\n';
    int Error = 0;
};

void Print(void* context, std::string_view text) {
    auto* console = static_cast<Console*>(context);
    if (console->Error != 0) return;
    if (!WriteStdout(text)) {
        console->Error = errno != 0 ? errno : EIO;
        return;
    }
    if (!text.empty()) console->LastChar = text.back();
}

void Usage() {
    std::fputs("velmar-cli: usage: velmar-cli cpm [--max-tstates N] FILE.COM\n", stderr);
}

} // namespace

int RunCpm(int argc, char** argv) {
    std::uint64_t maxTStates = kDefaultMaxTStates;
    const char* file = nullptr;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--max-tstates") {
            const std::string_view v = i + 1 < argc ? argv[++i] : "";
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), maxTStates);
            if (v.empty() || ec != std::errc() || end != v.data() + v.size() || maxTStates == 0) {
                std::fprintf(stderr, "velmar-cli: bad --max-tstates value '%.*s' (1 or more)\n",
                             static_cast<int>(v.size()), v.data());
                return 2;
            }
        } else if (file == nullptr && !(arg.size() > 1 && arg[0] == '-')) {
            file = argv[i];
        } else {
            Usage();
            return 2;
        }
    }
    if (file == nullptr) {
        Usage();
        return 2;
    }
    std::vector<std::uint8_t> program;
    if (const FileResult read = ReadWholeFile(file, program, kMaxReadBytes); !read) {
        std::fprintf(stderr, "velmar-cli: %s\n", read.error.c_str());
        return 1;
    }
    CpmRunner runner;
    if (const std::string error = runner.Load(program); !error.empty()) {
        std::fprintf(stderr, "velmar-cli: %s: %s\n", file, error.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    Console console;
    while (console.Error == 0 && runner.TStates() < maxTStates &&
           !runner.Run(std::min(kSliceTStates, maxTStates - runner.TStates()), Print, &console)) {
    }
    if (console.Error != 0) return StdoutFailed(console.Error);
    if (!runner.Finished()) {
        std::fprintf(stderr,
                     "velmar-cli: %s: stopped after %" PRIu64
                     " T-states without ending (raise --max-tstates to run longer)\n",
                     file, runner.TStates());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mhz = seconds > 0 ? static_cast<double>(runner.TStates()) / seconds / 1e6 : 0.0;
    if (console.LastChar != '\n') std::fputc('\n', stdout);
    std::printf("T-states: %" PRIu64 "  seconds: %.3f  MHz: %.1f\n", runner.TStates(), seconds,
                mhz);
    return FinishStdout();
}

} // namespace velmar::cli
