#include "TestSupport.h"

#include "core/util/FileIo.h"
#include "core/util/StagedFile.h"
#include "core/util/StateStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmar;
using velmar::testing::FillingDisk;
using velmar::testing::FillingDiskRoom;

namespace {
fs::path TempDir(const char* name) {
    fs::path d = fs::temp_directory_path() /
                 ("velmar_" + std::string(name) + "_" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}
} // namespace

TEST(FileIo, ReadRefusesMissingOversizedAndDirectories) {
    fs::path d = TempDir("read");
    std::vector<std::uint8_t> out{1, 2, 3};
    auto r = ReadWholeFile(d / "missing.bin", out, 100);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("missing.bin"), std::string::npos);
    EXPECT_EQ(out.size(), 3u) << "a failed read leaves the buffer alone";

    std::ofstream(d / "big.bin", std::ios::binary) << std::string(101, 'x');
    r = ReadWholeFile(d / "big.bin", out, 100);
    EXPECT_FALSE(r);
    EXPECT_NE(r.error.find("too large"), std::string::npos);

    EXPECT_FALSE(ReadWholeFile(d, out, 100));

    std::ofstream(d / "empty.bin", std::ios::binary).flush();
    EXPECT_TRUE(ReadWholeFile(d / "empty.bin", out, 100));
    EXPECT_TRUE(out.empty());
    fs::remove_all(d);
}

TEST(FileIo, AtomicWriteReplacesWholeAndLeavesNoTemporary) {
    fs::path d = TempDir("write");
    std::vector<std::uint8_t> a(1000, 0xAA), b(10, 0xBB);
    ASSERT_TRUE(WriteFileAtomic(d / "f.bin", a));
    ASSERT_TRUE(WriteFileAtomic(d / "f.bin", b));
    std::vector<std::uint8_t> out;
    ASSERT_TRUE(ReadWholeFile(d / "f.bin", out, 10000));
    EXPECT_EQ(out, b);
    EXPECT_EQ(std::distance(fs::directory_iterator(d), fs::directory_iterator()), 1);
    // A folder that does not exist: clear failure, nothing created.
    EXPECT_FALSE(WriteFileAtomic(d / "no" / "f.bin", a));
    fs::remove_all(d);
}

TEST(StateStream, RoundTripIsLittleEndianAndShortBlocksFailSafely) {
    std::uint8_t a = 0x12, block[3] = {1, 2, 3};
    std::uint16_t pc = 0xBEEF;
    std::uint32_t n = 0x01020304;
    StateWriter w;
    w.U8(a);
    w.U16(pc);
    w.U32(n);
    w.Bytes(block, 3);
    ASSERT_EQ(w.Data().size(), 10u);
    EXPECT_EQ(w.Data()[1], 0xEF);
    EXPECT_EQ(w.Data()[3], 0x04);

    std::uint8_t a2 = 0, block2[3] = {};
    std::uint16_t pc2 = 0;
    std::uint32_t n2 = 0;
    StateReader r(w.Data());
    r.U8(a2);
    r.U16(pc2);
    r.U32(n2);
    r.Bytes(block2, 3);
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(a2, a);
    EXPECT_EQ(pc2, pc);
    EXPECT_EQ(n2, n);
    EXPECT_EQ(block2[2], 3);

    std::span<const std::uint8_t> shortBlock(w.Data().data(), 4);
    StateReader s(shortBlock);
    std::uint32_t untouched = 7;
    s.U8(a2);
    s.U16(pc2);
    s.U32(untouched);
    EXPECT_TRUE(s.Failed());
    EXPECT_EQ(untouched, 7u);
}

namespace {

std::vector<std::uint8_t> Bytes(const fs::path& file) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(ReadWholeFile(file, out, 1 << 20)) << file;
    return out;
}

std::size_t Entries(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// A character device made beside the test's files (the system's own must never be at risk):
// 1,3 discards. Empty when devices cannot be made here.
fs::path Device(const fs::path& dir, const char* name, unsigned minor) {
    const fs::path node = dir / name;
    if (::mknod(node.c_str(), S_IFCHR | 0666, ::makedev(1, minor)) != 0) return {};
    return node;
}

} // namespace

TEST(StagedFile, ReplacesThroughLinksKeepingModeAndTakesLongNames) {
    const fs::path d = TempDir("staged_links");
    const std::vector<std::uint8_t> a(100, 0xAA), b(50, 0xBB);
    fs::create_directories(d / "real");
    ASSERT_TRUE(WriteFileAtomic(d / "real" / "f.bin", a));
    fs::permissions(d / "real" / "f.bin", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("real/f.bin", d / "link.bin");
    ASSERT_TRUE(WriteFileAtomic(d / "link.bin", b));
    EXPECT_TRUE(fs::is_symlink(d / "link.bin")) << "the link stays a link";
    EXPECT_EQ(Bytes(d / "real" / "f.bin"), b) << "and the file it names is replaced";
    EXPECT_EQ(fs::status(d / "real" / "f.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Entries(d / "real"), 1u);

    // The longest name the folder allows: the temporary must not add to it.
    const fs::path longName = d / std::string(255, 'n');
    ASSERT_TRUE(WriteFileAtomic(longName, a));
    ASSERT_TRUE(WriteFileAtomic(longName, b));
    EXPECT_EQ(Bytes(longName), b);
    fs::remove_all(d);
}

// A pipe without a reader would block an open for ever: targets that are not files are
// refused without being opened (the alarm ends a test that hangs), and names the folder
// cannot hold are refused before anything is written.
TEST(StagedFile, NonFilesAndOverlongNamesAreRefusedUnopened) {
    const fs::path d = TempDir("staged_nonfiles");
    ASSERT_EQ(::mkfifo((d / "pipe").c_str(), 0644), 0);
    std::vector<fs::path> nodes = {d / "pipe"};
    if (const fs::path null = Device(d, "null", 3); !null.empty()) nodes.push_back(null);
    fs::create_symlink("pipe", d / "link");
    nodes.push_back(d / "link");
    const std::vector<std::uint8_t> data(4096, 1);
    ::alarm(20);
    for (const fs::path& node : nodes) {
        const FileResult r = WriteFileAtomic(node, data);
        EXPECT_NE(r.error.find("not a regular file"), std::string::npos) << node << r.error;
        EXPECT_EQ(CheckTarget(node).error, r.error);
    }
    ::alarm(0);
    EXPECT_TRUE(fs::is_fifo(d / "pipe"));
    const FileResult tooLong = WriteFileAtomic(d / std::string(256, 'n'), data);
    EXPECT_NE(tooLong.error.find("File name too long"), std::string::npos) << tooLong.error;
    EXPECT_EQ(Entries(d), nodes.size());
    fs::remove_all(d);
}

// A killed writer leaves its temporary behind; the next write into the folder removes it
// once it is a minute old, unless a writer still holds it.
TEST(StagedFile, StaleTemporariesGoAndNewFilesTakeTheUmask) {
    const fs::path d = TempDir("staged_stale");
    const auto make = [&d](const char* name, int ageSeconds) {
        std::ofstream(d / name) << "left over";
        const timespec times[2] = {{::time(nullptr) - ageSeconds, 0},
                                   {::time(nullptr) - ageSeconds, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, (d / name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    };
    make(".velmar-abcdefghijkl.tmp", 120);
    make(".velmar-0123456789ab.tmp", 5);   // still being written
    make(".velmar-held00000000.tmp", 120); // held open by a writer
    make(".velmar-short.tmp", 120);        // not a name of ours
    const int held = ::open((d / ".velmar-held00000000.tmp").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const mode_t old = ::umask(022);
    ASSERT_TRUE(WriteFileAtomic(d / "new.bin", std::vector<std::uint8_t>(10, 1)));
    ::umask(old);
    ::close(held);
    EXPECT_FALSE(fs::exists(d / ".velmar-abcdefghijkl.tmp"));
    for (const char* kept :
         {".velmar-0123456789ab.tmp", ".velmar-held00000000.tmp", ".velmar-short.tmp"})
        EXPECT_TRUE(fs::exists(d / kept)) << kept;
    EXPECT_EQ(fs::status(d / "new.bin").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    fs::remove_all(d);
}

TEST(StagedFile, FailuresKeepTheTargetAndLeaveNothingBehind) {
    const fs::path d = TempDir("staged_failures");
    const std::vector<std::uint8_t> old(100, 0x11), data(100000, 0x22);
    ASSERT_TRUE(WriteFileAtomic(d / "f.bin", old));

    // The disk fills part way.
    FillingDiskRoom() = 30000;
    StagedFile file(FillingDisk);
    ASSERT_TRUE(file.Open(d / "f.bin"));
    const Result written = file.Write(data);
    EXPECT_FALSE(written);
    EXPECT_NE(written.error.find("No space left on device"), std::string::npos) << written.error;
    EXPECT_NE(written.error.find("f.bin"), std::string::npos);
    EXPECT_FALSE(file.Commit()) << "the first failure sticks";
    EXPECT_EQ(Bytes(d / "f.bin"), old);

    // Abandoned, a folder in the way, a folder that is a file, a missing folder.
    FillingDiskRoom() = 1 << 30;
    ASSERT_TRUE(file.Open(d / "f.bin"));
    ASSERT_TRUE(file.Write(data));
    file.Abort();
    EXPECT_EQ(Bytes(d / "f.bin"), old);
    fs::create_directories(d / "dir");
    for (const auto& [target, reason] : std::vector<std::pair<fs::path, std::string>>{
             {d / "dir", "Is a directory"},
             {d / "f.bin" / "x", "Not a directory"},
             {d / "no" / "x", "No such file or directory"}}) {
        const FileResult r = WriteFileAtomic(target, data);
        EXPECT_NE(r.error.find(reason), std::string::npos) << target << ": " << r.error;
    }
    // A read-only folder (root writes anywhere, so only others can check it).
    if (::geteuid() != 0) {
        fs::permissions(d / "dir", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_NE(WriteFileAtomic(d / "dir" / "x", data).error.find("Permission denied"),
                  std::string::npos);
        fs::permissions(d / "dir", fs::perms::owner_all);
    }
    EXPECT_EQ(Entries(d), 2u) << "no temporary left";

    // Links planted where a temporary might be looked for are never followed.
    ASSERT_TRUE(WriteFileAtomic(d / "victim", old));
    for (const std::string& planted : {std::string("f.bin.part"), std::string("f.bin.tmp"),
                                       "f.bin.tmp" + std::to_string(::getpid())})
        fs::create_symlink(d / "victim", d / planted);
    ASSERT_TRUE(WriteFileAtomic(d / "f.bin", data));
    EXPECT_EQ(Bytes(d / "victim"), old);
    EXPECT_EQ(Bytes(d / "f.bin"), data);
    fs::remove_all(d);
}
