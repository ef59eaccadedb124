#include "files/vt_path.hpp"

#include "core/url.hpp"
#include "text_util.hpp"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace files {

namespace {

std::string descriptionOf(VtPathError::Code code, std::string message) {
    switch (code) {
    case VtPathError::Code::failure:
        return message;
    case VtPathError::Code::notExists:
        return "File does not exist";
    case VtPathError::Code::deniedToDeleteSystemFolder:
        return "Denied to delete system folder";
    }
    return message;
}

/// The last component of a path written as text, ignoring trailing separators.
std::string lastComponent(const fs::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? text : text.substr(slash + 1);
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    passwd entry{};
    passwd* result = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
        result != nullptr && result->pw_dir != nullptr) {
        return result->pw_dir;
    }
    return "/";
}

fs::path xdgFolder(const char* variable, const char* fallbackBelowHome) {
    // XDG says relative values are invalid and must be ignored.
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return value;
    }
    return fs::path(homeFolder()) / fallbackBelowHome;
}

/// An absolute, normalised form of `path` in which every folder above the last component is
/// resolved through symbolic links, while the last component itself is not.
fs::path guardForm(const fs::path& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec).lexically_normal();
    if (ec) {
        absolute = path.lexically_normal();
    }
    if (!absolute.has_filename() && absolute != absolute.root_path()) {
        absolute = absolute.parent_path();
    }
    if (absolute == absolute.root_path()) {
        return absolute;
    }
    const fs::path parent = fs::weakly_canonical(absolute.parent_path(), ec);
    return (ec ? absolute.parent_path() : parent) / absolute.filename();
}

fs::path fullyResolved(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) {
        resolved = fs::absolute(path, ec).lexically_normal();
    }
    if (!resolved.has_filename() && resolved != resolved.root_path()) {
        resolved = resolved.parent_path();
    }
    return resolved;
}

/// True when `ancestor` equals `path` or is one of its folders, comparing whole components.
bool isSameOrAncestor(const fs::path& ancestor, const fs::path& path) {
    auto a = ancestor.begin();
    auto p = path.begin();
    for (; a != ancestor.end(); ++a, ++p) {
        if (p == path.end() || *a != *p) {
            return false;
        }
    }
    return true;
}

} // namespace

VtPathError::VtPathError(Code code, std::string message)
    : core::Error("VtPathError", static_cast<int>(code), descriptionOf(code, std::move(message))),
      m_code(code) {}

// Filename ------------------------------------------------------------------------------------

Filename::Filename(const char* fileName) : Filename(parse(fileName)) {}

Filename Filename::parse(std::string_view fileName) {
    if (fileName.empty()) {
        return {};
    }
    // Search backwards for a dot that stands as a character of its own (a dot carrying a
    // combining mark is a different character).
    std::size_t position = fileName.size();
    while (position > 0) {
        const std::size_t dot = fileName.rfind('.', position - 1);
        if (dot == std::string_view::npos) {
            break;
        }
        if (!detail::continuesCharacter(fileName, dot + 1)) {
            if (dot + 1 == fileName.size()) {
                return {std::string(fileName), {}};
            }
            return {std::string(fileName.substr(0, dot)), std::string(fileName.substr(dot + 1))};
        }
        position = dot;
    }
    return {std::string(fileName), {}};
}

Filename Filename::fromPath(const fs::path& path) {
    std::string component = lastComponent(path);
    const auto dot = component.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == component.size()) {
        return {std::move(component), {}};
    }
    return {component.substr(0, dot), component.substr(dot + 1)};
}

std::string Filename::string() const {
    return extension.empty() ? name : name + "." + extension;
}

core::Json encodeJson(const Filename& filename, core::JsonEncoder& /*encoder*/) {
    return filename.string();
}

Filename decodeJson(std::type_identity<Filename>, const core::Json& json,
                    core::JsonDecoder& decoder) {
    return Filename::parse(decoder.decode<std::string>(json));
}

// Protection ----------------------------------------------------------------------------------

void checkNotProtected(const fs::path& path) {
    const fs::path target = guardForm(path);
    std::vector<fs::path> protectedFolders = {
        fs::path("/"),
        homeFolder(),
        VtFolder::applicationDocumentFolder().url(),
        VtFolder::applicationInboxFolder().url(),
        VtFolder::systemLibraryFolder().url(),
        VtFolder::applicationSupportFolder().url(),
        VtFolder::systemCacheFolder().url(),
        VtFolder::systemTmpFolder().url(),
    };
    for (const fs::path& folder : protectedFolders) {
        if (isSameOrAncestor(target, fullyResolved(folder)) ||
            isSameOrAncestor(target, fs::absolute(folder).lexically_normal())) {
            throw VtPathError::deniedToDeleteSystemFolder();
        }
    }
}

// System folders ------------------------------------------------------------------------------

VtFolder VtFolder::applicationDocumentFolder() {
    return VtFolder(xdgFolder("XDG_DOCUMENTS_DIR", "Documents"), true);
}

VtFolder VtFolder::applicationInboxFolder() {
    return VtFolder(applicationDocumentFolder().url() / "Inbox", true);
}

VtFolder VtFolder::systemLibraryFolder() {
    return VtFolder(fs::path(homeFolder()) / ".local", true);
}

VtFolder VtFolder::applicationSupportFolder() {
    return VtFolder(xdgFolder("XDG_DATA_HOME", ".local/share"), true);
}

VtFolder VtFolder::systemCacheFolder() {
    return VtFolder(xdgFolder("XDG_CACHE_HOME", ".cache"), true);
}

VtFolder VtFolder::systemTmpFolder() {
    return VtFolder(core::temporaryDirectory().path(), true);
}

} // namespace files

std::size_t std::hash<files::Filename>::operator()(const files::Filename& filename) const noexcept {
    const std::size_t h = std::hash<std::string>{}(filename.name);
    return h ^ (std::hash<std::string>{}(filename.extension) + 0x9e3779b97f4a7c15ULL + (h << 6U) +
                (h >> 2U));
}
