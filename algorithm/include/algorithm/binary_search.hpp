#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <ranges>
#include <type_traits>

namespace algorithm {

/// How the element at hand compares with the value sought: `less` lies before it, `large` after.
enum class VtBinarySearchCompareResult { less, equal, large };

/// Binary search over a list ordered so that the answers run `less`... `equal`... `large`; the
/// index of the first `equal` probe meets, or absent. Calls `compareElementWithOther` at most
/// floor(log2(count)) + 1 times and never for an empty list.
template <std::ranges::random_access_range R, class F>
    requires std::ranges::sized_range<R> && std::is_invocable_r_v<VtBinarySearchCompareResult, F&,
                                                                  std::ranges::range_reference_t<R>>
std::optional<std::int64_t> indexByBinarySearch(R&& list, F&& compareElementWithOther) {
    std::int64_t low = 0;
    std::int64_t high = static_cast<std::int64_t>(std::ranges::size(list)) - 1;
    const auto first = std::ranges::begin(list);
    while (low <= high) {
        // Written so that low + high cannot overflow.
        const std::int64_t mid = low + (high - low) / 2;
        switch (
            compareElementWithOther(first[static_cast<std::ranges::range_difference_t<R>>(mid)])) {
        case VtBinarySearchCompareResult::equal:
            return mid;
        case VtBinarySearchCompareResult::less:
            low = mid + 1;
            break;
        case VtBinarySearchCompareResult::large:
            high = mid - 1;
            break;
        }
    }
    return std::nullopt;
}

} // namespace algorithm
