#pragma once

#include "core/date.hpp"

#include <optional>

namespace document {

// Wall-clock fields of an instant in the current calendar's time zone.
struct CivilDateTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
    int second;
};

// The instant at which the current calendar's clock shows the fields; a time that the
// clock skips (the gap of a daylight-saving change) resolves forward.
std::optional<core::Date> dateFromLocalCivil(const CivilDateTime& civil);

// The wall-clock fields of the instant in the current calendar.
std::optional<CivilDateTime> localCivilFromDate(core::Date date);

// The instant as seconds since 1970.
double secondsSince1970(core::Date date);

} // namespace document
