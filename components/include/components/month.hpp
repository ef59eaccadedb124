#pragma once

#include "core/date.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace components {

/// A calendar day without a time of day (proleptic Gregorian), so that no daylight-saving
/// midnight can move it into another day.
using CivilDay = std::chrono::sys_days;

/// What the month calendar takes from the user's locale: the first weekday, the weekend and the
/// weekday names. A plain value, so tests can vary it.
struct CalendarLocale {
    /// The first day of the week, 1 = Sunday ... 7 = Saturday.
    int firstWeekday = 1;
    /// Whether each weekday is a weekend day; index 0 is Sunday.
    std::array<bool, 7> weekend{true, false, false, false, false, false, true};
    /// Short weekday names, Sunday first ("Sun").
    std::array<std::string, 7> shortWeekdaySymbols{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    /// Very short weekday names, Sunday first ("S"); names may repeat.
    std::array<std::string, 7> veryShortWeekdaySymbols{"S", "M", "T", "W", "T", "F", "S"};

    /// The user's locale as it stands now: the first weekday of the process's calendar, the
    /// weekend and names of the system locale.
    static CalendarLocale system();

    /// Whether `day` is a weekend day in this locale.
    bool isWeekend(CivilDay day) const noexcept;

    friend bool operator==(const CalendarLocale&, const CalendarLocale&) = default;
};

/// The library's calendar locale, taken from the system the first time it is needed and never
/// refreshed for the life of the process (safe against concurrent first use).
const CalendarLocale& moduleCalendar();

/// The column (0 = leftmost) of each weekday, indexed by weekday number modulo 7 (index 0 is
/// Saturday, 1 Sunday, ...), for first weekday `firstWeekday` (1...7; others are taken modulo 7).
std::array<int, 7> weekdayColumnTable(int firstWeekday) noexcept;

/// Weekday names (Sunday first) put in column order: the first weekday's name first.
std::array<std::string, 7> rotatedWeekdaySymbols(const std::array<std::string, 7>& symbols,
                                                 int firstWeekday);

/// The weekday names in column order and the weekday column table of one calendar locale.
struct CalendarWeekdayTables {
    std::array<std::string, 7> shortWeekdaySymbols;
    std::array<std::string, 7> veryShortWeekdaySymbols;
    std::array<int, 7> weekdayColumnTable{};
};

/// The tables of `locale`.
CalendarWeekdayTables makeCalendarWeekdayTables(const CalendarLocale& locale);

/// The tables of `moduleCalendar()`, made once on first use.
const CalendarWeekdayTables& calendarWeekdayTables();

/// How many days of the previous month the grid shows before `monthDay` (0...6).
int leadingDayCount(CivilDay monthDay, const CalendarLocale& locale = moduleCalendar()) noexcept;

/// The weekday of a day, 1 = Sunday ... 7 = Saturday.
int weekdayNumber(CivilDay day) noexcept;

/// One calendar month, named by its first day.
struct Month {
    /// One cell of the month's six-week grid.
    struct VisualDay {
        /// The cell's position, 0...41, row by row from the top left.
        int visualIndex = 0;
        /// The day the cell shows.
        CivilDay date;
        /// True for the month's own days, false for the leading and trailing days.
        bool inCurrentMonth = false;

        friend bool operator==(const VisualDay&, const VisualDay&) = default;
    };

    /// The cells of a grid: always six weeks.
    static constexpr int kVisualDayCount = 42;

    /// The first day of the month.
    CivilDay monthDay;
    /// The year of `monthDay`.
    int year = 1970;
    /// The month number of `monthDay`, 1...12.
    int month = 1;

    /// January 1970.
    Month();
    /// The month that holds `day`.
    explicit Month(CivilDay day);
    /// The month that holds `date` in the process's calendar (its zone decides the day).
    static Month containing(core::Date date);

    /// The title for display: the abbreviated month and the year in the user's locale
    /// ("Mar 2024" in English).
    std::string title() const;
    /// The 42 cells of the month's grid in order: the previous month's last days (as many as
    /// `leadingDayCount` gives), the month's days, then the next month's first days.
    std::vector<VisualDay> visualDays(const CalendarLocale& locale = moduleCalendar()) const;

    /// This month moved by `months` (negative: back); saturates at the ends of the year range
    /// -32767...32767.
    Month adding(int months) const noexcept;
    /// The same month number in `year`.
    Month withYear(int year) const noexcept;

    friend bool operator==(const Month&, const Month&) = default;
};

/// The civil day of a date in the process's calendar.
CivilDay civilDay(core::Date date);

} // namespace components

template <>
struct std::hash<components::Month> {
    std::size_t operator()(const components::Month& month) const noexcept;
};
