#pragma once

#include "core/util/Result.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velmar::cli {

// The files a run writes, each named by one option. They are checked before the first frame
// and put in place together after the last, once every one of them is complete on disk, so
// that a run that fails leaves every target as it was.
class RunOutputs {
  public:
    // commit puts the finished file in place. An empty path names no output and is skipped.
    void Add(const char* option, const std::string& path, std::function<Result()> commit);

    // Every output can be written (a folder that exists and may be written, a name within the
    // system's limits, a new or a regular file), no two name one file, and none is the battery
    // file, which the machine writes itself (it may be empty: none). The first problem as
    // one line; empty when there is none.
    std::string Check(const std::filesystem::path& batteryFile = {}) const;

    // Checks every name again, then puts the outputs in place in the order they were added;
    // stops at the first that fails and returns its reason.
    Result CommitAll() const;

  private:
    struct Output {
        const char* Option;
        std::filesystem::path Path;
        std::function<Result()> Commit;
    };
    std::vector<Output> outputs_;
};

// Whether two names lead to one file: the same folder (links and "." resolved) and name, or
// the same file on disk.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

} // namespace velmar::cli
