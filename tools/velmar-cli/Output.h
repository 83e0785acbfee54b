#pragma once

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace velmar::cli {

// Writes to standard output at once; false (errno set) when it cannot take the text.
inline bool WriteStdout(std::string_view text) {
    errno = 0;
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

inline int StdoutFailed(int error) {
    std::fprintf(stderr, "velmar-cli: cannot write the standard output: %s\n",
                 std::strerror(error != 0 ? error : EIO));
    return 1;
}

// Flushes what is still buffered: the exit code, non-zero when the output was lost.
inline int FinishStdout() {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) return StdoutFailed(errno);
    return 0;
}

} // namespace velmar::cli
