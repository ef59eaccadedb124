#include "core/url.hpp"

#include "core/string_utils.hpp"
#include "core/uuid.hpp"

#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include <sys/stat.h>

namespace core {

namespace {

namespace fs = std::filesystem;

std::string withoutTrailingSlashes(std::string text) {
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

bool isSchemeCharacter(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) {
        return letter;
    }
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Characters a URL text may hold as they are; anything else must be percent-encoded.
bool isUrlCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7f) {
        return false;
    }
    return std::string_view("\"<>\\^`{|}").find(c) == std::string_view::npos;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        const int high = i + 1 < text.size() ? hexDigitValue(text[i + 1]) : -1;
        const int low = i + 2 < text.size() ? hexDigitValue(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}

std::string percentEncodedPath(std::string_view path) {
    static constexpr std::string_view kKept = "-._~/!$&'()*+,;=:@";
    static constexpr std::array<char, 16> kHex{'0', '1', '2', '3', '4', '5', '6', '7',
                                               '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    std::string result;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alphanumeric || kKept.find(c) != std::string_view::npos) {
            result += c;
        } else {
            result += '%';
            result += kHex[byte >> 4U];
            result += kHex[byte & 0x0FU];
        }
    }
    return result;
}

// A name that stays inside the folder it is appended to.
bool isPlainComponent(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

std::string freshName() {
    return Uuid::random().uuidString();
}

[[noreturn]] void throwFileError(const fs::path& path, int error, const char* what) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

} // namespace

Url::Url(const fs::path& path) {
    std::error_code error;
    fs::path absolute = path.is_absolute() ? path : fs::absolute(path, error);
    if (error) {
        absolute = path;
    }
    const std::string text = absolute.string();
    m_scheme = "file";
    m_isDirectory = !text.empty() && text.back() == '/';
    m_path = withoutTrailingSlashes(text);
}

Url Url::fileURL(const fs::path& path, bool isDirectory) {
    Url url(path);
    url.m_isDirectory = isDirectory;
    return url;
}

std::optional<Url> Url::parse(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeCharacter(text[i], i == 0)) {
            return std::nullopt;
        }
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isUrlCharacter(text[i])) {
            return std::nullopt;
        }
        if (text[i] == '%' && (i + 2 >= text.size() || hexDigitValue(text[i + 1]) < 0 ||
                               hexDigitValue(text[i + 2]) < 0)) {
            return std::nullopt;
        }
    }
    Url url;
    url.m_scheme = std::string(text.substr(0, colon));
    for (char& c : url.m_scheme) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    const std::string_view rest = text.substr(colon + 1);
    if (url.m_scheme != "file") {
        url.m_text = std::string(text);
        url.m_isDirectory = text.back() == '/';
        return url;
    }
    if (rest.substr(0, 2) != "//") {
        return std::nullopt;
    }
    std::string_view afterAuthority = rest.substr(2);
    const auto slash = afterAuthority.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view host = afterAuthority.substr(0, slash);
    if (!host.empty() && host != "localhost") {
        return std::nullopt;
    }
    std::string_view encodedPath = afterAuthority.substr(slash);
    encodedPath = encodedPath.substr(0, encodedPath.find_first_of("?#"));
    const auto decoded = percentDecoded(encodedPath);
    if (!decoded || decoded->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    url.m_isDirectory = encodedPath.back() == '/';
    url.m_path = withoutTrailingSlashes(*decoded);
    return url;
}

Url Url::literal(std::string_view text) {
    auto url = parse(text);
    if (!url) {
        throw std::invalid_argument("not a valid URL: " + std::string(text));
    }
    return std::move(*url);
}

std::string Url::absoluteString() const {
    if (!isFileURL()) {
        return m_text;
    }
    std::string text = "file://";
    text += percentEncodedPath(m_path.string());
    if (m_isDirectory && m_path != "/") {
        text += '/';
    }
    return text;
}

std::string Url::lastPathComponent() const {
    if (!isFileURL()) {
        return {};
    }
    if (m_path == "/") {
        return "/";
    }
    return m_path.filename().string();
}

Url Url::appendingPathComponent(std::string_view component, bool isDirectory) const {
    Url url = *this;
    if (isFileURL()) {
        url.m_path = withoutTrailingSlashes((m_path / fs::path(component)).string());
    } else {
        if (url.m_text.empty() || url.m_text.back() != '/') {
            url.m_text += '/';
        }
        url.m_text += component;
    }
    url.m_isDirectory = isDirectory;
    return url;
}

Url temporaryDirectory() {
    std::error_code error;
    fs::path folder = fs::temp_directory_path(error);
    if (error || folder.empty()) {
        folder = "/tmp";
    }
    return Url::fileURL(folder, true);
}

Url temporaryDirectory(const Url& appropriateFor) {
    if (!appropriateFor.isFileURL()) {
        throw std::invalid_argument("an item replacement folder needs a file URL");
    }
    const fs::path& target = appropriateFor.path();
    // The nearest existing item decides the file system.
    fs::path probe = target;
    std::error_code error;
    while (!fs::exists(fs::symlink_status(probe, error)) && probe.has_parent_path() &&
           probe != probe.parent_path()) {
        probe = probe.parent_path();
    }
    struct stat probeStat {};
    if (::stat(probe.c_str(), &probeStat) != 0) {
        throwFileError(target, errno, "The folder couldn\u2019t be created.");
    }
    const fs::path temporary = temporaryDirectory().path();
    struct stat temporaryStat {};
    std::string pattern;
    if (::stat(temporary.c_str(), &temporaryStat) == 0 &&
        temporaryStat.st_dev == probeStat.st_dev) {
        pattern = (temporary / "ItemReplacement.XXXXXX").string();
    } else {
        const fs::path folder = probe == target ? target.parent_path() : probe;
        pattern = (folder / ".ItemReplacement.XXXXXX").string();
    }
    if (::mkdtemp(pattern.data()) == nullptr) {
        throwFileError(target, errno, "The folder couldn\u2019t be created.");
    }
    return Url::fileURL(pattern, true);
}

Url temporaryFile() {
    return temporaryDirectory().appendingPathComponent(freshName());
}

Url temporaryFileWithName(std::string_view name) {
    if (isBlank(name) || !isPlainComponent(name)) {
        return temporaryFile();
    }
    return temporaryDirectory().appendingPathComponent(name);
}

Url temporaryFileWithExtension(std::string_view extension) {
    std::string name = freshName();
    if (isBlank(extension) || extension == ".") {
        return temporaryDirectory().appendingPathComponent(name);
    }
    if (extension.front() != '.') {
        name += '.';
    }
    name += extension;
    if (!isPlainComponent(name)) {
        return temporaryFile();
    }
    return temporaryDirectory().appendingPathComponent(name);
}

Url temporaryFile(const Url& appropriateFor) {
    const Url folder = temporaryDirectory(appropriateFor);
    const std::string last = appropriateFor.lastPathComponent();
    return folder.appendingPathComponent(isPlainComponent(last) ? last : freshName());
}

std::optional<std::string> getTypeIdentifier(const Url& url) {
    if (!url.isFileURL()) {
        return std::nullopt;
    }
    std::error_code error;
    const fs::file_status status = fs::symlink_status(url.path(), error);
    if (error || !fs::exists(status)) {
        return std::nullopt;
    }
    if (fs::is_symlink(status)) {
        return "public.symlink";
    }
    std::string extension = url.path().extension().string();
    if (!extension.empty()) {
        extension.erase(0, 1);
    }
    const auto byExtension = UTType::fromFilenameExtension(extension);
    if (fs::is_directory(status)) {
        if (byExtension && !byExtension->isDynamic() &&
            byExtension->conforms(UTType::directory())) {
            return byExtension->identifier();
        }
        return UTType::folder().identifier();
    }
    if (fs::is_regular_file(status)) {
        if (!byExtension || byExtension->conforms(UTType::directory())) {
            return UTType::data().identifier();
        }
        return byExtension->identifier();
    }
    return UTType::item().identifier();
}

std::optional<UTType> getUTType(const Url& url) {
    const auto identifier = getTypeIdentifier(url);
    if (!identifier) {
        return std::nullopt;
    }
    return UTType::fromIdentifier(*identifier);
}

bool isLocalImageFile(const Url& url) {
    if (!url.isFileURL()) {
        return false;
    }
    const auto type = getUTType(url);
    return type && type->conforms(UTType::image());
}

bool isDirectory(const Url& url) {
    std::error_code error;
    return url.isFileURL() && fs::is_directory(fs::symlink_status(url.path(), error));
}

bool isRegularFile(const Url& url) {
    std::error_code error;
    return url.isFileURL() && fs::is_regular_file(fs::symlink_status(url.path(), error));
}

bool isPackage(const Url& url) {
    if (!isDirectory(url)) {
        return false;
    }
    const auto type = getUTType(url);
    return type && type->conforms(UTType::package());
}

} // namespace core
