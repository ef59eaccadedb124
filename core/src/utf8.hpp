#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core::detail {

/// Decodes the scalar at `pos` and advances past it; on an ill-formed sequence returns absent
/// and advances past its maximal ill-formed subpart (at least one byte).
inline std::optional<char32_t> decodeUTF8(std::string_view text, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(pos);
    ++pos;
    if (lead < 0x80U) {
        return lead;
    }
    std::size_t trail = 0;
    std::uint8_t low = 0x80U;
    std::uint8_t high = 0xBFU;
    char32_t scalar = 0;
    if (lead >= 0xC2U && lead <= 0xDFU) {
        trail = 1;
        scalar = lead & 0x1FU;
    } else if (lead >= 0xE0U && lead <= 0xEFU) {
        trail = 2;
        scalar = lead & 0x0FU;
        low = lead == 0xE0U ? 0xA0U : 0x80U;
        high = lead == 0xEDU ? 0x9FU : 0xBFU;
    } else if (lead >= 0xF0U && lead <= 0xF4U) {
        trail = 3;
        scalar = lead & 0x07U;
        low = lead == 0xF0U ? 0x90U : 0x80U;
        high = lead == 0xF4U ? 0x8FU : 0xBFU;
    } else {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < trail; ++i) {
        if (pos >= text.size()) {
            return std::nullopt;
        }
        const std::uint8_t next = byte(pos);
        // Only the first continuation byte has a narrowed range.
        const std::uint8_t min = i == 0 ? low : std::uint8_t{0x80U};
        const std::uint8_t max = i == 0 ? high : std::uint8_t{0xBFU};
        if (next < min || next > max) {
            return std::nullopt;
        }
        scalar = (scalar << 6U) | (next & 0x3FU);
        ++pos;
    }
    return scalar;
}

/// Appends the UTF-8 form of `scalar` to `out`.
inline void appendUTF8(std::string& out, char32_t scalar) {
    const auto put = [&](std::uint32_t v) { out.push_back(static_cast<char>(v)); };
    const auto c = static_cast<std::uint32_t>(scalar);
    if (c < 0x80U) {
        put(c);
    } else if (c < 0x800U) {
        put(0xC0U | (c >> 6U));
        put(0x80U | (c & 0x3FU));
    } else if (c < 0x10000U) {
        put(0xE0U | (c >> 12U));
        put(0x80U | ((c >> 6U) & 0x3FU));
        put(0x80U | (c & 0x3FU));
    } else {
        put(0xF0U | (c >> 18U));
        put(0x80U | ((c >> 12U) & 0x3FU));
        put(0x80U | ((c >> 6U) & 0x3FU));
        put(0x80U | (c & 0x3FU));
    }
}

} // namespace core::detail
