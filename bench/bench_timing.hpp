#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace bench {

/// The median wall time of `runs` calls of `body`, in milliseconds (`runs` at least 1).
template <class F>
double medianMilliseconds(int runs, F&& body) {
    std::vector<double> times;
    for (int i = 0; i < std::max(runs, 1); ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace bench
