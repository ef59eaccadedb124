#pragma once

#include "core/checked.hpp"
#include "core/error.hpp"

#include <any>
#include <concepts>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

// Short conversions of numbers and Booleans, helpers on optionals and results, and the module's
// own error values. Every conversion to an integer saturates at the target's bounds.

namespace core {

/// The graphics coordinate type.
using CGFloat = double;

/// Integer types, Booleans excluded.
template <class T>
concept Integer = std::integral<T> && !std::same_as<T, bool>;

/// The integer as a double.
template <Integer I>
constexpr double toDouble(I value) noexcept {
    return static_cast<double>(value);
}
/// The coordinate as a double.
constexpr double toDouble(CGFloat value) noexcept {
    return value;
}
/// The integer as a float, rounded to nearest.
template <Integer I>
constexpr float toFloat(I value) noexcept {
    return static_cast<float>(value);
}
/// The double as a float, rounded to nearest.
constexpr float toFloat(double value) noexcept {
    return static_cast<float>(value);
}
/// The integer as a coordinate.
template <Integer I>
constexpr CGFloat toCGFloat(I value) noexcept {
    return static_cast<CGFloat>(value);
}
/// The double as a coordinate.
constexpr CGFloat toCGFloat(double value) noexcept {
    return value;
}
/// The integer as unsigned 32 bits, clamped to 0 ... 4294967295.
template <Integer I>
constexpr std::uint32_t toUInt32(I value) noexcept {
    return saturatingCast<std::uint32_t>(value);
}
/// The integer as signed 64 bits, clamped to its range.
template <Integer I>
constexpr std::int64_t toInt(I value) noexcept {
    return saturatingCast<std::int64_t>(value);
}
/// The value truncated toward zero, clamped to signed 64 bits; NaN gives 0.
inline std::int64_t toInt(double value) noexcept {
    return saturatingCast<std::int64_t>(value);
}
/// The value rounded down, clamped to signed 64 bits; NaN gives 0.
std::int64_t toFloorInt(double value) noexcept;
/// The value rounded up, clamped to signed 64 bits; NaN gives 0.
std::int64_t toCeilInt(double value) noexcept;
/// The value rounded up.
double ceiled(double value) noexcept;

/// Decimal digits with a leading "-" for negatives, no grouping.
std::string toString(std::int64_t value);
/// `toString` of any other integer type.
template <Integer I>
    requires(!std::same_as<I, std::int64_t>)
std::string toString(I value) {
    if constexpr (std::is_unsigned_v<I> && sizeof(I) >= sizeof(std::int64_t)) {
        return std::to_string(value);
    } else {
        return toString(static_cast<std::int64_t>(value));
    }
}
/// The shortest text that reads back as the same double; fixed notation with at least one
/// fraction digit for 1e-4 <= |value| < 2^53 (and zero), exponent notation otherwise.
std::string toString(double value);
/// The number spelled out in words in the current locale ("forty-two"); absent when the locale
/// has no spell-out rules.
std::optional<std::string> spellout(std::int64_t value);
/// The value in the current locale's decimal style; `toString(value)` when both bounds are
/// absent. The minimum applies only when >= 0, the maximum only when > 0.
std::string toDecimalString(double value, std::optional<std::int64_t> minimumFractionDigits,
                            std::optional<std::int64_t> maximumFractionDigits);

/// `whenTrue` when `value`, else `whenFalse`.
inline std::string toString(bool value, std::string_view whenTrue, std::string_view whenFalse) {
    return std::string(value ? whenTrue : whenFalse);
}
/// The negation of `value`.
constexpr bool negated(bool value) noexcept {
    return !value;
}
/// True only when present and true.
constexpr bool isSomeTrue(const std::optional<bool>& value) noexcept {
    return value.value_or(false);
}

/// `min` when value < min, else `max` when value > max, else `value`; the lower bound is tested
/// first.
template <class T>
constexpr T scoped(const T& value, const T& min, const T& max) {
    if (value < min) {
        return min;
    }
    if (max < value) {
        return max;
    }
    return value;
}

/// True when absent.
template <class T>
constexpr bool isNone(const std::optional<T>& value) noexcept {
    return !value.has_value();
}
/// True when present.
template <class T>
constexpr bool isSome(const std::optional<T>& value) noexcept {
    return value.has_value();
}
/// Calls `action` with the value when present.
template <class T, class F>
    requires std::invocable<F, const T&>
void whenSome(const std::optional<T>& value, F&& action) {
    if (value) {
        std::invoke(std::forward<F>(action), *value);
    }
}
/// The value, or `fallback` when absent.
template <class T, class U>
    requires std::convertible_to<U, T>
T orDefault(const std::optional<T>& value, U&& fallback) {
    return value ? *value : static_cast<T>(std::forward<U>(fallback));
}
/// The value, or `make()` when absent; `make` runs only then.
template <class T, class F>
    requires std::invocable<F> && std::convertible_to<std::invoke_result_t<F>, T>
T orElse(const std::optional<T>& value, F&& make) {
    return value ? *value : static_cast<T>(std::invoke(std::forward<F>(make)));
}
/// The value; throws `error` when absent.
template <class T, class E>
const T& orThrow(const std::optional<T>& value, const E& error) {
    if (!value) {
        throw error;
    }
    return *value;
}
/// Absent when both are; the present one when one is; else their sum (integers saturate).
template <class T>
std::optional<T> plusOptional(const std::optional<T>& lhs, const std::optional<T>& rhs) {
    if (!lhs) {
        return rhs;
    }
    if (!rhs) {
        return lhs;
    }
    return addSaturating(*lhs, *rhs);
}

/// A success holding a value or a failure holding an error.
template <class T>
class Result {
public:
    /// A success with `value`.
    static Result success(T value) { return Result(std::move(value)); }
    /// A failure with `error` (must not be null).
    static Result failure(std::exception_ptr error) { return Result(std::move(error)); }
    /// Runs `body`, catching a `std::exception` it throws as the failure.
    template <class F>
    static Result catching(F&& body) {
        try {
            return success(std::invoke(std::forward<F>(body)));
        } catch (const std::exception&) {
            return failure(std::current_exception());
        }
    }

    /// True for a success.
    bool isSuccess() const noexcept { return m_state.index() == 0; }
    /// True for a failure.
    bool isFailure() const noexcept { return m_state.index() == 1; }
    /// The failure's error, or null for a success.
    std::exception_ptr error() const noexcept {
        const auto* failed = std::get_if<std::exception_ptr>(&m_state);
        return failed ? *failed : nullptr;
    }
    /// The success's value; rethrows the failure's error.
    const T& get() const {
        if (const auto* failed = std::get_if<std::exception_ptr>(&m_state)) {
            std::rethrow_exception(*failed);
        }
        return std::get<0>(m_state);
    }

private:
    explicit Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    explicit Result(std::exception_ptr error) : m_state(std::in_place_index<1>, std::move(error)) {}

    std::variant<T, std::exception_ptr> m_state;
};

/// A generic error value with a domain, a code and a dictionary of extra information.
class DomainError : public Error {
public:
    /// The extra-information key whose text value, when present, is the error's description.
    static constexpr std::string_view kLocalizedDescriptionKey = "NSLocalizedDescription";

    /// An error of `domain` and `code` carrying `userInfo`.
    static DomainError create(std::string domain, int code,
                              std::map<std::string, std::any> userInfo = {});
    /// An error of the empty domain with `code` and no extra information.
    static DomainError coded(int code);

    /// The extra information given at creation.
    const std::map<std::string, std::any>& userInfo() const noexcept { return m_userInfo; }

private:
    DomainError(std::string domain, int code, std::string message,
                std::map<std::string, std::any> userInfo);

    std::map<std::string, std::any> m_userInfo;
};

/// The utility library's own error: a failure with a message, which is its description.
class VtError : public Error {
public:
    /// The cases of the error.
    enum class Code { failure };

    /// A failure described by `message`.
    static VtError failure(std::string message);

    /// Always `Code::failure`.
    Code code() const noexcept { return Code::failure; }
    /// The message, even when empty.
    std::string localizedDescription() const override;

private:
    explicit VtError(std::string message);
};

/// Runners that swallow failures.
struct VtTry {
    /// Runs `body`; true when it completed, false when it threw a `std::exception` (discarded).
    template <class F>
    static bool trueOrFalse(F&& body) {
        try {
            std::invoke(std::forward<F>(body));
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    /// Runs `body` and discards any `std::exception` it throws.
    template <class F>
    static void doNotCareError(F&& body) {
        (void)trueOrFalse(std::forward<F>(body));
    }
};

} // namespace core
