#pragma once

#include <filesystem>

namespace files::detail {

/// Moves the item at `from` to exactly `to`, never replacing; copies then removes across file
/// systems. Refuses protected folders with `VtPathError`.
void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);
/// Removes the item with its contents; fails when nothing is there. Refuses protected folders.
void removeItem(const std::filesystem::path& path);

} // namespace files::detail
