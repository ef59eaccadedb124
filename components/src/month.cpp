#include "components/month.hpp"

#include "core/calendar.hpp"
#include "core/date_formatter.hpp"

#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <mutex>

namespace components {
namespace {

using std::chrono::days;
using std::chrono::year_month_day;

constexpr std::int64_t kFirstYear = -32767;
constexpr std::int64_t kLastYear = 32767;

// Qt numbers weekdays Monday = 1 ... Sunday = 7; our tables start on Sunday.
Qt::DayOfWeek qtDayOfSundayIndex(int index) {
    return static_cast<Qt::DayOfWeek>(index == 0 ? 7 : index);
}

int normalisedFirstWeekday(int firstWeekday) noexcept {
    const int f = ((firstWeekday - 1) % 7 + 7) % 7;
    return f + 1;
}

Month monthOfIndex(std::int64_t index) noexcept {
    // index = year * 12 + (month - 1), clamped to the years a civil date can hold.
    index = std::clamp(index, kFirstYear * 12, kLastYear * 12 + 11);
    const std::int64_t year = index >= 0 ? index / 12 : -((-index + 11) / 12);
    const auto month = static_cast<unsigned>(index - year * 12 + 1);
    return Month(std::chrono::sys_days(std::chrono::year(static_cast<int>(year)) /
                                       std::chrono::month(month) / 1));
}

} // namespace

CalendarLocale CalendarLocale::system() {
    CalendarLocale locale;
    locale.firstWeekday = core::Calendar::current().firstWeekday();
    const QLocale qtLocale = QLocale::system();
    const QList<Qt::DayOfWeek> workingDays = qtLocale.weekdays();
    for (int i = 0; i < 7; ++i) {
        const Qt::DayOfWeek day = qtDayOfSundayIndex(i);
        const auto index = static_cast<std::size_t>(i);
        locale.weekend[index] = !workingDays.contains(day);
        locale.shortWeekdaySymbols[index] =
            qtLocale.standaloneDayName(day, QLocale::ShortFormat).toStdString();
        locale.veryShortWeekdaySymbols[index] =
            qtLocale.standaloneDayName(day, QLocale::NarrowFormat).toStdString();
    }
    return locale;
}

bool CalendarLocale::isWeekend(CivilDay day) const noexcept {
    return weekend[static_cast<std::size_t>(weekdayNumber(day) - 1)];
}

const CalendarLocale& moduleCalendar() {
    static const CalendarLocale locale = CalendarLocale::system();
    return locale;
}

std::array<int, 7> weekdayColumnTable(int firstWeekday) noexcept {
    const int f = normalisedFirstWeekday(firstWeekday);
    std::array<int, 7> table{};
    for (int i = 0; i < 7; ++i) {
        table[static_cast<std::size_t>(i)] = i < f ? i + 7 - f : i - f;
    }
    return table;
}

std::array<std::string, 7> rotatedWeekdaySymbols(const std::array<std::string, 7>& symbols,
                                                 int firstWeekday) {
    const auto k = static_cast<std::size_t>(normalisedFirstWeekday(firstWeekday) - 1);
    std::array<std::string, 7> rotated;
    for (std::size_t i = 0; i < 7; ++i) {
        rotated[i] = symbols[(k + i) % 7];
    }
    return rotated;
}

CalendarWeekdayTables makeCalendarWeekdayTables(const CalendarLocale& locale) {
    return {rotatedWeekdaySymbols(locale.shortWeekdaySymbols, locale.firstWeekday),
            rotatedWeekdaySymbols(locale.veryShortWeekdaySymbols, locale.firstWeekday),
            weekdayColumnTable(locale.firstWeekday)};
}

const CalendarWeekdayTables& calendarWeekdayTables() {
    static const CalendarWeekdayTables tables = makeCalendarWeekdayTables(moduleCalendar());
    return tables;
}

int weekdayNumber(CivilDay day) noexcept {
    return static_cast<int>(std::chrono::weekday(day).c_encoding()) + 1;
}

int leadingDayCount(CivilDay monthDay, const CalendarLocale& locale) noexcept {
    const int w = weekdayNumber(monthDay);
    return weekdayColumnTable(locale.firstWeekday)[static_cast<std::size_t>(w % 7)];
}

Month::Month() : Month(CivilDay{}) {}

Month::Month(CivilDay day) {
    const year_month_day ymd(day);
    monthDay = std::chrono::sys_days(ymd.year() / ymd.month() / 1);
    year = static_cast<int>(ymd.year());
    month = static_cast<int>(static_cast<unsigned>(ymd.month()));
}

Month Month::containing(core::Date date) {
    return Month(civilDay(date));
}

std::string Month::title() const {
    // Formatted at noon UTC of the civil day, so no zone can move the date into another day.
    static core::DateFormatter formatter;
    static std::once_flag once;
    std::call_once(once, [] {
        formatter.setTimeZone("UTC");
        formatter.setLocalizedDateFormatFromTemplate("yMMM");
    });
    const double seconds =
        static_cast<double>(monthDay.time_since_epoch().count()) * 86400.0 + 43200.0;
    return formatter.string(core::Date(seconds));
}

std::vector<Month::VisualDay> Month::visualDays(const CalendarLocale& locale) const {
    std::vector<VisualDay> cells;
    cells.reserve(kVisualDayCount);
    const auto append = [&cells](CivilDay day, bool inMonth) {
        cells.push_back({static_cast<int>(cells.size()), day, inMonth});
    };
    const int leading = leadingDayCount(monthDay, locale);
    for (int k = -leading; k < 0; ++k) {
        append(monthDay + days(k), false);
    }
    const CivilDay nextMonth = adding(1).monthDay;
    for (CivilDay day = monthDay; day < nextMonth; day += days(1)) {
        append(day, true);
    }
    for (int i = 0; cells.size() < static_cast<std::size_t>(kVisualDayCount); ++i) {
        append(nextMonth + days(i), false);
    }
    return cells;
}

Month Month::adding(int months) const noexcept {
    return monthOfIndex(static_cast<std::int64_t>(year) * 12 + (month - 1) + months);
}

Month Month::withYear(int newYear) const noexcept {
    return monthOfIndex(static_cast<std::int64_t>(newYear) * 12 + (month - 1));
}

CivilDay civilDay(core::Date date) {
    return CivilDay(days(core::Calendar::current().localDayNumber(date)));
}

} // namespace components

std::size_t
std::hash<components::Month>::operator()(const components::Month& month) const noexcept {
    std::size_t seed = std::hash<long long>()(month.monthDay.time_since_epoch().count());
    for (const int part : {month.year, month.month}) {
        seed ^= std::hash<int>()(part) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    }
    return seed;
}
