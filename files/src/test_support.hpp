#pragma once

// Helpers shared by the tests: a scratch folder and a byte-level zip writer that can produce
// archives no well-behaved packer would (hostile names, lying sizes, bad checksums).

#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "core/uuid.hpp"

namespace files::test {

/// A fresh folder under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder()
        : m_path(std::filesystem::temp_directory_path() /
                 ("files-test-" + core::Uuid::random().uuidString())) {
        std::filesystem::create_directories(m_path);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code ec;
        // Restore permissions that a test may have taken away so that removal succeeds.
        for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
            }
        }
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0U, '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xFFU);
    }
    return bytes;
}

/// Every item below `folder`, relative and sorted, folders marked with a trailing "/".
inline std::vector<std::string> listTree(const std::filesystem::path& folder) {
    std::vector<std::string> items;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        std::string relative = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_directory() && !entry.is_symlink()) {
            relative += '/';
        }
        items.push_back(relative);
    }
    std::sort(items.begin(), items.end());
    return items;
}

/// One entry of a hand-made archive; the optional fields override what the data implies.
struct RawEntry {
    std::string name{};
    std::string data{};
    bool deflate = true;
    std::optional<std::uint32_t> declaredSize{};
    std::optional<std::uint32_t> crc{};
    std::uint16_t flags = 0;
    std::uint32_t externalAttributes = 0;
    std::uint16_t versionMadeBy = (3U << 8U) | 20U; // Unix, 2.0
};

inline std::string rawDeflate(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    return out;
}

/// Builds a zip archive byte by byte, with exactly the names, sizes and checksums given.
inline std::string buildZip(const std::vector<RawEntry>& entries) {
    std::string out;
    std::string central;
    const auto u16 = [](std::string& s, std::uint32_t v) {
        s += static_cast<char>(v & 0xFFU);
        s += static_cast<char>((v >> 8U) & 0xFFU);
    };
    const auto u32 = [&](std::string& s, std::uint32_t v) {
        u16(s, v & 0xFFFFU);
        u16(s, v >> 16U);
    };
    for (const RawEntry& entry : entries) {
        const std::string payload = entry.deflate ? rawDeflate(entry.data) : entry.data;
        const auto realCrc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                             static_cast<uInt>(entry.data.size())));
        const std::uint32_t crc = entry.crc.value_or(realCrc);
        const std::uint32_t size =
            entry.declaredSize.value_or(static_cast<std::uint32_t>(entry.data.size()));
        const auto offset = static_cast<std::uint32_t>(out.size());
        const std::uint16_t method = entry.deflate ? 8 : 0;
        const std::uint16_t dosTime = 0;
        const std::uint16_t dosDate = (44U << 9U) | (1U << 5U) | 1U; // 2024-01-01

        u32(out, 0x04034b50);
        u16(out, 20);
        u16(out, entry.flags);
        u16(out, method);
        u16(out, dosTime);
        u16(out, dosDate);
        u32(out, crc);
        u32(out, static_cast<std::uint32_t>(payload.size()));
        u32(out, size);
        u16(out, static_cast<std::uint32_t>(entry.name.size()));
        u16(out, 0);
        out += entry.name;
        out += payload;

        u32(central, 0x02014b50);
        u16(central, entry.versionMadeBy);
        u16(central, 20);
        u16(central, entry.flags);
        u16(central, method);
        u16(central, dosTime);
        u16(central, dosDate);
        u32(central, crc);
        u32(central, static_cast<std::uint32_t>(payload.size()));
        u32(central, size);
        u16(central, static_cast<std::uint32_t>(entry.name.size()));
        u16(central, 0);
        u16(central, 0);
        u16(central, 0);
        u16(central, 0);
        u32(central, entry.externalAttributes);
        u32(central, offset);
        central += entry.name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    u32(out, 0x06054b50);
    u16(out, 0);
    u16(out, 0);
    u16(out, static_cast<std::uint32_t>(entries.size()));
    u16(out, static_cast<std::uint32_t>(entries.size()));
    u32(out, static_cast<std::uint32_t>(central.size()));
    u32(out, centralOffset);
    u16(out, 0);
    return out;
}

} // namespace files::test
