#include "report/period.hpp"

namespace report {

namespace {

// Day 3 after the epoch (1970-01-04) was a Sunday.
constexpr std::int64_t kFirstSundayDayNumber = 3;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

std::int64_t monthNumber(std::int64_t dayNumber) {
    const auto civil = core::Calendar::civilFromDayNumber(dayNumber);
    return civil.year * 12 + (civil.month - 1);
}

bool isColumnStart(Period::Kind kind, std::int64_t dayNumber) {
    switch (kind) {
    case Period::Kind::day:
        return true;
    case Period::Kind::week:
        return core::Calendar::weekdayOfDayNumber(dayNumber) == 1;
    case Period::Kind::month:
        return core::Calendar::civilFromDayNumber(dayNumber).day == 1;
    }
    return false;
}

} // namespace

std::optional<Period::Kind> Period::kindFromRaw(std::int64_t raw) noexcept {
    if (raw < 0 || raw > 2) {
        return std::nullopt;
    }
    return static_cast<Kind>(raw);
}

Period::Period(core::Date date, Kind kind) : Period(date, kind, core::Calendar::current()) {}

Period::Period(core::Date date, Kind kind, const core::Calendar& calendar) : m_payload(Day{date}) {
    switch (kind) {
    case Kind::day:
        break;
    case Kind::week: {
        const auto parts = calendar.dateComponents(
            {core::CalendarComponent::weekOfYear, core::CalendarComponent::year}, date);
        m_payload = Week{date, parts.weekOfYear.value_or(0), parts.year.value_or(0)};
        break;
    }
    case Kind::month: {
        const auto parts = calendar.dateComponents(
            {core::CalendarComponent::month, core::CalendarComponent::year}, date);
        m_payload = Month{date, parts.month.value_or(0), parts.year.value_or(0)};
        break;
    }
    }
}

core::Date Period::date() const noexcept {
    return std::visit([](const auto& payload) { return payload.date; }, m_payload);
}

std::vector<Period> Period::timeline(core::Date start, core::Date end, Kind kind) {
    return timeline(start, end, kind, core::Calendar::current());
}

std::vector<Period> Period::timeline(core::Date start, core::Date end, Kind kind,
                                     const core::Calendar& calendar) {
    std::vector<Period> periods;
    periods.emplace_back(start, kind, calendar);
    if (!(end > start)) {
        return periods;
    }
    const std::int64_t lastDay = calendar.localDayNumber(end);
    for (std::int64_t day = calendar.localDayNumber(start) + 1; day <= lastDay; ++day) {
        if (!isColumnStart(kind, day)) {
            continue;
        }
        const core::Date dayStart = calendar.startOfLocalDay(day);
        if (dayStart > end) {
            break;
        }
        if (dayStart > start) {
            periods.emplace_back(dayStart, kind, calendar);
        }
    }
    return periods;
}

void calendarDayStarts(core::Date start, core::Date end,
                       const std::function<void(core::Date)>& action) {
    const core::Calendar calendar = core::Calendar::current();
    action(start);
    if (!(end > start)) {
        return;
    }
    const std::int64_t lastDay = calendar.localDayNumber(end);
    for (std::int64_t day = calendar.localDayNumber(start) + 1; day <= lastDay; ++day) {
        const core::Date dayStart = calendar.startOfLocalDay(day);
        if (dayStart > end) {
            break;
        }
        if (dayStart > start) {
            action(dayStart);
        }
    }
}

std::int64_t columnStartsBetween(Period::Kind kind, std::int64_t fromDay, std::int64_t toDay) {
    switch (kind) {
    case Period::Kind::day:
        return toDay - fromDay;
    case Period::Kind::week:
        return floorDiv(toDay - kFirstSundayDayNumber, 7) -
               floorDiv(fromDay - kFirstSundayDayNumber, 7);
    case Period::Kind::month:
        return monthNumber(toDay) - monthNumber(fromDay);
    }
    return 0;
}

std::int64_t periodIndex(core::Date date, const Period& first) {
    return periodIndex(date, first, core::Calendar::current());
}

std::int64_t periodIndex(core::Date date, const Period& first, const core::Calendar& calendar) {
    const std::int64_t firstDay = calendar.localDayNumber(first.date());
    const std::int64_t day = calendar.localDayNumber(date);
    if (day >= firstDay) {
        return columnStartsBetween(first.kind(), firstDay, day);
    }
    if (first.kind() == Period::Kind::day) {
        return day - firstDay;
    }
    return -1 - columnStartsBetween(first.kind(), day, firstDay);
}

} // namespace report
