#pragma once

#include "core/checked.hpp"

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <iterator>
#include <optional>
#include <ranges>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

// Generic helpers over arrays, sequences and collections. Key functions are called exactly once
// per element, and among equal keys the earliest element always wins.

namespace core {

/// An element paired with its 0-based position.
template <class T>
struct IndexedBox {
    std::int64_t index = 0;
    T value;

    friend bool operator==(const IndexedBox&, const IndexedBox&) = default;
};

template <std::ranges::range R>
using RangeValue = std::ranges::range_value_t<R>;

template <std::ranges::range R, class F>
using KeyOf = std::remove_cvref_t<std::invoke_result_t<F&, std::ranges::range_reference_t<R>>>;

/// Removes and returns the first element satisfying `pred`; absent (nothing removed) when none.
template <class T, class Alloc, class Pred>
    requires std::predicate<Pred&, const T&>
std::optional<T> removeFirst(std::vector<T, Alloc>& values, Pred pred) {
    const auto found = std::find_if(values.begin(), values.end(), std::ref(pred));
    if (found == values.end()) {
        return std::nullopt;
    }
    std::optional<T> removed(std::move(*found));
    values.erase(found);
    return removed;
}

/// The last element satisfying `pred`; absent when none.
template <std::ranges::bidirectional_range R, class Pred>
std::optional<RangeValue<R>> firstReverseOrder(R&& values, Pred pred) {
    auto it = std::ranges::end(values);
    const auto begin = std::ranges::begin(values);
    while (it != begin) {
        --it;
        if (std::invoke(pred, *it)) {
            return *it;
        }
    }
    return std::nullopt;
}

/// The element at `index` when 0 <= index < size, else absent.
template <std::ranges::random_access_range R>
    requires std::ranges::sized_range<R>
std::optional<RangeValue<R>> elementAt(R&& values, std::int64_t index) {
    if (index < 0 || index >= static_cast<std::int64_t>(std::ranges::size(values))) {
        return std::nullopt;
    }
    return std::ranges::begin(values)[static_cast<std::ranges::range_difference_t<R>>(index)];
}

namespace detail {
// One pass that keeps the best (element, key); `better(key, bestKey)` must be strict so the
// earliest element wins ties.
template <class R, class F, class Better>
std::optional<std::pair<RangeValue<R>, KeyOf<R, F>>> extremeBy(R&& values, F& key, Better better) {
    auto it = std::ranges::begin(values);
    const auto end = std::ranges::end(values);
    if (it == end) {
        return std::nullopt;
    }
    std::pair<RangeValue<R>, KeyOf<R, F>> best(*it, std::invoke(key, *it));
    for (++it; it != end; ++it) {
        auto candidate = std::invoke(key, *it);
        if (better(candidate, best.second)) {
            best.first = *it;
            best.second = std::move(candidate);
        }
    }
    return best;
}
} // namespace detail

/// The element with the smallest key (earliest among equals); absent when empty.
template <std::ranges::input_range R, class F>
std::optional<RangeValue<R>> minBy(R&& values, F key) {
    auto best = detail::extremeBy(values, key, std::less<>());
    return best ? std::optional<RangeValue<R>>(std::move(best->first)) : std::nullopt;
}

/// The element with the largest key (earliest among equals); absent when empty.
template <std::ranges::input_range R, class F>
std::optional<RangeValue<R>> maxBy(R&& values, F key) {
    auto best = detail::extremeBy(values, key, std::greater<>());
    return best ? std::optional<RangeValue<R>>(std::move(best->first)) : std::nullopt;
}

/// The smallest key; absent when empty.
template <std::ranges::input_range R, class F>
std::optional<KeyOf<R, F>> minOf(R&& values, F key) {
    auto best = detail::extremeBy(values, key, std::less<>());
    return best ? std::optional<KeyOf<R, F>>(std::move(best->second)) : std::nullopt;
}

/// The largest key; absent when empty.
template <std::ranges::input_range R, class F>
std::optional<KeyOf<R, F>> maxOf(R&& values, F key) {
    auto best = detail::extremeBy(values, key, std::greater<>());
    return best ? std::optional<KeyOf<R, F>>(std::move(best->second)) : std::nullopt;
}

/// The largest element, the earliest among equals; absent when empty.
template <std::ranges::input_range R>
std::optional<RangeValue<R>> max(R&& values) {
    return maxBy(values, std::identity());
}

/// The smallest element, the earliest among equals; absent when empty.
template <std::ranges::input_range R>
std::optional<RangeValue<R>> min(R&& values) {
    return minBy(values, std::identity());
}

/// The sum of `key` over the elements, from 0 in order; integer sums saturate instead of
/// overflowing.
template <std::ranges::input_range R, class F>
KeyOf<R, F> sumOf(R&& values, F key) {
    KeyOf<R, F> total(0);
    for (auto&& value : values) {
        total = addSaturating(total, std::invoke(key, value));
    }
    return total;
}

/// The sum of the elements (0 when empty); integer sums saturate.
template <std::ranges::input_range R>
RangeValue<R> sum(R&& values) {
    return sumOf(values, std::identity());
}

/// `converter(position, element)` for each element in order, positions from 0.
template <std::ranges::input_range R, class F>
auto mapWithIndex(R&& values, F converter) {
    using Out = std::remove_cvref_t<
        std::invoke_result_t<F&, std::int64_t, std::ranges::range_reference_t<R>>>;
    std::vector<Out> out;
    if constexpr (std::ranges::sized_range<R>) {
        out.reserve(static_cast<std::size_t>(std::ranges::size(values)));
    }
    std::int64_t position = 0;
    for (auto&& value : values) {
        out.push_back(std::invoke(converter, position++, value));
    }
    return out;
}

/// `by(i)` for i = 0 ... count - 1, in that order; empty (and `by` never called) for a count of 0
/// or less.
template <class F>
    requires std::invocable<F&, std::int64_t>
auto create(std::int64_t count, F by) {
    std::vector<std::remove_cvref_t<std::invoke_result_t<F&, std::int64_t>>> out;
    for (std::int64_t i = 0; i < count; ++i) {
        out.push_back(std::invoke(by, i));
    }
    return out;
}

/// Absent for an empty vector, else the vector.
template <class T, class Alloc>
std::optional<std::vector<T, Alloc>> nilIfEmpty(std::vector<T, Alloc> values) {
    if (values.empty()) {
        return std::nullopt;
    }
    return values;
}

/// True when the range has at least one element.
template <std::ranges::range R>
bool notEmpty(R&& values) {
    return !std::ranges::empty(values);
}

/// True when absent or empty.
template <std::ranges::range C>
bool isNilOrEmpty(const std::optional<C>& values) {
    return !values || std::ranges::empty(*values);
}

/// True when both hold the same elements with the same multiplicities, in any order.
template <std::ranges::input_range A, std::ranges::input_range B>
bool containsSameElements(A&& values, B&& other) {
    std::vector<RangeValue<B>> remaining(std::ranges::begin(other), std::ranges::end(other));
    for (auto&& value : values) {
        if (!removeFirst(remaining, [&](const auto& candidate) { return candidate == value; })) {
            return false;
        }
    }
    return remaining.empty();
}

/// The elements without those equivalent to one kept earlier; `equivalent(kept, candidate)`.
template <std::ranges::input_range R, class Eq>
std::vector<RangeValue<R>> distincted(R&& values, Eq equivalent) {
    std::vector<RangeValue<R>> out;
    for (auto&& value : values) {
        const bool seen = std::any_of(out.begin(), out.end(), [&](const auto& kept) {
            return std::invoke(equivalent, kept, value);
        });
        if (!seen) {
            out.push_back(value);
        }
    }
    return out;
}

/// The elements without repeats, first occurrences kept in order.
template <std::ranges::input_range R>
std::vector<RangeValue<R>> distincted(R&& values) {
    return distincted(values, std::equal_to<>());
}

/// The set of the elements.
template <std::ranges::input_range R>
std::unordered_set<RangeValue<R>> toSet(R&& values) {
    return {std::ranges::begin(values), std::ranges::end(values)};
}

/// True when some element satisfies `pred`; stops at the first.
template <std::ranges::input_range R, class Pred>
bool anySatisfy(R&& values, Pred pred) {
    for (auto&& value : values) {
        if (std::invoke(pred, value)) {
            return true;
        }
    }
    return false;
}

/// The number of elements satisfying `isIncluded`.
template <std::ranges::input_range R, class Pred>
std::int64_t count(R&& values, Pred isIncluded) {
    std::int64_t total = 0;
    for (auto&& value : values) {
        if (std::invoke(isIncluded, value)) {
            ++total;
        }
    }
    return total;
}

/// Each element's `key` (a member pointer or any projection), in order.
template <std::ranges::input_range R, class F>
std::vector<KeyOf<R, F>> map(R&& values, F key) {
    std::vector<KeyOf<R, F>> out;
    for (auto&& value : values) {
        out.push_back(std::invoke(key, value));
    }
    return out;
}

/// The elements in ascending order of `key`; equal keys keep their order. Each key is computed
/// once.
template <std::ranges::input_range R, class F>
std::vector<RangeValue<R>> sorted(R&& values, F key) {
    std::vector<std::pair<KeyOf<R, F>, RangeValue<R>>> keyed;
    for (auto&& value : values) {
        keyed.emplace_back(std::invoke(key, value), value);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<RangeValue<R>> out;
    out.reserve(keyed.size());
    for (auto& entry : keyed) {
        out.push_back(std::move(entry.second));
    }
    return out;
}

/// A map from each `key` value to the elements having it, each list in sequence order.
template <std::ranges::input_range R, class F>
std::unordered_map<KeyOf<R, F>, std::vector<RangeValue<R>>> grouped(R&& values, F key) {
    std::unordered_map<KeyOf<R, F>, std::vector<RangeValue<R>>> out;
    for (auto&& value : values) {
        out[std::invoke(key, value)].push_back(value);
    }
    return out;
}

/// One `IndexedBox` per element in order, numbered from 0 whatever the range's own indices.
template <std::ranges::input_range R>
std::vector<IndexedBox<RangeValue<R>>> indexed(R&& values) {
    std::vector<IndexedBox<RangeValue<R>>> out;
    std::int64_t index = 0;
    for (auto&& value : values) {
        out.push_back({index++, value});
    }
    return out;
}

} // namespace core
