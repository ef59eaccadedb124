#include "uikit/animation.hpp"

#include <QAbstractAnimation>

#include <stdexcept>

namespace uikit {

void onAnimationCompleted(QAbstractAnimation* animation, std::function<void()> completion) {
    if (animation == nullptr) {
        throw std::invalid_argument("Waiting for an animation's end needs an animation, not null");
    }
    if (!completion) {
        return;
    }
    // Queued with the animation as context: the call is dropped with the animation, and one
    // shot keeps later runs from calling it again.
    QObject::connect(
        animation, &QAbstractAnimation::finished, animation, std::move(completion),
        static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
}

} // namespace uikit
