#pragma once

#include "core/calendar.hpp"
#include "core/date.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

namespace report {

/// One column of the report: a day, a week or a month, starting at `date`.
class Period {
public:
    /// The length of a report column; raw values 0, 1 and 2.
    enum class Kind { day = 0, week = 1, month = 2 };

    /// The kind with raw value `raw`, or none outside 0...2.
    static std::optional<Kind> kindFromRaw(std::int64_t raw) noexcept;

    /// A day column starting at `date`.
    struct Day {
        core::Date date;
        friend bool operator==(const Day&, const Day&) = default;
    };
    /// A week column starting at `date`, with that date's week of year and calendar year.
    struct Week {
        core::Date date;
        std::int64_t week = 0;
        std::int64_t year = 0;
        friend bool operator==(const Week&, const Week&) = default;
    };
    /// A month column starting at `date`, with that date's month (1...12) and calendar year.
    struct Month {
        core::Date date;
        std::int64_t month = 0;
        std::int64_t year = 0;
        friend bool operator==(const Month&, const Month&) = default;
    };

    /// The period of `kind` whose date is `date`, its fields read from the current calendar.
    Period(core::Date date, Kind kind);
    /// The period of `kind` whose date is `date`, its fields read from `calendar`.
    Period(core::Date date, Kind kind, const core::Calendar& calendar);
    /// A period holding `payload` as it is.
    explicit Period(std::variant<Day, Week, Month> payload) : m_payload(payload) {}

    /// The first moment of the period as its timeline made it.
    core::Date date() const noexcept;
    /// The period's kind.
    Kind kind() const noexcept { return static_cast<Kind>(m_payload.index()); }
    /// The payload: `Day`, `Week` or `Month`.
    const std::variant<Day, Week, Month>& payload() const noexcept { return m_payload; }

    /// The consecutive periods of `kind` from `start` (unaligned) through `end`: the start, then
    /// every later day start (day), Sunday start (week) or first of a month (month) not after
    /// `end`; never empty. Uses the current calendar.
    static std::vector<Period> timeline(core::Date start, core::Date end, Kind kind);
    /// The same in `calendar`.
    static std::vector<Period> timeline(core::Date start, core::Date end, Kind kind,
                                        const core::Calendar& calendar);

    friend bool operator==(const Period&, const Period&) = default;

private:
    std::variant<Day, Week, Month> m_payload;
};

/// Calls `action` with `start`, then with every day start after it that is not after `end`,
/// in order (current calendar); always at least once.
void calendarDayStarts(core::Date start, core::Date end,
                       const std::function<void(core::Date)>& action);

/// The column of `date` in a timeline whose first period is `first`: the number of column starts
/// after `first.date()` at or before `date`; negative for a date on a day before the first
/// period's day (current calendar).
std::int64_t periodIndex(core::Date date, const Period& first);
/// The same in `calendar`.
std::int64_t periodIndex(core::Date date, const Period& first, const core::Calendar& calendar);

/// The number of column starts of `kind` on the local days (fromDay, toDay], for toDay >= fromDay:
/// every day, every Sunday or every first of a month.
std::int64_t columnStartsBetween(Period::Kind kind, std::int64_t fromDay, std::int64_t toDay);

} // namespace report
