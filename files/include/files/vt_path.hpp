#pragma once

#include "core/error.hpp"
#include "core/json_coding.hpp"
#include "core/string_utils.hpp"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace files {

/// The error of file and folder values: a failure with a message, a missing file, or a refused
/// removal or move of a protected folder.
class VtPathError : public core::Error {
public:
    /// The cases, in their declared order.
    enum class Code { failure, notExists, deniedToDeleteSystemFolder };

    /// An error of the given case; `message` is used only by `failure`.
    explicit VtPathError(Code code, std::string message = {});

    /// A failure whose description is `message` itself.
    static VtPathError failure(std::string message) {
        return VtPathError(Code::failure, std::move(message));
    }
    /// "File does not exist".
    static VtPathError notExists() { return VtPathError(Code::notExists); }
    /// "Denied to delete system folder".
    static VtPathError deniedToDeleteSystemFolder() {
        return VtPathError(Code::deniedToDeleteSystemFolder);
    }

    /// The case of this error.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

class VtFolder;
struct VtFileFolderItemAttributes;

/// A file name split into the name without extension and the extension without its dot.
struct Filename {
    /// The name without the extension.
    std::string name;
    /// The extension without the dot; empty when there is none.
    std::string extension;

    /// An empty name and extension.
    Filename() = default;
    /// The given name and extension, taken unchanged.
    Filename(std::string nameText, std::string extensionText)
        : name(std::move(nameText)), extension(std::move(extensionText)) {}
    /// Parses `fileName` as `parse` does, so that a literal can stand for a `Filename`.
    Filename(const char* fileName); // NOLINT(google-explicit-constructor)

    /// Parses a text at its last dot; a dot that is the first character starts the extension, a
    /// dot that is the last character stays in the name ("a..b" gives "a." and "b").
    static Filename parse(std::string_view fileName);
    /// The name and extension of a path's last component; a component whose only dot is its first
    /// or its last character has no extension (".profile", "notes.").
    static Filename fromPath(const std::filesystem::path& path);

    /// `name` alone when the extension is empty, else `name` + "." + `extension`.
    std::string string() const;
    /// A copy with the same name and `extension` taken unchanged (empty removes it).
    Filename updated(std::string extensionTo) const { return {name, std::move(extensionTo)}; }

    /// Equal when both fields are equal.
    friend bool operator==(const Filename&, const Filename&) = default;
    /// True when `string()` equals the text exactly.
    friend bool operator==(const Filename& filename, std::string_view text) {
        return filename.string() == text;
    }
    /// True when `string()` equals the text exactly.
    friend bool operator==(const Filename& filename, const char* text) {
        return filename.string() == std::string_view(text);
    }
};

/// Encodes a file name as its single text `string()`.
core::Json encodeJson(const Filename& filename, core::JsonEncoder& encoder);
/// Decodes a single text and parses it; any other JSON type throws `core::DecodingError`.
Filename decodeJson(std::type_identity<Filename>, const core::Json& json,
                    core::JsonDecoder& decoder);

/// An immutable snapshot of a file, a symbolic link or a folder tree, read from disk at once.
struct FileWrapper {
    /// What the snapshot holds.
    enum class Kind { regularFile, directory, symbolicLink };
    /// The item's last path component.
    std::string filename;
    /// The kind of item.
    Kind kind = Kind::regularFile;
    /// The bytes of a regular file; empty otherwise.
    std::vector<std::uint8_t> contents;
    /// The target text of a symbolic link; empty otherwise.
    std::string symbolicLinkDestination;
    /// The items of a folder, sorted by name; empty otherwise.
    std::vector<FileWrapper> children;
};

/// A set of file kinds to list: `regular` (1) and `package` (2); other bits are carried but
/// never listed.
struct FileType {
    /// The bits of the set.
    std::intptr_t rawValue = 0;

    /// Regular files.
    static constexpr std::intptr_t kRegular = 1;
    /// Packages (folders presented as one document); there are none on Linux by default.
    static constexpr std::intptr_t kPackage = 2;
    /// The set holding regular files only.
    static constexpr FileType regular() { return FileType{kRegular}; }
    /// The set holding packages only.
    static constexpr FileType package() { return FileType{kPackage}; }

    /// True when every bit of `other` is in this set (and `other` is not empty).
    constexpr bool contains(FileType other) const {
        return (rawValue & other.rawValue) == other.rawValue;
    }
    /// True when no bit is set.
    constexpr bool isEmpty() const { return rawValue == 0; }
    /// True when every bit of this set is in `other`.
    constexpr bool isSubset(FileType other) const { return (rawValue & ~other.rawValue) == 0; }
    /// True when every bit of `other` is in this set.
    constexpr bool isSuperset(FileType other) const { return other.isSubset(*this); }
    /// True when the two sets share no bit.
    constexpr bool isDisjoint(FileType other) const { return (rawValue & other.rawValue) == 0; }
    /// Adds the bits of `other`.
    constexpr void insert(FileType other) { rawValue |= other.rawValue; }
    /// Removes the bits of `other`.
    constexpr void remove(FileType other) { rawValue &= ~other.rawValue; }

    /// Union.
    friend constexpr FileType operator|(FileType a, FileType b) {
        return {a.rawValue | b.rawValue};
    }
    /// Intersection.
    friend constexpr FileType operator&(FileType a, FileType b) {
        return {a.rawValue & b.rawValue};
    }
    /// Symmetric difference.
    friend constexpr FileType operator^(FileType a, FileType b) {
        return {a.rawValue ^ b.rawValue};
    }
    /// Subtraction.
    friend constexpr FileType operator-(FileType a, FileType b) {
        return {a.rawValue & ~b.rawValue};
    }
    /// Equal when the bits are equal.
    friend constexpr bool operator==(FileType, FileType) = default;
};

/// A file on the local file system, named by its path; holds no handle and caches nothing.
class VtFile {
public:
    /// A file at `path`, kept unchanged; its file name is derived from the last component.
    explicit VtFile(std::filesystem::path path);

    /// The file's path.
    const std::filesystem::path& url() const noexcept { return m_url; }
    /// The file's path as text.
    std::string pathString() const { return m_url.string(); }
    /// The name and extension of the last path component.
    const Filename& filename() const noexcept { return m_filename; }
    /// The name without extension.
    const std::string& name() const noexcept { return m_filename.name; }
    /// The extension without its dot.
    const std::string& fileExtension() const noexcept { return m_filename.extension; }
    /// The folder holding this file, not flagged system.
    VtFolder folder() const;
    /// Whether the file is a package, as the installed package predicate says (false by default).
    bool isPackage() const;

    /// Replaces the predicate that tells packages apart; an empty function restores "never".
    static void setPackagePredicate(std::function<bool(const std::filesystem::path&)> predicate);
    /// The last component of `url` without its extension.
    static std::string fileName(const std::filesystem::path& url);
    /// A fresh path in the temporary folder named by an upper-case UUID, with `extension`
    /// appended after a dot unless it is blank or "."; nothing is created.
    static VtFile tmp(std::optional<std::string_view> withExtension = std::nullopt);

    /// Whether anything (a folder too) exists at the path, following a final symbolic link.
    bool exists() const;
    /// Copies this item to exactly `to`; throws `std::filesystem::filesystem_error` when the
    /// target exists or the source is missing, never overwriting.
    void copy(const VtFile& to) const { copy(url(), to.url()); }
    /// Copies this item to exactly `to` (see above).
    void copy(const std::filesystem::path& to) const { copy(url(), to); }
    /// Copies the item at `from` to exactly `to`, never overwriting.
    static void copy(const std::filesystem::path& from, const std::filesystem::path& to);
    /// Moves this item to exactly `to`, never replacing an existing item; throws
    /// `VtPathError` for a protected folder, else the platform error.
    void move(const VtFile& to) const { move(to.url()); }
    /// Moves this item to exactly `to` (see above).
    void move(const std::filesystem::path& to) const;
    /// Removes the item (with everything in it); throws the platform error when nothing is
    /// there and `VtPathError` for a protected folder.
    void remove() const;

    /// Writes the UTF-8 `text` in `encoding`; atomically means through a temporary sibling
    /// renamed into place, keeping the permissions of the file it replaces. Throws `VtPathError`
    /// (and writes nothing) when the text cannot be encoded in `encoding` without loss, else the
    /// platform error.
    void writeString(std::string_view text, bool atomically,
                     core::TextEncoding encoding = core::TextEncoding::utf8) const;
    /// Writes `data`, creating or truncating the file (not atomically).
    void writeData(std::span<const std::uint8_t> data) const;
    /// The whole file's bytes; throws the platform error.
    std::vector<std::uint8_t> readData() const;
    /// The whole file read as text in `encoding`, returned as UTF-8; throws the platform error,
    /// or `VtPathError` when the bytes are not valid in that encoding.
    std::string readString(core::TextEncoding encoding = core::TextEncoding::utf8) const;
    /// The file's lines, split at "\n", "\r\n" and "\r", without their terminators.
    std::vector<std::string> readLines() const;
    /// The file's text as user-perceived characters (extended grapheme clusters), each as UTF-8;
    /// throws like `readString`.
    std::vector<std::string> readCharacters() const;
    /// A snapshot of the item (a folder tree is read whole); throws the platform error.
    FileWrapper toFileWrapper() const;

    /// Decodes a JSON value with the core JSON helpers; throws `VtPathError::notExists` when the
    /// file is missing, else the reader's error or `core::DecodingError`.
    template <core::JsonDecodable T>
    T readObject(core::DateDecodingStrategy dateDecodingStrategy =
                     core::DateDecodingStrategy::deferredToDate(),
                 std::optional<core::JsonUserInfo> userInfo = std::nullopt) const {
        if (!exists()) {
            throw VtPathError::notExists();
        }
        return core::load<T>(m_url, std::move(dateDecodingStrategy), std::move(userInfo));
    }
    /// Decodes a JSON array of values, with the failures of `readObject`.
    template <core::JsonDecodable T>
    std::vector<T> readArray(core::DateDecodingStrategy dateDecodingStrategy =
                                 core::DateDecodingStrategy::deferredToDate(),
                             std::optional<core::JsonUserInfo> userInfo = std::nullopt) const {
        return readObject<std::vector<T>>(std::move(dateDecodingStrategy), std::move(userInfo));
    }
    /// Encodes `value` (one value, or a vector of them) as JSON and writes it, not atomically;
    /// throws `core::EncodingError` (writing nothing) or the platform error.
    template <core::JsonEncodable T>
    void writeJson(const T& value,
                   core::DateEncodingStrategy dateEncodingStrategy =
                       core::DateEncodingStrategy::deferredToDate(),
                   bool prettyPrinted = false) const {
        core::save(value, m_url, std::move(dateEncodingStrategy), prettyPrinted);
    }

    /// The item's times, size and owner; absent when the item cannot be examined.
    std::optional<VtFileFolderItemAttributes> attributes() const;

    /// The value of the extended attribute `name` as exactly 4 native-order bytes; absent when
    /// missing or empty; `VtPathError::failure` for any other length, `std::system_error` for
    /// any platform failure but a missing attribute.
    std::optional<std::uint32_t> readExtendedAttributeUInt32(std::string_view name) const;
    /// The value of the extended attribute `name` as UTF-8 (invalid bytes become U+FFFD); absent
    /// when missing or empty; `std::system_error` for other platform failures.
    std::optional<std::string> readExtendedAttributeString(std::string_view name) const;
    /// Creates or replaces the attribute with the 4 native-order bytes of `value`.
    void setExtendedAttribute(std::string_view name, std::uint32_t value) const;
    /// Creates or replaces the attribute with the UTF-8 bytes of `value`.
    void setExtendedAttribute(std::string_view name, std::string_view value) const;
    /// Removes the attribute; `std::system_error` (ENODATA) when it is missing.
    void removeExtendedAttribute(std::string_view name) const;
    /// The names of the file's attributes, in the platform's order; `std::system_error` on failure.
    std::vector<std::string> extendedAttributes() const;

    /// Equal when the paths are equal; the file name plays no part.
    friend bool operator==(const VtFile& a, const VtFile& b) { return a.m_url == b.m_url; }

private:
    std::filesystem::path m_url;
    Filename m_filename;
};

/// The folder monitor's handle: `cancel()` stops the notifications; it is idempotent.
class VtFolderMonitorCancellable {
public:
    virtual ~VtFolderMonitorCancellable() = default;
    /// Stops the notifications; after it returns no callback starts. Safe to call repeatedly and
    /// from inside the callback.
    virtual void cancel() = 0;
};

/// A folder on the local file system; a folder flagged system is taken to exist, is never
/// created and is never removed or moved.
class VtFolder {
public:
    /// A folder at `path` (trailing separators dropped), flagged with `isSystem`.
    explicit VtFolder(const std::filesystem::path& path, bool isSystem = false);

    /// The folder's path.
    const std::filesystem::path& url() const noexcept { return m_url; }
    /// The folder's path as text.
    std::string pathString() const { return m_url.string(); }
    /// Whether the folder is a protected system folder.
    bool isSystem() const noexcept { return m_isSystem; }
    /// The last path component.
    std::string folderName() const { return m_url.filename().string(); }
    /// The containing folder, with this folder's flag.
    VtFolder parent() const;

    /// True at once for a system folder; else whether anything exists at the path.
    bool exists() const;
    /// The folder `name` below this one, flagged `isSystem`; `name` may hold several relative
    /// components but throws `VtPathError::failure` when empty, absolute, or holding "." or "..".
    VtFolder child(std::string_view name, bool isSystem = false) const;
    /// The file `name` in this folder, with the name rules of `child`.
    VtFile file(std::string_view name) const;
    /// The file `name` in this folder, with the name rules of `child`.
    VtFile file(const char* name) const { return file(std::string_view(name)); }
    /// The file `filename.string()` in this folder; its file name is derived afresh.
    VtFile file(const Filename& filename) const { return file(filename.string()); }

    /// Creates the folder and its missing parents with mode 0700; succeeds without change when
    /// anything is already there or the folder is flagged system; throws the platform error.
    void create() const;
    /// Removes the folder with its contents; `VtPathError::deniedToDeleteSystemFolder` for a
    /// system or protected folder, the platform error when nothing is there.
    void remove() const;
    /// Copies the folder with its contents to exactly `to`; fails when `to` exists.
    void copy(const VtFolder& to) const { copy(to.url()); }
    /// Copies the folder with its contents to exactly `to`; fails when `to` exists.
    void copy(const std::filesystem::path& to) const;
    /// Moves the folder to exactly `to`, never replacing; refused for a system folder.
    void move(const VtFolder& to) const { move(to.url()); }
    /// Moves the folder to exactly `to`, never replacing; refused for a system folder.
    void move(const std::filesystem::path& to) const;
    /// Asks the application's file-manager hook to show the folder; does nothing without a hook.
    void openInFinder() const;
    /// Installs the hook that shows a folder in the desktop's file manager (empty removes it).
    static void setOpenInFileManagerHook(std::function<void(const std::filesystem::path&)> hook);

    /// The files directly in the folder of the kinds in `fileType`, in directory order; empty
    /// without touching the disk when `fileType` holds neither kind, and empty on any error.
    std::vector<VtFile> fetchSubFiles(FileType fileType, bool skipsHiddenFiles) const;
    /// The visible folders directly in the folder, not flagged system; empty on any error.
    std::vector<VtFolder> fetchSubFolders() const;
    /// The folder's times, size and owner; absent when it cannot be examined.
    std::optional<VtFileFolderItemAttributes> attributes() const;
    /// Calls `callback` on a thread of its own once per batch of entries created, deleted or
    /// moved in the folder, until the handle is cancelled or its last copy dropped; a folder
    /// that cannot be watched gives a handle that never calls.
    std::shared_ptr<VtFolderMonitorCancellable> trackUpdate(std::function<void()> callback) const;

    /// The user's documents folder (XDG_DOCUMENTS_DIR, else ~/Documents).
    static VtFolder applicationDocumentFolder();
    /// "Inbox" in the documents folder.
    static VtFolder applicationInboxFolder();
    /// The user's local data root (~/.local).
    static VtFolder systemLibraryFolder();
    /// The user's data folder (XDG_DATA_HOME, else ~/.local/share).
    static VtFolder applicationSupportFolder();
    /// The user's cache folder (XDG_CACHE_HOME, else ~/.cache).
    static VtFolder systemCacheFolder();
    /// The system temporary folder.
    static VtFolder systemTmpFolder();

    /// Equal when the paths are equal; the system flag plays no part.
    friend bool operator==(const VtFolder& a, const VtFolder& b) { return a.m_url == b.m_url; }

private:
    std::filesystem::path m_url;
    bool m_isSystem = false;
};

/// Encodes a folder as {"url": "file:///…/", "isSystem": bool}.
core::Json encodeJson(const VtFolder& folder, core::JsonEncoder& encoder);
/// Decodes the form above; both keys are required with their types, and the URL must be a file
/// URL; throws `core::DecodingError` otherwise.
VtFolder decodeJson(std::type_identity<VtFolder>, const core::Json& json,
                    core::JsonDecoder& decoder);

/// The value for a path: `VtFile(path)`.
inline VtFile toFile(const std::filesystem::path& url) {
    return VtFile(url);
}

/// Anything with a location.
template <class T>
concept VtIOItem = requires(const T& item) {
    { item.url() } -> std::convertible_to<std::filesystem::path>;
    { item.pathString() } -> std::convertible_to<std::string>;
};

/// A folder-like item with the folder operations.
template <class T>
concept VtIOFolder = VtIOItem<T> && requires(const T& folder, const std::filesystem::path& to) {
    { folder.isSystem() } -> std::convertible_to<bool>;
    { folder.folderName() } -> std::convertible_to<std::string>;
    { folder.exists() } -> std::convertible_to<bool>;
    { folder.child(std::string_view{}, false) } -> std::same_as<VtFolder>;
    { folder.file(std::string_view{}) } -> std::same_as<VtFile>;
    folder.create();
    folder.remove();
    folder.copy(to);
    folder.move(to);
};

/// Refuses a removal or move of `path` when it is "/", the home folder, a system folder or an
/// ancestor of one of them.
void checkNotProtected(const std::filesystem::path& path);

} // namespace files

template <>
struct std::hash<files::Filename> {
    std::size_t operator()(const files::Filename& filename) const noexcept;
};
template <>
struct std::hash<files::VtFile> {
    std::size_t operator()(const files::VtFile& file) const noexcept {
        return std::filesystem::hash_value(file.url());
    }
};
template <>
struct std::hash<files::VtFolder> {
    std::size_t operator()(const files::VtFolder& folder) const noexcept {
        return std::filesystem::hash_value(folder.url());
    }
};
