#include "core/rx.hpp"

#include "core/log.hpp"

namespace core::rx {

Cancellable& Cancellable::operator=(Cancellable&& other) noexcept {
    if (this != &other) {
        cancel();
        m_cancel = std::exchange(other.m_cancel, {});
    }
    return *this;
}

void Cancellable::cancel() noexcept {
    if (auto cancel = std::exchange(m_cancel, {})) {
        detail::deliverGuarded(cancel);
    }
}

void Cancellable::store(std::vector<Cancellable>& bag) && {
    bag.push_back(std::move(*this));
}

namespace detail {

void deliverGuarded(const std::function<void()>& delivery) noexcept {
    try {
        delivery();
    } catch (const std::exception& error) {
        logError(error, "A subscriber failed while receiving");
    } catch (...) {
        Log::error("A subscriber failed while receiving, with an unknown exception");
    }
}

} // namespace detail

} // namespace core::rx
