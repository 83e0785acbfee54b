#include "core/util/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

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
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return {Describe(path, std::string("cannot create: ") + std::strerror(errno))};
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::string reason = std::string("write error: ") + std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return {Describe(path, reason)};
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    bool synced = ::fsync(fd) == 0;
    int syncErrno = errno;
    bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        std::string reason =
            std::string("write error: ") + std::strerror(synced ? errno : syncErrno);
        ::unlink(tmp.c_str());
        return {Describe(path, reason)};
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::string reason = std::string("cannot replace: ") + std::strerror(errno);
        ::unlink(tmp.c_str());
        return {Describe(path, reason)};
    }
    return {};
}

} // namespace velmar
