#include "uikit/binding.hpp"

namespace uikit {

core::Duration secondsToDuration(double seconds) noexcept {
    // The longest wait a Qt timer takes; comparing in seconds first keeps huge values (and
    // infinity) away from an integer conversion that would overflow.
    constexpr core::Duration kLongest = std::chrono::milliseconds(2'147'483'647);
    if (std::isnan(seconds) || seconds <= 0) {
        return core::Duration::zero();
    }
    if (seconds >= std::chrono::duration<double>(kLongest).count()) {
        return kLongest;
    }
    return std::chrono::duration_cast<core::Duration>(std::chrono::duration<double>(seconds));
}

} // namespace uikit
