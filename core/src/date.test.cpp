#include "core/date.hpp"
#include "core/calendar.hpp"
#include "core/date_amounts.hpp"
#include "core/date_formatter.hpp"

#include <unicode/gregocal.h>
#include <unicode/timezone.h>

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

namespace {

using core::Calendar;
using core::CalendarComponent;
using core::Date;
using core::DateStyle;
using core::ScopedCalendarOverride;
using core::VtDays;
using core::VtMonths;
using core::VtSeconds;
using core::VtYears;

constexpr double kHour = 3600.0;
constexpr double kDay = 86400.0;

// A local wall time in the current calendar.
Date local(std::int64_t y, int m, int d, int hh = 0, int mm = 0, double ss = 0) {
    return *Calendar::current().dateFromLocal(y, m, d, hh, mm, ss);
}

bool sameBits(Date a, Date b) {
    return std::bit_cast<std::uint64_t>(a.timeIntervalSince1970()) ==
           std::bit_cast<std::uint64_t>(b.timeIntervalSince1970());
}

TEST(Date, AmountsOfZeroReturnTheDateItself) {
    const ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const Date date(1711800000.123456);
    EXPECT_TRUE(sameBits(date + VtDays(0), date));
    EXPECT_TRUE(sameBits(date - VtYears(0), date));
    EXPECT_TRUE(sameBits(date + VtMonths(0), date));
    EXPECT_TRUE(sameBits(date - VtSeconds(0), date));
    EXPECT_TRUE(sameBits(*date.addingByDays(0), date));
    EXPECT_EQ(*date.addingByMonths(0), date);
    using namespace core::literals;
    EXPECT_EQ(date + 2_days, *date.addingByDays(2));
    EXPECT_EQ(date - 1_years, *date.addingByYears(-1));
    EXPECT_EQ((date + 90_seconds).timeIntervalSince(date), 90.0);
    EXPECT_EQ(VtDays(5).count, 5);
}

TEST(Date, DayArithmeticKeepsWallTimeAcrossTransitions) {
    for (const char* zone : {"Europe/Berlin", "America/New_York"}) {
        SCOPED_TRACE(zone);
        const ScopedCalendarOverride pin(zone, "en_US");
        const bool berlin = std::string(zone) == "Europe/Berlin";
        const int springDay = berlin ? 31 : 10;
        const int springMonth = 3;
        const Date springNext = berlin ? local(2024, 4, 1) : local(2024, 3, 11);
        const int autumnDay = berlin ? 27 : 3;
        const int autumnMonth = berlin ? 10 : 11;
        // Spring: a 23-hour day is one day, noon stays noon.
        const Date before = local(2024, springMonth, springDay - 1, 12);
        const Date after = before + VtDays(1);
        EXPECT_EQ(after, local(2024, springMonth, springDay, 12));
        EXPECT_EQ(after.timeIntervalSince(before), 23 * kHour);
        const Date dayStart = local(2024, springMonth, springDay);
        const Date nextStart = springNext;
        EXPECT_EQ(nextStart.timeIntervalSince(dayStart), 23 * kHour);
        EXPECT_EQ(nextStart.days(dayStart), 1);
        EXPECT_EQ(dayStart.days(nextStart), -1);
        EXPECT_EQ(nextStart.hours(dayStart), 23);
        EXPECT_EQ((dayStart - VtDays(1)).days(nextStart), -2);
        // Autumn: a 25-hour day is one day too.
        const Date autumnStart = local(2024, autumnMonth, autumnDay);
        const Date autumnNext = autumnStart + VtDays(1);
        EXPECT_EQ(autumnNext.timeIntervalSince(autumnStart), 25 * kHour);
        EXPECT_EQ(autumnNext.days(autumnStart), 1);
        EXPECT_EQ(Date(autumnNext.timeIntervalSince1970() - 1).days(autumnStart), 0);
        // A whole week over the change.
        EXPECT_EQ((autumnStart + VtDays(7)).weeks(autumnStart), 1);
        EXPECT_EQ((autumnStart + VtDays(7)).days(autumnStart), 7);
        EXPECT_EQ((autumnStart + VtDays(3)).toDayOnly(Calendar::current()),
                  local(2024, autumnMonth, autumnDay + 3));
    }
}

TEST(Date, DifferencesCountWholeUnits) {
    const ScopedCalendarOverride pin("America/New_York", "en_US");
    const Date march9Noon = local(2024, 3, 9, 12);
    const Date march9 = local(2024, 3, 9);
    const Date march10 = local(2024, 3, 10);
    EXPECT_EQ(march10.days(march9Noon), 0);
    EXPECT_EQ(march10.days(march9), 1);
    EXPECT_EQ(march9.days(march10), -1);
    EXPECT_EQ(march9.days(march9), 0);
    const Date start = local(2024, 1, 1);
    EXPECT_EQ((start + VtDays(13)).weeks(start), 1);
    EXPECT_EQ((start + VtDays(14)).weeks(start), 2);
    EXPECT_EQ((start - VtDays(13)).weeks(start), -1);
    EXPECT_EQ(local(2025, 1, 31).months(start), 12);
    EXPECT_EQ(local(2025, 12, 31).years(start), 1);
    EXPECT_EQ(local(2024, 1, 1, 1, 30).minutes(start), 90);
    EXPECT_EQ(Date(start.timeIntervalSince1970() + 1.5).milliseconds(start), 1500);
    EXPECT_EQ(Date(start.timeIntervalSince1970() + 59.9).seconds(start), 59);
    EXPECT_EQ(Date(start.timeIntervalSince1970() + 0.0009).milliseconds(start), 0);
    EXPECT_EQ(Date(start.timeIntervalSince1970() - 0.0009).milliseconds(start), 0);
    EXPECT_EQ(Date(1e300).milliseconds(Date(0)), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Date(-1e300).milliseconds(Date(0)), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Date(NAN).milliseconds(Date(0)), 0);
}

TEST(Date, MonthsClampToTheLastDayAndBoundariesFollowTheMonth) {
    const ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    EXPECT_EQ(local(2024, 1, 31, 10, 15) + VtMonths(1), local(2024, 2, 29, 10, 15));
    EXPECT_EQ(local(2023, 1, 31, 10, 15) + VtMonths(1), local(2023, 2, 28, 10, 15));
    EXPECT_EQ(local(2024, 3, 31) - VtMonths(1), local(2024, 2, 29));
    EXPECT_EQ(local(2024, 2, 29) + VtYears(1), local(2025, 2, 28));
    EXPECT_EQ(local(2024, 12, 15) + VtMonths(1), local(2025, 1, 15));
    for (int day = 1; day <= 29; ++day) {
        const Date date = local(2024, 2, day, 13, 45);
        EXPECT_EQ(date.lastDayInSameMonth(), local(2024, 2, 29));
        EXPECT_EQ(date.firstDayInSameMonth(), local(2024, 2, 1));
    }
    EXPECT_EQ(local(2024, 3, 31, 23, 59, 59).toDayOnly(Calendar::current()), local(2024, 3, 31));
    EXPECT_EQ(local(2024, 3, 31).toDayOnly(Calendar::current()), local(2024, 3, 31));
    // In another calendar's zone the day is that zone's day.
    const Calendar tokyo = Calendar::withSettings({"Asia/Tokyo", "ja_JP", {}, {}});
    EXPECT_EQ(local(2024, 3, 31, 18).toDayOnly(tokyo).timeIntervalSince1970(),
              local(2024, 4, 1, 0).timeIntervalSince1970() - 7 * kHour);
    EXPECT_EQ(Date::create(2024, 2, 29, Calendar::current()), local(2024, 2, 29));
    EXPECT_EQ(Date::create(2024, 13, 1, Calendar::current()), local(2025, 1, 1));
    EXPECT_EQ(Date::today(), Date::now().toDayOnly(Calendar::current()));
}

TEST(Date, GettersFollowTheLocaleWeekRules) {
    const Date sunday = [] {
        const ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
        return local(2024, 3, 3, 15, 4, 5);
    }();
    {
        const ScopedCalendarOverride pin("Europe/Berlin", "de_DE"); // Monday first, 4 days
        EXPECT_EQ(sunday.year(), 2024);
        EXPECT_EQ(sunday.month(), 3);
        EXPECT_EQ(sunday.day(), 3);
        EXPECT_EQ(sunday.weekday(), 1);
        EXPECT_EQ(sunday.hour(), 15);
        EXPECT_EQ(sunday.minute(), 4);
        EXPECT_EQ(sunday.second(), 5);
        EXPECT_EQ(sunday.weekOfYear(), 9);
        EXPECT_EQ(local(2021, 1, 1).weekOfYear(), 53);
        EXPECT_EQ(local(2024, 12, 30).weekOfYear(), 1);
        EXPECT_EQ(sunday.getComponent(CalendarComponent::weekdayOrdinal), 1);
        const auto parts = sunday.getComponents();
        EXPECT_EQ(parts[0], 2024);
        EXPECT_EQ(parts[5], 5);
    }
    {
        const ScopedCalendarOverride pin("Europe/Berlin", "en_US"); // Sunday first, 1 day
        EXPECT_EQ(sunday.weekOfYear(), 10);
        EXPECT_EQ(local(2021, 1, 1).weekOfYear(), 1);
        EXPECT_EQ(sunday.weekOfMonth(), 2);
    }
}

TEST(Date, WeekStartsAndWeekends) {
    const ScopedCalendarOverride pin("Europe/Berlin", "en_US");
    const Date sunday = local(2024, 3, 31, 18);
    const Calendar mondayFirst = Calendar::withSettings({"Europe/Berlin", "de_DE", 2, 4});
    const Calendar sundayFirst = Calendar::withSettings({"Europe/Berlin", "en_US", 1, 1});
    EXPECT_EQ(sunday.firstDayInSameWeek(mondayFirst), local(2024, 3, 25));
    EXPECT_EQ(sunday.firstDayInSameWeek(sundayFirst), local(2024, 3, 31));
    EXPECT_EQ(local(2024, 4, 3).firstDayInSameWeek(mondayFirst), local(2024, 4, 1));
    EXPECT_TRUE(std::isnan(Date(NAN).firstDayInSameWeek(mondayFirst).timeIntervalSince1970()));

    // Israel's locale weekend is Friday and Saturday; ours is Saturday and Sunday regardless.
    const ScopedCalendarOverride israel("Asia/Jerusalem", "he_IL");
    EXPECT_TRUE(local(2024, 3, 30).isWeekend());  // Saturday
    EXPECT_TRUE(local(2024, 3, 31).isWeekend());  // Sunday
    EXPECT_FALSE(local(2024, 3, 29).isWeekend()); // Friday
    EXPECT_FALSE(local(2024, 4, 1).isWeekend());  // Monday
    EXPECT_TRUE(local(2024, 3, 31, 1).isInSameDay(local(2024, 3, 31, 23), Calendar::current()));
    EXPECT_FALSE(local(2024, 3, 31, 1).isInSameDay(local(2024, 4, 1), Calendar::current()));
}

TEST(Date, ArithmeticThatYieldsNoDateLeavesTheDateAlone) {
    const ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const Date date = local(2024, 3, 31, 12);
    const std::int64_t most = std::numeric_limits<std::int64_t>::max();
    const std::int64_t least = std::numeric_limits<std::int64_t>::min();
    EXPECT_FALSE(date.addingByYears(most));
    EXPECT_FALSE(date.addingByDays(least));
    EXPECT_FALSE(date.addingBySeconds(most));
    EXPECT_FALSE(date.addingByYears(10'000'000));
    EXPECT_EQ(date + VtYears(most), date);
    EXPECT_EQ(date - VtYears(least), date);
    EXPECT_EQ(date - VtDays(least), date);
    EXPECT_EQ(date - VtMonths(least), date);
    EXPECT_EQ(date + VtSeconds(most), date);
    EXPECT_EQ(date - VtSeconds(least), date);
    const Date huge(1e300);
    EXPECT_EQ((huge + VtDays(1)).timeIntervalSince1970(), 1e300);
    EXPECT_FALSE(huge.firstDayInSameMonth());
    EXPECT_FALSE(huge.lastDayInSameMonth());
    EXPECT_EQ(huge.year(), 0);
    EXPECT_EQ(huge.days(date), 0);
    EXPECT_EQ(huge.toString("yyyy"), "");
    // Finite dates beyond the calendar have no day: they stay where they are.
    for (const double seconds : {1e300, -1e300, 1.9e14}) {
        const Date far(seconds);
        EXPECT_TRUE(sameBits(far.toDayOnly(Calendar::current()), far));
        EXPECT_TRUE(sameBits(far.firstDayInSameWeek(Calendar::current()), far));
        EXPECT_FALSE(far.isInSameDay(Date(seconds * 1.5), Calendar::current()));
    }
    EXPECT_FALSE(Date(NAN).isInSameDay(Date(0), Calendar::current()));
    EXPECT_FALSE(Date::create(2024, least, 1, Calendar::current()));
    EXPECT_FALSE(Date::create(2024, most, 1, Calendar::current()));
    // Far but valid dates still work, through ICU.
    EXPECT_EQ((local(2024, 1, 31) + VtYears(500)).year(), 2524);
    EXPECT_EQ(local(1500, 6, 1, 12).day(), 1); // proleptic Gregorian, as the day helpers
    EXPECT_EQ(Date::create(1500, 6, 1, Calendar::current()), local(1500, 6, 1));
}

TEST(Date, ParsingIsStrictAndFormattingFollowsTheLocale) {
    const ScopedCalendarOverride pin("Europe/Berlin", "en_US");
    EXPECT_EQ(Date::parse("2024-03-31", "yyyy-MM-dd"), local(2024, 3, 31));
    EXPECT_EQ(Date::parse("2024-03-31T18:00:00", "yyyy-MM-dd'T'HH:mm:ss"), local(2024, 3, 31, 18));
    EXPECT_FALSE(Date::parse("2024-03-31x", "yyyy-MM-dd"));
    EXPECT_FALSE(Date::parse("2024-03-31 18:00:00", "yyyy-MM-dd'T'HH:mm:ss"));
    EXPECT_FALSE(Date::parse("2024-03", "yyyy-MM-dd"));
    EXPECT_FALSE(Date::parse("2024-02-30", "yyyy-MM-dd"));
    EXPECT_FALSE(Date::parse("2024-13-01", "yyyy-MM-dd"));
    EXPECT_FALSE(Date::parse("", "yyyy-MM-dd"));
    EXPECT_FALSE(Date::parse(" 2024-03-31", "yyyy-MM-dd"));
    // Text that stops before the pattern's closing literal is only a partial match.
    EXPECT_FALSE(Date::parse("2024-03-31", "yyyy-MM-dd'T'"));
    EXPECT_FALSE(Date::parse("12", "HH'h'"));
    EXPECT_FALSE(Date::parse("[2024-03-31", "[yyyy-MM-dd]"));
    EXPECT_EQ(Date::parse("[2024-03-31]", "[yyyy-MM-dd]"), local(2024, 3, 31));
    EXPECT_EQ(Date::parse("12 o'clock", "HH 'o''clock'"), local(1970, 1, 1, 12));
    // A wall time skipped by the spring change moves forward over the gap.
    EXPECT_EQ(Date::parse("2024-03-31 02:30", "yyyy-MM-dd HH:mm"), local(2024, 3, 31, 3, 30));
    EXPECT_EQ(local(2024, 3, 31, 14, 5).toString("yyyy-MM-dd HH:mm"), "2024-03-31 14:05");
    EXPECT_EQ(local(2024, 3, 31, 14, 5).toString("EEEE d MMMM"), "Sunday 31 March");
    EXPECT_EQ(local(2024, 3, 31, 14, 5).toString(DateStyle::short_, DateStyle::short_, false),
              "3/31/24, 2:05\u202fPM");
    EXPECT_EQ(local(2024, 3, 31).toString(DateStyle::medium, DateStyle::none, false),
              "Mar 31, 2024");
    EXPECT_EQ(local(2024, 3, 31).toString(DateStyle::none, DateStyle::none, false), "");
    EXPECT_EQ(Date::now().toString(DateStyle::medium, DateStyle::none, true), "Today");
    const ScopedCalendarOverride german("Europe/Berlin", "de_DE");
    EXPECT_EQ(local(2024, 3, 31, 14, 5).toString("EEEE d. MMMM"), "Sonntag 31. März");
    EXPECT_EQ(Date::parse("31.03.2024", "dd.MM.yyyy"), local(2024, 3, 31));
}

// ICU's own calendar as the reference for the arithmetic done without it.
class IcuReference {
public:
    IcuReference(const char* zone, const char* locale) {
        UErrorCode status = U_ZERO_ERROR;
        m_calendar = std::make_unique<icu::GregorianCalendar>(icu::TimeZone::createTimeZone(zone),
                                                              icu::Locale(locale), status);
        m_calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
        m_calendar->setSkippedWallTimeOption(UCAL_WALLTIME_LAST);
    }
    std::int64_t difference(double from, double to, UCalendarDateFields field) {
        UErrorCode status = U_ZERO_ERROR;
        m_calendar->setTime(from * 1000, status);
        return m_calendar->fieldDifference(to * 1000, field, status);
    }
    double addDays(double t, std::int32_t days) {
        UErrorCode status = U_ZERO_ERROR;
        m_calendar->setTime(t * 1000, status);
        m_calendar->add(UCAL_DATE, days, status);
        return m_calendar->getTime(status) / 1000;
    }
    std::int64_t get(double t, UCalendarDateFields field) {
        UErrorCode status = U_ZERO_ERROR;
        m_calendar->setTime(t * 1000, status);
        return m_calendar->get(field, status);
    }

private:
    std::unique_ptr<icu::Calendar> m_calendar;
};

TEST(Date, DayArithmeticAgreesWithIcu) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> anchors(-2.0e9, 4.0e9);
    std::uniform_int_distribution<int> spans(-40, 40);
    std::uniform_int_distribution<int> quarterHours(-200, 200);
    const char* const locales[] = {"en_US", "de_DE", "fr_FR", "ar_EG", "en_GB"};
    for (const char* zone : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe",
                             "America/Sao_Paulo", "Pacific/Apia", "Asia/Kolkata"}) {
        for (const char* locale : locales) {
            const Calendar calendar = Calendar::withSettings({zone, locale, {}, {}});
            IcuReference icu(zone, locale);
            for (int i = 0; i < 400; ++i) {
                const double from = std::floor(anchors(random) / 900) * 900;
                const double to = from + spans(random) * kDay + quarterHours(random) * 900.0;
                SCOPED_TRACE(std::string(zone) + " " + locale + " " + std::to_string(from) + " " +
                             std::to_string(to));
                ASSERT_EQ(calendar.difference(CalendarComponent::day, Date(from), Date(to)),
                          icu.difference(from, to, UCAL_DATE));
                ASSERT_EQ(calendar.difference(CalendarComponent::weekOfYear, Date(from), Date(to)),
                          icu.difference(from, to, UCAL_WEEK_OF_YEAR));
                const int step = spans(random);
                ASSERT_EQ(calendar.dateByAdding(CalendarComponent::day, step, Date(from))
                              ->timeIntervalSince1970(),
                          icu.addDays(from, step));
                ASSERT_EQ(calendar.component(CalendarComponent::weekOfYear, Date(to)),
                          icu.get(to, UCAL_WEEK_OF_YEAR));
                ASSERT_EQ(calendar.component(CalendarComponent::hour, Date(to)),
                          icu.get(to, UCAL_HOUR_OF_DAY));
                ASSERT_EQ(calendar.component(CalendarComponent::month, Date(to)),
                          icu.get(to, UCAL_MONTH) + 1);
            }
        }
    }
}

TEST(Date, WeekNumbersAgreeWithIcuUnderEveryWeekRule) {
    // Year ends are where the week rules differ: check every first weekday and minimum length
    // of the first week against ICU around each new year of three decades.
    for (int firstWeekday = 1; firstWeekday <= 7; ++firstWeekday) {
        for (int minimumDays = 1; minimumDays <= 7; ++minimumDays) {
            const Calendar calendar =
                Calendar::withSettings({"America/New_York", "en_US", firstWeekday, minimumDays});
            UErrorCode status = U_ZERO_ERROR;
            icu::GregorianCalendar icu(icu::TimeZone::createTimeZone("America/New_York"),
                                       icu::Locale("en_US"), status);
            icu.setFirstDayOfWeek(static_cast<UCalendarDaysOfWeek>(firstWeekday));
            icu.setMinimalDaysInFirstWeek(static_cast<std::uint8_t>(minimumDays));
            for (int year = 2000; year <= 2030; ++year) {
                const double newYear =
                    static_cast<double>(Calendar::dayNumberFromCivil(year, 1, 1)) * kDay;
                for (int offset = -12; offset <= 12; ++offset) {
                    const double noon = newYear + offset * kDay + 17 * kHour;
                    icu.setTime(noon * 1000, status);
                    ASSERT_EQ(calendar.component(CalendarComponent::weekOfYear, Date(noon)),
                              icu.get(UCAL_WEEK_OF_YEAR, status))
                        << firstWeekday << "/" << minimumDays << " " << year << " " << offset;
                }
            }
        }
    }
}

} // namespace
