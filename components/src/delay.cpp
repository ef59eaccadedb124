#include "components/delay.hpp"

#include "uikit/binding.hpp"

#include <cmath>

namespace components {

std::optional<core::Duration> toDelay(double seconds) noexcept {
    // +infinity means "never" here, where the kit's conversion clamps it like any long delay.
    if (std::isinf(seconds) && seconds > 0) {
        return std::nullopt;
    }
    return uikit::secondsToDuration(seconds);
}

} // namespace components
