#pragma once

#include "core/date.hpp"
#include "core/error.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

/// The error of the zip layer. The message names the cause; the localized description is the
/// case's fixed text.
class ZipError : public core::Error {
public:
    /// The cases, in their declared order.
    enum class Code { fileNotFound, unzipFail, zipFail };

    /// An error of `code`; `detail` says what went wrong (kept in `message()` and `detail()`).
    explicit ZipError(Code code, std::string detail = {});

    /// The case of this error.
    Code code() const noexcept { return m_code; }
    /// What went wrong, for logs; may be empty.
    const std::string& detail() const noexcept { return m_detail; }
    /// "File not found.", "Failed to unzip file." or "Failed to zip file.".
    std::string localizedDescription() const override;
    /// The fixed text of a case.
    static std::string description(Code code);

    /// Equal when the cases are equal.
    friend bool operator==(const ZipError& a, const ZipError& b) { return a.m_code == b.m_code; }

private:
    Code m_code;
    std::string m_detail;
};

/// How hard packing compresses; raw values 0 to 3.
enum class ZipCompression {
    NoCompression = 0,
    BestSpeed = 1,
    DefaultCompression = 2,
    BestCompression = 3
};

/// The compression of raw value 0 to 3; absent for any other value.
std::optional<ZipCompression> zipCompressionFromRawValue(int rawValue);
/// The deflate level handed to the compressor: 0, 1, -1 (zlib's default) or 9.
int deflateLevel(ZipCompression compression);

/// One entry packed from memory.
struct ArchiveFile {
    /// The entry's name inside the archive.
    std::string filename;
    /// The entry's bytes.
    std::vector<std::uint8_t> data;
    /// The entry's modification time; absent stores the earliest zip date.
    std::optional<core::Date> modifiedTime;
};

/// Limits that unpacking enforces before and while inflating, against archives built to exhaust
/// the disk or memory.
struct ZipLimits {
    /// Most entries an archive may hold.
    static constexpr std::uint64_t kMaxEntries = 10'000;
    /// Largest uncompressed size of one entry (512 MiB).
    static constexpr std::uint64_t kMaxEntrySize = 512ULL * 1024 * 1024;
    /// Largest uncompressed size of all entries together (1 GiB).
    static constexpr std::uint64_t kMaxTotalSize = 1024ULL * 1024 * 1024;
    /// Largest ratio of uncompressed to compressed size of an entry...
    static constexpr std::uint64_t kMaxCompressionRatio = 200;
    /// ...checked only for entries larger than this (256 MiB, the largest entry a valid project
    /// document holds: its JSON). Smaller entries cost no more than a valid document may, however
    /// well they compress, and the limits above bound them; only beyond it does the ratio keep a
    /// tiny archive from writing hundreds of megabytes.
    static constexpr std::uint64_t kRatioCheckThreshold = 256ULL * 1024 * 1024;
    /// Longest entry name, in bytes.
    static constexpr std::uint64_t kMaxNameLength = 4096;
};

/// Called with the fraction done, from 0 to 1.
using ZipProgressHandler = std::function<void(double)>;
/// Called with each unpacked item's path, percent-escaped with the URL-query character set.
using ZipFileOutputHandler = std::function<void(const std::string&)>;

/// The zip layer's operations.
class Zip {
public:
    /// Unpacks `archive` into `destination` (created when missing). Existing files are skipped
    /// unless `overwrite`. Names that could leave the destination, symbolic-link entries,
    /// encrypted entries, archives beyond `ZipLimits` and every read, CRC or size error throw
    /// `ZipError::unzipFail`, with nothing written outside `destination`; a missing archive
    /// throws `fileNotFound` before anything is created. Password-protected archives are not
    /// supported: `password` is accepted for compatibility and ignored, and any encrypted entry
    /// makes the whole archive fail with `unzipFail` before anything is written.
    static void unzipFile(const std::filesystem::path& archive,
                          const std::filesystem::path& destination, bool overwrite,
                          const std::optional<std::string>& password = std::nullopt,
                          const ZipProgressHandler& progress = {},
                          const ZipFileOutputHandler& fileOutputHandler = {});
    /// Unpacks into a folder of the documents folder named after the archive without its
    /// extension, overwriting; returns that folder; every failure becomes `unzipFail`.
    static std::filesystem::path quickUnzipFile(const std::filesystem::path& archive,
                                                const ZipProgressHandler& progress = {});

    /// Packs files (one top-level entry each, named by the last path component) and folders
    /// (entries "<folder>/<relative path>") into a new archive at `zipFilePath`, written to a
    /// temporary sibling and renamed into place only on success. Throws `ZipError::zipFail` for
    /// a missing or unreadable input or any write failure; an existing archive is then left
    /// untouched. Password-protected archives are not written: any `password` throws `zipFail`.
    static void zipFiles(const std::vector<std::filesystem::path>& paths,
                         const std::filesystem::path& zipFilePath,
                         const std::optional<std::string>& password = std::nullopt,
                         ZipCompression compression = ZipCompression::DefaultCompression,
                         const ZipProgressHandler& progress = {});
    /// Packs in-memory entries (entries with empty data are skipped) like `zipFiles`; any
    /// `password` throws `zipFail`, as password-protected archives are not written.
    static void zipData(const std::vector<ArchiveFile>& archiveFiles,
                        const std::filesystem::path& zipFilePath,
                        const std::optional<std::string>& password = std::nullopt,
                        ZipCompression compression = ZipCompression::DefaultCompression,
                        const ZipProgressHandler& progress = {});
    /// Packs into "<fileName>.zip" in the documents folder and returns its path.
    static std::filesystem::path quickZipFiles(const std::vector<std::filesystem::path>& paths,
                                               std::string_view fileName,
                                               const ZipProgressHandler& progress = {});

    /// Adds an extension to the process-wide set of custom archive extensions.
    static void addCustomFileExtension(const std::string& fileExtension);
    /// Removes an extension from that set (nothing happens when it is absent).
    static void removeCustomFileExtension(const std::string& fileExtension);
    /// Always true: unpacking accepts any file name as an archive.
    static bool isValidFileExtension(std::string_view fileExtension);
    /// Whether the custom set holds the extension.
    static bool hasCustomFileExtension(const std::string& fileExtension);
};

/// An archive opened to read chosen entries only. It is checked as a whole first, exactly as
/// `Zip::unzipFile` checks it (names, links, encryption, `ZipLimits`), so a caller that needs a
/// few entries never unpacks the rest. Entries are named by their relative path ("a/b.jpg"); of
/// two entries with one path the later counts. Not for use from several threads at once.
class ZipEntryReader {
public:
    /// Opens and checks `archive`; throws `ZipError::fileNotFound` when it is missing and
    /// `unzipFail` for anything `Zip::unzipFile` refuses, a path that is no regular file included.
    explicit ZipEntryReader(const std::filesystem::path& archive);
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;
    ~ZipEntryReader();

    /// The relative paths of the file entries, each once, in archive order.
    const std::vector<std::string>& fileNames() const noexcept;
    /// The declared size of the file entry `name`, or absent when there is none.
    std::optional<std::uint64_t> size(std::string_view name) const;
    /// The bytes of the file entry `name`; throws `unzipFail` when there is none or it is
    /// damaged or differs from its declared size.
    std::string read(std::string_view name) const;
    /// Inflates the file entry `name` and drops its bytes, so that it is checked as `read` checks
    /// it without being held in memory; throws as `read` does.
    void verify(std::string_view name) const;
    /// Writes the file entry `name` to the new file `target`, which must not exist (nor be a
    /// link); throws `unzipFail` as `read` does, or `std::system_error` when `target` cannot be
    /// created or written, and leaves no partial file.
    void extract(std::string_view name, const std::filesystem::path& target) const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

/// Expands files and folders into the list of files to pack with their entry names.
class ZipUtilities {
public:
    /// One file to pack: where it is, and its entry name (absent when it has none).
    struct ProcessedFilePath {
        std::filesystem::path filePathURL;
        std::optional<std::string> fileName;
    };

    /// Entries are named with the folder's own name in front when `includeRootDirectory`.
    explicit ZipUtilities(bool includeRootDirectory = true)
        : m_includeRootDirectory(includeRootDirectory) {}

    /// Each path in order: a folder expands to its files, anything else is one entry named by
    /// its last component. Duplicates stay.
    std::vector<ProcessedFilePath>
    processZipPaths(const std::vector<std::filesystem::path>& paths) const;
    /// Every file below `folder`, at any depth, named "<folder name>/<relative path>"; folders
    /// give no entry of their own, and symbolic links are not followed.
    std::vector<ProcessedFilePath>
    expandDirectoryFilePath(const std::filesystem::path& folder) const;

private:
    bool m_includeRootDirectory;
};

/// The front door the document library uses.
struct VtZip {
    /// `Zip::unzipFile(archive, destination, overwrite)` without password or callbacks.
    static void unzip(const std::filesystem::path& archive,
                      const std::filesystem::path& destination, bool overwrite);
    /// `Zip::zipFiles(files, to)` with default compression and no password or callback.
    static void zip(const std::vector<std::filesystem::path>& files,
                    const std::filesystem::path& to);
};

} // namespace files
