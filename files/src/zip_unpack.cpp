#include "files/vt_path.hpp"
#include "files/zip.hpp"

#include "posix_util.hpp"
#include "text_util.hpp"
#include "zip_result.hpp"

#include <minizip/unzip.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <span>
#include <string_view>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

namespace files {

namespace {

[[noreturn]] void fail(const std::string& detail) {
    throw ZipError(ZipError::Code::unzipFail, detail);
}

/// Closes the archive on every path.
class UnzipArchive {
public:
    explicit UnzipArchive(const fs::path& path) : m_handle(unzOpen64(path.c_str())) {}
    UnzipArchive(const UnzipArchive&) = delete;
    UnzipArchive& operator=(const UnzipArchive&) = delete;
    ~UnzipArchive() {
        if (m_handle != nullptr) {
            unzClose(m_handle);
        }
    }
    unzFile get() const noexcept { return m_handle; }

private:
    unzFile m_handle;
};

/// Closes the entry being read unless `close()` already did and reported.
class OpenEntry {
public:
    explicit OpenEntry(unzFile archive) : m_archive(archive) {
        if (const int result = unzOpenCurrentFile(archive); result != UNZ_OK) {
            fail("cannot open the entry: " + detail::zipResultText(result));
        }
    }
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;
    ~OpenEntry() {
        if (m_open) {
            unzCloseCurrentFile(m_archive);
        }
    }
    /// Closes the entry and returns minizip's result (UNZ_CRCERROR when the data is damaged).
    int close() {
        m_open = false;
        return unzCloseCurrentFile(m_archive);
    }

private:
    unzFile m_archive;
    bool m_open = true;
};

/// What the survey learnt of one entry.
struct EntryPlan {
    std::string name;                    // as stored, decoded as UTF-8, for messages
    std::vector<std::string> components; // the safe relative path
    bool isDirectory = false;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint64_t externalAttributes = 0;
};

constexpr unsigned kUnixFileTypeMask = 0170000U;
constexpr unsigned kUnixSymbolicLink = 0120000U;
// The fixed part of a central directory record, before its name, extra field and comment.
constexpr ZPOS64_T kCentralRecordSize = 46;

/// Reads the current entry's record and name, failing on anything minizip reports.
unz_file_info64 currentInfo(unzFile archive, std::string& rawName) {
    unz_file_info64 info{};
    if (const int result =
            unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0);
        result != UNZ_OK) {
        fail("cannot read the entry's record: " + detail::zipResultText(result));
    }
    if (info.size_filename == 0) {
        fail("an entry has an empty name");
    }
    if (info.size_filename > ZipLimits::kMaxNameLength) {
        fail("an entry name is longer than " + std::to_string(ZipLimits::kMaxNameLength) +
             " bytes");
    }
    rawName.assign(info.size_filename + 1, '\0');
    if (const int result =
            unzGetCurrentFileInfo64(archive, &info, rawName.data(),
                                    static_cast<uLong>(rawName.size()), nullptr, 0, nullptr, 0);
        result != UNZ_OK) {
        fail("cannot read the entry's name: " + detail::zipResultText(result));
    }
    rawName.resize(info.size_filename);
    return info;
}

/// Splits a stored name into safe components, or fails for any name that could leave the
/// destination folder.
std::vector<std::string> safeComponents(std::string_view name, bool isDirectory) {
    const auto refuse = [&](const char* why) {
        fail("entry \"" + std::string(name) + "\" " + why);
    };
    if (name.find('\0') != std::string_view::npos) {
        refuse("holds a NUL byte");
    }
    std::string normalised(name);
    for (char& c : normalised) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (normalised.front() == '/') {
        refuse("is an absolute path");
    }
    if (normalised.size() >= 2 && std::isalpha(static_cast<unsigned char>(normalised[0])) != 0 &&
        normalised[1] == ':') {
        refuse("starts with a drive name");
    }
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= normalised.size()) {
        std::size_t end = normalised.find('/', start);
        if (end == std::string::npos) {
            end = normalised.size();
        }
        std::string component = normalised.substr(start, end - start);
        if (component == "..") {
            refuse("climbs out of the destination folder");
        }
        if (!component.empty() && component != ".") {
            components.push_back(std::move(component));
        }
        start = end + 1;
    }
    if (components.empty() && !isDirectory) {
        refuse("names no file");
    }
    return components;
}

/// Walks the central directory once, before anything is written, and refuses the archive as a
/// whole when any entry is unsafe or the archive exceeds the limits.
std::vector<EntryPlan> survey(unzFile archive) {
    std::vector<EntryPlan> plans;
    int result = unzGoToFirstFile(archive);
    if (result == UNZ_END_OF_LIST_OF_FILE) {
        fail("the archive has no entries");
    }
    std::uint64_t total = 0;
    // Where the directory record after the last entry would start.
    ZPOS64_T endOfRecords = 0;
    while (result == UNZ_OK) {
        if (plans.size() >= ZipLimits::kMaxEntries) {
            fail("the archive holds more than " + std::to_string(ZipLimits::kMaxEntries) +
                 " entries");
        }
        std::string rawName;
        const unz_file_info64 info = currentInfo(archive, rawName);
        EntryPlan plan;
        plan.name = detail::toUtf8Lossy(
            std::span(reinterpret_cast<const std::uint8_t*>(rawName.data()), rawName.size()));
        plan.isDirectory = rawName.back() == '/' || rawName.back() == '\\';
        plan.components = safeComponents(plan.name, plan.isDirectory);
        plan.compressedSize = info.compressed_size;
        plan.uncompressedSize = info.uncompressed_size;
        plan.externalAttributes = info.external_fa;
        const std::string quoted = "entry \"" + plan.name + "\" ";

        if ((info.flag & 1U) != 0) {
            fail(quoted + "is encrypted");
        }
        if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
            fail(quoted + "uses an unsupported compression method");
        }
        if (((info.external_fa >> 16U) & kUnixFileTypeMask) == kUnixSymbolicLink) {
            fail(quoted + "is a symbolic link");
        }
        if (plan.isDirectory && plan.uncompressedSize != 0) {
            fail(quoted + "is a folder with data");
        }
        if (plan.uncompressedSize > ZipLimits::kMaxEntrySize) {
            fail(quoted + "is larger than the limit for one entry");
        }
        if (plan.uncompressedSize > ZipLimits::kRatioCheckThreshold &&
            plan.uncompressedSize / ZipLimits::kMaxCompressionRatio >= plan.compressedSize) {
            fail(quoted + "is compressed beyond the ratio limit");
        }
        total += plan.uncompressedSize;
        if (total > ZipLimits::kMaxTotalSize) {
            fail("the archive's entries together are larger than the limit for an archive");
        }
        plans.push_back(std::move(plan));
        endOfRecords = unzGetOffset64(archive) + kCentralRecordSize + info.size_filename +
                       info.size_file_extra + info.size_file_comment;
        result = unzGoToNextFile(archive);
    }
    if (result != UNZ_END_OF_LIST_OF_FILE) {
        fail("the archive's directory is damaged: " + detail::zipResultText(result));
    }
    // minizip stops at the count the archive declares; other readers go by the directory's
    // size, so records beyond that count would be entries that only they unpack.
    if (unzSetOffset64(archive, endOfRecords) == UNZ_OK) {
        fail("the archive's directory holds more entries than it declares");
    }
    return plans;
}

/// Opens (creating when missing) the folder `name` inside `parent`, never through a link.
detail::UniqueFd openChildFolder(int parent, const std::string& name, const EntryPlan& plan) {
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) {
        fail("cannot create the folder for entry \"" + plan.name +
             "\": " + detail::lastError().message());
    }
    detail::UniqueFd folder(
        ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
        fail("entry \"" + plan.name +
             "\" passes through something that is not a folder: " + detail::lastError().message());
    }
    return folder;
}

void applyPermissions(int fd, const EntryPlan& plan, const std::string& fullPath) {
    if (plan.externalAttributes == 0) {
        return;
    }
    auto mode = static_cast<mode_t>((plan.externalAttributes >> 16U) & 0777U);
    if (mode < 0400) {
        return;
    }
    if (plan.isDirectory) {
        mode |= 0700; // we must still be able to fill and remove the folder
    }
    if (::fchmod(fd, mode) != 0) {
        const std::string line = "Failed to set permissions to file " + fullPath +
                                 ", error: " + detail::lastError().message() + "\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }
}

} // namespace

void Zip::unzipFile(const fs::path& archive, const fs::path& destination, bool overwrite,
                    const std::optional<std::string>& /*password*/,
                    const ZipProgressHandler& progress,
                    const ZipFileOutputHandler& fileOutputHandler) {
    std::error_code ec;
    if (!fs::exists(archive, ec)) {
        throw ZipError(ZipError::Code::fileNotFound, archive.string());
    }
    const double totalSize = static_cast<double>(fs::file_size(archive, ec));
    if (ec) {
        fail("cannot read the archive's size: " + ec.message());
    }
    const UnzipArchive zip(archive);
    if (zip.get() == nullptr) {
        fail("\"" + archive.string() + "\" is not a zip archive, or it is truncated");
    }
    const std::vector<EntryPlan> plans = survey(zip.get());

    try {
        VtFolder(destination).create();
    } catch (const std::exception& error) {
        fail(std::string("cannot create the destination folder: ").append(error.what()));
    }
    const detail::UniqueFd root(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.valid()) {
        fail("cannot open the destination folder: " + detail::lastError().message());
    }

    std::array<char, 4096> buffer{};
    double position = 0;
    int result = unzGoToFirstFile(zip.get());
    for (const EntryPlan& plan : plans) {
        if (result != UNZ_OK) {
            fail("the archive's directory changed while unpacking");
        }
        std::string rawName;
        const unz_file_info64 info = currentInfo(zip.get(), rawName);
        if (info.uncompressed_size != plan.uncompressedSize || (info.flag & 1U) != 0) {
            fail("the archive's directory changed while unpacking");
        }

        // Walk down component by component from the destination, never following a link.
        const std::size_t folderDepth =
            plan.isDirectory ? plan.components.size() : plan.components.size() - 1;
        detail::UniqueFd folder(::dup(root.get()));
        if (!folder.valid()) {
            fail("cannot open the destination folder: " + detail::lastError().message());
        }
        fs::path fullPath = destination;
        for (std::size_t i = 0; i < folderDepth; ++i) {
            folder = openChildFolder(folder.get(), plan.components[i], plan);
            fullPath /= plan.components[i];
        }

        OpenEntry entry(zip.get());
        if (plan.isDirectory) {
            if (const int closed = entry.close(); closed != UNZ_OK) {
                fail("entry \"" + plan.name + "\" is damaged (" + detail::zipResultText(closed) +
                     ")");
            }
            if (!plan.components.empty()) {
                applyPermissions(folder.get(), plan, fullPath.string());
            }
        } else {
            const std::string& leaf = plan.components.back();
            fullPath /= leaf;
            struct stat existing {};
            if (!overwrite &&
                ::fstatat(folder.get(), leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                entry.close();
                result = unzGoToNextFile(zip.get());
                continue;
            }
            position += static_cast<double>(plan.compressedSize);
            detail::UniqueFd output(
                ::openat(folder.get(), leaf.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
            struct stat opened {};
            if (!output.valid() || ::fstat(output.get(), &opened) != 0 ||
                !S_ISREG(opened.st_mode)) {
                fail("cannot create the file for entry \"" + plan.name + "\": " +
                     (output.valid() ? std::string("not a regular file")
                                     : detail::lastError().message()));
            }
            std::uint64_t written = 0;
            for (;;) {
                const int n = unzReadCurrentFile(zip.get(), buffer.data(),
                                                 static_cast<unsigned>(buffer.size()));
                if (n < 0) {
                    fail("entry \"" + plan.name + "\" is damaged (" + detail::zipResultText(n) +
                         ")");
                }
                if (n == 0) {
                    break;
                }
                const auto count = static_cast<std::size_t>(n);
                if (written + count > plan.uncompressedSize) {
                    fail("entry \"" + plan.name + "\" holds more data than it declares");
                }
                if (!detail::writeAll(
                        output.get(),
                        std::span(reinterpret_cast<const unsigned char*>(buffer.data()), count))) {
                    fail("cannot write entry \"" + plan.name +
                         "\": " + detail::lastError().message());
                }
                written += count;
            }
            if (written != plan.uncompressedSize) {
                fail("entry \"" + plan.name + "\" holds less data than it declares");
            }
            applyPermissions(output.get(), plan, fullPath.string());
            if (output.close() != 0) {
                fail("cannot finish writing entry \"" + plan.name +
                     "\": " + detail::lastError().message());
            }
            if (const int closed = entry.close(); closed != UNZ_OK) {
                fail("entry \"" + plan.name + "\" is damaged (" + detail::zipResultText(closed) +
                     ")");
            }
        }

        result = unzGoToNextFile(zip.get());
        if (progress && totalSize > 0) {
            progress(position / totalSize);
        }
        if (fileOutputHandler) {
            fileOutputHandler(detail::percentEncode(fullPath.string(), detail::kUrlQueryAllowed));
        }
    }
    if (result != UNZ_END_OF_LIST_OF_FILE) {
        fail("the archive's directory changed while unpacking");
    }
    if (progress) {
        progress(1.0);
    }
}

fs::path Zip::quickUnzipFile(const fs::path& archive, const ZipProgressHandler& progress) {
    std::string folderName = archive.filename().string();
    std::string token(1, '.');
    token.append(Filename::fromPath(archive).extension);
    for (auto at = folderName.find(token); at != std::string::npos; at = folderName.find(token)) {
        folderName.erase(at, token.size());
    }
    try {
        const VtFolder destination = VtFolder::applicationDocumentFolder().child(folderName);
        unzipFile(archive, destination.url(), true, std::nullopt, progress);
        return destination.url();
    } catch (const ZipError& error) {
        throw ZipError(ZipError::Code::unzipFail, error.detail());
    } catch (const std::exception& error) {
        throw ZipError(ZipError::Code::unzipFail, error.what());
    }
}

void VtZip::unzip(const fs::path& archive, const fs::path& destination, bool overwrite) {
    Zip::unzipFile(archive, destination, overwrite);
}

// The archive stays open for the reader's life; entries are found by the safe relative path the
// survey made of their names, the last of two equal paths winning as it would on unpacking.
struct ZipEntryReader::State {
    explicit State(const fs::path& archive) : zip(archive) {}

    UnzipArchive zip;
    std::vector<EntryPlan> plans;
    std::vector<unz64_file_pos> positions;
    std::unordered_map<std::string, std::size_t> byName;
    std::vector<std::string> names;

    std::size_t find(std::string_view name) const {
        const auto found = byName.find(std::string(name));
        if (found == byName.end()) {
            fail("the archive has no entry \"" + std::string(name) + "\"");
        }
        return found->second;
    }

    // Inflates entry `index` into `sink`, checking its declared size and its CRC.
    template <class Sink>
    void inflate(std::size_t index, Sink&& sink) {
        const EntryPlan& plan = plans[index];
        if (unzGoToFilePos64(zip.get(), &positions[index]) != UNZ_OK) {
            fail("cannot find entry \"" + plan.name + "\" again");
        }
        std::string rawName;
        if (currentInfo(zip.get(), rawName).uncompressed_size != plan.uncompressedSize) {
            fail("the archive's directory changed while reading");
        }
        OpenEntry entry(zip.get());
        std::array<char, 65536> buffer{};
        std::uint64_t read = 0;
        for (;;) {
            const int n =
                unzReadCurrentFile(zip.get(), buffer.data(), static_cast<unsigned>(buffer.size()));
            if (n < 0) {
                fail("entry \"" + plan.name + "\" is damaged (" + detail::zipResultText(n) + ")");
            }
            if (n == 0) {
                break;
            }
            const auto count = static_cast<std::size_t>(n);
            if (read + count > plan.uncompressedSize) {
                fail("entry \"" + plan.name + "\" holds more data than it declares");
            }
            sink(std::string_view(buffer.data(), count));
            read += count;
        }
        if (read != plan.uncompressedSize) {
            fail("entry \"" + plan.name + "\" holds less data than it declares");
        }
        if (const int closed = entry.close(); closed != UNZ_OK) {
            fail("entry \"" + plan.name + "\" is damaged (" + detail::zipResultText(closed) + ")");
        }
    }
};

ZipEntryReader::ZipEntryReader(const fs::path& archive) {
    std::error_code ec;
    if (!fs::exists(archive, ec)) {
        throw ZipError(ZipError::Code::fileNotFound, archive.string());
    }
    // Opening a pipe or a device would wait for a writer or read without end.
    if (!fs::is_regular_file(archive, ec)) {
        fail("\"" + archive.string() + "\" is not a regular file");
    }
    auto state = std::make_unique<State>(archive);
    if (state->zip.get() == nullptr) {
        fail("\"" + archive.string() + "\" is not a zip archive, or it is truncated");
    }
    state->plans = survey(state->zip.get());
    state->positions.resize(state->plans.size());
    int result = unzGoToFirstFile(state->zip.get());
    for (std::size_t i = 0; i < state->plans.size(); ++i) {
        if (result != UNZ_OK || unzGetFilePos64(state->zip.get(), &state->positions[i]) != UNZ_OK) {
            fail("the archive's directory changed while reading");
        }
        const EntryPlan& plan = state->plans[i];
        if (!plan.isDirectory) {
            std::string path;
            for (const std::string& component : plan.components) {
                path.append(path.empty() ? "" : "/").append(component);
            }
            if (state->byName.insert_or_assign(path, i).second) {
                state->names.push_back(std::move(path));
            }
        }
        result = unzGoToNextFile(state->zip.get());
    }
    m_state = std::move(state);
}

ZipEntryReader::~ZipEntryReader() = default;

const std::vector<std::string>& ZipEntryReader::fileNames() const noexcept {
    return m_state->names;
}

std::optional<std::uint64_t> ZipEntryReader::size(std::string_view name) const {
    const auto found = m_state->byName.find(std::string(name));
    if (found == m_state->byName.end()) {
        return std::nullopt;
    }
    return m_state->plans[found->second].uncompressedSize;
}

std::string ZipEntryReader::read(std::string_view name) const {
    const std::size_t index = m_state->find(name);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(m_state->plans[index].uncompressedSize));
    m_state->inflate(index, [&](std::string_view chunk) { bytes.append(chunk); });
    return bytes;
}

void ZipEntryReader::verify(std::string_view name) const {
    m_state->inflate(m_state->find(name), [](std::string_view) {});
}

void ZipEntryReader::extract(std::string_view name, const fs::path& target) const {
    const std::size_t index = m_state->find(name);
    detail::UniqueFd output(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!output.valid()) {
        throw std::system_error(detail::lastError(), "cannot create " + target.string());
    }
    try {
        m_state->inflate(index, [&](std::string_view chunk) {
            if (!detail::writeAll(output.get(),
                                  std::span(reinterpret_cast<const unsigned char*>(chunk.data()),
                                            chunk.size()))) {
                throw std::system_error(detail::lastError(), "cannot write " + target.string());
            }
        });
        if (output.close() != 0) {
            throw std::system_error(detail::lastError(), "cannot write " + target.string());
        }
    } catch (...) {
        ::unlink(target.c_str());
        throw;
    }
}

} // namespace files
