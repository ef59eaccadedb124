#pragma once

#include "core/calendar.hpp"
#include "core/date.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace core {

/// The length of a date or time text, as the locale writes it.
enum class DateStyle { none, short_, medium, long_, full };

/// Formats and parses dates through ICU. Every operation takes an internal lock, so one
/// formatter may be shared by several threads; changing a setting rebuilds the ICU format.
class DateFormatter {
public:
    /// A formatter with the current calendar (zone and week rules) and locale as they stand now,
    /// no pattern and both styles none.
    DateFormatter();
    /// A formatter that reads the current calendar and locale afresh at each use, so that it
    /// follows changes of the process's settings.
    static std::shared_ptr<DateFormatter> autoupdatingCurrent();
    ~DateFormatter();
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    /// Uses a TR35 pattern such as "yyyy-MM-dd'T'HH:mm:ss"; replaces any styles or skeleton.
    void setDateFormat(std::string pattern);
    /// Uses the locale's best pattern for a TR35 skeleton such as "yMd" or "yMMM".
    void setLocalizedDateFormatFromTemplate(std::string skeleton);
    /// Uses the locale's date style; replaces any pattern.
    void setDateStyle(DateStyle style);
    /// Uses the locale's time style; replaces any pattern.
    void setTimeStyle(DateStyle style);
    /// Writes nearby days as words ("Today", "Yesterday") when a date style is set.
    void setDoesRelativeDateFormatting(bool relative);
    /// The calendar whose zone, week rules and fields the formatter uses.
    void setCalendar(const Calendar& calendar);
    /// The time zone (an IANA id); throws std::invalid_argument for an id ICU does not know.
    void setTimeZone(const std::string& zoneId);
    /// The locale (an ICU or POSIX locale id such as "en_US_POSIX" or "de_DE.UTF-8").
    void setLocale(const std::string& localeId);
    /// Lenient parsing accepts near misses; off by default.
    void setLenient(bool lenient);

    /// The pattern set by setDateFormat, or the one the styles or skeleton resolved to.
    std::string dateFormat() const;
    /// The locale id in use.
    std::string localeId() const;
    /// The time-zone id in use.
    std::string timeZoneId() const;

    /// The text of `date`; empty when both styles are none and no pattern is set, or when the
    /// date is not finite.
    std::string string(Date date) const;
    /// The date the whole of `text` denotes; absent when it does not match exactly (a partial
    /// match or trailing text is no date).
    std::optional<Date> date(std::string_view text) const;

private:
    struct State;
    void rebuildLocked() const;
    void refreshLocked() const;

    mutable std::mutex m_mutex;
    std::unique_ptr<State> m_state;
};

} // namespace core
