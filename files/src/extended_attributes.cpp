#include "files/vt_path.hpp"

#include "text_util.hpp"

#include <cerrno>
#include <cstring>
#include <sys/xattr.h>
#include <system_error>

namespace files {

namespace {

// Linux keeps unprivileged attributes in the "user." namespace and refuses bare names.
constexpr std::string_view kNamespace = "user.";
// A value that keeps changing size between our two calls is given up on after this many tries.
constexpr int kMaxAttempts = 8;

std::string platformName(std::string_view name) {
    std::string result(kNamespace);
    result.append(name);
    return result;
}

[[noreturn]] void throwErrno(int error) {
    throw std::system_error(error, std::generic_category());
}

/// The attribute's bytes; absent only when the attribute does not exist.
std::optional<std::vector<std::uint8_t>> readRaw(const std::filesystem::path& path,
                                                 std::string_view name) {
    const std::string attribute = platformName(name);
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const ssize_t size = ::getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
        if (size < 0) {
            if (errno == ENODATA) {
                return std::nullopt;
            }
            throwErrno(errno);
        }
        std::vector<std::uint8_t> value(static_cast<std::size_t>(size));
        if (size == 0) {
            return value;
        }
        const ssize_t read =
            ::getxattr(path.c_str(), attribute.c_str(), value.data(), value.size());
        if (read < 0) {
            if (errno == ERANGE) {
                continue; // it grew in between: ask for the size again
            }
            if (errno == ENODATA) {
                return std::nullopt;
            }
            throwErrno(errno);
        }
        value.resize(static_cast<std::size_t>(read)); // it may have shrunk in between
        return value;
    }
    throwErrno(ERANGE);
}

void writeRaw(const std::filesystem::path& path, std::string_view name, const void* bytes,
              std::size_t size) {
    const std::string attribute = platformName(name);
    if (::setxattr(path.c_str(), attribute.c_str(), bytes, size, 0) != 0) {
        throwErrno(errno);
    }
}

} // namespace

std::optional<std::uint32_t> VtFile::readExtendedAttributeUInt32(std::string_view name) const {
    const std::optional<std::vector<std::uint8_t>> value = readRaw(url(), name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    if (value->size() != sizeof(std::uint32_t)) {
        std::string message = "The stored value for \"";
        message.append(name).append("\" of file \"").append(pathString());
        message.append("\" is not the type of UInt32");
        throw VtPathError::failure(std::move(message));
    }
    std::uint32_t result = 0;
    std::memcpy(&result, value->data(), sizeof result);
    return result;
}

std::optional<std::string> VtFile::readExtendedAttributeString(std::string_view name) const {
    const std::optional<std::vector<std::uint8_t>> value = readRaw(url(), name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    return detail::toUtf8Lossy(*value);
}

void VtFile::setExtendedAttribute(std::string_view name, std::uint32_t value) const {
    writeRaw(url(), name, &value, sizeof value);
}

void VtFile::setExtendedAttribute(std::string_view name, std::string_view value) const {
    writeRaw(url(), name, value.data(), value.size());
}

void VtFile::removeExtendedAttribute(std::string_view name) const {
    const std::string attribute = platformName(name);
    if (::removexattr(url().c_str(), attribute.c_str()) != 0) {
        throwErrno(errno);
    }
}

std::vector<std::string> VtFile::extendedAttributes() const {
    std::vector<char> buffer;
    for (int attempt = 0;; ++attempt) {
        if (attempt == kMaxAttempts) {
            throwErrno(ERANGE);
        }
        const ssize_t size = ::listxattr(url().c_str(), nullptr, 0);
        if (size < 0) {
            throwErrno(errno);
        }
        if (size == 0) {
            return {};
        }
        buffer.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t read = ::listxattr(url().c_str(), buffer.data(), buffer.size());
        if (read < 0) {
            if (errno == ERANGE) {
                continue;
            }
            throwErrno(errno);
        }
        buffer.resize(static_cast<std::size_t>(read));
        break;
    }
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < buffer.size()) {
        std::size_t end = start;
        while (end < buffer.size() && buffer[end] != '\0') {
            ++end;
        }
        const std::string_view piece(buffer.data() + start, end - start);
        if (piece.starts_with(kNamespace) && piece.size() > kNamespace.size() &&
            detail::isValidUtf8(piece)) {
            names.emplace_back(piece.substr(kNamespace.size()));
        }
        start = end + 1;
    }
    return names;
}

} // namespace files
