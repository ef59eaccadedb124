#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text helpers over UTF-8 `std::string`. Character positions and counts are counts of
// user-perceived characters (extended grapheme clusters), never of bytes, unless a byte
// encoding is named.

namespace core {

/// A byte buffer.
using Data = std::vector<std::uint8_t>;

/// A set of Unicode scalar values, tested one scalar at a time.
class CharacterSet {
public:
    /// The set of the scalars for which `contains` returns true.
    explicit CharacterSet(std::function<bool(char32_t)> contains)
        : m_contains(std::move(contains)) {}
    /// The set of exactly the scalars of the UTF-8 text `characters`.
    static CharacterSet of(std::string_view characters);
    /// Space, tab and the other Unicode space separators (general category Zs); no line breaks.
    static CharacterSet whitespaces();
    /// `whitespaces()` plus U+000A to U+000D, U+0085 and the line and paragraph separators.
    static CharacterSet whitespacesAndNewlines();

    /// Whether `scalar` belongs to the set.
    bool contains(char32_t scalar) const { return m_contains(scalar); }

private:
    std::function<bool(char32_t)> m_contains;
};

/// Text encodings that `toData` and `toString` convert between.
enum class TextEncoding {
    ascii,
    utf8,
    isoLatin1,
    isoLatin2,
    windowsCP1250,
    windowsCP1251,
    windowsCP1252,
    windowsCP1253,
    windowsCP1254,
    macOSRoman,
    shiftJIS,
    japaneseEUC,
    iso2022JP,
    utf16,
    utf16BigEndian,
    utf16LittleEndian,
    utf32,
    utf32BigEndian,
    utf32LittleEndian,
};

/// Text-like arguments other than `std::string_view` itself (literals, `std::string`), routed to
/// the `std::string_view` overloads so they never clash with the absent-or-present ones.
template <class S>
concept TextLike =
    std::convertible_to<const S&, std::string_view> && !std::same_as<S, std::string_view>;

/// True when `text` is empty or made only of `CharacterSet::whitespaces()` scalars; a line feed
/// is not blank.
bool isBlank(std::string_view text);
/// True when `text` is absent, empty or blank.
bool isBlank(const std::optional<std::string>& text);
/// True when `text` is absent or empty.
bool isEmpty(const std::optional<std::string>& text);
/// Absent for the empty text, else the text.
std::optional<std::string> nilIfEmpty(std::string_view text);
/// Absent when `text` is absent or empty, else the text.
std::optional<std::string> nilIfEmpty(const std::optional<std::string>& text);
/// `isBlank` of a literal or `std::string`.
template <TextLike S>
bool isBlank(const S& text) {
    return isBlank(std::string_view(text));
}
/// `nilIfEmpty` of a literal or `std::string`.
template <TextLike S>
std::optional<std::string> nilIfEmpty(const S& text) {
    return nilIfEmpty(std::string_view(text));
}
/// Absent when `text` is blank, else the text untrimmed.
std::optional<std::string> nilIfBlank(std::string_view text);
/// The text, or "" when absent.
std::string emptyIfNil(const std::optional<std::string>& text);
/// `text` when it is not blank, else `fallback`.
std::string orDefaultIfBlank(std::string_view text, std::string_view fallback);
/// `text` when present and not blank, else `fallback`.
std::string orDefaultIfBlank(const std::optional<std::string>& text, std::string_view fallback);
/// `orDefaultIfBlank` of a literal or `std::string`.
template <TextLike S>
std::string orDefaultIfBlank(const S& text, std::string_view fallback) {
    return orDefaultIfBlank(std::string_view(text), fallback);
}
/// `text` when present and not empty, else `fallback`.
std::string orDefaultIfEmpty(const std::optional<std::string>& text, std::string_view fallback);
/// The same as `orDefaultIfEmpty`.
std::string stringReplaceEmptyBy(const std::optional<std::string>& text,
                                 std::string_view replacement);

/// `text` from its first scalar outside `whitespacesAndNewlines()`; a text made only of such
/// scalars (or empty) is returned unchanged.
std::string trimmingLeft(std::string_view text);
/// `text` up to and including its last scalar outside `whitespacesAndNewlines()`; a text made
/// only of such scalars (or empty) is returned unchanged.
std::string trimmingRight(std::string_view text);
/// `text` without the scalars of `set` at both ends.
std::string trimmed(std::string_view text, const CharacterSet& set);
/// Cuts `text` at the first occurrence of `prefix` (anywhere): the text after it, or the text
/// before it when it ends the text; unchanged when `prefix` is empty or not found.
std::string chompedPrefix(std::string_view text, std::string_view prefix);
/// Cuts `text` at the last occurrence of `suffix`: the text before it when it ends the text, else
/// the text after it; unchanged when `suffix` is empty or not found.
std::string chompedSuffix(std::string_view text, std::string_view suffix);

/// Whether the two texts are equal under Unicode case folding and canonical equivalence.
bool isEqualCaseInsensitive(std::string_view text, std::string_view other);

/// The number of user-perceived characters of `text`.
std::int64_t characterCount(std::string_view text);
/// The character at 0-based position `index`; throws `std::out_of_range` outside the text.
std::string characterAt(std::string_view text, std::int64_t index);
/// The characters of positions `from` (included) to `to` (excluded); throws `std::out_of_range`
/// unless 0 <= from <= to <= characterCount(text).
std::string characters(std::string_view text, std::int64_t from, std::int64_t to);
/// `text` filled on the left with `pad` repeated (length - count) times when shorter than
/// `length`; when longer, its last `length` characters if `clipIfLonger` (none for a negative
/// length), else unchanged.
std::string paddingToLeft(std::string_view text, std::int64_t length, std::string_view pad,
                          bool clipIfLonger);

/// The text of a new random UUID: 36 upper-case characters, groups 8-4-4-4-12.
std::string uuidString();

/// Base64 of the bytes, with CRLF after every 64 output characters (none after the last line).
/// The value of one hexadecimal digit ('0'-'9', 'a'-'f', 'A'-'F'), or -1 for any other character.
int hexDigitValue(char c) noexcept;
std::string base64(const Data& bytes);
/// Base64 of the text's UTF-8 bytes, wrapped as `base64(const Data&)`.
std::string base64(std::string_view text);
/// The bytes of Base64 `text`, skipping characters outside the alphabet; absent when the rest is
/// not well-formed (length not a multiple of four, misplaced or excess padding).
std::optional<Data> decodeBase64Data(std::string_view text);
/// The text whose UTF-8 bytes `text` encodes in Base64; absent when it does not decode or the
/// bytes are not valid UTF-8.
std::optional<std::string> decodeBase64(std::string_view text);

/// The bytes of `text` in `encoding`; absent when `text` is not valid UTF-8 or a character
/// cannot be encoded without loss.
std::optional<Data> toData(std::string_view text, TextEncoding encoding);
/// The UTF-8 bytes of `text`.
Data toUTF8Data(std::string_view text);
/// The text of `bytes` read in `encoding`; absent when the bytes are not valid in it.
std::optional<std::string> toString(const Data& bytes, TextEncoding encoding);
/// The bytes read as UTF-8, each maximal ill-formed subsequence replaced by one U+FFFD.
std::string toUTF8String(const Data& bytes);
/// Whether `bytes` are well-formed UTF-8.
bool isValidUTF8(std::string_view bytes);

} // namespace core
