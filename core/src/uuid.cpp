#include "core/uuid.hpp"

#include "core/string_utils.hpp"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace core {

void randomBytes(void* out, std::size_t size) {
    auto* cursor = static_cast<unsigned char*>(out);
    while (size > 0) {
        const ssize_t got = ::getrandom(cursor, size, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        cursor += got;
        size -= static_cast<std::size_t>(got);
    }
}

Uuid Uuid::random() {
    Bytes bytes{};
    randomBytes(bytes.data(), bytes.size());
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0FU) | 0x40U);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3FU) | 0x80U);
    return Uuid(bytes);
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    Bytes bytes{};
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        const int high = hexDigitValue(text[i]);
        const int low = hexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[byte++] = static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    return Uuid(bytes);
}

std::string Uuid::uuidString() const {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < m_bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kDigits[m_bytes[i] >> 4U]);
        text.push_back(kDigits[m_bytes[i] & 0x0FU]);
    }
    return text;
}

} // namespace core

std::size_t std::hash<core::Uuid>::operator()(const core::Uuid& uuid) const noexcept {
    std::size_t seed = 1469598103934665603ULL;
    for (const auto byte : uuid.bytes()) {
        seed = (seed ^ byte) * 1099511628211ULL;
    }
    return seed;
}
