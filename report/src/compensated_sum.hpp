#pragma once

#include <cmath>

namespace report::detail {

// A compensated sum: totals over hundreds of thousands of cells keep the exact sum to
// within one rounding, so a total matches the sum of its parts to the cent and the hour.
class CompensatedSum {
public:
    // Knuth's branch-free two-sum: the rounding error of each addition is kept exactly.
    void add(double x) noexcept {
        const double t = m_sum + x;
        const double xPart = t - m_sum;
        m_compensation += (m_sum - (t - xPart)) + (x - xPart);
        m_sum = t;
    }
    // An overflow to infinity leaves a NaN compensation behind; the infinite sum stands alone.
    double value() const noexcept { return std::isfinite(m_sum) ? m_sum + m_compensation : m_sum; }

private:
    double m_sum = 0.0;
    double m_compensation = 0.0;
};

} // namespace report::detail
