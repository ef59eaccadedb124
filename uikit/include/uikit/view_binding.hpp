#pragma once

#include "core/executor.hpp"
#include "core/rx.hpp"
#include "core/rx_event.hpp"
#include "core/rx_observable_state.hpp"
#include "core/rx_state.hpp"
#include "core/task.hpp"
#include "uikit/binding.hpp"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <memory>
#include <type_traits>
#include <utility>

/// Ties reactive values to a widget (or any `QObject`): each value reaches the closure or binding
/// on the owner's thread, the GUI thread, and the subscription ends when the owner is destroyed.
///
/// A value sent on the owner's thread is delivered synchronously, before `send` returns; a value
/// sent from another thread is posted to `core::mainLoop()`, which must serve the owner's thread,
/// and is dropped if the owner is gone by the time it runs. Bind on the owner's thread; a null
/// owner throws `std::invalid_argument`.
namespace uikit {

namespace detail {

template <class F>
struct IsBinding : std::false_type {};
template <class T>
struct IsBinding<Binding<T>> : std::true_type {};

/// A closure, not a binding.
template <class F>
concept BindingClosure = !IsBinding<std::decay_t<F>>::value;

/// Throws `std::invalid_argument` for a missing owner.
[[noreturn]] void refuseNullOwner();

/// Keeps `subscription` until `owner` is destroyed (in a child object of the owner).
void keepWithOwner(QObject* owner, core::rx::Cancellable subscription);

/// Subscribes `deliver` to `publisher` for the owner's life, delivering on the owner's thread.
template <class T, class F>
void subscribeForOwner(QObject* owner, const core::rx::Publisher<T>& publisher, F deliver) {
    if (owner == nullptr) {
        refuseNullOwner();
    }
    QPointer<QObject> guard(owner);
    QThread* const ownerThread = owner->thread();
    auto closure = std::make_shared<F>(std::move(deliver));
    // The guard is read only on the owner's thread, the one that can destroy the owner.
    core::rx::Cancellable subscription =
        publisher.sink([guard, ownerThread, closure](const T& value) {
            if (QThread::currentThread() == ownerThread) {
                if (guard) {
                    core::rx::detail::invokeReceive(*closure, value);
                }
                return;
            }
            core::mainLoop()->post([guard, closure, value] {
                if (guard) {
                    core::rx::detail::invokeReceive(*closure, value);
                }
            });
        });
    keepWithOwner(owner, std::move(subscription));
}

/// Wraps `closure` so that each call starts a background task running it with the value.
template <class T, class F>
auto startingTasks(F closure) {
    auto shared = std::make_shared<F>(std::move(closure));
    return [shared](const T& value) {
        core::startTask([shared, value] { core::rx::detail::invokeReceive(*shared, value); });
    };
}

} // namespace detail

/// Writes every value of `publisher` into `binding` while `owner` lives.
template <class T>
void bind(QObject* owner, const core::rx::Publisher<T>& publisher, Binding<T> binding) {
    detail::subscribeForOwner(
        owner, publisher, [binding = std::move(binding)](const T& value) { binding.set(value); });
}

/// Calls `closure(value)` for every value `event` sends while `owner` lives (`closure()` for a
/// `void` event).
template <class T, detail::BindingClosure F>
void bindEvent(QObject* owner, const core::rx::RxEvent<T>& event, F closure) {
    detail::subscribeForOwner(owner, event.subject().publisher(), std::move(closure));
}

/// For every value `event` sends while `owner` lives, starts a background task that runs
/// `closure(value)`; tasks of successive values are not ordered.
template <class T, class F>
void bindEventAsync(QObject* owner, const core::rx::RxEvent<T>& event, F closure) {
    using V = typename core::rx::RxEvent<T>::Value;
    detail::subscribeForOwner(owner, event.subject().publisher(),
                              detail::startingTasks<V>(std::move(closure)));
}

/// Writes every value `event` sends into `binding` while `owner` lives.
template <class T>
void bindEvent(QObject* owner, const core::rx::RxEvent<T>& event,
               Binding<typename core::rx::RxEvent<T>::Value> binding) {
    uikit::bind(owner, event.subject().publisher(), std::move(binding));
}

/// Calls `closure(value)` with the current value of `state` (an `RxState` or `RxUserDefaults`) at
/// once, then with every later value while `owner` lives.
template <class T, detail::BindingClosure F>
void bindEvent(QObject* owner, const core::rx::detail::CurrentValueSinks<T>& state, F closure) {
    detail::subscribeForOwner(owner, state.subject().publisher(), std::move(closure));
}

/// Like the closure form over a state, starting one background task per value.
template <class T, class F>
void bindEventAsync(QObject* owner, const core::rx::detail::CurrentValueSinks<T>& state,
                    F closure) {
    detail::subscribeForOwner(owner, state.subject().publisher(),
                              detail::startingTasks<T>(std::move(closure)));
}

/// Writes the current value of `state` into `binding` at once, then every later value while
/// `owner` lives.
template <class T>
void bindEvent(QObject* owner, const core::rx::detail::CurrentValueSinks<T>& state,
               Binding<T> binding) {
    uikit::bind(owner, state.subject().publisher(), std::move(binding));
}

/// Calls `perform(value)` with the current value of `state` at once, then with every published
/// value while `owner` lives.
template <class T, detail::BindingClosure F>
void bindState(QObject* owner, const core::rx::RxObservableState<T>& state, F perform) {
    detail::subscribeForOwner(owner, state.publisher(), std::move(perform));
}

/// Calls `perform(value)` for every value `state` publishes after now (changes only) while
/// `owner` lives.
template <class T, class F>
void bindDropFirstOf(QObject* owner, const core::rx::RxObservableState<T>& state, F perform) {
    detail::subscribeForOwner(owner, state.publisher().dropFirst(), std::move(perform));
}

/// Writes the current value of `state` into `binding` at once, then every published value while
/// `owner` lives.
template <class T>
void bindState(QObject* owner, const core::rx::RxObservableState<T>& state, Binding<T> binding) {
    uikit::bind(owner, state.publisher(), std::move(binding));
}

} // namespace uikit
