#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

/// The milliseconds since `start` on the steady clock.
inline double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

/// The wall times of `runs` calls of `body`, in milliseconds, in the order they ran (`runs` at
/// least 1).
template <class F>
std::vector<double> millisecondRuns(int runs, F&& body) {
    std::vector<double> times;
    for (int i = 0; i < std::max(runs, 1); ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        times.push_back(millisecondsSince(start));
    }
    return times;
}

/// The median wall time of `runs` calls of `body`, in milliseconds (`runs` at least 1).
template <class F>
double medianMilliseconds(int runs, F&& body) {
    std::vector<double> times = millisecondRuns(runs, std::forward<F>(body));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

/// The middle and the spread of repeated measurements: a machine shared with other work gives
/// no single figure worth reporting alone.
struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
    /// The first and third quartiles, interpolated between the nearest samples.
    double lowerQuartile = 0;
    double upperQuartile = 0;
    std::size_t count = 0;

    /// The spread of `samples` (at least one).
    static Spread of(std::vector<double> samples) {
        std::sort(samples.begin(), samples.end());
        const auto at = [&samples](double fraction) {
            const double position = fraction * static_cast<double>(samples.size() - 1);
            const auto below = static_cast<std::size_t>(position);
            const std::size_t above = std::min(below + 1, samples.size() - 1);
            const double weight = position - static_cast<double>(below);
            return samples[below] * (1 - weight) + samples[above] * weight;
        };
        return {at(0.5), samples.front(), samples.back(), at(0.25), at(0.75), samples.size()};
    }

    /// "median 12.3 (min-max 11.0-14.2, IQR 11.5-13.0, 5 runs)", each figure with `decimals`.
    std::string text(int decimals = 1) const {
        char line[160];
        std::snprintf(line, sizeof line, "median %.*f (min-max %.*f-%.*f, IQR %.*f-%.*f, %zu runs)",
                      decimals, median, decimals, min, decimals, max, decimals, lowerQuartile,
                      decimals, upperQuartile, count);
        return line;
    }
};

/// Each of `times` divided by the floor measured beside it (both in the same order).
inline std::vector<double> ratios(const std::vector<double>& times,
                                  const std::vector<double>& floors) {
    std::vector<double> result;
    for (std::size_t i = 0; i < times.size() && i < floors.size(); ++i) {
        result.push_back(times[i] / floors[i]);
    }
    return result;
}

} // namespace bench
