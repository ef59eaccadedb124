#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace document::detail {

// Text rules shared by the model's small parsers, kept private to the library.

/// A whole decimal integer: an optional '+' or '-' then ASCII digits, nothing else; absent when
/// malformed or outside the 64-bit range.
std::optional<std::int64_t> parseInt64Strict(std::string_view text);

/// The pieces of `text` between `separator`s, with empty pieces dropped.
std::vector<std::string_view> splitDroppingEmpty(std::string_view text, char separator);

/// The lower-cased first grapheme of each non-blank space-separated word of `name`.
std::string initialsOf(std::string_view name);

} // namespace document::detail
