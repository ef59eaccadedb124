#include "text_util.hpp"

#include <algorithm>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <memory>
#include <stdexcept>
#include <unicode/utf8.h>

namespace files::detail {

namespace {

bool isAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

bool isValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        return false;
    }
    std::int32_t i = 0;
    while (i < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            return false;
        }
    }
    return true;
}

std::string toUtf8Lossy(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Decode one bounded window at a time so lengths stay within ICU's int32 indices.
        const std::size_t window = std::min<std::size_t>(bytes.size() - i, 4);
        std::int32_t j = 0;
        UChar32 c = 0;
        U8_NEXT(bytes.data() + i, j, static_cast<std::int32_t>(window), c);
        if (c < 0) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(reinterpret_cast<const char*>(bytes.data() + i),
                       static_cast<std::size_t>(j));
        }
        i += static_cast<std::size_t>(j);
    }
    return out;
}

bool continuesCharacter(std::string_view text, std::size_t offset) {
    if (offset >= text.size()) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data() + offset);
    const std::size_t window = std::min<std::size_t>(text.size() - offset, 4);
    std::int32_t j = 0;
    UChar32 c = 0;
    U8_NEXT(bytes, j, static_cast<std::int32_t>(window), c);
    if (c < 0) {
        return false;
    }
    const auto kind = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    return kind == U_GCB_EXTEND || kind == U_GCB_ZWJ || kind == U_GCB_SPACING_MARK;
}

std::vector<std::string> graphemeClusters(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > static_cast<std::size_t>(INT32_MAX / 2)) {
        throw std::length_error("text too long to split into characters");
    }
    UErrorCode status = U_ZERO_ERROR;
    std::int32_t length16 = 0;
    u_strFromUTF8(nullptr, 0, &length16, text.data(), static_cast<std::int32_t>(text.size()),
                  &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        throw std::runtime_error(u_errorName(status));
    }
    status = U_ZERO_ERROR;
    std::vector<UChar> utf16(static_cast<std::size_t>(length16));
    u_strFromUTF8(utf16.data(), length16, nullptr, text.data(),
                  static_cast<std::int32_t>(text.size()), &status);
    const std::unique_ptr<UBreakIterator, decltype(&ubrk_close)> breaks(
        ubrk_open(UBRK_CHARACTER, "", utf16.data(), length16, &status), &ubrk_close);
    if (U_FAILURE(status)) {
        throw std::runtime_error(u_errorName(status));
    }
    std::vector<std::string> clusters;
    std::int32_t start = ubrk_first(breaks.get());
    for (std::int32_t end = ubrk_next(breaks.get()); end != UBRK_DONE;
         start = end, end = ubrk_next(breaks.get())) {
        std::int32_t length8 = 0;
        status = U_ZERO_ERROR;
        u_strToUTF8(nullptr, 0, &length8, utf16.data() + start, end - start, &status);
        std::string cluster(static_cast<std::size_t>(length8), '\0');
        status = U_ZERO_ERROR;
        u_strToUTF8(cluster.data(), length8, nullptr, utf16.data() + start, end - start, &status);
        if (U_FAILURE(status)) {
            throw std::runtime_error(u_errorName(status));
        }
        clusters.push_back(std::move(cluster));
    }
    return clusters;
}

std::string percentEncode(std::string_view text, std::string_view allowed) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isAsciiAlnum(c) || (c < 0x80 && allowed.find(ch) != std::string_view::npos)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4U];
            out += kHex[c & 0xFU];
        }
    }
    return out;
}

} // namespace files::detail
