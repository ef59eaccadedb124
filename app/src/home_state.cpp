#include "app/home_state.hpp"

#include <type_traits>
#include <utility>

namespace app {

HomeState HomeState::reduce(HomeState state, const Event& event) {
    std::visit(
        [&state](const auto& happened) {
            using E = std::decay_t<decltype(happened)>;
            if constexpr (std::is_same_v<E, FileSelected>) {
                // One document per window: only the welcome screen takes a file.
                if (state.isIdeal()) {
                    state.viewState = Loading{happened.url};
                }
            } else if constexpr (std::is_same_v<E, LoadSucceeded>) {
                const auto* loading = state.loadingUrl();
                if (loading != nullptr && *loading == happened.url && happened.context) {
                    state.viewState = Loaded{happened.context};
                }
            } else if constexpr (std::is_same_v<E, LoadFailed>) {
                const auto* loading = state.loadingUrl();
                if (loading != nullptr && *loading == happened.url) {
                    state.viewState = Ideal{};
                    state.error = std::string(kLoadFailedMessage);
                }
            } else if constexpr (std::is_same_v<E, ErrorRequested>) {
                state.error = happened.message;
            } else {
                static_assert(std::is_same_v<E, AlertDismissed>);
                state.error.reset();
            }
        },
        event);
    return state;
}

std::string HomeState::alertTitle() const {
    if (!error || error->empty()) {
        return std::string(kNoMessageTitle);
    }
    return *error;
}

const std::filesystem::path* HomeState::loadingUrl() const noexcept {
    const auto* loading = std::get_if<Loading>(&viewState);
    return loading != nullptr ? &loading->url : nullptr;
}

std::shared_ptr<const DocumentContext> HomeState::loadedContext() const noexcept {
    const auto* loaded = std::get_if<Loaded>(&viewState);
    return loaded != nullptr ? loaded->context : nullptr;
}

} // namespace app
