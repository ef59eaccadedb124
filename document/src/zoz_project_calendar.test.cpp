#include "document/zoz_project_calendar.hpp"
#include "document/dezuduz_document_config.hpp"

#include "test_support.hpp"

#include "core/calendar.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace document {
namespace {

using testing::dayOf;
using testing::localDate;
using testing::plusDays;

class CalendarTest : public ::testing::TestWithParam<const char*> {
protected:
    core::ScopedCalendarOverride m_zone{GetParam(), "en_US"};
};

TEST_P(CalendarTest, ExceptionStringParsing) {
    const auto date = localDate(2024, 3, 4);
    EXPECT_TRUE(ZozProjectCalendar(date, date, "").exceptions().empty());
    EXPECT_TRUE(ZozProjectCalendar(date, date, "  \t").exceptions().empty());
    EXPECT_EQ(ZozProjectCalendar(date, date, ";;3;5").exceptions().size(), 2U);
    EXPECT_EQ(ZozProjectCalendar(date, date, "a;3").exceptions().size(), 1U);
    EXPECT_TRUE(ZozProjectCalendar(date, date, " 3").exceptions().empty());
    EXPECT_TRUE(ZozProjectCalendar(date, date, "3.0;+-3;3x;+").exceptions().empty());
    // Huge offsets are range-checked before any arithmetic.
    EXPECT_TRUE(ZozProjectCalendar(date, date,
                                   "9223372036854775807;-9223372036854775808;"
                                   "99999999999999999999;2000000")
                    .exceptions()
                    .empty());

    ZozProjectCalendar calendar(date, date, "+3");
    ASSERT_EQ(calendar.exceptions().size(), 1U);
    EXPECT_EQ(calendar.exceptions()[0], localDate(2000, 1, 4));
    calendar.setDayExceptionString("-1");
    ASSERT_EQ(calendar.exceptions().size(), 1U);
    EXPECT_EQ(calendar.exceptions()[0], localDate(1999, 12, 31));
    EXPECT_EQ(ZozProjectCalendar::singularityOriginalDate(), localDate(2000, 1, 1));
}

TEST_P(CalendarTest, OffsetsOutsideTheValidRangeAreDropped) {
    // The limits are instants fixed once per process; which local days they admit depends on the
    // zone, so the expectation is derived from them.
    const auto& config = DezuduzDocumentConfig::shared();
    const auto origin = ZozProjectCalendar::kSingularityOriginDay;
    const auto first = dayOf(config.minDate()) - origin;
    const auto past = dayOf(config.maxDate()) - origin;
    std::string text;
    std::vector<std::int64_t> expected;
    for (const auto offset : {first - 1, first, first + 1, past - 2, past - 1, past, past + 1}) {
        text += std::to_string(offset) + ";";
        if (config.isValid(core::Calendar::current().startOfLocalDay(origin + offset))) {
            expected.push_back(offset);
        }
    }
    const auto date = localDate(2024, 3, 4);
    EXPECT_EQ(ZozProjectCalendar(date, date, text).getExceptionDayIndexsList(), expected);
    EXPECT_GE(expected.size(), 4U);
    EXPECT_LE(expected.back(), past);
    EXPECT_GE(expected.front(), first);
}

TEST(DocumentConfigTest, ValidityBoundaries) {
    const core::ScopedCalendarOverride zone("Europe/Berlin", "en_US");
    const DezuduzDocumentConfig config(localDate(2026, 5, 17, 15, 30));
    const auto min = localDate(1926, 5, 17);
    const auto max = localDate(2126, 5, 17);
    EXPECT_EQ(config.minDate(), min);
    EXPECT_EQ(config.maxDate(), max);
    EXPECT_TRUE(config.isValid(min));
    EXPECT_FALSE(config.isValid(core::Date(min.timeIntervalSince1970() - 0.001)));
    EXPECT_TRUE(config.isValid(core::Date(max.timeIntervalSince1970() - 0.001)));
    EXPECT_FALSE(config.isValid(max));
    EXPECT_FALSE(config.isValid(core::Date(std::nan(""))));
    EXPECT_EQ(config.defaultTaskColorIndex(), 40);
}

TEST_P(CalendarTest, ExceptionsFlipDays) {
    // 2024-03-09 is a Saturday, 2024-03-06 a Wednesday, 2024-03-07 a Thursday.
    const auto origin = ZozProjectCalendar::kSingularityOriginDay;
    const auto saturday = dayOf(localDate(2024, 3, 9)) - origin;
    const auto wednesday = dayOf(localDate(2024, 3, 6)) - origin;
    const auto thursday = dayOf(localDate(2024, 3, 7)) - origin;
    const std::string text = std::to_string(saturday) + ";" + std::to_string(wednesday) + ";" +
                             std::to_string(thursday) + ";" + std::to_string(thursday);
    ZozProjectCalendar calendar(localDate(2024, 3, 1), localDate(2024, 3, 31), text);
    EXPECT_TRUE(calendar.isWorkingDay(localDate(2024, 3, 9, 15)));
    EXPECT_FALSE(calendar.isWorkingDay(localDate(2024, 3, 10)));
    EXPECT_FALSE(calendar.isWorkingDay(localDate(2024, 3, 6)));
    EXPECT_TRUE(calendar.isWorkingDay(localDate(2024, 3, 7)));
    EXPECT_TRUE(calendar.isWorkingDay(localDate(2024, 3, 5)));
}

TEST_P(CalendarTest, CountsAcrossDaylightSavingChanges) {
    ZozProjectCalendar calendar(localDate(2024, 3, 1), localDate(2024, 3, 31), "");
    // Weeks around the spring change of both zones (US 10 March, Europe 31 March) and the
    // autumn change (Europe 27 October, US 3 November).
    for (const auto monday : {localDate(2024, 3, 4), localDate(2024, 3, 25),
                              localDate(2024, 10, 21), localDate(2024, 10, 28)}) {
        EXPECT_EQ(calendar.countOfWorkingDays(monday, monday), 0);
        EXPECT_EQ(calendar.countOfWorkingDays(monday, plusDays(monday, 7)), 5);
        EXPECT_EQ(calendar.countOfWorkingDays(plusDays(monday, 7), monday), -5);
        EXPECT_EQ(calendar.countOfWorkingDays(plusDays(monday, 4), plusDays(monday, 7)), 1);
    }
    // The time of day does not matter, only the local day.
    EXPECT_EQ(
        calendar.countOfWorkingDays(localDate(2024, 3, 8, 23, 30), localDate(2024, 3, 11, 0, 30)),
        1);
    // A holiday inside a DST week.
    const auto holiday = dayOf(localDate(2024, 3, 27)) - ZozProjectCalendar::kSingularityOriginDay;
    calendar.setDayExceptionString(std::to_string(holiday));
    EXPECT_EQ(calendar.countOfWorkingDays(localDate(2024, 3, 25), localDate(2024, 4, 1)), 4);
    // Far outside the valid range.
    EXPECT_EQ(calendar.countOfWorkingDays(localDate(2024, 3, 4), localDate(2180, 3, 4)), 0);
}

TEST_P(CalendarTest, MapRangeAndGrowth) {
    ZozProjectCalendar calendar(localDate(2024, 3, 6), localDate(2024, 3, 4), "");
    EXPECT_EQ(calendar.mapStart(), localDate(2023, 3, 4));
    EXPECT_EQ(calendar.mapEnd(), localDate(2025, 3, 6));
    // A day three years after the end: the map reaches that day plus a year and starts a year
    // earlier.
    EXPECT_FALSE(calendar.isWorkingDay(localDate(2028, 3, 4))); // a Saturday
    EXPECT_EQ(calendar.mapEnd(), localDate(2029, 3, 4));
    EXPECT_EQ(calendar.mapStart(), localDate(2022, 3, 4));
    // Hostile years are answered without growing the map past the valid range.
    EXPECT_TRUE(calendar.isWorkingDay(localDate(1, 1, 1)));      // a Monday
    EXPECT_TRUE(calendar.isWorkingDay(localDate(9999, 12, 31))); // a Friday
    EXPECT_GE(calendar.mapStart(), localDate(1900, 1, 1));
    EXPECT_LE(calendar.mapEnd(), localDate(2150, 1, 1));
    ZozProjectCalendar hostile(localDate(1, 1, 1), localDate(9999, 1, 1), "");
    EXPECT_GE(hostile.mapStart(), localDate(1900, 1, 1));
    EXPECT_LE(hostile.mapEnd(), localDate(2150, 1, 1));
    EXPECT_EQ(hostile.countOfWorkingDays(localDate(2024, 3, 4), localDate(2024, 3, 11)), 5);
}

TEST_P(CalendarTest, Stepping) {
    ZozProjectCalendar calendar(localDate(2024, 3, 1), localDate(2024, 3, 31), "");
    const auto monday = localDate(2024, 3, 4, 9, 30);
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(monday, 5),
              localDate(2024, 3, 9, 9, 30));
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(monday, 0), monday);
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(monday, -3), monday);
    // A count beyond any map neither overflows nor invents a date: no later day results.
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(
                  monday, std::numeric_limits<std::int64_t>::max()),
              monday);
    const auto far = localDate(2180, 3, 4, 9, 30);
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(far, 3), plusDays(far, 3));
    // Too few working days left in the map: it grows once by a year on each side.
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(localDate(2025, 3, 3), 100),
              plusDays(localDate(2025, 3, 3), 138));
    // A start beyond the map grows it to that start only; too few days fall back to calendar
    // days.
    EXPECT_EQ(calendar.getFinishDateFromStartDateByWorkingDays(localDate(2040, 3, 5), 600),
              plusDays(localDate(2040, 3, 5), 600));

    const auto day = [](int d) { return localDate(2024, 3, d); };
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(4), 1), day(5));    // Mon + 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(8), 1), day(11));   // Fri + 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(9), 1), day(12));   // Sat + 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(12), -1), day(11)); // Tue - 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(11), -1), day(8));  // Mon - 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(day(10), -1), day(7));  // Sun - 1
    EXPECT_EQ(calendar.getWorkingDayByAddWorkingDays(localDate(2024, 3, 9, 13), 0), day(11));
    EXPECT_EQ(calendar.getNextWorkingDayFromDateIncludeCurrent(day(10)), day(11));
    EXPECT_EQ(calendar.getNextWorkingDayFromDateIncludeCurrent(localDate(2024, 3, 6, 8)), day(6));
    EXPECT_EQ(calendar.getPreviousWorkingDayFromDateIncludeCurrent(day(10)), day(8));
}

TEST_P(CalendarTest, RowDataAndExceptionEditing) {
    ZozProjectCalendar calendar(localDate(2024, 3, 1), localDate(2024, 3, 31), "");
    EXPECT_FALSE(calendar.rowData().has_value());
    calendar.addExceptionDay(localDate(2000, 1, 3));
    calendar.addExceptionDay(localDate(1999, 12, 31, 14));
    EXPECT_EQ(calendar.rowData(), "-1;2");
    EXPECT_EQ(calendar.getExceptionDayIndexsList(), (std::vector<std::int64_t>{2, -1}));

    // Any time of an already listed day changes nothing.
    calendar.addExceptionDay(localDate(2000, 1, 3, 18));
    EXPECT_EQ(calendar.exceptions().size(), 2U);
    // A new weekday shows in rowData at once, but takes effect at the next rebuild.
    const auto wednesday = localDate(2024, 3, 6);
    calendar.addExceptionDay(wednesday);
    EXPECT_TRUE(calendar.isWorkingDay(wednesday));
    EXPECT_NE(calendar.rowData()->find(
                  std::to_string(dayOf(wednesday) - ZozProjectCalendar::kSingularityOriginDay)),
              std::string::npos);
    calendar.changeWorkingDay(localDate(2024, 3, 7, 11));
    EXPECT_FALSE(calendar.isWorkingDay(wednesday));
    EXPECT_FALSE(calendar.isWorkingDay(localDate(2024, 3, 7)));
    calendar.changeWorkingDay(localDate(2024, 3, 7, 16));
    EXPECT_TRUE(calendar.isWorkingDay(localDate(2024, 3, 7)));
    // Duplicates are written twice.
    calendar.setDayExceptionString("5;3;5");
    EXPECT_EQ(calendar.rowData(), "3;5;5");
    calendar.setDayExceptions({});
    EXPECT_FALSE(calendar.rowData().has_value());
}

TEST_P(CalendarTest, CloneIsIndependent) {
    ZozProjectCalendar calendar(localDate(2024, 3, 6), localDate(2024, 3, 4), "3;5");
    const auto copy = calendar.clone();
    calendar.setDayExceptionString("");
    EXPECT_EQ(copy->rowData(), "3;5");
    EXPECT_EQ(copy->mapStart(), localDate(2022, 3, 4));
    EXPECT_EQ(copy->mapEnd(), localDate(2026, 3, 6));
}

TEST_P(CalendarTest, ConcurrentGrowthAndLookups) {
    ZozProjectCalendar calendar(localDate(2024, 3, 4), localDate(2024, 3, 4), "");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                // Each thread pulls the map in another direction.
                const int years = (t % 2 == 0 ? 1 : -1) * (i % 60);
                const auto monday = plusDays(localDate(2024, 3, 4), years * 364);
                if (calendar.countOfWorkingDays(monday, plusDays(monday, 7)) != 5 ||
                    !calendar.isWorkingDay(monday) || calendar.isWorkingDay(plusDays(monday, 5))) {
                    ++wrong;
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Zones, CalendarTest,
                         ::testing::Values("Europe/Berlin", "America/New_York"));

} // namespace
} // namespace document
