#pragma once

#include "core/executor.hpp"

#include <optional>

namespace components {

/// The longest delay a component's timer takes: longer ones are clamped to it (about 24 days,
/// the most a `QTimer` can wait, as the kit's `uikit::secondsToDuration` clamps).
inline constexpr core::Duration kLongestDelay = std::chrono::milliseconds(2'147'483'647);

/// Turns a duration in seconds, as callers give it, into a timer delay: NaN, zero and negative
/// values give zero (now), +infinity gives no delay at all (never), anything else is clamped to
/// `kLongestDelay`.
std::optional<core::Duration> toDelay(double seconds) noexcept;

} // namespace components
