#pragma once

#include "core/rx_state.hpp"
#include "uikit/binding.hpp"

namespace components::detail {

/// A binding that reads and writes the caller's `state` (copies of a state share its value).
template <class T>
uikit::Binding<T> bindingOver(const core::rx::RxState<T>& state) {
    return uikit::Binding<T>([state] { return state.value(); },
                             [state](const T& value) { state.setValue(value); });
}

} // namespace components::detail
