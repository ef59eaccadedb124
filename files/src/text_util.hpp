#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace files::detail {

/// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);
/// `bytes` decoded as UTF-8, each ill-formed sequence replaced by U+FFFD.
std::string toUtf8Lossy(std::span<const std::uint8_t> bytes);
/// True when the code point at `offset` in `text` joins the character before it into one
/// user-perceived character (a combining mark, a joiner, a spacing mark).
bool continuesCharacter(std::string_view text, std::size_t offset);

/// Splits valid UTF-8 `text` into extended grapheme clusters.
std::vector<std::string> graphemeClusters(std::string_view text);

/// Percent-encodes every byte of `text` that is not ASCII alphanumeric and not in `allowed`.
std::string percentEncode(std::string_view text, std::string_view allowed);

/// The characters a URL query may hold unescaped (besides letters and digits).
inline constexpr std::string_view kUrlQueryAllowed = "!$&'()*+,-./:;=?@_~";

} // namespace files::detail
