#include "core/date_formatter.hpp"

#include "calendar_impl.hpp"

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/parsepos.h>
#include <unicode/smpdtfmt.h>
#include <unicode/uchar.h>
#include <unicode/udisplaycontext.h>
#include <unicode/unistr.h>

#include <cmath>
#include <stdexcept>

namespace core {

namespace {

enum class Mode { styles, pattern, skeleton };

icu::DateFormat::EStyle icuStyle(DateStyle style) noexcept {
    switch (style) {
    case DateStyle::none:
        return icu::DateFormat::kNone;
    case DateStyle::short_:
        return icu::DateFormat::kShort;
    case DateStyle::medium:
        return icu::DateFormat::kMedium;
    case DateStyle::long_:
        return icu::DateFormat::kLong;
    case DateStyle::full:
        return icu::DateFormat::kFull;
    }
    return icu::DateFormat::kNone;
}

std::string utf8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

std::int32_t whiteSpaceCount(const icu::UnicodeString& text) {
    std::int32_t count = 0;
    for (std::int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        if (u_isUWhiteSpace(text.char32At(i))) {
            ++count;
        }
    }
    return count;
}

// The literal text after the last field of a TR35 pattern, white space left out. ICU accepts a
// text that ends before such a literal, so strict parsing checks it separately.
icu::UnicodeString trailingLiteral(const icu::UnicodeString& pattern) {
    icu::UnicodeString literal;
    bool quoted = false;
    for (std::int32_t i = 0; i < pattern.length(); ++i) {
        const char16_t c = pattern.charAt(i);
        if (c == u'\'') {
            if (i + 1 < pattern.length() && pattern.charAt(i + 1) == u'\'') {
                literal += c; // '' stands for one quote, in quoted text or not
                ++i;
            } else {
                quoted = !quoted;
            }
            continue;
        }
        if (!quoted && ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))) {
            literal.remove(); // a field: only what follows the last one counts
        } else if (!u_isUWhiteSpace(c)) {
            literal += c;
        }
    }
    return literal;
}

bool endsWithIgnoringWhiteSpace(const icu::UnicodeString& text, const icu::UnicodeString& end) {
    if (end.isEmpty()) {
        return true;
    }
    icu::UnicodeString compact;
    for (std::int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        const UChar32 c = text.char32At(i);
        if (!u_isUWhiteSpace(c)) {
            compact.append(c);
        }
    }
    return compact.endsWith(end);
}

} // namespace

struct DateFormatter::State {
    bool autoupdating = false;
    Calendar calendar = Calendar::current();
    std::string zoneId = calendar.timeZoneId();
    std::string localeId = calendar.settings().localeId;
    CalendarSettings applied = calendar.settings();
    Mode mode = Mode::styles;
    std::string pattern;
    std::string skeleton;
    DateStyle dateStyle = DateStyle::none;
    DateStyle timeStyle = DateStyle::none;
    bool relative = false;
    bool lenient = false;
    bool dirty = true;
    std::unique_ptr<icu::DateFormat> format;
    icu::UnicodeString trailingLiteral;
};

DateFormatter::DateFormatter() : m_state(std::make_unique<State>()) {}

DateFormatter::~DateFormatter() = default;

std::shared_ptr<DateFormatter> DateFormatter::autoupdatingCurrent() {
    auto formatter = std::make_shared<DateFormatter>();
    formatter->m_state->autoupdating = true;
    return formatter;
}

void DateFormatter::setDateFormat(std::string pattern) {
    const std::lock_guard lock(m_mutex);
    m_state->mode = Mode::pattern;
    m_state->pattern = std::move(pattern);
    m_state->dirty = true;
}

void DateFormatter::setLocalizedDateFormatFromTemplate(std::string skeleton) {
    const std::lock_guard lock(m_mutex);
    m_state->mode = Mode::skeleton;
    m_state->skeleton = std::move(skeleton);
    m_state->dirty = true;
}

void DateFormatter::setDateStyle(DateStyle style) {
    const std::lock_guard lock(m_mutex);
    m_state->mode = Mode::styles;
    m_state->dateStyle = style;
    m_state->dirty = true;
}

void DateFormatter::setTimeStyle(DateStyle style) {
    const std::lock_guard lock(m_mutex);
    m_state->mode = Mode::styles;
    m_state->timeStyle = style;
    m_state->dirty = true;
}

void DateFormatter::setDoesRelativeDateFormatting(bool relative) {
    const std::lock_guard lock(m_mutex);
    m_state->relative = relative;
    m_state->dirty = true;
}

void DateFormatter::setCalendar(const Calendar& calendar) {
    const std::lock_guard lock(m_mutex);
    m_state->calendar = calendar;
    m_state->dirty = true;
}

void DateFormatter::setTimeZone(const std::string& zoneId) {
    if (!detail::isKnownZone(zoneId)) {
        throw std::invalid_argument("unknown time zone: " + zoneId);
    }
    const std::lock_guard lock(m_mutex);
    m_state->zoneId = zoneId;
    m_state->dirty = true;
}

void DateFormatter::setLocale(const std::string& localeId) {
    const std::lock_guard lock(m_mutex);
    m_state->localeId = detail::icuLocaleId(localeId);
    m_state->dirty = true;
}

void DateFormatter::setLenient(bool lenient) {
    const std::lock_guard lock(m_mutex);
    m_state->lenient = lenient;
    m_state->dirty = true;
}

std::string DateFormatter::dateFormat() const {
    const std::lock_guard lock(m_mutex);
    refreshLocked();
    if (m_state->mode == Mode::pattern) {
        return m_state->pattern;
    }
    if (const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(m_state->format.get())) {
        icu::UnicodeString pattern;
        simple->toPattern(pattern);
        return utf8(pattern);
    }
    return {};
}

std::string DateFormatter::localeId() const {
    const std::lock_guard lock(m_mutex);
    refreshLocked();
    return m_state->localeId;
}

std::string DateFormatter::timeZoneId() const {
    const std::lock_guard lock(m_mutex);
    refreshLocked();
    return m_state->zoneId;
}

void DateFormatter::refreshLocked() const {
    State& state = *m_state;
    if (state.autoupdating) {
        CalendarSettings settings = CalendarSettings::current();
        if (!(settings == state.applied)) {
            state.calendar = Calendar::withSettings(settings);
            state.zoneId = settings.zoneId;
            state.localeId = settings.localeId;
            state.applied = std::move(settings);
            state.dirty = true;
        }
    }
    if (state.dirty) {
        rebuildLocked();
    }
}

void DateFormatter::rebuildLocked() const {
    State& state = *m_state;
    state.format.reset();
    state.dirty = false;
    const icu::Locale locale(state.localeId.c_str());
    UErrorCode status = U_ZERO_ERROR;
    switch (state.mode) {
    case Mode::pattern:
        state.format = std::make_unique<icu::SimpleDateFormat>(
            icu::UnicodeString::fromUTF8(state.pattern), locale, status);
        break;
    case Mode::skeleton: {
        std::unique_ptr<icu::DateTimePatternGenerator> generator(
            icu::DateTimePatternGenerator::createInstance(locale, status));
        if (U_FAILURE(status)) {
            return;
        }
        const icu::UnicodeString best =
            generator->getBestPattern(icu::UnicodeString::fromUTF8(state.skeleton), status);
        state.format = std::make_unique<icu::SimpleDateFormat>(best, locale, status);
        break;
    }
    case Mode::styles: {
        if (state.dateStyle == DateStyle::none && state.timeStyle == DateStyle::none) {
            return;
        }
        auto dateStyle = icuStyle(state.dateStyle);
        if (state.relative && state.dateStyle != DateStyle::none) {
            dateStyle =
                static_cast<icu::DateFormat::EStyle>(dateStyle | icu::DateFormat::kRelative);
        }
        state.format.reset(
            icu::DateFormat::createDateTimeInstance(dateStyle, icuStyle(state.timeStyle), locale));
        if (state.format && state.relative) {
            state.format->setContext(UDISPCTX_CAPITALIZATION_FOR_BEGINNING_OF_SENTENCE, status);
        }
        break;
    }
    }
    if (U_FAILURE(status) || !state.format) {
        state.format.reset();
        return;
    }
    const detail::WorkingCalendar working(state.calendar.impl());
    std::unique_ptr<icu::Calendar> calendar((*working).clone());
    state.format->adoptCalendar(calendar.release());
    if (auto zone = detail::makeKnownZone(state.zoneId)) {
        state.format->adoptTimeZone(zone.release());
    }
    state.format->setLenient(state.lenient);
    state.trailingLiteral.remove();
    if (const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(state.format.get())) {
        icu::UnicodeString pattern;
        simple->toPattern(pattern);
        state.trailingLiteral = trailingLiteral(pattern);
    }
    if (!state.lenient) {
        for (const UDateFormatBooleanAttribute attribute :
             {UDAT_PARSE_ALLOW_WHITESPACE, UDAT_PARSE_ALLOW_NUMERIC,
              UDAT_PARSE_PARTIAL_LITERAL_MATCH, UDAT_PARSE_MULTIPLE_PATTERNS_FOR_MATCH}) {
            state.format->setBooleanAttribute(attribute, false, status);
        }
    }
}

std::string DateFormatter::string(Date date) const {
    const double seconds = date.timeIntervalSince1970();
    if (!std::isfinite(seconds) || std::fabs(seconds) > detail::kMaxAbsSeconds) {
        return {};
    }
    const std::lock_guard lock(m_mutex);
    refreshLocked();
    if (!m_state->format) {
        return {};
    }
    icu::UnicodeString text;
    m_state->format->format(seconds * 1000.0, text);
    return utf8(text);
}

std::optional<Date> DateFormatter::date(std::string_view text) const {
    constexpr std::size_t kLongestDateText = 4096; // no date is written longer
    if (text.size() > kLongestDateText) {
        return std::nullopt;
    }
    const std::lock_guard lock(m_mutex);
    refreshLocked();
    icu::DateFormat* format = m_state->format.get();
    if (format == nullptr) {
        return std::nullopt;
    }
    const icu::UnicodeString input = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    const bool strict = !m_state->lenient;
    const auto parseWhole = [&]() -> std::optional<Date> {
        icu::ParsePosition position(0);
        const UDate millis = format->parse(input, position);
        if (position.getErrorIndex() >= 0 || position.getIndex() != input.length()) {
            return std::nullopt;
        }
        if (strict && !endsWithIgnoringWhiteSpace(input, m_state->trailingLiteral)) {
            return std::nullopt;
        }
        // ICU skips white space before any field, even when strict: the text must have as much
        // white space as the same date written back.
        if (strict) {
            icu::UnicodeString written;
            format->format(millis, written);
            if (whiteSpaceCount(written) != whiteSpaceCount(input)) {
                return std::nullopt;
            }
        }
        return Date(millis / 1000.0);
    };
    if (auto parsed = parseWhole()) {
        return parsed;
    }
    if (m_state->lenient) {
        return std::nullopt;
    }
    // A strict calendar also rejects a wall time that a daylight-saving change skips. Check the
    // fields against a zone without gaps; if they are valid there, resolve them leniently
    // (forward across the gap) in the real zone.
    format->setTimeZone(*icu::TimeZone::getGMT());
    const bool validFields = parseWhole().has_value();
    if (auto zone = detail::makeKnownZone(m_state->zoneId)) {
        format->adoptTimeZone(zone.release());
    }
    if (!validFields) {
        return std::nullopt;
    }
    format->setCalendarLenient(true);
    auto resolved = parseWhole();
    format->setCalendarLenient(false);
    return resolved;
}

} // namespace core
