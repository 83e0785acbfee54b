#include "Outputs.h"

#include "core/util/StagedFile.h"

#include <system_error>
#include <utility>

#include <sys/stat.h>

namespace velmar::cli {

namespace {

// The folder a name lies in, resolved, and the name itself, once links are followed.
std::pair<std::filesystem::path, std::filesystem::path> PlaceOf(const std::filesystem::path& path) {
    const std::filesystem::path real = FollowLinks(path);
    std::filesystem::path folder = real.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(folder, ec);
    if (ec) resolved = std::filesystem::absolute(folder, ec).lexically_normal();
    return {resolved, real.filename()};
}

} // namespace

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
        sa.st_ino == sb.st_ino)
        return true;
    return PlaceOf(a) == PlaceOf(b);
}

void RunOutputs::Add(const char* option, const std::string& path, std::function<Result()> commit) {
    if (!path.empty()) outputs_.push_back({option, path, std::move(commit)});
}

std::string RunOutputs::Check(const std::filesystem::path& batteryFile) const {
    // The battery file is written at the end whatever happened: one that exists must be a
    // regular file (a pipe would hold the run up).
    if (struct stat st{};
        !batteryFile.empty() && ::stat(batteryFile.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "cannot write the battery RAM: " + CheckTarget(batteryFile).error;
    for (const Output& o : outputs_)
        if (Result usable = CheckTarget(o.Path); !usable)
            return std::string(o.Option) + ": " + usable.error;
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs_.size(); ++j)
            if (SameFile(outputs_[i].Path, outputs_[j].Path))
                return std::string(outputs_[i].Option) + " and " + outputs_[j].Option +
                       " name the same file '" + outputs_[j].Path.string() + "'";
        if (!batteryFile.empty() && SameFile(outputs_[i].Path, batteryFile))
            return std::string(outputs_[i].Option) + " names the game's battery file '" +
                   batteryFile.string() + "'";
    }
    return {};
}

Result RunOutputs::CommitAll() const {
    for (const Output& o : outputs_)
        if (Result usable = CheckTarget(o.Path); !usable) return usable;
    for (const Output& o : outputs_)
        if (Result committed = o.Commit(); !committed) return committed;
    return {};
}

} // namespace velmar::cli
