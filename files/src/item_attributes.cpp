#include "files/item_attributes.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <vector>

namespace files {

namespace {

core::Date toDate(const statx_timestamp& stamp) {
    return core::Date(static_cast<double>(stamp.tv_sec) + static_cast<double>(stamp.tv_nsec) / 1e9);
}

std::optional<std::string> accountName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    for (;;) {
        const int error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result);
        if (error == ERANGE && buffer.size() < (1U << 20U)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || result == nullptr || result->pw_name == nullptr) {
            return std::nullopt;
        }
        return std::string(result->pw_name);
    }
}

} // namespace

std::optional<VtFileFolderItemAttributes> itemAttributes(const std::filesystem::path& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME,
                &info) != 0) {
        return std::nullopt;
    }
    VtFileFolderItemAttributes attributes;
    if ((info.stx_mask & STATX_MTIME) != 0) {
        attributes.modificationTime = toDate(info.stx_mtime);
    }
    if ((info.stx_mask & STATX_BTIME) != 0) {
        attributes.creationTime = toDate(info.stx_btime);
    }
    if ((info.stx_mask & STATX_SIZE) != 0 && info.stx_size <= INT64_MAX) {
        attributes.fileSize = static_cast<std::int64_t>(info.stx_size);
    }
    if ((info.stx_mask & STATX_UID) != 0) {
        attributes.owner = accountName(info.stx_uid);
    }
    return attributes;
}

} // namespace files
