#pragma once

#include "core/uttype.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace core {

/// A URL: a scheme and, for file URLs, a local path. Other URLs keep their text as given.
class Url {
public:
    /// The empty URL (no scheme, no path).
    Url() = default;
    /// The file URL of `path` (made absolute against the working folder); a path ending in "/"
    /// names a directory.
    Url(const std::filesystem::path& path); // NOLINT(google-explicit-constructor): paths are URLs
    /// The file URL of `path`, marked as a directory or not.
    static Url fileURL(const std::filesystem::path& path, bool isDirectory);
    /// The URL a text names ("file:///tmp/a%20b", "https://example.com/x"); absent when the text
    /// is no valid URL (no scheme, spaces, a file URL without an absolute path...).
    static std::optional<Url> parse(std::string_view text);
    /// The URL written in the source; throws std::invalid_argument when the text is no valid URL.
    static Url literal(std::string_view text);

    /// The scheme in lower case ("file", "https"); empty for the empty URL.
    const std::string& scheme() const noexcept { return m_scheme; }
    /// True for "file" URLs.
    bool isFileURL() const noexcept { return m_scheme == "file"; }
    /// The local path of a file URL; empty for other URLs.
    const std::filesystem::path& path() const noexcept { return m_path; }
    /// True when the URL names a directory (its text ends in "/").
    bool hasDirectoryPath() const noexcept { return m_isDirectory; }
    /// The whole URL as text, a file URL's path percent-encoded.
    std::string absoluteString() const;
    /// The last component of a file URL's path ("/" for the root); empty for other URLs.
    std::string lastPathComponent() const;
    /// The file URL with `component` appended to its path.
    Url appendingPathComponent(std::string_view component, bool isDirectory = false) const;

    friend bool operator==(const Url& a, const Url& b) noexcept {
        return a.m_scheme == b.m_scheme && a.m_path == b.m_path && a.m_text == b.m_text &&
               a.m_isDirectory == b.m_isDirectory;
    }

private:
    std::string m_scheme;
    std::filesystem::path m_path;
    std::string m_text; // the text of a URL other than a file URL
    bool m_isDirectory = false;
};

/// The directory URL of the system temporary folder (TMPDIR, else /tmp). Never fails.
Url temporaryDirectory();
/// A fresh folder for building a replacement of the item at `url`, on the same file system as
/// that item (so the replacement can be renamed into place): in the temporary folder when it
/// shares the file system, else hidden in the item's folder. Throws
/// std::filesystem::filesystem_error when it cannot be made, std::invalid_argument for a URL
/// that is no file URL.
Url temporaryDirectory(const Url& appropriateFor);
/// The temporary folder followed by a fresh upper-case UUID. Nothing is created.
Url temporaryFile();
/// The temporary folder followed by `name`, untrimmed; a fresh UUID instead when `name` is blank
/// or is not one plain path component (it holds "/" or NUL, or is "." or ".."), so the file
/// never lands outside the temporary folder. Nothing is created.
Url temporaryFileWithName(std::string_view name);
/// The temporary folder followed by a fresh UUID and `extension`: the UUID alone when the
/// extension is blank or "." (or would leave the folder), UUID + extension when it starts with
/// ".", else UUID + "." + extension; never trimmed or recased. Nothing is created.
Url temporaryFileWithExtension(std::string_view extension);
/// `temporaryDirectory(appropriateFor)` followed by the URL's last path component (a fresh UUID
/// when that is not one plain component). Throws as `temporaryDirectory(appropriateFor)`.
Url temporaryFile(const Url& appropriateFor);

/// The type identifier of the item at a file URL (by extension; "public.folder" for a folder,
/// "public.symlink" for a symbolic link); absent when the item cannot be inspected.
std::optional<std::string> getTypeIdentifier(const Url& url);
/// The type of the item at a file URL; absent as `getTypeIdentifier`.
std::optional<UTType> getUTType(const Url& url);
/// True for a file URL whose item's type conforms to "public.image".
bool isLocalImageFile(const Url& url);
/// True when the item is a directory (a symbolic link is not followed); false on any failure.
bool isDirectory(const Url& url);
/// True when the item is a regular file (a symbolic link is not followed); false on any failure.
bool isRegularFile(const Url& url);
/// True when the item is a directory whose extension is that of a registered package type.
bool isPackage(const Url& url);

} // namespace core
