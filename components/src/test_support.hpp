#pragma once

// Shared by the components' tests: a caller's state, a binding over it, and a controller fed with
// every write of the state, as the overlay widgets feed theirs.
#include "core/executor.hpp"
#include "core/rx.hpp"
#include "core/rx_state.hpp"
#include "state_binding.hpp"

#include <QMouseEvent>
#include <QWidget>

#include <memory>
#include <optional>

namespace components::testing {

/// A manual main loop installed for the test, a caller's optional value and a controller that
/// sees every write of it.
template <class Controller, class T>
struct ControllerHarness {
    explicit ControllerHarness(std::optional<T> initial = std::nullopt)
        : state(std::move(initial)),
          controller(std::make_unique<Controller>(detail::bindingOver(state))) {
        feed = state.sink(false, [this](const std::optional<T>& value) {
            if (controller) {
                controller->changed(value);
            }
        });
    }

    /// Moves virtual time on by `seconds`, running what falls due.
    void advance(double seconds) {
        loop->advance(
            std::chrono::duration_cast<core::Duration>(std::chrono::duration<double>(seconds)));
    }

    std::shared_ptr<core::ManualRunLoop> loop = std::make_shared<core::ManualRunLoop>();
    core::ScopedMainLoop installed{loop};
    core::rx::RxState<std::optional<T>> state;
    std::unique_ptr<Controller> controller;
    core::rx::Cancellable feed;
};

/// Counts the presses that reach it, as the content under an overlay.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* /*event*/) override { ++presses; }
};

} // namespace components::testing
