#include "core/string_utils.hpp"

#include "core/uuid.hpp"
#include "utf8.hpp"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <stdexcept>

namespace core {

namespace {

bool isSpaceSeparator(char32_t c) {
    return c == U'\t' || u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isSpaceOrNewline(char32_t c) {
    if (isSpaceSeparator(c) || (c >= 0x0AU && c <= 0x0DU) || c == 0x85U) {
        return true;
    }
    const auto type = u_charType(static_cast<UChar32>(c));
    return type == U_LINE_SEPARATOR || type == U_PARAGRAPH_SEPARATOR;
}

// An ill-formed byte sequence reads as U+FFFD, which belongs to none of our sets.
template <class Pred>
bool allScalars(std::string_view text, Pred pred) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (!pred(detail::decodeUTF8(text, pos).value_or(0xFFFDU))) {
            return false;
        }
    }
    return true;
}

// Byte range [first, last) from the first to the last scalar outside `pred`; absent when every
// scalar is inside it.
template <class Pred>
std::optional<std::pair<std::size_t, std::size_t>> coreRange(std::string_view text, Pred pred) {
    std::optional<std::size_t> first;
    std::size_t last = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        if (!pred(detail::decodeUTF8(text, pos).value_or(0xFFFDU))) {
            if (!first) {
                first = start;
            }
            last = pos;
        }
    }
    if (!first) {
        return std::nullopt;
    }
    return std::make_pair(*first, last);
}

// Byte offsets of every grapheme boundary of `text`, 0 and text.size() included.
std::vector<std::size_t> graphemeBoundaries(std::string_view text) {
    std::vector<std::size_t> boundaries{0};
    if (text.empty()) {
        return boundaries;
    }
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw std::length_error("text too long for character positions");
    }
    UErrorCode status = U_ZERO_ERROR;
    thread_local std::unique_ptr<icu::BreakIterator> iterator;
    if (!iterator) {
        iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !iterator) {
            iterator.reset();
            throw std::runtime_error("grapheme break iterator unavailable");
        }
    }
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    iterator->setText(utext, status);
    if (U_FAILURE(status)) {
        utext_close(utext);
        throw std::runtime_error("grapheme break iterator failed");
    }
    for (std::int32_t p = iterator->next(); p != icu::BreakIterator::DONE; p = iterator->next()) {
        boundaries.push_back(static_cast<std::size_t>(p));
    }
    // Detach the iterator from our text before it goes away.
    iterator->setText(icu::UnicodeString());
    utext_close(utext);
    return boundaries;
}

icu::UnicodeString unicodeFromUTF8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

std::string utf8FromUnicode(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

const char* converterName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::ascii:
        return "US-ASCII";
    case TextEncoding::utf8:
        return "UTF-8";
    case TextEncoding::isoLatin1:
        return "ISO-8859-1";
    case TextEncoding::isoLatin2:
        return "ISO-8859-2";
    case TextEncoding::windowsCP1250:
        return "windows-1250";
    case TextEncoding::windowsCP1251:
        return "windows-1251";
    case TextEncoding::windowsCP1252:
        return "windows-1252";
    case TextEncoding::windowsCP1253:
        return "windows-1253";
    case TextEncoding::windowsCP1254:
        return "windows-1254";
    case TextEncoding::macOSRoman:
        return "macintosh";
    case TextEncoding::shiftJIS:
        return "Shift_JIS";
    case TextEncoding::japaneseEUC:
        return "EUC-JP";
    case TextEncoding::iso2022JP:
        return "ISO-2022-JP";
    case TextEncoding::utf16:
        return "UTF-16";
    case TextEncoding::utf16BigEndian:
        return "UTF-16BE";
    case TextEncoding::utf16LittleEndian:
        return "UTF-16LE";
    case TextEncoding::utf32:
        return "UTF-32";
    case TextEncoding::utf32BigEndian:
        return "UTF-32BE";
    case TextEncoding::utf32LittleEndian:
        return "UTF-32LE";
    }
    return "UTF-8";
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter that stops at the first unmappable or illegal sequence instead of substituting.
Converter strictConverter(TextEncoding encoding) {
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(converterName(encoding), &status));
    if (U_FAILURE(status) || !converter) {
        return nullptr;
    }
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    return U_FAILURE(status) ? nullptr : std::move(converter);
}

constexpr std::string_view kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

} // namespace

CharacterSet CharacterSet::of(std::string_view characters) {
    std::vector<char32_t> scalars;
    std::size_t pos = 0;
    while (pos < characters.size()) {
        if (const auto scalar = detail::decodeUTF8(characters, pos)) {
            scalars.push_back(*scalar);
        }
    }
    std::sort(scalars.begin(), scalars.end());
    return CharacterSet([scalars = std::move(scalars)](char32_t c) {
        return std::binary_search(scalars.begin(), scalars.end(), c);
    });
}

CharacterSet CharacterSet::whitespaces() {
    return CharacterSet(isSpaceSeparator);
}

CharacterSet CharacterSet::whitespacesAndNewlines() {
    return CharacterSet(isSpaceOrNewline);
}

bool isBlank(std::string_view text) {
    return allScalars(text, isSpaceSeparator);
}

bool isBlank(const std::optional<std::string>& text) {
    return !text || isBlank(std::string_view(*text));
}

bool isEmpty(const std::optional<std::string>& text) {
    return !text || text->empty();
}

std::optional<std::string> nilIfEmpty(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return std::string(text);
}

std::optional<std::string> nilIfEmpty(const std::optional<std::string>& text) {
    return isEmpty(text) ? std::nullopt : text;
}

std::optional<std::string> nilIfBlank(std::string_view text) {
    if (isBlank(text)) {
        return std::nullopt;
    }
    return std::string(text);
}

std::string emptyIfNil(const std::optional<std::string>& text) {
    return text.value_or(std::string());
}

std::string orDefaultIfBlank(std::string_view text, std::string_view fallback) {
    return std::string(isBlank(text) ? fallback : text);
}

std::string orDefaultIfBlank(const std::optional<std::string>& text, std::string_view fallback) {
    return isBlank(text) ? std::string(fallback) : *text;
}

std::string orDefaultIfEmpty(const std::optional<std::string>& text, std::string_view fallback) {
    return isEmpty(text) ? std::string(fallback) : *text;
}

std::string stringReplaceEmptyBy(const std::optional<std::string>& text,
                                 std::string_view replacement) {
    return orDefaultIfEmpty(text, replacement);
}

std::string trimmingLeft(std::string_view text) {
    const auto range = coreRange(text, isSpaceOrNewline);
    return std::string(range ? text.substr(range->first) : text);
}

std::string trimmingRight(std::string_view text) {
    const auto range = coreRange(text, isSpaceOrNewline);
    return std::string(range ? text.substr(0, range->second) : text);
}

std::string trimmed(std::string_view text, const CharacterSet& set) {
    const auto range = coreRange(text, [&](char32_t c) { return set.contains(c); });
    return range ? std::string(text.substr(range->first, range->second - range->first))
                 : std::string();
}

std::string chompedPrefix(std::string_view text, std::string_view prefix) {
    const std::size_t pos = text.find(prefix);
    if (prefix.empty() || pos == std::string_view::npos) {
        return std::string(text);
    }
    const std::size_t end = pos + prefix.size();
    return std::string(end < text.size() ? text.substr(end) : text.substr(0, pos));
}

std::string chompedSuffix(std::string_view text, std::string_view suffix) {
    const std::size_t pos = text.rfind(suffix);
    if (suffix.empty() || pos == std::string_view::npos) {
        return std::string(text);
    }
    const std::size_t end = pos + suffix.size();
    return std::string(end < text.size() ? text.substr(end) : text.substr(0, pos));
}

bool isEqualCaseInsensitive(std::string_view text, std::string_view other) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) {
        return false;
    }
    icu::UnicodeString a = unicodeFromUTF8(text);
    icu::UnicodeString b = unicodeFromUTF8(other);
    a.foldCase(U_FOLD_CASE_DEFAULT);
    b.foldCase(U_FOLD_CASE_DEFAULT);
    const icu::UnicodeString na = nfd->normalize(a, status);
    const icu::UnicodeString nb = nfd->normalize(b, status);
    return U_SUCCESS(status) && na == nb;
}

std::int64_t characterCount(std::string_view text) {
    return static_cast<std::int64_t>(graphemeBoundaries(text).size()) - 1;
}

std::string characterAt(std::string_view text, std::int64_t index) {
    const std::vector<std::size_t> bounds = graphemeBoundaries(text);
    const auto count = static_cast<std::int64_t>(bounds.size()) - 1;
    if (index < 0 || index >= count) {
        throw std::out_of_range("character position outside the text");
    }
    const auto i = static_cast<std::size_t>(index);
    return std::string(text.substr(bounds[i], bounds[i + 1] - bounds[i]));
}

std::string characters(std::string_view text, std::int64_t from, std::int64_t to) {
    const std::vector<std::size_t> bounds = graphemeBoundaries(text);
    const auto count = static_cast<std::int64_t>(bounds.size()) - 1;
    if (from < 0 || from > to || to > count) {
        throw std::out_of_range("character range outside the text");
    }
    const std::size_t begin = bounds[static_cast<std::size_t>(from)];
    return std::string(text.substr(begin, bounds[static_cast<std::size_t>(to)] - begin));
}

std::string paddingToLeft(std::string_view text, std::int64_t length, std::string_view pad,
                          bool clipIfLonger) {
    const std::vector<std::size_t> bounds = graphemeBoundaries(text);
    const auto count = static_cast<std::int64_t>(bounds.size()) - 1;
    if (count == length) {
        return std::string(text);
    }
    if (count < length) {
        std::string out;
        const auto repeats = static_cast<std::size_t>(length - count);
        out.reserve(pad.size() * repeats + text.size());
        for (std::size_t i = 0; i < repeats; ++i) {
            out.append(pad);
        }
        out.append(text);
        return out;
    }
    if (!clipIfLonger) {
        return std::string(text);
    }
    const std::int64_t keep = std::max<std::int64_t>(length, 0);
    return std::string(text.substr(bounds[static_cast<std::size_t>(count - keep)]));
}

std::string uuidString() {
    return Uuid::random().uuidString();
}

int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string base64(const Data& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4 + bytes.size() / 24);
    std::size_t lineLength = 0;
    const auto put = [&](char c) {
        if (lineLength == 64) {
            out.append("\r\n");
            lineLength = 0;
        }
        out.push_back(c);
        ++lineLength;
    };
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        const std::uint32_t chunk = (std::uint32_t{bytes[i]} << 16U) |
                                    (left > 1 ? std::uint32_t{bytes[i + 1]} << 8U : 0U) |
                                    (left > 2 ? std::uint32_t{bytes[i + 2]} : 0U);
        put(kBase64Alphabet[(chunk >> 18U) & 0x3FU]);
        put(kBase64Alphabet[(chunk >> 12U) & 0x3FU]);
        put(left > 1 ? kBase64Alphabet[(chunk >> 6U) & 0x3FU] : '=');
        put(left > 2 ? kBase64Alphabet[chunk & 0x3FU] : '=');
    }
    return out;
}

std::string base64(std::string_view text) {
    return base64(toUTF8Data(text));
}

std::optional<Data> decodeBase64Data(std::string_view text) {
    std::vector<std::uint8_t> values;
    values.reserve(text.size());
    std::size_t padding = 0;
    for (const char c : text) {
        if (c == '=') {
            ++padding;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0) {
            continue;
        }
        if (padding > 0) {
            return std::nullopt; // data after the padding
        }
        values.push_back(static_cast<std::uint8_t>(value));
    }
    const std::size_t tail = values.size() % 4;
    if ((values.size() + padding) % 4 != 0 || padding > 2 || tail == 1 ||
        (padding > 0 && padding != 4 - tail)) {
        return std::nullopt;
    }
    Data out;
    out.reserve(values.size() / 4 * 3 + 2);
    std::uint32_t buffer = 0;
    unsigned bits = 0;
    for (const std::uint8_t v : values) {
        buffer = (buffer << 6U) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFFU));
        }
    }
    return out;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    auto bytes = decodeBase64Data(text);
    if (!bytes) {
        return std::nullopt;
    }
    std::string decoded(bytes->begin(), bytes->end());
    if (!isValidUTF8(decoded)) {
        return std::nullopt;
    }
    return decoded;
}

std::optional<Data> toData(std::string_view text, TextEncoding encoding) {
    if (!isValidUTF8(text)) {
        return std::nullopt;
    }
    if (encoding == TextEncoding::utf8) {
        return toUTF8Data(text);
    }
    const Converter converter = strictConverter(encoding);
    if (!converter) {
        return std::nullopt;
    }
    const icu::UnicodeString unicode = unicodeFromUTF8(text);
    const auto capacity = static_cast<std::size_t>(UCNV_GET_MAX_BYTES_FOR_STRING(
                              unicode.length(), ucnv_getMaxCharSize(converter.get()))) +
                          8;
    Data out(capacity);
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t written = ucnv_fromUChars(
        converter.get(), reinterpret_cast<char*>(out.data()), static_cast<std::int32_t>(out.size()),
        unicode.getBuffer(), unicode.length(), &status);
    if (U_FAILURE(status) || written < 0) {
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(written));
    return out;
}

Data toUTF8Data(std::string_view text) {
    return Data(text.begin(), text.end());
}

std::optional<std::string> toString(const Data& bytes, TextEncoding encoding) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (encoding == TextEncoding::utf8) {
        return isValidUTF8(raw) ? std::optional<std::string>(std::string(raw)) : std::nullopt;
    }
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / 2)) {
        return std::nullopt;
    }
    const Converter converter = strictConverter(encoding);
    if (!converter) {
        return std::nullopt;
    }
    // No encoding we offer yields more UTF-16 units than it has bytes, plus a BOM's slack.
    std::vector<UChar> units(bytes.size() + 2);
    UErrorCode status = U_ZERO_ERROR;
    const std::int32_t length =
        ucnv_toUChars(converter.get(), units.data(), static_cast<std::int32_t>(units.size()),
                      raw.data(), static_cast<std::int32_t>(raw.size()), &status);
    if (U_FAILURE(status) || length < 0) {
        return std::nullopt;
    }
    return utf8FromUnicode(icu::UnicodeString(units.data(), length));
}

std::string toUTF8String(const Data& bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string out;
    out.reserve(raw.size());
    std::size_t pos = 0;
    while (pos < raw.size()) {
        const std::size_t start = pos;
        if (detail::decodeUTF8(raw, pos)) {
            out.append(raw.substr(start, pos - start));
        } else {
            out.append("\xEF\xBF\xBD");
        }
    }
    return out;
}

bool isValidUTF8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!detail::decodeUTF8(bytes, pos)) {
            return false;
        }
    }
    return true;
}

} // namespace core
