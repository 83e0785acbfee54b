#include "core/util/FileIo.h"
#include "core/util/StateStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace velmar;

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
