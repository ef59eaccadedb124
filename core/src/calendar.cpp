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
    impl->settings = settings;
    impl->settings.firstWeekday = static_cast<int>(calendar->getFirstDayOfWeek());
    impl->settings.minimumDaysInFirstWeek = calendar->getMinimalDaysInFirstWeek();
    impl->prototype = std::move(calendar);
    impl->serial = nextSerial.fetch_add(1);
    return impl;
}

std::shared_ptr<const detail::CalendarImpl> cachedImpl(const CalendarSettings& settings) {
    static std::mutex mutex;
    static std::map<SettingsKey, std::shared_ptr<const detail::CalendarImpl>> cache;
    const SettingsKey key = keyOf(settings);
    {
        const std::lock_guard lock(mutex);
        if (const auto found = cache.find(key); found != cache.end()) {
            return found->second;
        }
    }
    auto impl = buildImpl(settings);
    const std::lock_guard lock(mutex);
    if (cache.size() >= 64) {
        cache.clear(); // calendars in use keep their own reference
    }
    return cache.emplace(key, std::move(impl)).first->second;
}

struct WorkingSlot {
    std::uint64_t serial = 0;
    std::unique_ptr<icu::Calendar> calendar;
};

thread_local WorkingSlot tWorkingSlot; // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

} // namespace

namespace detail {

WorkingCalendar::WorkingCalendar(const CalendarImpl& impl) : m_serial(impl.serial) {
    if (tWorkingSlot.serial == impl.serial && tWorkingSlot.calendar) {
        m_calendar = std::move(tWorkingSlot.calendar);
    } else {
        m_calendar.reset(impl.prototype->clone());
    }
}

WorkingCalendar::~WorkingCalendar() {
    tWorkingSlot.serial = m_serial;
    tWorkingSlot.calendar = std::move(m_calendar);
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
    const detail::WorkingCalendar calendar(*m_impl);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(date.timeIntervalSince1970() * 1000.0, status);
    for (const CalendarComponent which : components) {
        const std::int32_t value = calendar->get(icuField(which), status);
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

std::optional<Date> Calendar::dateByAdding(CalendarComponent which, std::int64_t value,
                                           Date date) const {
    if (!inRange(date)) {
        return std::nullopt;
    }
    // Hours, minutes and seconds are elapsed time; only the larger units follow the calendar.
    double unit = 0.0;
    switch (which) {
    case CalendarComponent::hour:
        unit = 3600.0;
        break;
    case CalendarComponent::minute:
        unit = 60.0;
        break;
    case CalendarComponent::second:
        unit = 1.0;
        break;
    default:
        break;
    }
    if (unit != 0.0) {
        const Date result(date.timeIntervalSince1970() + static_cast<double>(value) * unit);
        return inRange(result) ? std::optional<Date>(result) : std::nullopt;
    }
    if (!fitsInt32(value)) {
        return std::nullopt;
    }
    const detail::WorkingCalendar calendar(*m_impl);
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(date.timeIntervalSince1970() * 1000.0, status);
    calendar->add(icuField(which), static_cast<std::int32_t>(value), status);
    const UDate millis = calendar->getTime(status);
    const Date result(millis / 1000.0);
    if (U_FAILURE(status) || !inRange(result)) {
        return std::nullopt;
    }
    return result;
}

std::optional<std::int64_t> Calendar::difference(CalendarComponent which, Date from,
                                                 Date to) const {
    if (!inRange(from) || !inRange(to)) {
        return std::nullopt;
    }
    double unit = 0.0;
    switch (which) {
    case CalendarComponent::hour:
        unit = 3600.0;
        break;
    case CalendarComponent::minute:
        unit = 60.0;
        break;
    case CalendarComponent::second:
        unit = 1.0;
        break;
    default:
        break;
    }
    if (unit != 0.0) {
        return static_cast<std::int64_t>(std::trunc(to.timeIntervalSince(from) / unit));
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
    return localDayNumber(a) == localDayNumber(b);
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
    if (!std::isfinite(date.timeIntervalSince1970())) {
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
