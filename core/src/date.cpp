#include "core/date.hpp"

#include "core/calendar.hpp"
#include "core/date_amounts.hpp"
#include "core/date_formatter.hpp"

#include "calendar_impl.hpp"

#include <cmath>
#include <limits>

namespace core {

namespace {

std::int64_t componentOrZero(CalendarComponent which, Date date) {
    return Calendar::current().component(which, date).value_or(0);
}

std::int64_t differenceOrZero(CalendarComponent which, Date from, Date to) {
    return Calendar::current().difference(which, from, to).value_or(0);
}

// The operators have no absent result: a move that yields no date leaves the date where it was.
Date moved(Date date, CalendarComponent which, std::int64_t count) {
    if (count == 0) {
        return date;
    }
    return Calendar::current().dateByAdding(which, count, date).value_or(date);
}

// `count` negated, or absent for the one count that has no negation.
std::optional<std::int64_t> negated(std::int64_t count) noexcept {
    if (count == std::numeric_limits<std::int64_t>::min()) {
        return std::nullopt;
    }
    return -count;
}

Date movedBack(Date date, CalendarComponent which, std::int64_t count) {
    const auto back = negated(count);
    return back ? moved(date, which, *back) : date;
}

} // namespace

std::optional<Date> Date::create(std::int64_t year, std::int64_t month, std::int64_t day,
                                 const Calendar& calendar) {
    DateComponents components;
    components.year = year;
    components.month = month;
    components.day = day;
    return calendar.date(components);
}

Date Date::today() {
    return now().toDayOnly(Calendar::current());
}

std::optional<Date> Date::parse(std::string_view text, std::string_view format) {
    DateFormatter formatter;
    formatter.setDateFormat(std::string(format));
    return formatter.date(text);
}

std::optional<Date> Date::addingByYears(std::int64_t years) const {
    return Calendar::current().dateByAdding(CalendarComponent::year, years, *this);
}

std::optional<Date> Date::addingByMonths(std::int64_t months) const {
    return Calendar::current().dateByAdding(CalendarComponent::month, months, *this);
}

std::optional<Date> Date::addingByDays(std::int64_t days) const {
    if (days == 0) {
        return *this;
    }
    return Calendar::current().dateByAdding(CalendarComponent::day, days, *this);
}

std::optional<Date> Date::addingByHours(std::int64_t hours) const {
    return Calendar::current().dateByAdding(CalendarComponent::hour, hours, *this);
}

std::optional<Date> Date::addingByMinutes(std::int64_t minutes) const {
    return Calendar::current().dateByAdding(CalendarComponent::minute, minutes, *this);
}

std::optional<Date> Date::addingBySeconds(std::int64_t seconds) const {
    return Calendar::current().dateByAdding(CalendarComponent::second, seconds, *this);
}

Date Date::toDayOnly(const Calendar& calendar) const {
    return calendar.startOfDay(*this);
}

std::optional<Date> Date::firstDayInSameMonth() const {
    const Calendar calendar = Calendar::current();
    DateComponents components =
        calendar.dateComponents({CalendarComponent::year, CalendarComponent::month}, *this);
    if (!components.year || !components.month) {
        return std::nullopt;
    }
    return calendar.date(components);
}

std::optional<Date> Date::lastDayInSameMonth() const {
    const auto first = firstDayInSameMonth();
    if (!first) {
        return std::nullopt;
    }
    const auto next = first->addingByMonths(1);
    if (!next) {
        return std::nullopt;
    }
    return Calendar::current().dateByAdding(CalendarComponent::day, -1, *next);
}

Date Date::firstDayInSameWeek(const Calendar& calendar) const {
    if (!std::isfinite(m_seconds) || std::fabs(m_seconds) > detail::kMaxAbsSeconds) {
        return *this; // outside the calendar's range: no day to start from
    }
    const Calendar current = Calendar::current();
    const std::int64_t day = current.localDayNumber(*this);
    int back = Calendar::weekdayOfDayNumber(day) - calendar.firstWeekday();
    if (back < 0) {
        back += 7;
    }
    return current.startOfLocalDay(day - back);
}

std::int64_t Date::year() const {
    return componentOrZero(CalendarComponent::year, *this);
}

std::int64_t Date::month() const {
    return componentOrZero(CalendarComponent::month, *this);
}

std::int64_t Date::day() const {
    return componentOrZero(CalendarComponent::day, *this);
}

std::int64_t Date::weekday() const {
    return componentOrZero(CalendarComponent::weekday, *this);
}

std::int64_t Date::weekOfMonth() const {
    return componentOrZero(CalendarComponent::weekOfMonth, *this);
}

std::int64_t Date::weekOfYear() const {
    return componentOrZero(CalendarComponent::weekOfYear, *this);
}

std::int64_t Date::hour() const {
    return componentOrZero(CalendarComponent::hour, *this);
}

std::int64_t Date::minute() const {
    return componentOrZero(CalendarComponent::minute, *this);
}

std::int64_t Date::second() const {
    return componentOrZero(CalendarComponent::second, *this);
}

std::int64_t Date::getComponent(CalendarComponent component) const {
    return componentOrZero(component, *this);
}

std::array<std::optional<std::int64_t>, 6> Date::getComponents() const {
    const DateComponents parts = Calendar::current().dateComponents(
        {CalendarComponent::year, CalendarComponent::month, CalendarComponent::day,
         CalendarComponent::hour, CalendarComponent::minute, CalendarComponent::second},
        *this);
    return {parts.year, parts.month, parts.day, parts.hour, parts.minute, parts.second};
}

bool Date::isWeekend() const {
    const Calendar calendar = Calendar::current();
    const auto range = calendar.maximumRange(CalendarComponent::weekday);
    const auto weekday = calendar.component(CalendarComponent::weekday, *this);
    if (!range || !weekday) {
        return false;
    }
    return *weekday == range->first || *weekday == range->second - range->first;
}

bool Date::isInSameDay(Date other, const Calendar& calendar) const {
    return calendar.isDateInSameDay(*this, other);
}

std::int64_t Date::years(Date after) const {
    return differenceOrZero(CalendarComponent::year, after, *this);
}

std::int64_t Date::months(Date after) const {
    return differenceOrZero(CalendarComponent::month, after, *this);
}

std::int64_t Date::weeks(Date after) const {
    return differenceOrZero(CalendarComponent::weekOfYear, after, *this);
}

std::int64_t Date::days(Date after) const {
    return differenceOrZero(CalendarComponent::day, after, *this);
}

std::int64_t Date::hours(Date after) const {
    return differenceOrZero(CalendarComponent::hour, after, *this);
}

std::int64_t Date::minutes(Date after) const {
    return differenceOrZero(CalendarComponent::minute, after, *this);
}

std::int64_t Date::seconds(Date after) const {
    return differenceOrZero(CalendarComponent::second, after, *this);
}

std::int64_t Date::milliseconds(Date after) const {
    const double millis = std::trunc(timeIntervalSince(after) * 1000.0);
    if (std::isnan(millis)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it saturates.
    constexpr double kLimit = 9223372036854775808.0;
    if (millis >= kLimit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (millis < -kLimit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(millis);
}

std::string Date::toString(std::string_view format) const {
    DateFormatter formatter;
    formatter.setDateFormat(std::string(format));
    return formatter.string(*this);
}

std::string Date::toString(DateStyle dateStyle, DateStyle timeStyle,
                           bool doesRelativeDateFormatting) const {
    DateFormatter formatter;
    formatter.setDateStyle(dateStyle);
    formatter.setTimeStyle(timeStyle);
    formatter.setDoesRelativeDateFormatting(doesRelativeDateFormatting);
    return formatter.string(*this);
}

Date operator+(Date date, VtYears years) {
    return moved(date, CalendarComponent::year, years.m_count);
}

Date operator-(Date date, VtYears years) {
    return movedBack(date, CalendarComponent::year, years.m_count);
}

Date operator+(Date date, VtMonths months) {
    return moved(date, CalendarComponent::month, months.m_count);
}

Date operator-(Date date, VtMonths months) {
    return movedBack(date, CalendarComponent::month, months.m_count);
}

Date operator+(Date date, VtDays days) {
    return moved(date, CalendarComponent::day, days.count);
}

Date operator-(Date date, VtDays days) {
    return movedBack(date, CalendarComponent::day, days.count);
}

Date operator+(Date date, VtSeconds seconds) {
    return moved(date, CalendarComponent::second, seconds.m_count);
}

Date operator-(Date date, VtSeconds seconds) {
    return movedBack(date, CalendarComponent::second, seconds.m_count);
}

} // namespace core
