#include "core/util/FileIo.h"
#include "core/util/StagedFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace velmar {

namespace {
std::string Describe(const std::filesystem::path& path, const std::string& reason) {
    return "'" + path.string() + "': " + reason;
}
} // namespace

FileResult ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& out,
                         std::uintmax_t maxBytes) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return {Describe(path, "file not found")};
    if (!std::filesystem::is_regular_file(status)) return {Describe(path, "not a regular file")};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {Describe(path, std::string("cannot open: ") + std::strerror(errno))};
    in.seekg(0, std::ios::end);
    auto end = in.tellg();
    if (end < 0) return {Describe(path, "cannot read")};
    auto size = static_cast<std::uintmax_t>(end);
    if (size > maxBytes)
        return {Describe(path, "too large (" + std::to_string(size) + " bytes, at most " +
                                   std::to_string(maxBytes) + ")")};
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.seekg(0, std::ios::beg);
    if (size > 0 &&
        !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size)))
        return {Describe(path, "read error")};
    out = std::move(data);
    return {};
}

FileResult WriteFileAtomic(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
    StagedFile file;
    if (Result opened = file.Open(path); !opened) return opened;
    if (Result written = file.Write(data); !written) return written;
    return file.Commit();
}

} // namespace velmar
