#pragma once

namespace app {

/// A damped spring that moves a value from 0 to 1, described as designers give it: the time of
/// one undamped oscillation (`response`, seconds) and the fraction of critical damping (below 1
/// it overshoots a little before settling).
struct Spring {
    /// Seconds of one undamped oscillation; above 0.
    double response = 0.55;
    /// Fraction of critical damping; above 0 and below 1.
    double dampingFraction = 0.825;

    /// The spring's position `seconds` after release: 0 at the start, tending to 1.
    double value(double seconds) const;
    /// Seconds until the spring stays within 0.001 of its rest.
    double settlingTime() const;
};

} // namespace app
