// Costs of the calendar service: the per-zone day helpers that hot loops use, and the calls that
// read the current calendar afresh.
#include "core/calendar.hpp"
#include "core/date.hpp"
#include "core/date_amounts.hpp"

#include <benchmark/benchmark.h>

namespace {

const core::Calendar& berlin() {
    static const core::Calendar calendar =
        core::Calendar::withSettings({"Europe/Berlin", "de_DE", {}, {}});
    return calendar;
}

void localDayNumber(benchmark::State& state) {
    double t = 1.7e9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(berlin().localDayNumber(core::Date(t)));
        t = t > 3.0e9 ? 1.7e9 : t + 3607.0;
    }
}
BENCHMARK(localDayNumber);

void startOfLocalDay(benchmark::State& state) {
    std::int64_t day = 19000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(berlin().startOfLocalDay(day++ % 40000));
    }
}
BENCHMARK(startOfLocalDay);

void calendarDayDifference(benchmark::State& state) {
    const core::Date origin(1.6e9);
    double t = 1.7e9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            berlin().difference(core::CalendarComponent::day, origin, core::Date(t)));
        t = t > 3.0e9 ? 1.7e9 : t + 3607.0;
    }
}
BENCHMARK(calendarDayDifference);

void calendarWeekOfYear(benchmark::State& state) {
    double t = 1.7e9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            berlin().component(core::CalendarComponent::weekOfYear, core::Date(t)));
        t = t > 3.0e9 ? 1.7e9 : t + 3607.0;
    }
}
BENCHMARK(calendarWeekOfYear);

void calendarAddMonthThroughIcu(benchmark::State& state) {
    double t = 1.7e9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            berlin().dateByAdding(core::CalendarComponent::month, 1, core::Date(t)));
        t = t > 3.0e9 ? 1.7e9 : t + 3607.0;
    }
}
BENCHMARK(calendarAddMonthThroughIcu);

void currentCalendar(benchmark::State& state) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::Calendar::current());
    }
}
BENCHMARK(currentCalendar);

void dateDaysAfterInCurrentCalendar(benchmark::State& state) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    const core::Date origin(1.6e9);
    double t = 1.7e9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::Date(t).days(origin));
        t = t > 3.0e9 ? 1.7e9 : t + 3607.0;
    }
}
BENCHMARK(dateDaysAfterInCurrentCalendar);

void datePlusDaysInCurrentCalendar(benchmark::State& state) {
    const core::ScopedCalendarOverride pin("Europe/Berlin", "de_DE");
    core::Date date(1.7e9);
    for (auto _ : state) {
        date = date > core::Date(3.0e9) ? core::Date(1.7e9) : date + core::VtDays(1);
        benchmark::DoNotOptimize(date);
    }
}
BENCHMARK(datePlusDaysInCurrentCalendar);

} // namespace

BENCHMARK_MAIN();
