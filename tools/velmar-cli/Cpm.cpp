#include "Commands.h"

#include "core/cpu/CpmRunner.h"
#include "core/util/FileIo.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace velmar::cli {
namespace {

// Larger files are refused by the reader itself; smaller ones too big for the program area
// get their own message from the runner.
constexpr std::uintmax_t kMaxReadBytes = 16u << 20;
// The program runs in slices of this many T-states until it ends.
constexpr std::uint64_t kSliceTStates = 100'000'000;

void Print(void* lastChar, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (!text.empty()) *static_cast<char*>(lastChar) = text.back();
}

} // namespace

int RunCpm(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("velmar-cli: usage: velmar-cli cpm FILE.COM\n", stderr);
        return 2;
    }
    std::vector<std::uint8_t> program;
    if (const FileResult read = ReadWholeFile(argv[0], program, kMaxReadBytes); !read) {
        std::fprintf(stderr, "velmar-cli: %s\n", read.error.c_str());
        return 1;
    }
    CpmRunner runner;
    if (const std::string error = runner.Load(program); !error.empty()) {
        std::fprintf(stderr, "velmar-cli: %s: %s\n", argv[0], error.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    char lastChar = '\n';
    while (!runner.Run(kSliceTStates, Print, &lastChar)) {
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double mhz = seconds > 0 ? static_cast<double>(runner.TStates()) / seconds / 1e6 : 0.0;
    if (lastChar != '\n') std::fputc('\n', stdout);
    std::printf("T-states: %" PRIu64 "  seconds: %.3f  MHz: %.1f\n", runner.TStates(), seconds,
                mhz);
    return 0;
}

} // namespace velmar::cli
