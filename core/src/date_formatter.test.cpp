#include "core/date_formatter.hpp"
#include "core/number_formatter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

namespace {

using core::Calendar;
using core::Date;
using core::DateFormatter;
using core::NumberFormatter;
using core::ScopedCalendarOverride;

TEST(DateFormatter, PatternsSkeletonsAndStylesInTheirLocale) {
    const ScopedCalendarOverride pin("Europe/Berlin", "en_US");
    const Date date = *Calendar::current().dateFromLocal(2024, 3, 4, 18, 0, 0);
    DateFormatter formatter;
    formatter.setLocalizedDateFormatFromTemplate("yMd");
    EXPECT_EQ(formatter.string(date), "3/4/2024");
    formatter.setLocale("de_DE.UTF-8");
    EXPECT_EQ(formatter.string(date), "4.3.2024");
    formatter.setLocale("en_US");
    formatter.setLocalizedDateFormatFromTemplate("yMMM");
    EXPECT_EQ(formatter.string(date), "Mar 2024");
    EXPECT_EQ(formatter.dateFormat(), "MMM y");
    formatter.setDateFormat("yyyy-MM-dd'T'HH:mm:ss");
    EXPECT_EQ(formatter.string(date), "2024-03-04T18:00:00");
    EXPECT_EQ(formatter.date("2024-03-04T18:00:00"), date);
    EXPECT_FALSE(formatter.date("2024-03-04T18:00:00.000Z"));
    formatter.setTimeZone("UTC");
    EXPECT_EQ(formatter.string(date), "2024-03-04T17:00:00");
    EXPECT_THROW(formatter.setTimeZone("Nowhere/Land"), std::invalid_argument);
    EXPECT_EQ(formatter.string(Date(NAN)), "");
    DateFormatter empty;
    EXPECT_EQ(empty.string(date), "");
    EXPECT_FALSE(empty.date("2024"));
}

TEST(DateFormatter, AutoupdatingFollowsTheCurrentSettings) {
    const auto formatter = DateFormatter::autoupdatingCurrent();
    formatter->setLocalizedDateFormatFromTemplate("yMd");
    const Date date(1709571600); // 2024-03-04 17:00 UTC
    {
        const ScopedCalendarOverride pin("America/Los_Angeles", "en_US");
        EXPECT_EQ(formatter->string(date), "3/4/2024");
        EXPECT_EQ(formatter->timeZoneId(), "America/Los_Angeles");
    }
    {
        const ScopedCalendarOverride pin("Asia/Tokyo", "de_DE");
        EXPECT_EQ(formatter->string(date), "5.3.2024");
    }
}

TEST(DateFormatter, OneFormatterServesSeveralThreads) {
    const ScopedCalendarOverride pin("Europe/Berlin", "en_US");
    DateFormatter formatter;
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss");
    NumberFormatter numbers;
    numbers.setMaximumFractionDigits(2);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (std::size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                const Date date(1.7e9 + i * 3600.0 * 7 + static_cast<double>(t) * 60);
                const std::string text = formatter.string(date);
                if (formatter.date(text) != date) {
                    ++failures[t];
                }
                if (numbers.string(i + 0.25) != std::to_string(i) + ".25") {
                    ++failures[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (const int count : failures) {
        EXPECT_EQ(count, 0);
    }
}

TEST(NumberFormatter, FractionDigitsRoundingAndLocale) {
    const ScopedCalendarOverride pin("UTC", "en_US");
    NumberFormatter formatter;
    EXPECT_EQ(formatter.string(2.6), "3");
    EXPECT_EQ(formatter.string(12345.0), "12345");
    formatter.setMaximumFractionDigits(2);
    EXPECT_EQ(formatter.string(1.5), "1.5");
    EXPECT_EQ(formatter.string(1.257), "1.26");
    EXPECT_EQ(formatter.string(0.125), "0.12"); // half to even
    formatter.setMinimumFractionDigits(2);
    EXPECT_EQ(formatter.string(1.5), "1.50");
    EXPECT_EQ(formatter.string(0), "0.00");
    formatter.setUsesGroupingSeparator(true);
    EXPECT_EQ(formatter.string(12345.5), "12,345.50");
    formatter.setLocale("de_DE");
    EXPECT_EQ(formatter.string(12345.5), "12.345,50");
    formatter.setUsesGroupingSeparator(false);
    formatter.setMinimumFractionDigits(0);
    formatter.setMaximumFractionDigits(4);
    EXPECT_EQ(formatter.string(1.23456), "1,2346");
    EXPECT_EQ(formatter.string(INFINITY), "∞");
    EXPECT_EQ(formatter.string(NAN), "NaN");
    formatter.setMaximumFractionDigits(99);
    EXPECT_EQ(formatter.maximumFractionDigits(), 20);
}

} // namespace
