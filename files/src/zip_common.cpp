#include "files/zip.hpp"

#include "zip_result.hpp"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <mutex>
#include <set>

namespace files {

namespace {

std::string messageOf(ZipError::Code code, const std::string& detail) {
    return detail.empty() ? ZipError::description(code)
                          : ZipError::description(code) + " (" + detail + ")";
}

std::mutex& extensionsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<std::string>& customFileExtensions() {
    static std::set<std::string> extensions;
    return extensions;
}

} // namespace

ZipError::ZipError(Code code, std::string detail)
    : core::Error("ZipError", static_cast<int>(code), messageOf(code, detail)), m_code(code),
      m_detail(std::move(detail)) {}

std::string ZipError::localizedDescription() const {
    return description(m_code);
}

std::string ZipError::description(Code code) {
    switch (code) {
    case Code::fileNotFound:
        return "File not found.";
    case Code::unzipFail:
        return "Failed to unzip file.";
    case Code::zipFail:
        return "Failed to zip file.";
    }
    return "Failed to unzip file.";
}

std::optional<ZipCompression> zipCompressionFromRawValue(int rawValue) {
    if (rawValue < 0 || rawValue > 3) {
        return std::nullopt;
    }
    return static_cast<ZipCompression>(rawValue);
}

int deflateLevel(ZipCompression compression) {
    switch (compression) {
    case ZipCompression::NoCompression:
        return 0;
    case ZipCompression::BestSpeed:
        return 1;
    case ZipCompression::DefaultCompression:
        return -1;
    case ZipCompression::BestCompression:
        return 9;
    }
    return -1;
}

void Zip::addCustomFileExtension(const std::string& fileExtension) {
    const std::lock_guard lock(extensionsMutex());
    customFileExtensions().insert(fileExtension);
}

void Zip::removeCustomFileExtension(const std::string& fileExtension) {
    const std::lock_guard lock(extensionsMutex());
    customFileExtensions().erase(fileExtension);
}

bool Zip::hasCustomFileExtension(const std::string& fileExtension) {
    const std::lock_guard lock(extensionsMutex());
    return customFileExtensions().count(fileExtension) != 0;
}

bool Zip::isValidFileExtension(std::string_view /*fileExtension*/) {
    return true;
}

namespace detail {

std::string zipResultText(int result) {
    // minizip's archive codes and zlib's stream codes share one space of negative numbers.
    switch (result) {
    case UNZ_ERRNO:
        return "the archive file could not be read or written";
    case UNZ_END_OF_LIST_OF_FILE:
        return "the archive has no further entry";
    case UNZ_PARAMERROR:
        return "the zip library was called wrongly";
    case UNZ_BADZIPFILE:
        return "the archive's structure is damaged";
    case UNZ_INTERNALERROR:
        return "the zip library failed internally";
    case UNZ_CRCERROR:
        return "CRC error";
    case Z_STREAM_ERROR:
        return "the compressed stream is inconsistent";
    case Z_DATA_ERROR:
        return "the compressed data is damaged";
    case Z_MEM_ERROR:
        return "out of memory";
    case Z_BUF_ERROR:
        return "the compressed data ends early";
    case Z_VERSION_ERROR:
        return "the compression library has the wrong version";
    default:
        return "unknown zip library error " + std::to_string(result);
    }
}

} // namespace detail

} // namespace files
