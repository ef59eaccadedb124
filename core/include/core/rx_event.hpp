#pragma once

#include "core/executor.hpp"
#include "core/rx.hpp"
#include "core/task.hpp"

#include <cstddef>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace core::rx {

/// The value type of a stream declared over `T`: `Void` stands for `void`.
template <class T>
using ValueOf = std::conditional_t<std::is_void_v<T>, Void, T>;

namespace detail {

template <class F, class Owner, class T>
void invokeWithOwner(F& closure, Owner& owner, const T& value) {
    if constexpr (std::is_invocable_v<F&, Owner&, const T&>) {
        closure(owner, value);
    } else {
        static_assert(std::is_same_v<T, Void> && std::is_invocable_v<F&, Owner&>,
                      "a closure takes the owner and the value (the owner alone for Void)");
        closure(owner);
    }
}

} // namespace detail

/// Calls `closure(owner, value)` for each value of `publisher` while `owner` lives; the owner is
/// held weakly, and a value arriving after it is gone is dropped without a call.
template <class T, class Owner, class F>
Cancellable sinkWithOwner(const Publisher<T>& publisher, const std::shared_ptr<Owner>& owner,
                          F closure) {
    std::weak_ptr<Owner> weakOwner = owner;
    return publisher.sink([weakOwner, closure = std::move(closure)](const T& value) mutable {
        if (auto strong = weakOwner.lock()) {
            detail::invokeWithOwner(closure, *strong, value);
        }
    });
}

/// For each value of `publisher` while `owner` lives, starts a task on the background pool that
/// holds the owner strongly and runs `closure(owner, value)`; tasks of successive values are not
/// ordered. After the owner is gone a value starts nothing.
template <class T, class Owner, class F>
Cancellable sinkWithOwnerAsync(const Publisher<T>& publisher, const std::shared_ptr<Owner>& owner,
                               F closure) {
    std::weak_ptr<Owner> weakOwner = owner;
    auto shared = std::make_shared<F>(std::move(closure));
    return publisher.sink([weakOwner, shared](const T& value) {
        if (auto strong = weakOwner.lock()) {
            startTask(
                [strong, shared, value] { detail::invokeWithOwner(*shared, *strong, value); });
        }
    });
}

/// A one-way event stream. Copies send to and are observed through one subject; nothing is kept,
/// so a value sent while nobody listens is gone.
template <class T>
class RxEvent {
public:
    /// The type of the values (`Void` for `RxEvent<void>`).
    using Value = ValueOf<T>;

    /// A new event with a new subject.
    RxEvent() = default;

    /// The subject itself.
    const PassthroughSubject<Value>& subject() const noexcept { return m_subject; }

    /// Delivers `value` to every current subscriber, synchronously on the calling thread.
    void send(const Value& value) const { m_subject.send(value); }
    /// Delivers the empty value (only for `RxEvent<void>`).
    void send() const
        requires std::is_void_v<T>
    {
        m_subject.send(Void{});
    }
    /// Posts one job to `executor` that delivers the empty value; returns at once. The job holds
    /// the subject until it has run.
    void asyncSend(const std::shared_ptr<Executor>& executor) const
        requires std::is_void_v<T>
    {
        executor->post([subject = m_subject] { subject.send(Void{}); });
    }

    /// Calls `closure(value)` for every value (all but the first one when `dropFirst`).
    template <class F>
    Cancellable sink(bool dropFirst, F closure) const {
        return publisher(dropFirst).sink(std::move(closure));
    }
    /// Like `sink`, with `owner` held weakly and `closure(owner, value)` called while it lives.
    template <class Owner, class F>
    Cancellable sink(bool dropFirst, const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwner(publisher(dropFirst), owner, std::move(closure));
    }
    /// Like the owner form of `sink`, running `closure(owner, value)` as a new background task per
    /// value; the task holds the owner.
    template <class Owner, class F>
    Cancellable sinkAsync(bool dropFirst, const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwnerAsync(publisher(dropFirst), owner, std::move(closure));
    }

private:
    Publisher<Value> publisher(bool dropFirst) const {
        auto all = m_subject.publisher();
        return dropFirst ? all.dropFirst(1) : all;
    }

    PassthroughSubject<Value> m_subject;
};

/// Keeps event subscriptions alive until `cancelAll()` or its own end. Safe from any thread.
class RxEventSubscriptionManager {
public:
    RxEventSubscriptionManager() = default;
    RxEventSubscriptionManager(const RxEventSubscriptionManager&) = delete;
    RxEventSubscriptionManager& operator=(const RxEventSubscriptionManager&) = delete;
    ~RxEventSubscriptionManager() { cancelAll(); }

    /// Subscribes `closure` to every value of `event` (nothing dropped) and keeps the
    /// subscription; subscribing twice calls the closure twice per value.
    template <class T, class F>
    void subscribe(const RxEvent<T>& event, F closure) {
        Cancellable handle = event.sink(false, std::move(closure));
        std::lock_guard lock(m_mutex);
        std::move(handle).store(m_cancellables);
    }

    /// Cancels every kept subscription; the manager stays usable.
    void cancelAll() {
        std::vector<Cancellable> ended;
        {
            std::lock_guard lock(m_mutex);
            ended.swap(m_cancellables);
        }
        // Cancelled outside the lock: a closure still running elsewhere may subscribe again.
        for (Cancellable& handle : ended) {
            handle.cancel();
        }
    }

    /// The number of kept subscriptions.
    std::size_t count() const {
        std::lock_guard lock(m_mutex);
        return m_cancellables.size();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Cancellable> m_cancellables;
};

} // namespace core::rx
