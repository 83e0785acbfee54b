#pragma once

#include "core/util/FileIo.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace velmar {

// A settings file in the profile (INI) format: "[SECTION]" lines, then KEY=value lines.
// Section and key names match without regard to case; values are text with surrounding
// blanks (and one pair of surrounding quotes) removed, at most 2047 characters. Every
// access reads the file afresh; nothing is cached. A write changes only its own line and
// keeps everything else, unknown keys included; the file is replaced atomically.
class ProfileFile {
  public:
    static constexpr std::size_t kMostValueChars = 2047;

    explicit ProfileFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }
    // The value, or fallback when the file, section or key is missing or unreadable.
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& fallback) const;
    // Sets the value, creating the file and the section when missing. Refuses names and
    // values holding line breaks (they would add lines to the file).
    FileResult Write(const std::string& section, const std::string& key, const std::string& value);
    // Several keys of one section in one rewrite of the file.
    using Entries = std::vector<std::pair<std::string, std::string>>;
    FileResult Write(const std::string& section, const Entries& entries);

  private:
    std::filesystem::path path_;
};

} // namespace velmar
