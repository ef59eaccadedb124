#pragma once

#include "core/date.hpp"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace core {

/// A field of a calendar date.
enum class CalendarComponent {
    era,
    year,
    month,
    day,
    hour,
    minute,
    second,
    weekday,
    weekdayOrdinal,
    weekOfMonth,
    weekOfYear,
    yearForWeekOfYear,
};

/// A set of calendar fields, each present or absent.
struct DateComponents {
    std::optional<std::int64_t> era{};
    std::optional<std::int64_t> year{};
    std::optional<std::int64_t> month{};
    std::optional<std::int64_t> day{};
    std::optional<std::int64_t> hour{};
    std::optional<std::int64_t> minute{};
    std::optional<std::int64_t> second{};
    std::optional<std::int64_t> weekday{};
    std::optional<std::int64_t> weekdayOrdinal{};
    std::optional<std::int64_t> weekOfMonth{};
    std::optional<std::int64_t> weekOfYear{};
    std::optional<std::int64_t> yearForWeekOfYear{};

    /// The field's value, absent when not set.
    std::optional<std::int64_t> value(CalendarComponent component) const noexcept;
    /// Sets (or clears, with an absent value) one field.
    void setValue(CalendarComponent component, std::optional<std::int64_t> value) noexcept;

    friend bool operator==(const DateComponents&, const DateComponents&) = default;
};

/// The settings that make a calendar: time zone, locale and optional week-rule overrides.
struct CalendarSettings {
    /// IANA time-zone id, e.g. "Europe/Berlin".
    std::string zoneId;
    /// ICU locale id, e.g. "de_DE" or "en_US_POSIX".
    std::string localeId;
    /// First day of the week (1 = Sunday ... 7 = Saturday); absent means the locale's.
    std::optional<int> firstWeekday;
    /// Minimum days in the first week of a year (1...7); absent means the locale's.
    std::optional<int> minimumDaysInFirstWeek;

    /// The process's settings now: the innermost test override, else TZ (or /etc/localtime) and
    /// LC_ALL (or LANG), read afresh.
    static CalendarSettings current();

    friend bool operator==(const CalendarSettings&, const CalendarSettings&) = default;
};

/// Pins the process's current calendar settings (and ICU's default time zone) for its lifetime;
/// overrides nest, the innermost wins. Meant for tests.
class ScopedCalendarOverride {
public:
    /// Pins the zone and locale; throws std::invalid_argument for a zone id ICU does not know.
    ScopedCalendarOverride(std::string_view zoneId, std::string_view localeId,
                           std::optional<int> firstWeekday = {},
                           std::optional<int> minimumDaysInFirstWeek = {});
    /// Pins the given settings; throws std::invalid_argument for a zone id ICU does not know.
    explicit ScopedCalendarOverride(CalendarSettings settings);
    /// Removes this override; the settings in force before it return.
    ~ScopedCalendarOverride();
    ScopedCalendarOverride(const ScopedCalendarOverride&) = delete;
    ScopedCalendarOverride& operator=(const ScopedCalendarOverride&) = delete;

private:
    std::uint64_t m_token;
};

namespace detail {
struct CalendarImpl;
}

/// A Gregorian calendar in one time zone and locale: an immutable, cheaply copied value, safe to
/// use from any number of threads at once.
class Calendar {
public:
    /// The user's calendar as the process's settings stand now (see CalendarSettings::current()).
    static Calendar current();
    /// A Gregorian calendar in the current time zone with no locale week rules: the week starts
    /// on Sunday and the first week of a year needs one day.
    static Calendar gregorian();
    /// A Gregorian calendar with the given settings; throws std::invalid_argument for a zone id
    /// ICU does not know.
    static Calendar withSettings(const CalendarSettings& settings);

    /// The settings this calendar was made from, week rules resolved to the locale's values.
    const CalendarSettings& settings() const noexcept;
    /// The IANA id of the calendar's time zone.
    const std::string& timeZoneId() const noexcept;
    /// The first day of the week, 1 = Sunday ... 7 = Saturday.
    int firstWeekday() const noexcept;
    /// The minimum number of days of a year's first week.
    int minimumDaysInFirstWeek() const noexcept;

    /// The value of one field of `date`; absent only when the date lies outside the calendar's
    /// range or is not finite.
    std::optional<std::int64_t> component(CalendarComponent which, Date date) const;
    /// The values of the listed fields of `date`, all from one computation; others stay absent.
    DateComponents dateComponents(std::initializer_list<CalendarComponent> components,
                                  Date date) const;
    /// The date the set fields describe, unset fields taking their smallest value; lenient
    /// (out-of-range fields carry), a wall time in a daylight-saving gap moves forward by the
    /// gap's length, a repeated wall time takes its first occurrence. Absent when no date results.
    std::optional<Date> date(const DateComponents& components) const;
    /// `date` moved by `value` units of `component` (larger fields carry, day-based units keep
    /// the wall-clock time, a day missing in the target month falls back to its last day).
    /// Absent when no date results.
    std::optional<Date> dateByAdding(CalendarComponent which, std::int64_t value, Date date) const;
    /// The whole units of `component` from `from` to `to` (partial unit dropped, toward zero);
    /// absent when either date is out of range. Days counted from the start of a day whose
    /// midnight does not exist step from day start to day start, so such a day counts whole.
    std::optional<std::int64_t> difference(CalendarComponent which, Date from, Date to) const;
    /// True when both dates lie on the same local day of this calendar; false when either lies
    /// outside the calendar's range.
    bool isDateInSameDay(Date a, Date b) const noexcept;
    /// The range [lower, upper) that a field can take in any date; absent for fields without one.
    std::optional<std::pair<int, int>> maximumRange(CalendarComponent which) const noexcept;

    /// Days since 1970-01-01 of the local calendar date of `date` (no ICU call in the common
    /// range 1800...2300).
    std::int64_t localDayNumber(Date date) const noexcept;
    /// The first instant of local day `dayNumber`: its midnight, or, where midnight does not
    /// exist, the first instant after the daylight-saving gap.
    Date startOfLocalDay(std::int64_t dayNumber) const noexcept;
    /// The first instant of the local day holding `date`; `date` itself when it lies outside the
    /// calendar's range.
    Date startOfDay(Date date) const noexcept;
    /// The instant of a local wall-clock time on a proleptic Gregorian date: a time inside a
    /// daylight-saving gap moves forward by the gap's length, a repeated time takes its first
    /// occurrence. Absent when month (1...12), day (1...days in month), hour (0...23), minute
    /// (0...59) or second ([0, 60)) is out of range.
    std::optional<Date> dateFromLocal(std::int64_t year, int month, int day, int hour = 0,
                                      int minute = 0, double second = 0.0) const noexcept;
    /// The offset of local time from UTC at `date`, in seconds.
    std::int32_t utcOffset(Date date) const noexcept;

    /// The weekday of a day number: 1 = Sunday ... 7 = Saturday.
    static int weekdayOfDayNumber(std::int64_t dayNumber) noexcept;
    /// The day number (days since 1970-01-01) of a proleptic Gregorian date; month and day are
    /// not checked.
    static std::int64_t dayNumberFromCivil(std::int64_t year, int month, int day) noexcept;

    /// Year, month (1...12) and day (1...31) of a proleptic Gregorian date.
    struct CivilDate {
        std::int64_t year;
        int month;
        int day;
        friend bool operator==(const CivilDate&, const CivilDate&) = default;
    };
    /// The proleptic Gregorian date of a day number.
    static CivilDate civilFromDayNumber(std::int64_t dayNumber) noexcept;

    /// Two calendars are equal when they were made from equal settings.
    friend bool operator==(const Calendar& a, const Calendar& b) noexcept;

    /// The implementation shared by copies; for the library's own formatters.
    const detail::CalendarImpl& impl() const noexcept { return *m_impl; }

private:
    explicit Calendar(std::shared_ptr<const detail::CalendarImpl> impl) noexcept;
    std::shared_ptr<const detail::CalendarImpl> m_impl;
};

} // namespace core
