#include "report/period.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace {

using report::Period;

core::Date at(const core::Calendar& calendar, int year, int month, int day, int hour = 0) {
    return *calendar.dateFromLocal(year, month, day, hour);
}

TEST(Period, DayTimelinesHaveOneColumnPerDayAcrossDaylightSaving) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    const auto three =
        Period::timeline(at(calendar, 2024, 3, 4), at(calendar, 2024, 3, 6), Period::Kind::day);
    ASSERT_EQ(three.size(), 3U);
    EXPECT_EQ(three[2].date(), at(calendar, 2024, 3, 6));

    // 10 March 2024 is 23 hours long in New York.
    const auto dst =
        Period::timeline(at(calendar, 2024, 3, 8), at(calendar, 2024, 3, 12), Period::Kind::day);
    ASSERT_EQ(dst.size(), 5U);
    for (std::size_t i = 0; i < dst.size(); ++i) {
        EXPECT_EQ(dst[i].date(), at(calendar, 2024, 3, 8 + static_cast<int>(i)));
        EXPECT_EQ(report::periodIndex(dst[i].date(), dst[0]), static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(report::periodIndex(at(calendar, 2024, 3, 11, 23), dst[0]), 3);
    EXPECT_EQ(report::periodIndex(at(calendar, 2024, 3, 7, 23), dst[0]), -1);

    const auto backwards =
        Period::timeline(at(calendar, 2024, 3, 6), at(calendar, 2024, 3, 4), Period::Kind::week);
    ASSERT_EQ(backwards.size(), 1U);
    EXPECT_EQ(backwards[0].date(), at(calendar, 2024, 3, 6));
}

TEST(Period, ADayWithoutMidnightStartsAtItsFirstInstant) {
    // São Paulo moved its clocks from 00:00 to 01:00 on Sunday 4 November 2018.
    const core::ScopedCalendarOverride pin("America/Sao_Paulo", "pt_BR");
    const auto calendar = core::Calendar::current();
    const auto days =
        Period::timeline(at(calendar, 2018, 11, 3), at(calendar, 2018, 11, 5), Period::Kind::day);
    ASSERT_EQ(days.size(), 3U);
    EXPECT_EQ(days[1].date(), at(calendar, 2018, 11, 4, 1));
    EXPECT_EQ(days[2].date().timeIntervalSince(days[1].date()), 23 * 3600.0);
    EXPECT_EQ(report::periodIndex(at(calendar, 2018, 11, 4, 12), days[0]), 1);
    const auto weeks =
        Period::timeline(at(calendar, 2018, 11, 1), at(calendar, 2018, 11, 5), Period::Kind::week);
    ASSERT_EQ(weeks.size(), 2U);
    EXPECT_EQ(weeks[1].date(), at(calendar, 2018, 11, 4, 1));
}

TEST(Period, WeekColumnsStartOnSundayWhateverTheLocale) {
    for (const char* locale : {"en_US", "de_DE"}) {
        const core::ScopedCalendarOverride pin("Europe/Berlin", locale);
        const auto calendar = core::Calendar::current();
        // Wednesday 3 January 2024 to the end of the year.
        const auto weeks = Period::timeline(at(calendar, 2024, 1, 3), at(calendar, 2024, 12, 31),
                                            Period::Kind::week);
        ASSERT_EQ(weeks.size(), 53U) << locale;
        EXPECT_EQ(weeks[1].date(), at(calendar, 2024, 1, 7));
        const auto& first = weeks[0];
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 1, 6, 12), first), 0);
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 1, 7), first), 1);
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 1, 8), first), 1);
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 1, 10), first), 1);
        // Monday 30 December 2024 is in week 1 of 2025 in both locales' numbering, yet in the
        // year's last column.
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 12, 30), first), 52);
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 12, 29), first), 52);
        EXPECT_EQ(report::periodIndex(at(calendar, 2024, 12, 28), first), 51);
    }
    const core::ScopedCalendarOverride us("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    const Period week(at(calendar, 2024, 12, 29), Period::Kind::week);
    const auto& payload = std::get<Period::Week>(week.payload());
    EXPECT_EQ(payload.week, 1);
    EXPECT_EQ(payload.year, 2024);
    const core::ScopedCalendarOverride de("Europe/Berlin", "de_DE");
    const auto berlin = core::Calendar::current();
    const Period german(at(berlin, 2024, 12, 29), Period::Kind::week);
    EXPECT_EQ(std::get<Period::Week>(german.payload()).week, 52);
}

TEST(Period, MonthTimelines) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "en_GB");
    const auto calendar = core::Calendar::current();
    const auto months =
        Period::timeline(at(calendar, 2023, 11, 15), at(calendar, 2024, 2, 1), Period::Kind::month);
    ASSERT_EQ(months.size(), 4U);
    EXPECT_EQ(months[1].date(), at(calendar, 2023, 12, 1));
    EXPECT_EQ(months[3].date(), at(calendar, 2024, 2, 1));
    const auto& march = std::get<Period::Month>(months[2].payload());
    EXPECT_EQ(march.month, 1);
    EXPECT_EQ(march.year, 2024);
    EXPECT_EQ(report::periodIndex(at(calendar, 2024, 1, 20), months[0]), 2);
    EXPECT_EQ(report::periodIndex(at(calendar, 2023, 11, 14), months[0]), -1);
    EXPECT_EQ(report::periodIndex(at(calendar, 2023, 10, 14), months[0]), -2);
}

TEST(Period, DayStartsAndKinds) {
    const core::ScopedCalendarOverride pin("America/New_York", "en_US");
    const auto calendar = core::Calendar::current();
    std::vector<core::Date> seen;
    report::calendarDayStarts(at(calendar, 2024, 3, 9, 15), at(calendar, 2024, 3, 11),
                              [&](core::Date date) { seen.push_back(date); });
    EXPECT_EQ(seen,
              (std::vector<core::Date>{at(calendar, 2024, 3, 9, 15), at(calendar, 2024, 3, 10),
                                       at(calendar, 2024, 3, 11)}));
    seen.clear();
    report::calendarDayStarts(at(calendar, 2024, 3, 5), at(calendar, 2024, 3, 4),
                              [&](core::Date date) { seen.push_back(date); });
    EXPECT_EQ(seen.size(), 1U);
    EXPECT_EQ(Period::kindFromRaw(1), Period::Kind::week);
    EXPECT_FALSE(Period::kindFromRaw(3));
    EXPECT_FALSE(Period::kindFromRaw(-1));
}

} // namespace
