#pragma once

#include <functional>

class QAbstractAnimation;

namespace uikit {

/// Runs `completion` once, later on the animation's thread (never inside the animation step),
/// the next time `animation` runs to its end, as `QVariantAnimation` does on reaching its end
/// value. An animation stopped early, or destroyed before the call runs, calls nothing. A null
/// animation throws `std::invalid_argument`.
void onAnimationCompleted(QAbstractAnimation* animation, std::function<void()> completion);

} // namespace uikit
