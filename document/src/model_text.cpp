#include "model_text.hpp"

#include "core/string_utils.hpp"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <charconv>
#include <memory>

namespace document::detail {

std::optional<std::int64_t> parseInt64Strict(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return std::nullopt;
    }
    // from_chars parses the magnitude only; the sign is applied with the range check so that
    // INT64_MIN stays reachable.
    std::uint64_t magnitude = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, magnitude);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    constexpr auto kMaxPositive = static_cast<std::uint64_t>(INT64_MAX);
    if (negative) {
        if (magnitude > kMaxPositive + 1) {
            return std::nullopt;
        }
        if (magnitude == kMaxPositive + 1) {
            return INT64_MIN;
        }
        return -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > kMaxPositive) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(magnitude);
}

std::vector<std::string_view> splitDroppingEmpty(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const auto end = text.find(separator, begin);
        const auto stop = end == std::string_view::npos ? text.size() : end;
        if (stop > begin) {
            pieces.push_back(text.substr(begin, stop - begin));
        }
        if (end == std::string_view::npos) {
            break;
        }
        begin = end + 1;
    }
    return pieces;
}

namespace {

std::string firstGraphemeLowered(std::string_view word) {
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(word.data(), static_cast<int32_t>(word.size())));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> graphemes(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    std::int32_t end = text.length() > 0 ? 1 : 0;
    if (U_SUCCESS(status) && graphemes) {
        graphemes->setText(text);
        graphemes->first();
        const auto next = graphemes->next();
        if (next != icu::BreakIterator::DONE) {
            end = next;
        }
    } else if (text.length() > 0) {
        // Without break rules, fall back to the first code point.
        end = U16_IS_LEAD(text.charAt(0)) && text.length() > 1 ? 2 : 1;
    }
    icu::UnicodeString first(text, 0, end);
    first.toLower(icu::Locale::getRoot());
    std::string out;
    first.toUTF8String(out);
    return out;
}

} // namespace

std::string initialsOf(std::string_view name) {
    std::string initials;
    for (const auto piece : splitDroppingEmpty(name, ' ')) {
        if (!core::isBlank(piece)) {
            initials += firstGraphemeLowered(piece);
        }
    }
    return initials;
}

} // namespace document::detail
