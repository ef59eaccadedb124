#include "components/month.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

namespace {

using components::CalendarLocale;
using components::CivilDay;
using components::Month;
using std::chrono::days;
using namespace std::chrono_literals;

CivilDay civil(int y, unsigned m, unsigned d) {
    return CivilDay(std::chrono::year(y) / std::chrono::month(m) / std::chrono::day(d));
}

CalendarLocale startingOn(int firstWeekday) {
    CalendarLocale locale;
    locale.firstWeekday = firstWeekday;
    return locale;
}

TEST(MonthGrid, EveryMonthOfTwoCenturiesFillsSixWeeksOfConsecutiveDays) {
    for (int f = 1; f <= 7; ++f) {
        const CalendarLocale locale = startingOn(f);
        for (int year = 1900; year <= 2100; ++year) {
            for (unsigned m = 1; m <= 12; ++m) {
                const Month month(civil(year, m, 1));
                const auto cells = month.visualDays(locale);
                ASSERT_EQ(cells.size(), 42u);
                const int leading = components::leadingDayCount(month.monthDay, locale);
                // The first column is always the locale's first weekday.
                ASSERT_EQ(components::weekdayNumber(cells[0].date), f);
                for (std::size_t i = 0; i < cells.size(); ++i) {
                    ASSERT_EQ(cells[i].visualIndex, static_cast<int>(i));
                    ASSERT_EQ(cells[i].date, month.monthDay + days(static_cast<int>(i) - leading));
                    const std::chrono::year_month_day ymd(cells[i].date);
                    const bool inMonth = static_cast<int>(ymd.year()) == year &&
                                         ymd.month() == std::chrono::month(m);
                    ASSERT_EQ(cells[i].inCurrentMonth, inMonth)
                        << year << "-" << m << " cell " << i;
                }
            }
        }
    }
}

TEST(MonthGrid, HandCheckedMonthsHaveTheirLeadingAndTrailingDays) {
    const auto count = [](const Month& month, const CalendarLocale& locale) {
        const auto cells = month.visualDays(locale);
        int leading = 0;
        while (!cells[static_cast<std::size_t>(leading)].inCurrentMonth) {
            ++leading;
        }
        int trailing = 0;
        while (!cells[41 - static_cast<std::size_t>(trailing)].inCurrentMonth) {
            ++trailing;
        }
        return std::pair{leading, trailing};
    };
    // February 2015 starts on a Sunday: no leading days, two whole weeks of March.
    EXPECT_EQ(count(Month(civil(2015, 2, 10)), startingOn(1)), std::pair(0, 14));
    // January 2022 starts on a Saturday.
    EXPECT_EQ(count(Month(civil(2022, 1, 31)), startingOn(1)), std::pair(6, 5));
    // May 2022 starts on a Sunday, the last column of a Monday-first grid.
    EXPECT_EQ(count(Month(civil(2022, 5, 1)), startingOn(2)).first, 6);
    const auto may = Month(civil(2022, 5, 1)).visualDays(startingOn(2));
    EXPECT_EQ(may[5].date, civil(2022, 4, 30));
    EXPECT_EQ(may[0].date, civil(2022, 4, 25));
}

TEST(MonthGrid, WeekdayTablesFollowTheFirstWeekday) {
    EXPECT_EQ(components::weekdayColumnTable(1), (std::array<int, 7>{6, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(components::weekdayColumnTable(2), (std::array<int, 7>{5, 6, 0, 1, 2, 3, 4}));
    const std::array<std::string, 7> names{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    EXPECT_EQ(components::rotatedWeekdaySymbols(names, 2).front(), "Mon");
    EXPECT_EQ(components::rotatedWeekdaySymbols(names, 2).back(), "Sun");
    EXPECT_EQ(components::rotatedWeekdaySymbols(names, 7).front(), "Sat");
    EXPECT_EQ(components::makeCalendarWeekdayTables(startingOn(1)).shortWeekdaySymbols, names);
}

TEST(MonthValue, AnyDayOfAMonthNamesTheSameMonthAndNavigationCrossesYears) {
    EXPECT_EQ(Month(civil(2024, 3, 1)), Month(civil(2024, 3, 31)));
    EXPECT_NE(Month(civil(2024, 3, 31)), Month(civil(2024, 4, 1)));
    EXPECT_NE(std::hash<Month>()(Month(civil(2024, 3, 1))),
              std::hash<Month>()(Month(civil(2024, 4, 1))));
    const Month december(civil(2023, 12, 5));
    EXPECT_EQ(december.adding(1), Month(civil(2024, 1, 1)));
    EXPECT_EQ(Month(civil(2024, 1, 1)).adding(-1), december);
    EXPECT_EQ(Month(civil(2024, 3, 9)).withYear(2030), Month(civil(2030, 3, 1)));
    // Far moves stop at the ends of the representable years instead of overflowing.
    const Month last = Month(civil(2024, 3, 1)).adding(std::numeric_limits<int>::max());
    EXPECT_EQ(last.year, 32767);
    EXPECT_EQ(last.month, 12);
    EXPECT_EQ(Month(civil(2024, 3, 1)).withYear(std::numeric_limits<int>::min()).year, -32767);
}

TEST(MonthValue, TheZoneDecidesTheDayOnceAndTheTitleIsLocalised) {
    const core::ScopedCalendarOverride havana("America/Havana", "en_US");
    // 2024-03-31 23:30 in Havana is already April in UTC; the month is Havana's.
    const auto lateMarch = core::Calendar::current().dateFromLocal(2024, 3, 31, 23, 30);
    ASSERT_TRUE(lateMarch);
    EXPECT_EQ(Month::containing(*lateMarch), Month(civil(2024, 3, 1)));
    // Havana's clocks skip midnight on 10 March 2024; the day is still there.
    const auto skipped = core::Calendar::current().dateFromLocal(2024, 3, 10, 0, 30);
    ASSERT_TRUE(skipped);
    EXPECT_EQ(components::civilDay(*skipped), civil(2024, 3, 10));
    EXPECT_EQ(Month(civil(2024, 3, 10)).title(), "Mar 2024");
}

TEST(CalendarLocale, WeekendsAreCheckedByWeekday) {
    CalendarLocale locale;
    locale.weekend = {false, false, false, false, false, true, true}; // Friday and Saturday
    EXPECT_TRUE(locale.isWeekend(civil(2024, 3, 8)));                 // a Friday
    EXPECT_FALSE(locale.isWeekend(civil(2024, 3, 10)));               // a Sunday
}

} // namespace
