#include "Commands.h"
#include "platform/CpuFeatures.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace {
void Usage() {
    std::fputs("usage: velmar-cli run   [options] (ROM | --bios)\n"
               "       velmar-cli bench [options] (ROM | --bios)\n"
               "       velmar-cli check FILE.toml [--update] [--junit REPORT.xml] [--only NAME]\n"
               "       velmar-cli cpm   [--max-tstates N] FILE.COM\n",
               stderr);
}
} // namespace

int main(int argc, char** argv) {
    if (!velmar::HasRequiredCpuFeatures()) {
        std::fprintf(stderr, "%s\n", velmar::kCpuFeaturesMissingMessage);
        return 1;
    }
    if (argc < 2) {
        Usage();
        return 2;
    }
    const char* command = argv[1];
    try {
        if (std::strcmp(command, "cpm") == 0) return velmar::cli::RunCpm(argc - 2, argv + 2);
        if (std::strcmp(command, "run") == 0) return velmar::cli::RunRun(argc - 2, argv + 2);
        if (std::strcmp(command, "check") == 0) return velmar::cli::RunCheck(argc - 2, argv + 2);
        if (std::strcmp(command, "bench") == 0) return velmar::cli::RunBench(argc - 2, argv + 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmar-cli: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "velmar-cli: unknown command '%s'\n", command);
    Usage();
    return 2;
}
