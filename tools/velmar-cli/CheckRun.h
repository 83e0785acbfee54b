#pragma once

#include "CheckFile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace velmar::cli {

// A file a check wants written once every case has run: a baseline, an actual or a
// difference picture.
struct PendingFile {
    std::filesystem::path Path;
    std::vector<std::uint8_t> Bytes;
};

struct CaseOutcome {
    // Each failed checkpoint as "WHAT: why", in frame order.
    std::vector<std::string> Failures;
    // What --update wrote or filled in.
    std::vector<std::string> Updated;
    double Seconds = 0;
};

// Runs one case and checks its checkpoints. Pictures go into files (actual and difference
// pictures into outFolder; baselines where they belong with update); vram and cram hashes
// that update fills in go into hashes.
CaseOutcome RunCase(const CheckCase& c, bool update, const std::filesystem::path& outFolder,
                    std::vector<PendingFile>& files,
                    std::vector<std::pair<const Checkpoint*, std::string>>& hashes);

} // namespace velmar::cli
