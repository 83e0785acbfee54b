#pragma once

// Helpers every test folder shares: a scratch folder per test, whole files of bytes in and
// out, and running a command for its output.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace velmar::testing {

// A scratch folder named after the running test, removed at the end of the test.
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("velmar_" + std::string(info->test_suite_name()) + "_" + info->name());
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Plain stream I/O, independent of the file code under test.
inline void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& data) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    if (!out) ADD_FAILURE() << "cannot write " << file;
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a shell command and returns its standard output; status gets the wait status.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        if (status != nullptr) *status = -1;
        return out;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int result = ::pclose(pipe);
    if (status != nullptr) *status = result;
    return out;
}

// A writer for files that injects a disk with FillingDiskRoom() bytes of room left: past it
// every write fails with ENOSPC.
inline ssize_t& FillingDiskRoom() {
    static ssize_t room = 0;
    return room;
}
inline ssize_t FillingDisk(int fd, const void* data, std::size_t size) {
    ssize_t& room = FillingDiskRoom();
    if (room <= 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t n =
        ::write(fd, data, std::min<std::size_t>(size, static_cast<std::size_t>(room)));
    if (n > 0) room -= n;
    return n;
}

} // namespace velmar::testing
