#pragma once

#include "core/util/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace velmar {

// Result of a file operation: empty error means success.
using FileResult = Result;

// Reads a whole file. Fails (with a message naming the file and the reason) when the file is
// missing, unreadable, not a regular file, or larger than maxBytes.
FileResult ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                         std::uintmax_t maxBytes);

// Writes the whole file through a StagedFile: a crash or a failed write never leaves a
// truncated file behind, a replaced file keeps its mode, a link is followed to the file it
// names, and a device is written in place.
FileResult WriteFileAtomic(const std::filesystem::path& path, std::span<const std::uint8_t> data);

} // namespace velmar
