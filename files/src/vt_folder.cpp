#include "files/item_attributes.hpp"
#include "files/vt_path.hpp"

#include "core/url.hpp"
#include "item_ops.hpp"
#include "posix_util.hpp"

#include <mutex>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace files {

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void(const fs::path&)>& fileManagerHook() {
    static std::function<void(const fs::path&)> hook;
    return hook;
}

fs::path withoutTrailingSeparators(const fs::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

/// Appends a relative name component by component, refusing anything that could leave `base`.
fs::path appendName(const fs::path& base, std::string_view name) {
    const auto refuse = [&] {
        throw VtPathError::failure("The name \"" + std::string(name) +
                                   "\" does not name an item inside \"" + base.string() + "\"");
    };
    if (name.empty() || name.front() == '/' || name.find('\0') != std::string_view::npos) {
        refuse();
    }
    fs::path result = base;
    std::size_t start = 0;
    bool any = false;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view component = name.substr(start, end - start);
        if (component == "." || component == "..") {
            refuse();
        }
        if (!component.empty()) {
            result /= fs::path(std::string(component));
            any = true;
        }
        start = end + 1;
    }
    if (!any) {
        refuse();
    }
    return result;
}

} // namespace

VtFolder::VtFolder(const fs::path& path, bool isSystem)
    : m_url(withoutTrailingSeparators(path)), m_isSystem(isSystem) {}

VtFolder VtFolder::parent() const {
    return VtFolder(m_url.parent_path(), m_isSystem);
}

bool VtFolder::exists() const {
    if (m_isSystem) {
        return true;
    }
    std::error_code ec;
    return fs::exists(m_url, ec);
}

VtFolder VtFolder::child(std::string_view name, bool isSystem) const {
    return VtFolder(appendName(m_url, name), isSystem);
}

VtFile VtFolder::file(std::string_view name) const {
    return VtFile(appendName(m_url, name));
}

void VtFolder::create() const {
    if (m_isSystem) {
        return;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(m_url, ec))) {
        return;
    }
    // Every folder made here is private to the user: working folders live in the shared
    // temporary folder.
    std::vector<fs::path> missing;
    for (fs::path path = m_url; !path.empty();) {
        if (fs::exists(fs::symlink_status(path, ec))) {
            break;
        }
        missing.push_back(path);
        fs::path parentPath = path.parent_path();
        if (parentPath == path) {
            break;
        }
        path = std::move(parentPath);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0) {
            const std::error_code error = detail::lastError();
            if (error.value() == EEXIST && fs::is_directory(*it, ec)) {
                continue;
            }
            detail::throwFs("cannot create folder", *it, error);
        }
    }
}

void VtFolder::remove() const {
    if (m_isSystem) {
        throw VtPathError::deniedToDeleteSystemFolder();
    }
    detail::removeItem(m_url);
}

void VtFolder::copy(const fs::path& to) const {
    VtFile::copy(m_url, to);
}

void VtFolder::move(const fs::path& to) const {
    if (m_isSystem) {
        throw VtPathError::deniedToDeleteSystemFolder();
    }
    detail::moveItem(m_url, to);
}

void VtFolder::openInFinder() const {
    std::function<void(const fs::path&)> hook;
    {
        const std::lock_guard lock(hookMutex());
        hook = fileManagerHook();
    }
    if (hook) {
        hook(m_url);
    }
}

void VtFolder::setOpenInFileManagerHook(std::function<void(const fs::path&)> hook) {
    const std::lock_guard lock(hookMutex());
    fileManagerHook() = std::move(hook);
}

std::optional<VtFileFolderItemAttributes> VtFolder::attributes() const {
    return itemAttributes(m_url);
}

core::Json encodeJson(const VtFolder& folder, core::JsonEncoder& encoder) {
    core::Json json = core::Json::object();
    encoder.encode(json, "url", core::Url::fileURL(folder.url(), true).absoluteString());
    encoder.encode(json, "isSystem", folder.isSystem());
    return json;
}

VtFolder decodeJson(std::type_identity<VtFolder>, const core::Json& json,
                    core::JsonDecoder& decoder) {
    const auto text = decoder.decode<std::string>(json, "url");
    const auto isSystem = decoder.decode<bool>(json, "isSystem");
    const std::optional<core::Url> url = core::Url::parse(text);
    if (!url || !url->isFileURL() || url->path().empty()) {
        const core::JsonDecoder::PathScope scope(decoder, "url");
        decoder.throwDataCorrupted("\"" + text + "\" is not a file URL");
    }
    return VtFolder(url->path(), isSystem);
}

} // namespace files
