#include "core/calendar.hpp"

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using core::Calendar;
using core::CalendarComponent;
using core::Date;
using core::ScopedCalendarOverride;

constexpr double kHour = 3600.0;
constexpr double kDay = 86400.0;

// Seconds since 1970 of a UTC wall time.
double utc(std::int64_t y, int m, int d, int hh = 0, int mm = 0) {
    return static_cast<double>(Calendar::dayNumberFromCivil(y, m, d)) * kDay + hh * kHour +
           mm * 60.0;
}

std::string icuDefaultZoneId() {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    icu::UnicodeString id;
    zone->getID(id);
    std::string text;
    id.toUTF8String(text);
    return text;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(Calendar, CivilDayNumbersRoundTrip) {
    EXPECT_EQ(Calendar::dayNumberFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(Calendar::dayNumberFromCivil(2000, 1, 1), 10957);
    EXPECT_EQ(Calendar::dayNumberFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(Calendar::weekdayOfDayNumber(0), 5);  // Thursday
    EXPECT_EQ(Calendar::weekdayOfDayNumber(-4), 1); // Sunday 1969-12-28
    EXPECT_EQ(Calendar::weekdayOfDayNumber(Calendar::dayNumberFromCivil(2024, 3, 31)), 1);
    for (std::int64_t day = -800000; day < 800000; day += 97) {
        const auto civil = Calendar::civilFromDayNumber(day);
        EXPECT_EQ(Calendar::dayNumberFromCivil(civil.year, civil.month, civil.day), day);
    }
    EXPECT_EQ(Calendar::civilFromDayNumber(Calendar::dayNumberFromCivil(2024, 2, 29)),
              (Calendar::CivilDate{2024, 2, 29}));
}

TEST(Calendar, OverridePinsZoneLocaleAndIcuDefault) {
    {
        const ScopedCalendarOverride outer("Europe/Berlin", "de_DE");
        Calendar calendar = Calendar::current();
        EXPECT_EQ(calendar.timeZoneId(), "Europe/Berlin");
        EXPECT_EQ(calendar.settings().localeId, "de_DE");
        EXPECT_EQ(calendar.firstWeekday(), 2);
        EXPECT_EQ(calendar.minimumDaysInFirstWeek(), 4);
        EXPECT_EQ(icuDefaultZoneId(), "Europe/Berlin");
        {
            const ScopedCalendarOverride inner("America/New_York", "en_US");
            calendar = Calendar::current();
            EXPECT_EQ(calendar.timeZoneId(), "America/New_York");
            EXPECT_EQ(calendar.firstWeekday(), 1);
            EXPECT_EQ(calendar.minimumDaysInFirstWeek(), 1);
            EXPECT_EQ(icuDefaultZoneId(), "America/New_York");
            const ScopedCalendarOverride weekRules("America/New_York", "en_US", 2, 4);
            EXPECT_EQ(Calendar::current().firstWeekday(), 2);
            EXPECT_EQ(Calendar::current().minimumDaysInFirstWeek(), 4);
        }
        EXPECT_EQ(Calendar::current().timeZoneId(), "Europe/Berlin");
        EXPECT_EQ(icuDefaultZoneId(), "Europe/Berlin");
        // The plain Gregorian calendar keeps the zone but not the locale's week rules.
        EXPECT_EQ(Calendar::gregorian().timeZoneId(), "Europe/Berlin");
        EXPECT_EQ(Calendar::gregorian().firstWeekday(), 1);
    }
    EXPECT_THROW(ScopedCalendarOverride("Mars/Olympus", "en_US"), std::invalid_argument);
}

TEST(Calendar, CurrentReadsTheEnvironmentAfresh) {
    const ScopedEnv tz("TZ", "America/Sao_Paulo");
    const ScopedEnv all("LC_ALL", "de_DE.UTF-8");
    Calendar calendar = Calendar::current();
    EXPECT_EQ(calendar.timeZoneId(), "America/Sao_Paulo");
    EXPECT_EQ(calendar.settings().localeId, "de_DE");
    EXPECT_EQ(calendar.firstWeekday(), 2);
    {
        const ScopedEnv tz2("TZ", ":Asia/Tokyo");
        const ScopedEnv all2("LC_ALL", "C");
        calendar = Calendar::current();
        EXPECT_EQ(calendar.timeZoneId(), "Asia/Tokyo");
        EXPECT_EQ(calendar.settings().localeId, "en_US_POSIX");
        EXPECT_EQ(icuDefaultZoneId(), "Asia/Tokyo");
    }
    {
        const ScopedEnv empty("TZ", "");
        EXPECT_EQ(Calendar::current().timeZoneId(), "UTC");
    }
    const ScopedCalendarOverride pinned("Europe/Berlin", "en_GB");
    EXPECT_EQ(Calendar::current().timeZoneId(), "Europe/Berlin");
}

TEST(Calendar, DayHelpersAcrossBerlinTransitions) {
    const Calendar berlin = Calendar::withSettings({"Europe/Berlin", "de_DE", {}, {}});
    // Spring: 2024-03-31 has 23 hours (02:00 CET -> 03:00 CEST).
    const std::int64_t spring = Calendar::dayNumberFromCivil(2024, 3, 31);
    EXPECT_EQ(berlin.startOfLocalDay(spring).timeIntervalSince1970(), utc(2024, 3, 30, 23));
    EXPECT_EQ(berlin.startOfLocalDay(spring + 1).timeIntervalSince1970(), utc(2024, 3, 31, 22));
    EXPECT_EQ(berlin.localDayNumber(Date(utc(2024, 3, 30, 23))), spring);
    EXPECT_EQ(berlin.localDayNumber(Date(utc(2024, 3, 30, 22, 59))), spring - 1);
    EXPECT_EQ(berlin.localDayNumber(Date(utc(2024, 3, 31, 21, 59))), spring);
    EXPECT_EQ(berlin.localDayNumber(Date(utc(2024, 3, 31, 22))), spring + 1);
    EXPECT_EQ(Calendar::weekdayOfDayNumber(spring), 1);
    // 02:30 does not exist: it moves forward by the gap to 03:30 CEST.
    EXPECT_EQ(berlin.dateFromLocal(2024, 3, 31, 2, 30)->timeIntervalSince1970(),
              utc(2024, 3, 31, 1, 30));
    EXPECT_EQ(berlin.dateFromLocal(2024, 3, 31, 3, 0)->timeIntervalSince1970(),
              utc(2024, 3, 31, 1));
    // Autumn: 2024-10-27 has 25 hours; 02:30 happens twice, the first (CEST) wins.
    const std::int64_t autumn = Calendar::dayNumberFromCivil(2024, 10, 27);
    EXPECT_EQ(berlin.startOfLocalDay(autumn + 1).timeIntervalSince1970() -
                  berlin.startOfLocalDay(autumn).timeIntervalSince1970(),
              25 * kHour);
    EXPECT_EQ(berlin.dateFromLocal(2024, 10, 27, 2, 30)->timeIntervalSince1970(),
              utc(2024, 10, 27, 0, 30));
    EXPECT_EQ(berlin.utcOffset(Date(utc(2024, 10, 27, 0, 30))), 7200);
    EXPECT_EQ(berlin.utcOffset(Date(utc(2024, 10, 27, 1, 30))), 3600);
    EXPECT_EQ(berlin.startOfDay(Date(utc(2024, 10, 27, 22, 59))).timeIntervalSince1970(),
              utc(2024, 10, 26, 22));
    EXPECT_TRUE(
        berlin.isDateInSameDay(Date(utc(2024, 10, 26, 22)), Date(utc(2024, 10, 27, 22, 59))));
    EXPECT_FALSE(berlin.isDateInSameDay(Date(utc(2024, 10, 26, 22)), Date(utc(2024, 10, 27, 23))));
    EXPECT_FALSE(berlin.dateFromLocal(2023, 2, 29));
    EXPECT_FALSE(berlin.dateFromLocal(2024, 13, 1));
    EXPECT_FALSE(berlin.dateFromLocal(2024, 1, 1, 24));
    EXPECT_TRUE(berlin.dateFromLocal(2024, 2, 29));
}

TEST(Calendar, DayStartsWhereMidnightDoesNotExist) {
    // Sao Paulo started daylight saving at 00:00 on 2018-11-04: the day begins at 01:00 (-02).
    const Calendar saoPaulo = Calendar::withSettings({"America/Sao_Paulo", "pt_BR", {}, {}});
    const std::int64_t day = Calendar::dayNumberFromCivil(2018, 11, 4);
    EXPECT_EQ(saoPaulo.startOfLocalDay(day).timeIntervalSince1970(), utc(2018, 11, 4, 3));
    EXPECT_EQ(saoPaulo.localDayNumber(Date(utc(2018, 11, 4, 3))), day);
    EXPECT_EQ(saoPaulo.localDayNumber(Date(utc(2018, 11, 4, 2, 59))), day - 1);
    // 00:30 lies in the gap and moves forward by it.
    EXPECT_EQ(saoPaulo.dateFromLocal(2018, 11, 4, 0, 30)->timeIntervalSince1970(),
              utc(2018, 11, 4, 3, 30));
    // The ICU calendar agrees on the start of that day.
    const auto icuStart = saoPaulo.date({.year = 2018, .month = 11, .day = 4});
    ASSERT_TRUE(icuStart);
    EXPECT_EQ(icuStart->timeIntervalSince1970(), utc(2018, 11, 4, 3));
    // That short day still counts as a whole one from its start, both ways.
    const Date start = saoPaulo.startOfLocalDay(day);
    const Date next = saoPaulo.startOfLocalDay(day + 1);
    EXPECT_EQ(saoPaulo.difference(CalendarComponent::day, start, next), 1);
    EXPECT_EQ(saoPaulo.difference(CalendarComponent::day, next, start), -1);
    EXPECT_EQ(saoPaulo.difference(CalendarComponent::day, start, saoPaulo.startOfLocalDay(day + 7)),
              7);
    EXPECT_EQ(saoPaulo.difference(CalendarComponent::weekOfYear, start,
                                  saoPaulo.startOfLocalDay(day + 7)),
              1);
    EXPECT_EQ(
        saoPaulo.difference(CalendarComponent::day, start, Date(next.timeIntervalSince1970() - 1)),
        0);
    // A time later in the day still counts from that time.
    EXPECT_EQ(saoPaulo.difference(CalendarComponent::day, Date(utc(2018, 11, 4, 12)), next), 0);
    // St. John's ended daylight saving at 00:01 on 1995-10-29, back to 23:01: midnight came
    // twice, and the day starts at the first one, for the day helpers as for ICU.
    const Calendar stJohns = Calendar::withSettings({"America/St_Johns", "en_CA", {}, {}});
    const Date twice = stJohns.startOfLocalDay(Calendar::dayNumberFromCivil(1995, 10, 29));
    EXPECT_EQ(twice.timeIntervalSince1970(), utc(1995, 10, 29, 2, 30));
    EXPECT_EQ(stJohns.date({.year = 1995, .month = 10, .day = 29}), twice);
    EXPECT_EQ(stJohns.startOfDay(Date(utc(1995, 10, 29, 2, 30) + 30)), twice);
}

TEST(Calendar, FastDayHelpersAgreeWithIcu) {
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> instants(utc(1850, 1, 1), utc(2350, 1, 1));
    for (const char* zone :
         {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "America/Sao_Paulo",
          "Asia/Kolkata", "Pacific/Apia", "America/St_Johns", "UTC"}) {
        const Calendar calendar = Calendar::withSettings({zone, "en_US", {}, {}});
        for (int i = 0; i < 3000; ++i) {
            const Date date(std::floor(instants(random)));
            const auto parts = calendar.dateComponents(
                {CalendarComponent::year, CalendarComponent::month, CalendarComponent::day}, date);
            const std::int64_t day = calendar.localDayNumber(date);
            const auto civil = Calendar::civilFromDayNumber(day);
            ASSERT_EQ(civil.year, parts.year) << zone << " " << date.timeIntervalSince1970();
            ASSERT_EQ(civil.month, parts.month) << zone << " " << date.timeIntervalSince1970();
            ASSERT_EQ(civil.day, parts.day) << zone << " " << date.timeIntervalSince1970();
            const Date start = calendar.startOfLocalDay(day);
            EXPECT_LE(start, date);
            EXPECT_EQ(calendar.localDayNumber(start), day);
            // ICU's own answer for the start of that day.
            EXPECT_EQ(calendar.date({.year = civil.year, .month = civil.month, .day = civil.day}),
                      start)
                << zone << " " << date.timeIntervalSince1970();
            EXPECT_EQ(calendar.localDayNumber(Date(start.timeIntervalSince1970() - 1)), day - 1);
            EXPECT_EQ(calendar.component(CalendarComponent::weekday, date),
                      Calendar::weekdayOfDayNumber(day));
        }
    }
}

TEST(Calendar, ZonesFollowTheSystemZoneFilesLikeTheCLibrary) {
    // Zones whose rules changed after the ones compiled into ICU: Egypt restored daylight saving
    // in 2023, Mexico dropped it in 2022, Kazakhstan unified its zones in 2024.
    struct Span {
        std::int64_t from;
        std::int64_t to;
    };
    // Then unusual rules: half-hour daylight saving (Lord Howe), daylight saving suspended each
    // Ramadan in a table up to 2087 (Casablanca), a skipped day (Kiritimati, end of 1994), a rule
    // changing at -01:00 (Nuuk) and one past 24:00 (Jerusalem).
    for (const char* zone : {"Africa/Cairo", "America/Mexico_City", "Asia/Almaty", "America/Havana",
                             "Europe/Dublin", "Australia/Lord_Howe", "Africa/Casablanca",
                             "Pacific/Kiritimati", "America/Nuuk", "Asia/Jerusalem"}) {
        SCOPED_TRACE(zone);
        const ScopedEnv tz("TZ", zone);
        ::tzset();
        const Calendar calendar = Calendar::withSettings({zone, "en_US", {}, {}});
        // The transitions listed in the file, the years its closing rule covers, and far beyond
        // the fast table, where ICU answers from the same rule.
        for (const Span span :
             {Span{1994, 1996}, Span{2021, 2031}, Span{2096, 2100}, Span{2401, 2402}}) {
            const double end = utc(span.to, 1, 1);
            int step = 0;
            for (double t = utc(span.from, 1, 1); t < end; t += 1800.0, ++step) {
                const auto seconds = static_cast<std::time_t>(t);
                std::tm local{};
                ASSERT_NE(::localtime_r(&seconds, &local), nullptr);
                ASSERT_EQ(calendar.utcOffset(Date(t)), local.tm_gmtoff) << t;
                if (step % 7 == 0) {
                    const auto parts =
                        calendar.dateComponents({CalendarComponent::year, CalendarComponent::month,
                                                 CalendarComponent::day, CalendarComponent::hour},
                                                Date(t));
                    ASSERT_EQ(parts.year, local.tm_year + 1900) << t;
                    ASSERT_EQ(parts.month, local.tm_mon + 1) << t;
                    ASSERT_EQ(parts.day, local.tm_mday) << t;
                    ASSERT_EQ(parts.hour, local.tm_hour) << t;
                }
            }
        }
    }
    ::tzset();
    // A day in Cairo from 28 April 2023 starts at 01:00 (+03), as on the system clock.
    const Calendar cairo = Calendar::withSettings({"Africa/Cairo", "ar_EG", {}, {}});
    const std::int64_t day = Calendar::dayNumberFromCivil(2023, 4, 28);
    EXPECT_EQ(cairo.startOfLocalDay(day).timeIntervalSince1970(), utc(2023, 4, 27, 22));
    EXPECT_EQ(cairo.date({.year = 2023, .month = 4, .day = 28})->timeIntervalSince1970(),
              utc(2023, 4, 27, 22));
    {
        // ICU's default zone follows the same file.
        const ScopedCalendarOverride pinned("Africa/Cairo", "en_US");
        std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
        UErrorCode status = U_ZERO_ERROR;
        std::int32_t raw = 0;
        std::int32_t dst = 0;
        zone->getOffset(utc(2023, 7, 1) * 1000.0, false, raw, dst, status);
        EXPECT_EQ(raw + dst, 3 * 3600 * 1000);
    }
    // An id with no zone file is still served from ICU's own data.
    const Calendar sydney = Calendar::withSettings({"AET", "en_AU", {}, {}});
    EXPECT_EQ(sydney.utcOffset(Date(utc(2024, 1, 15))), 11 * 3600);
    EXPECT_EQ(sydney.utcOffset(Date(utc(2024, 7, 15))), 10 * 3600);
}

TEST(Calendar, DayHelpersAreSafeFromSeveralThreads) {
    const Calendar calendar = Calendar::withSettings({"Europe/Paris", "fr_FR", {}, {}});
    std::vector<std::thread> threads;
    std::vector<std::int64_t> sums(4, 0);
    for (std::size_t t = 0; t < sums.size(); ++t) {
        threads.emplace_back([&, t] {
            for (std::int64_t day = 0; day < 40000; day += 7) {
                const Date start = calendar.startOfLocalDay(day);
                sums[t] += calendar.localDayNumber(start) - day;
                sums[t] += *calendar.component(CalendarComponent::day, start) > 31 ? 1 : 0;
                // Far beyond the table: ICU answers.
                sums[t] += calendar.localDayNumber(calendar.startOfLocalDay(day + 200000)) -
                           (day + 200000);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const std::int64_t sum : sums) {
        EXPECT_EQ(sum, 0);
    }
}

} // namespace
