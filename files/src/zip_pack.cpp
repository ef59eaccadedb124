#include "files/vt_path.hpp"
#include "files/zip.hpp"

#include "core/uuid.hpp"
#include "posix_util.hpp"
#include "zip_result.hpp"

#include <minizip/zip.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace files {

namespace {

[[noreturn]] void fail(const std::string& detail) {
    throw ZipError(ZipError::Code::zipFail, detail);
}

constexpr std::size_t kReadBlock = 16384;
// minizip takes a 32-bit count per write.
constexpr std::size_t kMaxWriteChunk = 1U << 30U;
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFULL;

/// The new archive: written to a temporary sibling of the target, renamed into place by
/// `commit()`, removed on every other path so a failure never touches an existing target.
class ArchiveWriter {
public:
    explicit ArchiveWriter(const fs::path& target) : m_target(target) {
        const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
        std::string name(1, '.');
        name.append(target.filename().string()).append(1, '.');
        name.append(core::Uuid::random().uuidString()).append(".tmp");
        m_temporary = parent / name;
        m_handle = zipOpen64(m_temporary.c_str(), APPEND_STATUS_CREATE);
        if (m_handle == nullptr) {
            fail("cannot create \"" + m_temporary.string() + "\"");
        }
    }
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;
    ~ArchiveWriter() {
        if (m_handle != nullptr) {
            if (m_entryOpen) {
                zipCloseFileInZip(m_handle);
            }
            zipClose(m_handle, nullptr);
        }
        if (!m_committed) {
            ::unlink(m_temporary.c_str());
        }
    }

    void openEntry(const std::string& name, std::time_t modified, std::uint64_t size,
                   ZipCompression compression) {
        if (name.empty()) {
            fail("an entry has no name");
        }
        zip_fileinfo info{};
        info.tmz_date = zipDate(modified);
        const int result = zipOpenNewFileInZip3_64(
            m_handle, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
            deflateLevel(compression), 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
            size >= kZip64Threshold ? 1 : 0);
        if (result != ZIP_OK) {
            fail("cannot start entry \"" + name + "\": " + detail::zipResultText(result));
        }
        m_entryOpen = true;
        m_entryName = name;
    }

    void write(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const std::size_t chunk = std::min(size, kMaxWriteChunk);
            if (const int result =
                    zipWriteInFileInZip(m_handle, data, static_cast<unsigned>(chunk));
                result != ZIP_OK) {
                fail("cannot write entry \"" + m_entryName +
                     "\": " + detail::zipResultText(result));
            }
            data += chunk;
            size -= chunk;
        }
    }

    void closeEntry() {
        m_entryOpen = false;
        if (const int result = zipCloseFileInZip(m_handle); result != ZIP_OK) {
            fail("cannot finish entry \"" + m_entryName + "\": " + detail::zipResultText(result));
        }
    }

    void commit() {
        const int result = zipClose(m_handle, nullptr);
        m_handle = nullptr;
        if (result != ZIP_OK) {
            fail("cannot finish the archive: " + detail::zipResultText(result));
        }
        // The bytes must be on disk before the rename makes them the archive.
        detail::UniqueFd fd(::open(m_temporary.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.valid() || ::fsync(fd.get()) != 0) {
            fail("cannot flush the archive: " + detail::lastError().message());
        }
        if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
            fail("cannot move the archive into place: " + detail::lastError().message());
        }
        m_committed = true;
    }

    /// The local date fields of `time`, kept within the years a zip date can hold.
    static tm_zip zipDate(std::time_t seconds) {
        std::tm local{};
        tm_zip date{};
        if (::localtime_r(&seconds, &local) == nullptr || local.tm_year + 1900 < 1980) {
            date.tm_year = 1980;
            date.tm_mday = 1;
            return date;
        }
        if (local.tm_year + 1900 > 2107) {
            date.tm_year = 2107;
            date.tm_mon = 11;
            date.tm_mday = 31;
            date.tm_hour = 23;
            date.tm_min = 59;
            date.tm_sec = 58;
            return date;
        }
        date.tm_sec = static_cast<uInt>(std::min(local.tm_sec, 59));
        date.tm_min = static_cast<uInt>(local.tm_min);
        date.tm_hour = static_cast<uInt>(local.tm_hour);
        date.tm_mday = static_cast<uInt>(local.tm_mday);
        date.tm_mon = static_cast<uInt>(local.tm_mon);
        date.tm_year = static_cast<uInt>(local.tm_year + 1900);
        return date;
    }

private:
    fs::path m_target;
    fs::path m_temporary;
    zipFile m_handle = nullptr;
    bool m_entryOpen = false;
    bool m_committed = false;
    std::string m_entryName;
};

class InputFile {
public:
    /// Opens without blocking, so that a named pipe cannot stall packing before it is refused
    /// as no regular file; reads then block as usual.
    explicit InputFile(const fs::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
            (m_file = ::fdopen(fd, "rb")) == nullptr) {
            const int error = errno;
            ::close(fd);
            errno = error;
        }
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
    }
    std::FILE* get() const noexcept { return m_file; }

private:
    std::FILE* m_file = nullptr;
};

/// Whole seconds of `date`; dates beyond any zip date collapse to the clamped ends.
std::time_t toTime(core::Date date) {
    const double seconds = std::floor(date.timeIntervalSince1970());
    constexpr double kLimit = 1e15;
    if (!(seconds > -kLimit)) {
        return static_cast<std::time_t>(-kLimit);
    }
    return static_cast<std::time_t>(std::min(seconds, kLimit));
}

void refusePassword(const std::optional<std::string>& password) {
    if (password) {
        fail("encrypted archives are not written");
    }
}

std::string lastComponent(const fs::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

} // namespace

std::vector<ZipUtilities::ProcessedFilePath>
ZipUtilities::processZipPaths(const std::vector<fs::path>& paths) const {
    std::vector<ProcessedFilePath> processed;
    for (const fs::path& path : paths) {
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<ProcessedFilePath> expanded = expandDirectoryFilePath(path);
            std::move(expanded.begin(), expanded.end(), std::back_inserter(processed));
        } else {
            std::string name = lastComponent(path);
            processed.push_back(
                {path, name.empty() ? std::nullopt : std::optional<std::string>(std::move(name))});
        }
    }
    return processed;
}

std::vector<ZipUtilities::ProcessedFilePath>
ZipUtilities::expandDirectoryFilePath(const fs::path& folder) const {
    std::vector<fs::path> relatives;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, ec);
    if (ec) {
        return {};
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_directory(ec)) {
            relatives.push_back(it->path().lexically_relative(folder));
        }
    }
    if (ec) {
        // Leaving out what could not be listed would pass off a partial archive as complete.
        fail("cannot list \"" + folder.string() + "\": " + ec.message());
    }
    std::sort(relatives.begin(), relatives.end());
    std::vector<ProcessedFilePath> processed;
    const std::string root = lastComponent(folder);
    for (const fs::path& relative : relatives) {
        std::string name =
            m_includeRootDirectory ? root + "/" + relative.string() : relative.string();
        processed.push_back({folder / relative, std::move(name)});
    }
    return processed;
}

void Zip::zipFiles(const std::vector<fs::path>& paths, const fs::path& zipFilePath,
                   const std::optional<std::string>& password, ZipCompression compression,
                   const ZipProgressHandler& progress) {
    refusePassword(password);
    const std::vector<ZipUtilities::ProcessedFilePath> items =
        ZipUtilities(true).processZipPaths(paths);
    double totalSize = 0;
    for (const auto& item : items) {
        std::error_code ec;
        const std::uintmax_t size = fs::file_size(item.filePathURL, ec);
        if (!ec) {
            totalSize += static_cast<double>(size);
        }
    }

    ArchiveWriter archive(zipFilePath);
    std::array<std::uint8_t, kReadBlock> buffer{};
    double position = 0;
    for (const auto& item : items) {
        std::error_code ec;
        if (fs::is_directory(item.filePathURL, ec)) {
            continue;
        }
        const InputFile input(item.filePathURL);
        if (input.get() == nullptr) {
            fail("cannot open \"" + item.filePathURL.string() +
                 "\": " + detail::lastError().message());
        }
        struct stat info {};
        if (::fstat(::fileno(input.get()), &info) != 0) {
            fail("cannot examine \"" + item.filePathURL.string() + "\"");
        }
        // A pipe or a device has no end that packing could wait for.
        if (!S_ISREG(info.st_mode)) {
            fail("cannot pack \"" + item.filePathURL.string() + "\": not a regular file");
        }
        if (!item.fileName) {
            fail(item.filePathURL.string().append(" has no entry name"));
        }
        archive.openEntry(*item.fileName, info.st_mtim.tv_sec,
                          static_cast<std::uint64_t>(info.st_size), compression);
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), input.get());
            archive.write(buffer.data(), n);
            if (n < buffer.size()) {
                if (std::ferror(input.get()) != 0) {
                    fail("cannot read \"" + item.filePathURL.string() + "\"");
                }
                break;
            }
        }
        archive.closeEntry();
        position += static_cast<double>(info.st_size);
        if (progress && totalSize > 0 && position / totalSize != 1.0) {
            progress(position / totalSize);
        }
    }
    archive.commit();
    if (progress) {
        progress(1.0);
    }
}

void Zip::zipData(const std::vector<ArchiveFile>& archiveFiles, const fs::path& zipFilePath,
                  const std::optional<std::string>& password, ZipCompression compression,
                  const ZipProgressHandler& progress) {
    refusePassword(password);
    double totalSize = 0;
    for (const ArchiveFile& file : archiveFiles) {
        totalSize += static_cast<double>(file.data.size());
    }
    ArchiveWriter archive(zipFilePath);
    double position = 0;
    for (const ArchiveFile& file : archiveFiles) {
        if (file.data.empty()) {
            continue;
        }
        archive.openEntry(file.filename, toTime(file.modifiedTime.value_or(core::Date())),
                          file.data.size(), compression);
        archive.write(file.data.data(), file.data.size());
        archive.closeEntry();
        position += static_cast<double>(file.data.size());
        if (progress) {
            progress(position / totalSize);
        }
    }
    archive.commit();
    if (progress) {
        progress(1.0);
    }
}

fs::path Zip::quickZipFiles(const std::vector<fs::path>& paths, std::string_view fileName,
                            const ZipProgressHandler& progress) {
    const fs::path documents = VtFolder::applicationDocumentFolder().url();
    std::error_code ec;
    fs::create_directories(documents, ec);
    std::optional<VtFile> target;
    try {
        target = VtFolder(documents).file(std::string(fileName) + ".zip");
    } catch (const VtPathError& error) {
        fail(error.what());
    }
    zipFiles(paths, target->url(), std::nullopt, ZipCompression::DefaultCompression, progress);
    return target->url();
}

void VtZip::zip(const std::vector<fs::path>& files, const fs::path& to) {
    Zip::zipFiles(files, to);
}

} // namespace files
