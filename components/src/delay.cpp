#include "components/delay.hpp"

#include <chrono>
#include <cmath>

namespace components {

std::optional<core::Duration> toDelay(double seconds) noexcept {
    if (std::isnan(seconds) || seconds <= 0) {
        return core::Duration::zero();
    }
    if (std::isinf(seconds)) {
        return std::nullopt;
    }
    // Compare in seconds before converting, so 1e300 never reaches an integer conversion.
    const double longest = std::chrono::duration<double>(kLongestDelay).count();
    if (seconds >= longest) {
        return kLongestDelay;
    }
    return std::chrono::duration_cast<core::Duration>(std::chrono::duration<double>(seconds));
}

} // namespace components
