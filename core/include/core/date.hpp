#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

class Calendar;
enum class CalendarComponent;
enum class DateStyle;

/// An absolute point in time: seconds since 1970-01-01 00:00:00 UTC, as a double (ICU's UDate
/// divided by 1000). The calendar operations below use the current calendar
/// (`Calendar::current()`, read afresh at each call) unless a calendar is passed.
class Date {
public:
    /// The reference instant 1970-01-01 00:00:00 UTC.
    constexpr Date() noexcept = default;
    /// The instant `secondsSince1970` seconds after 1970-01-01 00:00:00 UTC.
    constexpr explicit Date(double secondsSince1970) noexcept : m_seconds(secondsSince1970) {}

    /// The current moment of the system clock.
    static Date now() noexcept;
    /// The date `unix` seconds after 1970-01-01 00:00:00 UTC.
    static constexpr Date create(double unix) noexcept { return Date(unix); }
    /// The seconds since 1970-01-01 00:00:00 UTC of `date`.
    static constexpr double unix(Date date) noexcept { return date.m_seconds; }
    /// The start of year/month/day in `calendar`; out-of-range fields carry (month 13 is January
    /// of the next year). Absent when no date results.
    static std::optional<Date> create(std::int64_t year, std::int64_t month, std::int64_t day,
                                      const Calendar& calendar);
    /// The start of the current day in the current calendar.
    static Date today();
    /// The date that the whole of `text` denotes in the TR35 pattern `format`, read strictly in
    /// the current time zone and locale; absent on any mismatch, partial match or trailing text.
    static std::optional<Date> parse(std::string_view text, std::string_view format);

    /// Seconds since 1970-01-01 00:00:00 UTC.
    constexpr double timeIntervalSince1970() const noexcept { return m_seconds; }
    /// Seconds from `other` to this date: positive when this date is later.
    constexpr double timeIntervalSince(Date other) const noexcept {
        return m_seconds - other.m_seconds;
    }

    /// This date moved by `years` calendar years (a missing day falls back to the month's last);
    /// absent when no date results.
    std::optional<Date> addingByYears(std::int64_t years) const;
    /// This date moved by `months` calendar months (31 January + 1 gives the last day of
    /// February, same time); absent when no date results.
    std::optional<Date> addingByMonths(std::int64_t months) const;
    /// This date moved by `days` calendar days, wall-clock time kept; 0 returns this date
    /// unchanged. Absent when no date results.
    std::optional<Date> addingByDays(std::int64_t days) const;
    /// This date moved by `hours` hours of elapsed time; absent when no date results.
    std::optional<Date> addingByHours(std::int64_t hours) const;
    /// This date moved by `minutes` minutes of elapsed time; absent when no date results.
    std::optional<Date> addingByMinutes(std::int64_t minutes) const;
    /// This date moved by `seconds` seconds; absent when no date results.
    std::optional<Date> addingBySeconds(std::int64_t seconds) const;

    /// The first instant of this date's day in `calendar`'s time zone; this date unchanged when
    /// it lies outside the calendar's range (about 5.7 million years either side of 1970).
    Date toDayOnly(const Calendar& calendar) const;
    /// The start of day 1 of this date's month; absent when no date results.
    std::optional<Date> firstDayInSameMonth() const;
    /// The start of the last day of this date's month; absent when no date results.
    std::optional<Date> lastDayInSameMonth() const;
    /// The start of the first day of this date's week, the week starting on `calendar`'s first
    /// weekday (weekday and day start from the current calendar); this date unchanged when it lies
    /// outside the calendar's range.
    Date firstDayInSameWeek(const Calendar& calendar) const;

    /// The calendar year (0 for a date outside the calendar's range, as for all getters).
    std::int64_t year() const;
    /// The month, 1...12.
    std::int64_t month() const;
    /// The day of the month.
    std::int64_t day() const;
    /// The weekday, 1 = Sunday ... 7 = Saturday.
    std::int64_t weekday() const;
    /// The week of the month, by the locale's week rules.
    std::int64_t weekOfMonth() const;
    /// The week of the year, by the locale's first weekday and minimum days in the first week.
    std::int64_t weekOfYear() const;
    /// The hour, 0...23.
    std::int64_t hour() const;
    /// The minute, 0...59.
    std::int64_t minute() const;
    /// The second, 0...59.
    std::int64_t second() const;
    /// The value of any one field (0 outside the calendar's range).
    std::int64_t getComponent(CalendarComponent component) const;
    /// Year, month, day, hour, minute and second, in this order, from one computation; all
    /// absent outside the calendar's range.
    std::array<std::optional<std::int64_t>, 6> getComponents() const;

    /// True when the weekday is the first or the last of the calendar's weekday range (Sunday or
    /// Saturday), whatever the locale counts as its weekend.
    bool isWeekend() const;
    /// True when this date and `other` fall on the same day of `calendar`.
    bool isInSameDay(Date other, const Calendar& calendar) const;

    /// Whole calendar years from `after` to this date, toward zero (0 when out of range, as for
    /// all differences).
    std::int64_t years(Date after) const;
    /// Whole calendar months from `after` to this date, toward zero.
    std::int64_t months(Date after) const;
    /// Whole weeks (seven-day spans of calendar days) from `after` to this date, toward zero.
    std::int64_t weeks(Date after) const;
    /// Whole calendar days from `after` to this date, toward zero: a 23-hour daylight-saving day
    /// counts as one, 12 hours as none.
    std::int64_t days(Date after) const;
    /// Whole hours from `after` to this date, toward zero.
    std::int64_t hours(Date after) const;
    /// Whole minutes from `after` to this date, toward zero.
    std::int64_t minutes(Date after) const;
    /// Whole seconds from `after` to this date, toward zero.
    std::int64_t seconds(Date after) const;
    /// Milliseconds from `after` to this date, truncated toward zero, saturated to the 64-bit
    /// range (0 for a NaN difference).
    std::int64_t milliseconds(Date after) const;

    /// The date in the TR35 pattern `format`, in the current time zone and locale.
    std::string toString(std::string_view format) const;
    /// The date in the locale's styles, nearby days as words when `doesRelativeDateFormatting`.
    std::string toString(DateStyle dateStyle, DateStyle timeStyle,
                         bool doesRelativeDateFormatting) const;

    friend constexpr auto operator<=>(Date, Date) noexcept = default;

private:
    double m_seconds = 0.0;
};

} // namespace core
