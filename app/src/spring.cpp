#include "app/spring.hpp"

#include <cmath>
#include <numbers>

namespace app {

namespace {

constexpr double kRestTolerance = 0.001;

} // namespace

double Spring::value(double seconds) const {
    if (seconds <= 0) {
        return 0;
    }
    const double natural = 2 * std::numbers::pi / response;
    const double decay = dampingFraction * natural;
    const double damped = natural * std::sqrt(1 - dampingFraction * dampingFraction);
    return 1 - std::exp(-decay * seconds) *
                   (std::cos(damped * seconds) + decay / damped * std::sin(damped * seconds));
}

double Spring::settlingTime() const {
    // The envelope of the oscillation bounds how far the spring can still be from rest.
    const double natural = 2 * std::numbers::pi / response;
    const double envelopeScale = 1 / std::sqrt(1 - dampingFraction * dampingFraction);
    return std::log(envelopeScale / kRestTolerance) / (dampingFraction * natural);
}

} // namespace app
