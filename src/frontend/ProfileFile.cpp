#include "frontend/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

namespace velmar {

namespace {

constexpr std::uintmax_t kMostFileBytes = 1 << 20;

std::string Trim(const std::string& s) {
    const auto blank = [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r'; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && blank(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The section a line opens, if it is a "[name]" line.
std::optional<std::string> SectionOf(const std::string& line) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return std::nullopt;
    const std::size_t close = t.find(']');
    if (close == std::string::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// The key of a "key=value" line; comments (';') and other lines have none.
std::optional<std::string> KeyOf(const std::string& line) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = Trim(line.substr(0, eq));
    if (key.empty() || key.front() == ';') return std::nullopt;
    return key;
}

bool ReadLines(const std::filesystem::path& path, std::vector<std::string>& lines, bool& exists) {
    std::error_code ec;
    exists = std::filesystem::exists(path, ec);
    if (!exists) return !ec;
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes, kMostFileBytes)) return false;
    std::string line;
    for (const std::uint8_t b : bytes) {
        if (b == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(b));
        }
    }
    if (!line.empty()) lines.push_back(line);
    return true;
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string ProfileFile::Read(const std::string& section, const std::string& key,
                              const std::string& fallback) const {
    std::vector<std::string> lines;
    bool exists = false;
    if (!ReadLines(path_, lines, exists) || !exists) return fallback;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (const auto s = SectionOf(line)) {
            inSection = SameName(*s, section);
            continue;
        }
        if (!inSection) continue;
        const auto k = KeyOf(line);
        if (!k || !SameName(*k, key)) continue;
        std::string value = Trim(line.substr(line.find('=') + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.size() > kMostValueChars) value.resize(kMostValueChars);
        return value;
    }
    return fallback;
}

FileResult ProfileFile::Write(const std::string& section, const std::string& key,
                              const std::string& value) {
    return Write(section, Entries{{key, value}});
}

FileResult ProfileFile::Write(const std::string& section, const Entries& entries) {
    for (const auto& [key, value] : entries)
        if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || key.empty() ||
            key.find('=') != std::string::npos)
            return {"'" + key + "': names and values must be single lines"};
    std::vector<std::string> lines;
    bool exists = false;
    if (!ReadLines(path_, lines, exists)) return {"cannot read " + path_.string()};

    for (const auto& [key, value] : entries) {
        const std::string entry = key + "=" + value;
        bool inSection = false;
        bool replaced = false;
        std::optional<std::size_t> sectionEnd; // one past the last non-blank line of the section
        for (std::size_t i = 0; i < lines.size() && !replaced; ++i) {
            if (const auto s = SectionOf(lines[i])) {
                if (inSection) break;
                inSection = SameName(*s, section);
                if (inSection) sectionEnd = i + 1;
                continue;
            }
            if (!inSection) continue;
            if (!Trim(lines[i]).empty()) sectionEnd = i + 1;
            if (const auto k = KeyOf(lines[i]); k && SameName(*k, key)) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (replaced) {
        } else if (sectionEnd) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), entry);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        }
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return WriteFileAtomic(path_,
                           {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace velmar
