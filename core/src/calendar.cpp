#include "calendar_impl.hpp"

#include <unicode/gregocal.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <tuple>

namespace core {

namespace {

constexpr double kSecondsPerDay = 86400.0;

UCalendarDateFields icuField(CalendarComponent component) noexcept {
    switch (component) {
    case CalendarComponent::era:
        return UCAL_ERA;
    case CalendarComponent::year:
        return UCAL_YEAR;
    case CalendarComponent::month:
        return UCAL_MONTH;
    case CalendarComponent::day:
        return UCAL_DATE;
    case CalendarComponent::hour:
        return UCAL_HOUR_OF_DAY;
    case CalendarComponent::minute:
        return UCAL_MINUTE;
    case CalendarComponent::second:
        return UCAL_SECOND;
    case CalendarComponent::weekday:
        return UCAL_DAY_OF_WEEK;
    case CalendarComponent::weekdayOrdinal:
        return UCAL_DAY_OF_WEEK_IN_MONTH;
    case CalendarComponent::weekOfMonth:
        return UCAL_WEEK_OF_MONTH;
    case CalendarComponent::weekOfYear:
        return UCAL_WEEK_OF_YEAR;
    case CalendarComponent::yearForWeekOfYear:
        return UCAL_YEAR_WOY;
    }
    return UCAL_ERA;
}

// ICU counts months from 0; the calendar's components count from 1.
std::int64_t fromIcu(CalendarComponent component, std::int32_t value) noexcept {
    return component == CalendarComponent::month ? std::int64_t{value} + 1 : std::int64_t{value};
}

bool inRange(Date date) noexcept {
    const double t = date.timeIntervalSince1970();
    return std::isfinite(t) && std::fabs(t) <= detail::kMaxAbsSeconds;
}

bool fitsInt32(std::int64_t value) noexcept {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) noexcept {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

double floorMod(double a, double b) noexcept {
    const double r = std::fmod(a, b);
    return r < 0 ? r + b : r;
}

// Moves `t` by `days` calendar days keeping the wall-clock time, the way ICU's Calendar::add
// does for day fields: where the time does not exist on the target day (a daylight-saving gap)
// the answer moves forward by the gap.
double addDays(const detail::ZoneTable& zone, double t, std::int64_t days) noexcept {
    const std::int32_t offset0 = zone.offsetAt(t);
    const double t1 = t + static_cast<double>(days) * kSecondsPerDay;
    const std::int32_t offset1 = zone.offsetAt(t1);
    if (offset1 == offset0) {
        return t1;
    }
    std::int32_t adjust = offset0 - offset1;
    adjust = adjust >= 0 ? adjust % 86400 : -(-adjust % 86400);
    if (adjust == 0) {
        return t1;
    }
    const double t2 = t1 + adjust;
    const double wallTime0 = floorMod(t + offset0, kSecondsPerDay);
    const double wallTime2 = floorMod(t2 + zone.offsetAt(t2), kSecondsPerDay);
    if (wallTime2 == wallTime0) {
        return t2;
    }
    return adjust < 0 ? t1 : t2;
}

// Whole calendar days from `from` to `to`, toward zero: the largest step whose day addition does
// not pass `to`.
std::int64_t dayDifference(const detail::ZoneTable& zone, double from, double to) noexcept {
    if (from == to) {
        return 0;
    }
    const auto dayOf = [&zone](double t) {
        return static_cast<std::int64_t>(std::floor((t + zone.offsetAt(t)) / kSecondsPerDay));
    };
    std::int64_t n = dayOf(to) - dayOf(from);
    // Where the clocks go forward at midnight the day starts later (at 01:00 in Havana). Its
    // start stands for the whole day, as midnight does elsewhere: counted from there, a step of
    // one day reaches the next day's start, not 01:00 of the next day, so the short day still
    // counts as a whole one.
    const double fromStart =
        zone.instantOfWall(static_cast<double>(dayOf(from)) * kSecondsPerDay, true);
    const bool fromStartsALateDay =
        from == fromStart && floorMod(from + zone.offsetAt(from), kSecondsPerDay) != 0.0;
    const auto step = [&](std::int64_t days) {
        if (fromStartsALateDay) {
            return zone.instantOfWall(static_cast<double>(dayOf(from) + days) * kSecondsPerDay,
                                      true);
        }
        return addDays(zone, from, days);
    };
    if (to > from) {
        n = std::max<std::int64_t>(n, 0);
        for (int i = 0; i < 4 && n > 0 && step(n) > to; ++i) {
            --n;
        }
        for (int i = 0; i < 4 && step(n + 1) <= to; ++i) {
            ++n;
        }
    } else {
        n = std::min<std::int64_t>(n, 0);
        for (int i = 0; i < 4 && n < 0 && step(n) < to; ++i) {
            ++n;
        }
        for (int i = 0; i < 4 && step(n - 1) >= to; ++i) {
            --n;
        }
    }
    return n;
}

// ICU's week numbering: the week holding day `dayOfPeriod` (1-based) of a period, given that
// day's weekday.
int weekNumber(int firstWeekday, int minimumDays, int dayOfPeriod, int weekday) noexcept {
    int periodStart = (weekday - firstWeekday - dayOfPeriod + 1) % 7;
    if (periodStart < 0) {
        periodStart += 7;
    }
    int week = (dayOfPeriod + periodStart - 1) / 7;
    if (7 - periodStart >= minimumDays) {
        ++week;
    }
    return week;
}

int yearLength(std::int64_t year) noexcept {
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 366 : 365;
}

// Fields that plain arithmetic answers for dates of the Gregorian era, where ICU's hybrid
// calendar and the proleptic one agree; absent sends the caller to ICU.
std::optional<std::int64_t> fastComponent(const detail::CalendarImpl& impl, CalendarComponent which,
                                          double t) noexcept {
    static const std::int64_t kFirstFastDay = Calendar::dayNumberFromCivil(1584, 1, 1);
    const double wall = t + impl.zone->offsetAt(t);
    const double dayValue = std::floor(wall / kSecondsPerDay);
    if (!(dayValue >= static_cast<double>(kFirstFastDay) && dayValue < 1.0e9)) {
        return std::nullopt;
    }
    const auto day = static_cast<std::int64_t>(dayValue);
    const auto secondOfDay =
        static_cast<std::int64_t>(std::floor(wall - dayValue * kSecondsPerDay));
    switch (which) {
    case CalendarComponent::era:
        return 1;
    case CalendarComponent::year:
        return Calendar::civilFromDayNumber(day).year;
    case CalendarComponent::month:
        return Calendar::civilFromDayNumber(day).month;
    case CalendarComponent::day:
        return Calendar::civilFromDayNumber(day).day;
    case CalendarComponent::hour:
        return secondOfDay / 3600;
    case CalendarComponent::minute:
        return secondOfDay / 60 % 60;
    case CalendarComponent::second:
        return secondOfDay % 60;
    case CalendarComponent::weekday:
        return Calendar::weekdayOfDayNumber(day);
    case CalendarComponent::weekOfYear: {
        const auto civil = Calendar::civilFromDayNumber(day);
        const int firstWeekday = impl.settings.firstWeekday.value_or(1);
        const int minimumDays = impl.settings.minimumDaysInFirstWeek.value_or(1);
        const int weekday = Calendar::weekdayOfDayNumber(day);
        const int dayOfYear =
            static_cast<int>(day - Calendar::dayNumberFromCivil(civil.year, 1, 1)) + 1;
        const int relativeWeekday = (weekday + 7 - firstWeekday) % 7;
        const int relativeJan1 = ((weekday - dayOfYear + 7001 - firstWeekday) % 7 + 7) % 7;
        int week = (dayOfYear - 1 + relativeJan1) / 7;
        if (7 - relativeJan1 >= minimumDays) {
            ++week;
        }
        if (week == 0) {
            const int previousDay = dayOfYear + yearLength(civil.year - 1);
            return weekNumber(firstWeekday, minimumDays, previousDay, weekday);
        }
        const int lastDay = yearLength(civil.year);
        if (dayOfYear >= lastDay - 5) {
            int lastRelative = (relativeWeekday + lastDay - dayOfYear) % 7;
            if (lastRelative < 0) {
                lastRelative += 7;
            }
            if (6 - lastRelative >= minimumDays && dayOfYear + 7 - relativeWeekday > lastDay) {
                return 1;
            }
        }
        return week;
    }
    default:
        return std::nullopt;
    }
}

using SettingsKey = std::tuple<std::string, std::string, int, int>;

SettingsKey keyOf(const CalendarSettings& settings) {
    return {settings.zoneId, settings.localeId, settings.firstWeekday.value_or(0),
            settings.minimumDaysInFirstWeek.value_or(0)};
}

std::shared_ptr<const detail::CalendarImpl> buildImpl(const CalendarSettings& settings) {
    static std::atomic<std::uint64_t> nextSerial{1};
    auto impl = std::make_shared<detail::CalendarImpl>();
    impl->zone = detail::ZoneTable::forZone(settings.zoneId);
    impl->locale = icu::Locale(settings.localeId.c_str());
    UErrorCode status = U_ZERO_ERROR;
    auto calendar = std::make_unique<icu::GregorianCalendar>(impl->zone->makeIcuZone().release(),
                                                             impl->locale, status);
    if (U_FAILURE(status)) {
        throw std::invalid_argument("cannot make a calendar for locale " + settings.localeId);
    }
    if (settings.firstWeekday) {
        calendar->setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(*settings.firstWeekday));
    }
    if (settings.minimumDaysInFirstWeek) {
        calendar->setMinimalDaysInFirstWeek(
            static_cast<std::uint8_t>(*settings.minimumDaysInFirstWeek));
    }
    // A repeated wall time means its first occurrence; a skipped one moves forward by the gap.
    calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
    calendar->setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    // Proleptic Gregorian, like the day-number helpers: no Julian calendar before 1582.
    calendar->setGregorianChange(U_DATE_MIN, status);
    impl->settings = settings;
    impl->settings.firstWeekday = static_cast<int>(calendar->getFirstDayOfWeek());
    impl->settings.minimumDaysInFirstWeek = calendar->getMinimalDaysInFirstWeek();
    impl->prototype = std::move(calendar);
    impl->serial = nextSerial.fetch_add(1);
    return impl;
}

struct ImplCache {
    std::mutex mutex;
    std::map<SettingsKey, std::shared_ptr<const detail::CalendarImpl>> entries;
};

std::shared_ptr<const detail::CalendarImpl> cachedImpl(const CalendarSettings& settings) {
    // Never destroyed: work on other threads may still count days while the process ends.
    static auto* const cache = new ImplCache;
    const SettingsKey key = keyOf(settings);
    {
        const std::lock_guard lock(cache->mutex);
        if (const auto found = cache->entries.find(key); found != cache->entries.end()) {
            return found->second;
        }
    }
    auto impl = buildImpl(settings);
    const std::lock_guard lock(cache->mutex);
    if (cache->entries.size() >= 64) {
        cache->entries.clear(); // calendars in use keep their own reference
    }
    return cache->entries.emplace(key, std::move(impl)).first->second;
}

struct WorkingSlot {
    std::uint64_t serial = 0;
    std::unique_ptr<icu::Calendar> calendar;
};

// A few working calendars per thread, most recently used first.
thread_local std::array<WorkingSlot, 4>
    tWorkingSlots; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

} // namespace

namespace detail {

WorkingCalendar::WorkingCalendar(const CalendarImpl& impl) : m_serial(impl.serial) {
    for (WorkingSlot& slot : tWorkingSlots) {
        if (slot.serial == impl.serial && slot.calendar) {
            m_calendar = std::move(slot.calendar);
            slot.serial = 0;
            return;
        }
    }
    m_calendar.reset(impl.prototype->clone());
}

WorkingCalendar::~WorkingCalendar() {
    // Put it in front; the least recently used one drops off the end.
    for (std::size_t i = tWorkingSlots.size() - 1; i > 0; --i) {
        tWorkingSlots[i] = std::move(tWorkingSlots[i - 1]);
    }
    tWorkingSlots[0] = WorkingSlot{m_serial, std::move(m_calendar)};
}

} // namespace detail

Date Date::now() noexcept {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return Date(std::chrono::duration<double>(since).count());
}

std::optional<std::int64_t> DateComponents::value(CalendarComponent component) const noexcept {
    switch (component) {
    case CalendarComponent::era:
        return era;
    case CalendarComponent::year:
        return year;
    case CalendarComponent::month:
        return month;
    case CalendarComponent::day:
        return day;
    case CalendarComponent::hour:
        return hour;
    case CalendarComponent::minute:
        return minute;
    case CalendarComponent::second:
        return second;
    case CalendarComponent::weekday:
        return weekday;
    case CalendarComponent::weekdayOrdinal:
        return weekdayOrdinal;
    case CalendarComponent::weekOfMonth:
        return weekOfMonth;
    case CalendarComponent::weekOfYear:
        return weekOfYear;
    case CalendarComponent::yearForWeekOfYear:
        return yearForWeekOfYear;
    }
    return std::nullopt;
}

void DateComponents::setValue(CalendarComponent component,
                              std::optional<std::int64_t> newValue) noexcept {
    switch (component) {
    case CalendarComponent::era:
        era = newValue;
        break;
    case CalendarComponent::year:
        year = newValue;
        break;
    case CalendarComponent::month:
        month = newValue;
        break;
    case CalendarComponent::day:
        day = newValue;
        break;
    case CalendarComponent::hour:
        hour = newValue;
        break;
    case CalendarComponent::minute:
        minute = newValue;
        break;
    case CalendarComponent::second:
        second = newValue;
        break;
    case CalendarComponent::weekday:
        weekday = newValue;
        break;
    case CalendarComponent::weekdayOrdinal:
        weekdayOrdinal = newValue;
        break;
    case CalendarComponent::weekOfMonth:
        weekOfMonth = newValue;
        break;
    case CalendarComponent::weekOfYear:
        weekOfYear = newValue;
        break;
    case CalendarComponent::yearForWeekOfYear:
        yearForWeekOfYear = newValue;
        break;
    }
}

Calendar::Calendar(std::shared_ptr<const detail::CalendarImpl> impl) noexcept
    : m_impl(std::move(impl)) {}

Calendar Calendar::current() {
    CalendarSettings settings = CalendarSettings::current();
    detail::followIcuDefaultZone(settings.zoneId);
    return Calendar(cachedImpl(settings));
}

Calendar Calendar::gregorian() {
    CalendarSettings settings = CalendarSettings::current();
    settings.firstWeekday = 1;
    settings.minimumDaysInFirstWeek = 1;
    return Calendar(cachedImpl(settings));
}

Calendar Calendar::withSettings(const CalendarSettings& settings) {
    return Calendar(cachedImpl(settings));
}

const CalendarSettings& Calendar::settings() const noexcept {
    return m_impl->settings;
}

const std::string& Calendar::timeZoneId() const noexcept {
    return m_impl->settings.zoneId;
}

int Calendar::firstWeekday() const noexcept {
    return m_impl->settings.firstWeekday.value_or(1);
}

int Calendar::minimumDaysInFirstWeek() const noexcept {
    return m_impl->settings.minimumDaysInFirstWeek.value_or(1);
}

bool operator==(const Calendar& a, const Calendar& b) noexcept {
    return a.m_impl == b.m_impl || a.m_impl->settings == b.m_impl->settings;
}

std::optional<std::int64_t> Calendar::component(CalendarComponent which, Date date) const {
    if (!inRange(date)) {
        return std::nullopt;
    }
    if (auto fast = fastComponent(*m_impl, which, date.timeIntervalSince1970())) {
        return fast;
    }
    const detail::WorkingCalendar calendar(*m_impl);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(date.timeIntervalSince1970() * 1000.0, status);
    const std::int32_t value = calendar->get(icuField(which), status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return fromIcu(which, value);
}

DateComponents Calendar::dateComponents(std::initializer_list<CalendarComponent> components,
                                        Date date) const {
    DateComponents result;
    if (!inRange(date)) {
        return result;
    }
    std::optional<detail::WorkingCalendar> calendar;
    UErrorCode status = U_ZERO_ERROR;
    for (const CalendarComponent which : components) {
        if (auto fast = fastComponent(*m_impl, which, date.timeIntervalSince1970())) {
            result.setValue(which, fast);
            continue;
        }
        if (!calendar) {
            calendar.emplace(*m_impl);
            (*calendar)->setTime(date.timeIntervalSince1970() * 1000.0, status);
        }
        const std::int32_t value = (*calendar)->get(icuField(which), status);
        if (U_FAILURE(status)) {
            return DateComponents{};
        }
        result.setValue(which, fromIcu(which, value));
    }
    return result;
}

std::optional<Date> Calendar::date(const DateComponents& components) const {
    const detail::WorkingCalendar calendar(*m_impl);
    calendar->clear();
    for (const CalendarComponent which :
         {CalendarComponent::era, CalendarComponent::year, CalendarComponent::yearForWeekOfYear,
          CalendarComponent::month, CalendarComponent::weekOfYear, CalendarComponent::weekOfMonth,
          CalendarComponent::weekday, CalendarComponent::weekdayOrdinal, CalendarComponent::day,
          CalendarComponent::hour, CalendarComponent::minute, CalendarComponent::second}) {
        if (const auto value = components.value(which)) {
            if (!fitsInt32(*value)) {
                return std::nullopt;
            }
            const std::int64_t icuValue = which == CalendarComponent::month ? *value - 1 : *value;
            if (!fitsInt32(icuValue)) {
                return std::nullopt;
            }
            calendar->set(icuField(which), static_cast<std::int32_t>(icuValue));
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    const UDate millis = calendar->getTime(status);
    const Date result(millis / 1000.0);
    if (U_FAILURE(status) || !inRange(result)) {
        return std::nullopt;
    }
    return result;
}

namespace {

// Seconds in one hour, minute or second; 0 for the units that follow the calendar.
double elapsedSeconds(CalendarComponent which) noexcept {
    switch (which) {
    case CalendarComponent::hour:
        return 3600.0;
    case CalendarComponent::minute:
        return 60.0;
    case CalendarComponent::second:
        return 1.0;
    default:
        return 0.0;
    }
}

} // namespace

std::optional<Date> Calendar::dateByAdding(CalendarComponent which, std::int64_t value,
                                           Date date) const {
    if (!inRange(date)) {
        return std::nullopt;
    }
    // Hours, minutes and seconds are elapsed time; only the larger units follow the calendar.
    const double unit = elapsedSeconds(which);
    if (unit != 0.0) {
        const Date result(date.timeIntervalSince1970() + static_cast<double>(value) * unit);
        return inRange(result) ? std::optional<Date>(result) : std::nullopt;
    }
    if (!fitsInt32(value)) {
        return std::nullopt;
    }
    if (which == CalendarComponent::day || which == CalendarComponent::weekday ||
        which == CalendarComponent::weekOfYear || which == CalendarComponent::weekOfMonth) {
        const std::int64_t days =
            which == CalendarComponent::day || which == CalendarComponent::weekday ? value
                                                                                   : value * 7;
        const Date result(addDays(*m_impl->zone, date.timeIntervalSince1970(), days));
        return inRange(result) ? std::optional<Date>(result) : std::nullopt;
    }
    const detail::WorkingCalendar calendar(*m_impl);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(date.timeIntervalSince1970() * 1000.0, status);
    const std::int64_t monthsBefore = std::int64_t{calendar->get(UCAL_EXTENDED_YEAR, status)} * 12 +
                                      calendar->get(UCAL_MONTH, status);
    calendar->add(icuField(which), static_cast<std::int32_t>(value), status);
    const UDate millis = calendar->getTime(status);
    const Date result(millis / 1000.0);
    if (U_FAILURE(status) || !inRange(result)) {
        return std::nullopt;
    }
    // Near the end of ICU's range a lenient calendar wraps instead of failing: check the move.
    const std::int64_t monthsAfter = std::int64_t{calendar->get(UCAL_EXTENDED_YEAR, status)} * 12 +
                                     calendar->get(UCAL_MONTH, status);
    if (which == CalendarComponent::year && monthsAfter - monthsBefore != value * 12) {
        return std::nullopt;
    }
    if (which == CalendarComponent::month && monthsAfter - monthsBefore != value) {
        return std::nullopt;
    }
    return result;
}

std::optional<std::int64_t> Calendar::difference(CalendarComponent which, Date from,
                                                 Date to) const {
    if (!inRange(from) || !inRange(to)) {
        return std::nullopt;
    }
    const double unit = elapsedSeconds(which);
    if (unit != 0.0) {
        return static_cast<std::int64_t>(std::trunc(to.timeIntervalSince(from) / unit));
    }
    if (which == CalendarComponent::day || which == CalendarComponent::weekOfYear ||
        which == CalendarComponent::weekOfMonth) {
        const std::int64_t days =
            dayDifference(*m_impl->zone, from.timeIntervalSince1970(), to.timeIntervalSince1970());
        return which == CalendarComponent::day ? days : days / 7;
    }
    const detail::WorkingCalendar calendar(*m_impl);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(from.timeIntervalSince1970() * 1000.0, status);
    const std::int32_t value =
        calendar->fieldDifference(to.timeIntervalSince1970() * 1000.0, icuField(which), status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    return std::int64_t{value};
}

bool Calendar::isDateInSameDay(Date a, Date b) const noexcept {
    // Day numbers of dates outside the calendar are clamped, so they would compare equal.
    return inRange(a) && inRange(b) && localDayNumber(a) == localDayNumber(b);
}

std::optional<std::pair<int, int>> Calendar::maximumRange(CalendarComponent which) const noexcept {
    const detail::WorkingCalendar calendar(*m_impl);
    const UCalendarDateFields field = icuField(which);
    const int lower = static_cast<int>(fromIcu(which, calendar->getMinimum(field)));
    const int upper = static_cast<int>(fromIcu(which, calendar->getMaximum(field)));
    return std::pair<int, int>{lower, upper + 1};
}

std::int64_t Calendar::localDayNumber(Date date) const noexcept {
    const double t = date.timeIntervalSince1970();
    if (!std::isfinite(t)) {
        return 0;
    }
    const double local = t + m_impl->zone->offsetAt(t);
    const double day = std::floor(local / kSecondsPerDay);
    constexpr double kLimit = 9.0e15;
    return static_cast<std::int64_t>(std::clamp(day, -kLimit, kLimit));
}

Date Calendar::startOfLocalDay(std::int64_t dayNumber) const noexcept {
    return Date(m_impl->zone->instantOfWall(static_cast<double>(dayNumber) * kSecondsPerDay, true));
}

Date Calendar::startOfDay(Date date) const noexcept {
    if (!inRange(date)) {
        return date;
    }
    return startOfLocalDay(localDayNumber(date));
}

std::optional<Date> Calendar::dateFromLocal(std::int64_t year, int month, int day, int hour,
                                            int minute, double second) const noexcept {
    if (month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        !(second >= 0.0 && second < 60.0) || year < -5'000'000 || year > 5'000'000) {
        return std::nullopt;
    }
    static constexpr std::array<int, 12> kDaysInMonth{31, 28, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int monthLength =
        kDaysInMonth[static_cast<std::size_t>(month - 1)] + (month == 2 && leap ? 1 : 0);
    if (day > monthLength) {
        return std::nullopt;
    }
    const double wall = static_cast<double>(dayNumberFromCivil(year, month, day)) * kSecondsPerDay +
                        hour * 3600.0 + minute * 60.0 + second;
    return Date(m_impl->zone->instantOfWall(wall, false));
}

std::int32_t Calendar::utcOffset(Date date) const noexcept {
    return m_impl->zone->offsetAt(date.timeIntervalSince1970());
}

int Calendar::weekdayOfDayNumber(std::int64_t dayNumber) noexcept {
    // 1970-01-01 was a Thursday (5).
    const std::int64_t shifted = (dayNumber + 4) % 7;
    return static_cast<int>(shifted < 0 ? shifted + 7 : shifted) + 1;
}

// Days from civil and back: the era-based algorithm for the proleptic Gregorian calendar.
std::int64_t Calendar::dayNumberFromCivil(std::int64_t year, int month, int day) noexcept {
    const std::int64_t y = month <= 2 ? year - 1 : year;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t mp = month > 2 ? month - 3 : month + 9;
    const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Calendar::CivilDate Calendar::civilFromDayNumber(std::int64_t dayNumber) noexcept {
    const std::int64_t z = dayNumber + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return {y, static_cast<int>(m), static_cast<int>(d)};
}

} // namespace core
