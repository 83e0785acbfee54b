#include "core/util/StagedFile.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <random>
#include <string_view>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar {

namespace {

// Links are followed as the system would, up to its own limit.
constexpr int kMostLinks = 40;
constexpr int kNameAttempts = 100;
// A temporary this old that no process holds is left over from a killed writer.
constexpr std::time_t kStaleSeconds = 60;

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::string_view kTemporaryPrefix = ".velmar-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryLetters = 12;

// Short, so a target whose own name uses the folder's full 255 characters still works.
std::string TemporaryName() {
    std::random_device random;
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporaryLetters; ++i)
        name += kLetters[random() % (sizeof kLetters - 1)];
    return name.append(kTemporarySuffix);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kTemporaryLetters + kTemporarySuffix.size() ||
        !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return false;
    const std::string_view letters = name.substr(kTemporaryPrefix.size(), kTemporaryLetters);
    return letters.find_first_not_of(kLetters) == std::string_view::npos;
}

// Every writer holds a lock on its temporary while it writes, so one that no process holds
// and that has not changed for a minute belongs to a writer that was killed.
void RemoveStaleTemporaries(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const int dirFd = ::dirfd(dir);
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        const int fd = ::openat(dirFd, entry->d_name,
                                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > kStaleSeconds &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            (void)::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

std::filesystem::path FolderOf(const std::filesystem::path& file) {
    std::filesystem::path folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
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

Result CheckTarget(const std::filesystem::path& target) {
    if (target.empty()) return {"no file name given"};
    const auto fail = [&target](const char* what, int error) {
        return Result{"'" + target.string() + "': " + what + ": " + std::strerror(error)};
    };
    std::filesystem::path real;
    if (const int error = FollowLinkChain(target, real); error != 0)
        return fail("cannot open", error);
    const std::string name = real.filename().string();
    if (name.empty() || name == "." || name == "..") return fail("cannot write", EISDIR);
    if (target.native().size() >= PATH_MAX || real.native().size() >= PATH_MAX)
        return fail("cannot write", ENAMETOOLONG);

    const std::filesystem::path folder = FolderOf(real);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return fail("cannot write", errno);
    if (!S_ISDIR(st.st_mode)) return fail("cannot write", ENOTDIR);
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (name.size() > static_cast<std::size_t>(longest > 0 ? longest : NAME_MAX))
        return fail("cannot write", ENAMETOOLONG);
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return fail("cannot write", errno);
    if (::stat(real.c_str(), &st) != 0) {
        if (errno == ENOENT) return {};
        return fail("cannot write", errno);
    }
    if (S_ISDIR(st.st_mode)) return fail("cannot write", EISDIR);
    if (!S_ISREG(st.st_mode))
        return {"'" + target.string() + "': not a regular file (a device, pipe or socket is " +
                "never written)"};
    return {};
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
    if (Result checked = CheckTarget(target); !checked) {
        status_ = checked;
        return checked;
    }
    if (const int error = FollowLinkChain(target, real_); error != 0)
        return Fail("cannot open", error);
    struct stat st {};
    const bool exists = ::stat(real_.c_str(), &st) == 0;

    const std::filesystem::path folder = FolderOf(real_);
    RemoveStaleTemporaries(folder);
    int error = EEXIST;
    for (int attempt = 0; attempt < kNameAttempts && fd_ < 0 && error == EEXIST; ++attempt) {
        temp_ = folder / TemporaryName();
        // A new file gets the mode the umask allows; a replacement the old file's, below.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     exists ? 0600 : 0666);
        error = fd_ < 0 ? errno : 0;
    }
    if (fd_ < 0) {
        temp_.clear();
        return Fail("cannot create", error);
    }
    // Held until the file is closed: others see that it is being written.
    (void)::flock(fd_, LOCK_EX | LOCK_NB);
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
    if (::fsync(fd_) != 0) return Fail("cannot write", errno);
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
    if (::rename(temp_.c_str(), real_.c_str()) != 0) {
        const int e = errno;
        Abort();
        return Fail("cannot replace", e);
    }
    temp_.clear();
    // The new name reaches the disk with the folder.
    const std::filesystem::path folder = FolderOf(real_);
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
