#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <utility>

// Integer arithmetic and conversions that saturate at the target type's bounds instead of
// overflowing (undefined behaviour for signed types and float-to-integer conversions).

namespace core {

/// `a + b`; for integers, clamped to the type's range instead of overflowing.
template <class T>
constexpr T addSaturating(T a, T b) {
    if constexpr (std::integral<T> && !std::same_as<T, bool>) {
        T result{};
        if (__builtin_add_overflow(a, b, &result)) {
            return b > T{0} ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
        }
        return result;
    } else {
        return a + b;
    }
}

/// `value` converted to `To`, clamped to `To`'s range.
template <std::integral To, std::integral From>
constexpr To saturatingCast(From value) noexcept {
    if (std::cmp_less(value, std::numeric_limits<To>::min())) {
        return std::numeric_limits<To>::min();
    }
    if (std::cmp_greater(value, std::numeric_limits<To>::max())) {
        return std::numeric_limits<To>::max();
    }
    return static_cast<To>(value);
}

/// `value` truncated toward zero and clamped to `To`'s range; NaN gives 0.
template <std::integral To>
To saturatingCast(double value) noexcept {
    if (std::isnan(value)) {
        return To{0};
    }
    // Both bounds are powers of two (or zero), so they are exact as doubles.
    constexpr auto kMin = static_cast<double>(std::numeric_limits<To>::min());
    constexpr double kMaxExclusive =
        static_cast<double>(std::numeric_limits<To>::max() / 2 + 1) * 2.0;
    if (value <= kMin) {
        return std::numeric_limits<To>::min();
    }
    if (value >= kMaxExclusive) {
        return std::numeric_limits<To>::max();
    }
    return static_cast<To>(value);
}

} // namespace core
