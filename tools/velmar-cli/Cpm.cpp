#include "Commands.h"

#include <cstdio>

namespace velmar::cli {
int RunCpm(int, char**) {
    std::fputs("velmar-cli: cpm is not available yet\n", stderr);
    return 2;
}
} // namespace velmar::cli
