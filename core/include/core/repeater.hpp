#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace core {

/// Runs an action a fixed number of times, in order, on the caller's thread. An action that
/// takes an `std::int64_t` gets the iteration index 0, 1, ...; one that takes nothing gets
/// nothing. An exception thrown by an iteration ends the loop and reaches the caller.
class Repeater {
public:
    /// Repeats `count` times; a negative count means 0.
    explicit constexpr Repeater(std::int64_t count) noexcept
        : m_count(std::max<std::int64_t>(count, 0)) {}

    /// The number of iterations, never negative.
    constexpr std::int64_t count() const noexcept { return m_count; }

    /// Calls `action` `count()` times.
    template <class F>
        requires std::invocable<F&, std::int64_t> || std::invocable<F&>
    void run(F&& action) const {
        for (std::int64_t i = 0; i < m_count; ++i) {
            call(action, i);
        }
    }
    /// Calls `action` `count()` times, then `finally` once (also when the count is 0).
    template <class F, class G>
        requires(std::invocable<F&, std::int64_t> || std::invocable<F&>) && std::invocable<G&>
    void run(F&& action, G&& finally) const {
        run(action);
        std::invoke(finally);
    }
    /// The results of `count()` calls of `transform`, in iteration order.
    template <class F>
        requires std::invocable<F&, std::int64_t> || std::invocable<F&>
    auto map(F&& transform) const {
        std::vector<std::remove_cvref_t<decltype(call(transform, std::int64_t{0}))>> out;
        out.reserve(static_cast<std::size_t>(std::min<std::int64_t>(m_count, 1 << 16)));
        for (std::int64_t i = 0; i < m_count; ++i) {
            out.push_back(call(transform, i));
        }
        return out;
    }

private:
    template <class F>
    static decltype(auto) call(F& action, std::int64_t index) {
        if constexpr (std::invocable<F&, std::int64_t>) {
            return std::invoke(action, index);
        } else {
            return std::invoke(action);
        }
    }

    std::int64_t m_count;
};

/// A `Repeater` of `count` iterations (none for a negative count).
constexpr Repeater times(std::int64_t count) noexcept {
    return Repeater(count);
}

} // namespace core
