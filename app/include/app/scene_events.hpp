#pragma once

#include "core/rx_event.hpp"

#include <QString>

namespace app {

/// One window's events: a message sent on `errorPresentRequest` becomes that window's alert.
/// Each window owns one; its screens send on the GUI thread, where delivery is synchronous.
class SceneEvents {
public:
    /// A new object with a new, empty event.
    SceneEvents() = default;
    SceneEvents(const SceneEvents&) = delete;
    SceneEvents& operator=(const SceneEvents&) = delete;

    /// Messages for the window's alert.
    const core::rx::RxEvent<QString> errorPresentRequest;
};

} // namespace app
