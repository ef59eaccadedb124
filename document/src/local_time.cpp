#include "local_time.hpp"

#include "core/calendar.hpp"

#include <cmath>
#include <cstdint>

namespace document {

namespace {
constexpr std::int64_t kSecondsPerDay = 86'400;
}

std::optional<core::Date> dateFromLocalCivil(const CivilDateTime& civil) {
    return core::Calendar::current().dateFromLocal(civil.year, civil.month, civil.day, civil.hour,
                                                   civil.minute, civil.second);
}

std::optional<CivilDateTime> localCivilFromDate(core::Date date) {
    const double seconds = date.timeIntervalSince1970();
    // Far outside any writable year: refuse before the arithmetic below could overflow.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12) {
        return std::nullopt;
    }
    const core::Calendar calendar = core::Calendar::current();
    // The wall clock is the instant shifted by the zone's offset at that instant; fractions of
    // a second are dropped, as the written form has none.
    const auto local = static_cast<std::int64_t>(std::floor(seconds)) + calendar.utcOffset(date);
    std::int64_t dayNumber = local / kSecondsPerDay;
    std::int64_t secondOfDay = local % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        --dayNumber;
    }
    const auto civil = core::Calendar::civilFromDayNumber(dayNumber);
    const auto second = static_cast<int>(secondOfDay);
    return CivilDateTime{static_cast<int>(civil.year), civil.month, civil.day, second / 3600,
                         (second / 60) % 60,           second % 60};
}

double secondsSince1970(core::Date date) {
    return date.timeIntervalSince1970();
}

} // namespace document
