#pragma once

#include "core/calendar.hpp"
#include "core/date.hpp"

#include <cstdint>

namespace document::detail {

// The model's day arithmetic, all in the current calendar read afresh at each call, and all on
// local civil days: never steps of 86,400 seconds.

/// The local day number (days since 1970-01-01) of `date`.
inline std::int64_t localDay(core::Date date) {
    return core::Calendar::current().localDayNumber(date);
}

/// The first instant of local day `day`.
inline core::Date startOfLocalDay(std::int64_t day) {
    return core::Calendar::current().startOfLocalDay(day);
}

/// The start of the local day holding `date`.
inline core::Date startOfDay(core::Date date) {
    return core::Calendar::current().startOfDay(date);
}

/// `date` moved by `days` calendar days at the same wall-clock time; unchanged when no date
/// results.
inline core::Date addDays(core::Date date, std::int64_t days) {
    if (days == 0) {
        return date;
    }
    return core::Calendar::current()
        .dateByAdding(core::CalendarComponent::day, days, date)
        .value_or(date);
}

/// `date` moved by `years` calendar years; unchanged when no date results.
inline core::Date addYears(core::Date date, std::int64_t years) {
    if (years == 0) {
        return date;
    }
    return core::Calendar::current()
        .dateByAdding(core::CalendarComponent::year, years, date)
        .value_or(date);
}

/// The whole calendar days from `from` to `to`, negative when `to` is earlier; 0 when the
/// calendar cannot tell.
inline std::int64_t daysAfter(core::Date to, core::Date from) {
    return core::Calendar::current().difference(core::CalendarComponent::day, from, to).value_or(0);
}

/// Local day `day` moved by `years` civil years, a 29 February falling back to the 28th.
inline std::int64_t addYearsToLocalDay(std::int64_t day, std::int64_t years) {
    auto civil = core::Calendar::civilFromDayNumber(day);
    civil.year += years;
    const bool leap = (civil.year % 4 == 0 && civil.year % 100 != 0) || civil.year % 400 == 0;
    if (civil.month == 2 && civil.day == 29 && !leap) {
        civil.day = 28;
    }
    return core::Calendar::dayNumberFromCivil(civil.year, civil.month, civil.day);
}

/// The start of today in the current calendar.
inline core::Date startOfToday() {
    return startOfDay(core::Date::now());
}

} // namespace document::detail
