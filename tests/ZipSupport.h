#pragma once

// Zip archives for the tests, written byte by byte (stored, not compressed) so that a test can
// also damage them where it wants.

#include <cstdint>
#include <string>
#include <vector>

namespace velmar::testing {

struct ZipEntry {
    std::string Name;
    std::vector<std::uint8_t> Data;
    bool WrongCrc = false; // the recorded checksum does not match the data
};

inline std::uint32_t Crc32(const std::vector<std::uint8_t>& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t b : data) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::vector<std::uint8_t> MakeZip(const std::vector<ZipEntry>& entries) {
    std::vector<std::uint8_t> out;
    const auto u16 = [](std::vector<std::uint8_t>& v, unsigned x) {
        v.push_back(static_cast<std::uint8_t>(x));
        v.push_back(static_cast<std::uint8_t>(x >> 8));
    };
    const auto u32 = [&u16](std::vector<std::uint8_t>& v, std::uint32_t x) {
        u16(v, x & 0xFFFF);
        u16(v, x >> 16);
    };
    // Version, flags, stored, time, date (1 January 1980), checksum, sizes, name length, no
    // extra field: the part the local and the central headers share.
    const auto common = [&](std::vector<std::uint8_t>& v, const ZipEntry& e) {
        u16(v, 20);
        u16(v, 0);
        u16(v, 0);
        u16(v, 0);
        u16(v, 0x21);
        u32(v, Crc32(e.Data) ^ (e.WrongCrc ? 1u : 0u));
        u32(v, static_cast<std::uint32_t>(e.Data.size()));
        u32(v, static_cast<std::uint32_t>(e.Data.size()));
        u16(v, static_cast<unsigned>(e.Name.size()));
        u16(v, 0);
    };
    std::vector<std::uint8_t> central;
    for (const ZipEntry& e : entries) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        u32(out, 0x04034B50);
        common(out, e);
        out.insert(out.end(), e.Name.begin(), e.Name.end());
        out.insert(out.end(), e.Data.begin(), e.Data.end());
        u32(central, 0x02014B50);
        u16(central, 20);
        common(central, e);
        for (int i = 0; i < 3; ++i) u16(central, 0); // comment, disk, internal attributes
        u32(central, 0);                             // external attributes
        u32(central, offset);
        central.insert(central.end(), e.Name.begin(), e.Name.end());
    }
    const auto centralAt = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    u32(out, 0x06054B50);
    u16(out, 0);
    u16(out, 0);
    u16(out, static_cast<unsigned>(entries.size()));
    u16(out, static_cast<unsigned>(entries.size()));
    u32(out, static_cast<std::uint32_t>(central.size()));
    u32(out, centralAt);
    u16(out, 0);
    return out;
}

} // namespace velmar::testing
