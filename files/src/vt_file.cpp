#include "files/item_attributes.hpp"
#include "files/vt_path.hpp"

#include "core/url.hpp"
#include "core/uuid.hpp"
#include "item_ops.hpp"
#include "posix_util.hpp"
#include "text_util.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace files {

namespace {

std::mutex& predicateMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<bool(const fs::path&)>& packagePredicate() {
    static std::function<bool(const fs::path&)> predicate;
    return predicate;
}

/// Creates `path` anew and writes all of `data` into it, or throws after removing it. With
/// `mode`, the new file takes those permission bits before anything is written into it.
void writeFresh(const fs::path& path, std::span<const unsigned char> data, int extraFlags,
                std::optional<mode_t> mode = std::nullopt) {
    detail::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | extraFlags, 0666));
    if (!fd.valid()) {
        detail::throwFs("cannot open file for writing", path, detail::lastError());
    }
    if (mode && ::fchmod(fd.get(), *mode) != 0) {
        detail::throwFs("cannot set the file's permissions", path, detail::lastError());
    }
    if (!detail::writeAll(fd.get(), data)) {
        detail::throwFs("cannot write file", path, detail::lastError());
    }
    if ((extraFlags & O_EXCL) != 0 && ::fsync(fd.get()) != 0) {
        detail::throwFs("cannot flush file", path, detail::lastError());
    }
    if (fd.close() != 0) {
        detail::throwFs("cannot close file", path, detail::lastError());
    }
}

/// Renames without ever replacing an existing target.
int renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    // File systems without RENAME_NOREPLACE: check, then rename (a narrow race remains).
    std::error_code ec;
    if (fs::exists(fs::symlink_status(to, ec))) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

} // namespace

namespace detail {

void moveItem(const fs::path& from, const fs::path& to) {
    checkNotProtected(from);
    if (renameNoReplace(from, to) == 0) {
        return;
    }
    const std::error_code error = detail::lastError();
    if (error.value() != EXDEV) {
        detail::throwFs("cannot move item", from, to, error);
    }
    VtFile::copy(from, to);
    fs::remove_all(from);
}

void removeItem(const fs::path& path) {
    checkNotProtected(path);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!fs::exists(status)) {
        detail::throwFs("cannot remove item", path,
                        ec ? ec : std::make_error_code(std::errc::no_such_file_or_directory));
    }
    fs::remove_all(path);
}

} // namespace detail

VtFile::VtFile(fs::path path) : m_url(std::move(path)), m_filename(Filename::fromPath(m_url)) {}

VtFolder VtFile::folder() const {
    return VtFolder(m_url.parent_path(), false);
}

bool VtFile::isPackage() const {
    std::function<bool(const fs::path&)> predicate;
    {
        const std::lock_guard lock(predicateMutex());
        predicate = packagePredicate();
    }
    return predicate && predicate(m_url);
}

void VtFile::setPackagePredicate(std::function<bool(const fs::path&)> predicate) {
    const std::lock_guard lock(predicateMutex());
    packagePredicate() = std::move(predicate);
}

std::string VtFile::fileName(const fs::path& url) {
    return Filename::fromPath(url).name;
}

VtFile VtFile::tmp(std::optional<std::string_view> withExtension) {
    const core::Url url = withExtension && !withExtension->empty()
                              ? core::temporaryFileWithExtension(*withExtension)
                              : core::temporaryFile();
    return VtFile(url.path());
}

bool VtFile::exists() const {
    std::error_code ec;
    return fs::exists(m_url, ec);
}

void VtFile::copy(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const fs::file_status source = fs::symlink_status(from, ec);
    if (!fs::exists(source)) {
        detail::throwFs("cannot copy item", from, to,
                        std::make_error_code(std::errc::no_such_file_or_directory));
    }
    if (fs::exists(fs::symlink_status(to, ec))) {
        detail::throwFs("cannot copy item", from, to, std::make_error_code(std::errc::file_exists));
    }
    if (fs::is_symlink(source)) {
        fs::copy_symlink(from, to);
    } else if (fs::is_directory(source)) {
        // A copy into the folder's own tree would never end.
        const fs::path resolvedFrom = fs::canonical(from);
        const fs::path resolvedTo = fs::weakly_canonical(to);
        if (std::mismatch(resolvedFrom.begin(), resolvedFrom.end(), resolvedTo.begin(),
                          resolvedTo.end())
                .first == resolvedFrom.end()) {
            detail::throwFs("cannot copy a folder into itself", from, to,
                            std::make_error_code(std::errc::invalid_argument));
        }
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    } else {
        fs::copy_file(from, to, fs::copy_options::none);
    }
}

void VtFile::move(const fs::path& to) const {
    detail::moveItem(m_url, to);
}

void VtFile::remove() const {
    detail::removeItem(m_url);
}

void VtFile::writeString(std::string_view text, bool atomically,
                         core::TextEncoding encoding) const {
    std::optional<core::Data> encoded;
    if (encoding != core::TextEncoding::utf8) {
        encoded = core::toData(text, encoding);
        if (!encoded) {
            throw VtPathError::failure("The file \"" + m_url.filename().string() +
                                       "\" couldn\u2019t be saved using the requested text "
                                       "encoding.");
        }
    }
    const std::span<const unsigned char> bytes =
        encoded ? std::span<const unsigned char>(encoded->data(), encoded->size())
                : std::span<const unsigned char>(
                      reinterpret_cast<const unsigned char*>(text.data()), text.size());
    if (!atomically) {
        writeFresh(m_url, bytes, O_TRUNC);
        return;
    }
    const fs::path parent = m_url.has_parent_path() ? m_url.parent_path() : fs::path(".");
    std::string temporaryName(1, '.');
    temporaryName.append(m_url.filename().string()).append(1, '.');
    temporaryName.append(core::Uuid::random().uuidString()).append(".tmp");
    const fs::path temporary = parent / temporaryName;
    // Replacing a file keeps who may read it: a private file must not come back world-readable.
    std::optional<mode_t> keptMode;
    struct stat existing {};
    if (::stat(m_url.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        keptMode = existing.st_mode & 07777;
    }
    try {
        writeFresh(temporary, bytes, O_EXCL, keptMode);
        if (::rename(temporary.c_str(), m_url.c_str()) != 0) {
            detail::throwFs("cannot replace file", temporary, m_url, detail::lastError());
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

void VtFile::writeData(std::span<const std::uint8_t> data) const {
    writeFresh(m_url, data, O_TRUNC);
}

std::vector<std::uint8_t> VtFile::readData() const {
    detail::UniqueFd fd(::open(m_url.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        detail::throwFs("cannot open file", m_url, detail::lastError());
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        detail::throwFs("cannot examine file", m_url, detail::lastError());
    }
    if (S_ISDIR(info.st_mode)) {
        detail::throwFs("cannot read a folder as a file", m_url,
                        std::make_error_code(std::errc::is_a_directory));
    }
    std::vector<std::uint8_t> data;
    if (info.st_size > 0) {
        data.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::array<std::uint8_t, 65536> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            detail::throwFs("cannot read file", m_url, detail::lastError());
        }
        if (n == 0) {
            break;
        }
        data.insert(data.end(), buffer.begin(), buffer.begin() + n);
    }
    return data;
}

std::string VtFile::readString(core::TextEncoding encoding) const {
    const std::vector<std::uint8_t> data = readData();
    if (encoding != core::TextEncoding::utf8) {
        if (auto text = core::toString(data, encoding)) {
            return std::move(*text);
        }
        throw VtPathError::failure("The file \"" + m_url.filename().string() +
                                   "\" couldn\u2019t be opened using the requested text "
                                   "encoding.");
    }
    std::string text(data.begin(), data.end());
    if (!detail::isValidUtf8(text)) {
        throw VtPathError::failure("The file \"" + pathString() +
                                   "\" couldn\u2019t be opened because the text encoding of its "
                                   "contents can\u2019t be determined.");
    }
    return text;
}

std::vector<std::string> VtFile::readLines() const {
    const std::string text = readString();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.push_back(text.substr(start));
    }
    return lines;
}

std::vector<std::string> VtFile::readCharacters() const {
    return detail::graphemeClusters(readString());
}

FileWrapper VtFile::toFileWrapper() const {
    FileWrapper root;
    // An explicit stack keeps deep folder trees from exhausting the call stack.
    std::vector<std::pair<fs::path, FileWrapper*>> pending{{m_url, &root}};
    while (!pending.empty()) {
        auto [path, wrapper] = pending.back();
        pending.pop_back();
        wrapper->filename = path.filename().string();
        const fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status)) {
            wrapper->kind = FileWrapper::Kind::symbolicLink;
            wrapper->symbolicLinkDestination = fs::read_symlink(path).string();
        } else if (fs::is_directory(status)) {
            wrapper->kind = FileWrapper::Kind::directory;
            std::vector<fs::path> entries;
            for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
                entries.push_back(entry.path());
            }
            std::sort(entries.begin(), entries.end());
            wrapper->children.resize(entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i) {
                pending.emplace_back(entries[i], &wrapper->children[i]);
            }
        } else if (!fs::exists(status)) {
            detail::throwFs("cannot read item", path,
                            std::make_error_code(std::errc::no_such_file_or_directory));
        } else {
            wrapper->kind = FileWrapper::Kind::regularFile;
            wrapper->contents = VtFile(path).readData();
        }
    }
    return root;
}

std::optional<VtFileFolderItemAttributes> VtFile::attributes() const {
    return itemAttributes(m_url);
}

} // namespace files
