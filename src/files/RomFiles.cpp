#include "files/RomFiles.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmar {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

bool IsRomEntry(std::string_view name) {
    return EndsWithNoCase(name, ".sms") || EndsWithNoCase(name, ".sg");
}

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

std::string OpenError(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Reads at most limit + 1 bytes of the entry, so that one larger than it claimed is caught
// without inflating the rest.
Result ReadEntry(zip_t* archive, zip_uint64_t index, std::size_t limit,
                 std::vector<std::uint8_t>& out) {
    Entry entry(zip_fopen_index(archive, index, 0));
    if (!entry) return {zip_strerror(archive)};
    std::vector<std::uint8_t> data(limit + 1);
    std::size_t got = 0;
    while (got < data.size()) {
        const zip_int64_t n = zip_fread(entry.get(), data.data() + got, data.size() - got);
        if (n < 0) return {zip_file_strerror(entry.get())};
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    data.resize(got);
    out = std::move(data);
    return {};
}

FileResult ReadZippedCartridge(const std::filesystem::path& path, CartridgeImage& out) {
    const auto refuse = [&path](const std::string& reason) {
        return FileResult{"'" + path.string() + "': " + reason};
    };
    int code = 0;
    Archive archive(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!archive) return refuse("damaged or not a zip archive (" + OpenError(code) + ")");
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count <= 0) return refuse("the zip archive is empty");

    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const char* name = zip_get_name(archive.get(), i, ZIP_FL_ENC_GUESS);
        if (name == nullptr || !IsRomEntry(name)) continue;
        const auto inside = [&](const std::string& reason) {
            return refuse("'" + std::string(name) + "' inside: " + reason);
        };
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), i, 0, &stat) != 0)
            return inside(zip_strerror(archive.get()));
        const auto tooLarge = [&](zip_uint64_t size) {
            return inside(std::to_string(size) +
                          " bytes, larger than the largest cartridge (1 MB)");
        };
        if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > kLargestRomFile)
            return tooLarge(stat.size);
        std::vector<std::uint8_t> data;
        if (Result read = ReadEntry(archive.get(), i, kLargestRomFile, data); !read)
            return inside("cannot be read (" + read.error + ")");
        if (data.size() > kLargestRomFile) return tooLarge(data.size());
        const CartridgeSystem system = SystemForFileName(name);
        if (Result checked = CheckRomBytes(data, system); !checked) return inside(checked.error);
        out.Bytes = std::move(data);
        out.System = system;
        return {};
    }
    return refuse("no .sms or .sg file inside the zip archive");
}

} // namespace

FileResult ReadCartridge(const std::filesystem::path& path, CartridgeImage& out) {
    if (!EndsWithNoCase(path.filename().string(), ".zip")) return ReadRomFile(path, out);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return {"'" + path.string() + "': file not found"};
    if (!std::filesystem::is_regular_file(status))
        return {"'" + path.string() + "': not a regular file"};
    if (std::filesystem::file_size(path, ec) == 0 && !ec)
        return {"'" + path.string() + "': empty file, not a zip archive"};
    return ReadZippedCartridge(path, out);
}

} // namespace velmar
