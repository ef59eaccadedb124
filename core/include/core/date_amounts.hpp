#pragma once

#include "core/date.hpp"

#include <cstdint>

namespace core {

/// A number of calendar years, added to or taken from dates; negative counts go backwards.
class VtYears {
public:
    /// `count` years.
    constexpr explicit VtYears(std::int64_t count = 0) noexcept : m_count(count) {}
    friend constexpr bool operator==(VtYears, VtYears) noexcept = default;
    /// `date` moved by the years in the current calendar; a count of 0, or a move that yields no
    /// date, gives `date` unchanged.
    friend Date operator+(Date date, VtYears years);
    /// `date` moved back by the years; as `+`, and unchanged for the most negative count.
    friend Date operator-(Date date, VtYears years);

private:
    std::int64_t m_count;
};

/// A number of calendar months, added to or taken from dates; negative counts go backwards.
class VtMonths {
public:
    /// `count` months.
    constexpr explicit VtMonths(std::int64_t count = 0) noexcept : m_count(count) {}
    friend constexpr bool operator==(VtMonths, VtMonths) noexcept = default;
    /// `date` moved by the months in the current calendar (31 January + 1 gives the last day of
    /// February); a count of 0, or a move that yields no date, gives `date` unchanged.
    friend Date operator+(Date date, VtMonths months);
    /// `date` moved back by the months; as `+`, and unchanged for the most negative count.
    friend Date operator-(Date date, VtMonths months);

private:
    std::int64_t m_count;
};

/// A number of calendar days, added to or taken from dates; negative counts go backwards.
struct VtDays {
    /// `count` days.
    constexpr explicit VtDays(std::int64_t days = 0) noexcept : count(days) {}
    friend constexpr bool operator==(VtDays, VtDays) noexcept = default;
    /// The number of days.
    std::int64_t count;
};

/// `date` moved by `days` calendar days in the current calendar, wall-clock time kept; a count of
/// 0, or a move that yields no date, gives `date` unchanged.
Date operator+(Date date, VtDays days);
/// `date` moved back by `days` calendar days; as `+`, and unchanged for the most negative count.
Date operator-(Date date, VtDays days);

/// A number of seconds, added to or taken from dates; negative counts go backwards.
class VtSeconds {
public:
    /// `count` seconds.
    constexpr explicit VtSeconds(std::int64_t count = 0) noexcept : m_count(count) {}
    friend constexpr bool operator==(VtSeconds, VtSeconds) noexcept = default;
    /// `date` moved by the seconds; a count of 0, or a move that yields no date, gives `date`
    /// unchanged.
    friend Date operator+(Date date, VtSeconds seconds);
    /// `date` moved back by the seconds; as `+`, and unchanged for the most negative count.
    friend Date operator-(Date date, VtSeconds seconds);

private:
    std::int64_t m_count;
};

namespace literals {
/// `n` calendar years: `2_years`.
constexpr VtYears operator""_years(unsigned long long n) noexcept {
    return VtYears(static_cast<std::int64_t>(n));
}
/// `n` calendar days: `3_days`.
constexpr VtDays operator""_days(unsigned long long n) noexcept {
    return VtDays(static_cast<std::int64_t>(n));
}
/// `n` seconds: `30_seconds`.
constexpr VtSeconds operator""_seconds(unsigned long long n) noexcept {
    return VtSeconds(static_cast<std::int64_t>(n));
}
} // namespace literals

} // namespace core
