#pragma once

#include "core/calendar.hpp"
#include "core/date.hpp"

#include <cstdint>
#include <stdexcept>

namespace document::testing {

/// Local midnight (or the given time) of a date in the current calendar.
inline core::Date localDate(std::int64_t year, int month, int day, int hour = 0, int minute = 0) {
    const auto date = core::Calendar::current().dateFromLocal(year, month, day, hour, minute);
    if (!date) {
        throw std::invalid_argument("no such local date");
    }
    return *date;
}

/// The local day number of `date` in the current calendar.
inline std::int64_t dayOf(core::Date date) {
    return core::Calendar::current().localDayNumber(date);
}

/// `date` moved by whole local days at the same wall time.
inline core::Date plusDays(core::Date date, std::int64_t days) {
    return *core::Calendar::current().dateByAdding(core::CalendarComponent::day, days, date);
}

} // namespace document::testing
