#pragma once

#include "core/date.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace files {

/// A snapshot of an item's basic attributes; each field is absent when the platform gave none.
struct VtFileFolderItemAttributes {
    /// Last modification of the contents.
    std::optional<core::Date> modificationTime;
    /// Creation (birth) time, where the file system records it.
    std::optional<core::Date> creationTime;
    /// Size in bytes.
    std::optional<std::int64_t> fileSize;
    /// The owner's account name.
    std::optional<std::string> owner;
};

/// The attributes of the item at `path` itself (a final symbolic link is not followed); absent
/// when it cannot be examined. Never throws.
std::optional<VtFileFolderItemAttributes> itemAttributes(const std::filesystem::path& path);

} // namespace files
