#pragma once

#include <compare>

namespace core {

/// An absolute point in time: seconds since 1970-01-01 00:00:00 UTC, as a double (ICU's UDate
/// divided by 1000).
class Date {
public:
    /// The reference instant 1970-01-01 00:00:00 UTC.
    constexpr Date() noexcept = default;
    /// The instant `secondsSince1970` seconds after 1970-01-01 00:00:00 UTC.
    constexpr explicit Date(double secondsSince1970) noexcept : m_seconds(secondsSince1970) {}

    /// The current moment of the system clock.
    static Date now() noexcept;

    /// Seconds since 1970-01-01 00:00:00 UTC.
    constexpr double timeIntervalSince1970() const noexcept { return m_seconds; }
    /// Seconds from `other` to this date: positive when this date is later.
    constexpr double timeIntervalSince(Date other) const noexcept {
        return m_seconds - other.m_seconds;
    }

    friend constexpr auto operator<=>(Date, Date) noexcept = default;

private:
    double m_seconds = 0.0;
};

} // namespace core
