#include "core/util/StagedFile.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar {

namespace {

// Links are followed as the system would, up to its own limit.
constexpr int kMostLinks = 40;
constexpr int kNameAttempts = 100;

// Short, so a target whose own name uses the folder's full 255 characters still works.
std::string TemporaryName() {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string name = ".velmar-";
    for (int i = 0; i < 12; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name + ".tmp";
}

int FollowLinkChain(const std::filesystem::path& target, std::filesystem::path& real) {
    std::filesystem::path p = target;
    for (int hops = 0; hops < kMostLinks; ++hops) {
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            real = p;
            return 0;
        }
        std::error_code ec;
        const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec) return ec.value();
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    return ELOOP;
}

} // namespace

std::filesystem::path FollowLinks(const std::filesystem::path& path) {
    std::filesystem::path real;
    return FollowLinkChain(path, real) == 0 ? real : path;
}

StagedFile::~StagedFile() {
    Abort();
}

const Result& StagedFile::Fail(const std::string& what, int error) {
    if (status_)
        status_.error = "'" + target_.string() + "': " + what + ": " + std::strerror(error);
    return status_;
}

Result StagedFile::Open(const std::filesystem::path& target) {
    Abort();
    target_ = target;
    status_ = {};
    finished_ = false;
    if (target.empty()) return {"no file name given"};
    if (const int error = FollowLinkChain(target, real_); error != 0)
        return Fail("cannot open", error);

    struct stat st {};
    const bool exists = ::stat(real_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Fail("cannot write", EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        fd_ = ::open(real_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return Fail("cannot open", errno);
        return {};
    }

    std::filesystem::path folder = real_.parent_path();
    if (folder.empty()) folder = ".";
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0 && error == EEXIST; ++attempt) {
        temp_ = folder / TemporaryName();
        // A new file gets the usual mode; a replacement gets the old file's mode below.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     exists ? 0600 : 0666);
        error = fd_ < 0 ? errno : 0;
    }
    if (fd_ < 0) {
        temp_.clear();
        return Fail("cannot create", error);
    }
    if (exists) {
        if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // Only the owner's own files can be given away; the mode still carries over.
        }
        if (::fchmod(fd_, st.st_mode & 07777) != 0) {
            const int e = errno;
            Abort();
            return Fail("cannot keep the file's permissions", e);
        }
    }
    return {};
}

Result StagedFile::Write(std::span<const std::uint8_t> data) {
    if (!status_) return status_;
    if (fd_ < 0) return {"'" + target_.string() + "': not open"};
    const std::uint8_t* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = write_ != nullptr ? write_(fd_, p, left) : ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail("cannot write", n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return {};
}

std::int64_t StagedFile::Seek(std::int64_t offset, int whence) {
    if (fd_ < 0 || !status_) return -1;
    const off_t at = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (at < 0) Fail("cannot seek", errno);
    return at;
}

std::int64_t StagedFile::Size() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

Result StagedFile::Finish() {
    if (!status_) return status_;
    if (fd_ < 0) return {"'" + target_.string() + "': not open"};
    if (finished_) return {};
    // Devices and pipes written in place may have nothing to sync.
    if (::fsync(fd_) != 0 && !(temp_.empty() && (errno == EINVAL || errno == EROFS)))
        return Fail("cannot write", errno);
    finished_ = true;
    return {};
}

Result StagedFile::Commit() {
    if (Result finished = Finish(); !finished) {
        Abort();
        return finished;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const int e = errno;
        Abort();
        return Fail("cannot write", e);
    }
    if (temp_.empty()) return {};
    if (::rename(temp_.c_str(), real_.c_str()) != 0) {
        const int e = errno;
        Abort();
        return Fail("cannot replace", e);
    }
    temp_.clear();
    // The new name reaches the disk with the folder.
    std::filesystem::path folder = real_.parent_path();
    if (folder.empty()) folder = ".";
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        if (::fsync(dir) != 0) {
            // The file itself is in place and synced; a folder that cannot sync is no failure.
        }
        ::close(dir);
    }
    return {};
}

void StagedFile::Abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    finished_ = false;
}

} // namespace velmar
