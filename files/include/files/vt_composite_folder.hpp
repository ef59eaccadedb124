#pragma once

#include "files/item_attributes.hpp"
#include "files/vt_path.hpp"

namespace files {

/// Base of any type that presents itself as a folder by naming one `VtFolder` behind it:
/// `Derived` provides `VtFolder backingFolder() const`, asked afresh by every operation, and
/// gets every folder operation with that folder's results and failures.
template <class Derived>
class VtCompositeFolder {
public:
    /// The backing folder's path.
    std::filesystem::path url() const { return backing().url(); }
    /// The backing folder's path as text.
    std::string pathString() const { return backing().pathString(); }
    /// Whether the backing folder is a protected system folder.
    bool isSystem() const { return backing().isSystem(); }
    /// The backing folder's last path component.
    std::string folderName() const { return backing().folderName(); }
    /// True at once for a system backing folder; else whether anything exists at its path.
    bool exists() const { return backing().exists(); }
    /// The folder `name` below the backing folder (see `VtFolder::child`).
    VtFolder child(std::string_view name, bool isSystem = false) const {
        return backing().child(name, isSystem);
    }
    /// The file `name` in the backing folder (see `VtFolder::file`).
    VtFile file(std::string_view name) const { return backing().file(name); }
    /// The file `name` in the backing folder (see `VtFolder::file`).
    VtFile file(const char* name) const { return backing().file(name); }
    /// The file `filename` in the backing folder (see `VtFolder::file`).
    VtFile file(const Filename& filename) const { return backing().file(filename); }
    /// Creates the backing folder (see `VtFolder::create`).
    void create() const { backing().create(); }
    /// Removes the backing folder (see `VtFolder::remove`).
    void remove() const { backing().remove(); }
    /// Copies the backing folder to exactly `to` (see `VtFolder::copy`).
    void copy(const VtFolder& to) const { backing().copy(to); }
    /// Copies the backing folder to exactly `to` (see `VtFolder::copy`).
    void copy(const std::filesystem::path& to) const { backing().copy(to); }
    /// Moves the backing folder to exactly `to` (see `VtFolder::move`).
    void move(const VtFolder& to) const { backing().move(to); }
    /// Moves the backing folder to exactly `to` (see `VtFolder::move`).
    void move(const std::filesystem::path& to) const { backing().move(to); }
    /// The backing folder's files (see `VtFolder::fetchSubFiles`).
    std::vector<VtFile> fetchSubFiles(FileType fileType, bool skipsHiddenFiles) const {
        return backing().fetchSubFiles(fileType, skipsHiddenFiles);
    }
    /// The backing folder's folders (see `VtFolder::fetchSubFolders`).
    std::vector<VtFolder> fetchSubFolders() const { return backing().fetchSubFolders(); }
    /// The backing folder's attributes (see `VtFolder::attributes`).
    std::optional<VtFileFolderItemAttributes> attributes() const { return backing().attributes(); }

private:
    VtFolder backing() const { return static_cast<const Derived&>(*this).backingFolder(); }
};

static_assert(VtIOFolder<VtFolder>);
static_assert(VtIOItem<VtFile>);

} // namespace files
