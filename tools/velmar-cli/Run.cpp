#include "Commands.h"

#include <cstdio>

namespace velmar::cli {
int RunRun(int, char**) {
    std::fputs("velmar-cli: run is not available yet\n", stderr);
    return 2;
}
int RunBench(int, char**) {
    std::fputs("velmar-cli: bench is not available yet\n", stderr);
    return 2;
}
} // namespace velmar::cli
