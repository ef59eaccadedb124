#pragma once

#include "core/executor.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

/// The reactive core: streams of values that end at most once, finished or failed.
///
/// Delivery is synchronous, on the thread that sends. A subscriber may send, subscribe or cancel
/// from inside its own delivery. Sends from several threads may reach one subscriber at the same
/// time: what a subscriber's closure touches must be safe for that when its sources are sent to
/// from several threads. Cancelling waits until deliveries to that subscription running on other
/// threads have returned, so after `cancel()` (or the handle's destruction) the closure is never
/// running or called again, except when cancelled from inside its own delivery.
namespace core::rx {

/// The value of a stream whose values carry nothing.
struct Void {
    friend bool operator==(Void, Void) = default;
};

/// How a stream ended: null when it finished, otherwise its failure.
using Completion = std::exception_ptr;

/// A move-only subscription handle: cancels its subscription when cancelled or destroyed.
class Cancellable {
public:
    /// A handle that cancels nothing.
    Cancellable() = default;
    /// A handle that calls `cancel` once, on `cancel()` or destruction.
    explicit Cancellable(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    Cancellable(Cancellable&& other) noexcept : m_cancel(std::exchange(other.m_cancel, {})) {}
    /// Cancels what this handle held, then takes over `other`'s subscription.
    Cancellable& operator=(Cancellable&& other) noexcept;
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;
    ~Cancellable() { cancel(); }

    /// Ends the subscription; later calls do nothing.
    void cancel() noexcept;
    /// Moves this handle into `bag`, which then keeps the subscription alive.
    void store(std::vector<Cancellable>& bag) &&;

private:
    std::function<void()> m_cancel;
};

/// The receiving end of a stream: values, then at most one completion.
template <class T>
struct Subscriber {
    std::function<void(const T&)> receive;
    std::function<void(Completion)> complete;
};

template <class T>
class Publisher;

namespace detail {

/// Runs a subscriber's delivery, logging what it throws so one faulty subscriber cannot keep a
/// value from the others or unwind into the sender.
void deliverGuarded(const std::function<void()>& delivery) noexcept;

/// The end of every subscription: tracks deliveries in flight so cancelling can wait for them.
template <class T>
class SinkNode {
public:
    explicit SinkNode(Subscriber<T> subscriber) : m_subscriber(std::move(subscriber)) {}

    void receive(const T& value) {
        if (!enter(false)) {
            return;
        }
        deliverGuarded([&] { m_subscriber.receive(value); });
        leave();
    }

    void complete(Completion completion) {
        if (!enter(true)) {
            return;
        }
        if (m_subscriber.complete) {
            deliverGuarded([&] { m_subscriber.complete(completion); });
        }
        leave();
    }

    void cancel() {
        Subscriber<T> released;
        {
            std::unique_lock lock(m_mutex);
            m_active = false;
            const auto me = std::this_thread::get_id();
            m_changed.wait(lock, [&] {
                return std::all_of(m_inFlight.begin(), m_inFlight.end(),
                                   [&](std::thread::id id) { return id == me; });
            });
            if (m_inFlight.empty()) {
                released = std::exchange(m_subscriber, {});
            }
        }
        // `released` dies here, outside the lock: the closures' captures may cancel others.
    }

private:
    bool enter(bool finishing) {
        std::lock_guard lock(m_mutex);
        if (!m_active) {
            return false;
        }
        if (finishing) {
            m_active = false;
        }
        m_inFlight.push_back(std::this_thread::get_id());
        return true;
    }

    void leave() {
        Subscriber<T> released;
        {
            std::lock_guard lock(m_mutex);
            const auto found =
                std::find(m_inFlight.begin(), m_inFlight.end(), std::this_thread::get_id());
            m_inFlight.erase(found);
            if (!m_active && m_inFlight.empty()) {
                released = std::exchange(m_subscriber, {});
            }
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_active = true;
    std::vector<std::thread::id> m_inFlight;
    Subscriber<T> m_subscriber;
};

/// The subscriber list shared by the subjects.
template <class T>
class SubjectCore {
public:
    struct Entry {
        explicit Entry(Subscriber<T> s) : subscriber(std::move(s)) {}
        std::atomic<bool> active{true};
        Subscriber<T> subscriber;
    };

    /// Adds `subscriber` unless the subject has ended (then completes it at once); `onAdded` runs
    /// under the lock with the new entry, for a current value to be read atomically.
    template <class OnAdded>
    Cancellable add(std::shared_ptr<SubjectCore> self, Subscriber<T> subscriber,
                    OnAdded&& onAdded) {
        std::unique_lock lock(m_mutex);
        if (m_completion) {
            const Completion completion = *m_completion;
            lock.unlock();
            if (subscriber.complete) {
                deliverGuarded([&] { subscriber.complete(completion); });
            }
            return Cancellable();
        }
        auto entry = std::make_shared<Entry>(std::move(subscriber));
        m_entries.push_back(entry);
        onAdded(entry);
        lock.unlock();
        std::weak_ptr<SubjectCore> weakSelf = self;
        std::weak_ptr<Entry> weakEntry = entry;
        return Cancellable([weakSelf, weakEntry] {
            if (auto core = weakSelf.lock()) {
                core->remove(weakEntry.lock());
            }
        });
    }

    /// Subscribers present now, in subscription order; empty after the end.
    std::vector<std::shared_ptr<Entry>> snapshot() const {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }

    template <class Store>
    void send(const T& value, Store&& store) {
        std::vector<std::shared_ptr<Entry>> entries;
        {
            std::lock_guard lock(m_mutex);
            if (m_completion) {
                return;
            }
            store();
            entries = m_entries;
        }
        for (const auto& entry : entries) {
            if (entry->active.load()) {
                deliverGuarded([&] { entry->subscriber.receive(value); });
            }
        }
    }

    void complete(Completion completion) {
        std::vector<std::shared_ptr<Entry>> entries;
        {
            std::lock_guard lock(m_mutex);
            if (m_completion) {
                return;
            }
            m_completion = completion;
            entries.swap(m_entries);
        }
        for (const auto& entry : entries) {
            if (entry->active.exchange(false) && entry->subscriber.complete) {
                deliverGuarded([&] { entry->subscriber.complete(completion); });
            }
        }
    }

    void remove(const std::shared_ptr<Entry>& entry) {
        if (!entry) {
            return;
        }
        entry->active.store(false);
        std::shared_ptr<Entry> released;
        std::lock_guard lock(m_mutex);
        const auto found = std::find(m_entries.begin(), m_entries.end(), entry);
        if (found != m_entries.end()) {
            released = std::move(*found);
            m_entries.erase(found);
        }
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Entry>> m_entries;
    std::optional<Completion> m_completion;
};

template <class F, class T>
void invokeReceive(F& closure, const T& value) {
    if constexpr (std::is_invocable_v<F&, const T&>) {
        closure(value);
    } else {
        static_assert(std::is_same_v<T, Void> && std::is_invocable_v<F&>,
                      "a closure takes the value, or nothing when the values are Void");
        closure();
    }
}

} // namespace detail

/// A type-erased stream of `T`: anything that can be subscribed to.
template <class T>
class Publisher {
public:
    /// The type of the values.
    using Output = T;
    /// What subscribing does: connect the subscriber and return the subscription's handle.
    using SubscribeFunction = std::function<Cancellable(Subscriber<T>)>;

    /// A publisher that subscribes with `subscribe`.
    explicit Publisher(SubscribeFunction subscribe) : m_subscribe(std::move(subscribe)) {}

    /// Connects a raw subscriber (operators use this); prefer `sink`.
    Cancellable subscribe(Subscriber<T> subscriber) const {
        return m_subscribe(std::move(subscriber));
    }

    /// Calls `receive` for each value (and `complete` at the end, if given) until the returned
    /// handle is cancelled or destroyed.
    template <class F>
    Cancellable sink(F receive, std::function<void(Completion)> complete = {}) const {
        Subscriber<T> subscriber{[receive = std::move(receive)](const T& value) mutable {
                                     detail::invokeReceive(receive, value);
                                 },
                                 std::move(complete)};
        auto node = std::make_shared<detail::SinkNode<T>>(std::move(subscriber));
        auto upstream = std::make_shared<Cancellable>(
            subscribe(Subscriber<T>{[node](const T& value) { node->receive(value); },
                                    [node](Completion c) { node->complete(c); }}));
        return Cancellable([node, upstream] {
            node->cancel();
            upstream->cancel();
        });
    }

    /// The same stream without its first `count` values.
    Publisher dropFirst(std::size_t count = 1) const {
        auto upstream = *this;
        return Publisher([upstream, count](Subscriber<T> downstream) {
            auto seen = std::make_shared<std::atomic<std::size_t>>(0);
            return upstream.subscribe(Subscriber<T>{
                [seen, count, receive = std::move(downstream.receive)](const T& value) {
                    if (seen->fetch_add(1) >= count) {
                        receive(value);
                    }
                },
                std::move(downstream.complete)});
        });
    }

    /// Each value transformed by `transform`, which must not throw.
    template <class F, class U = std::decay_t<std::invoke_result_t<F&, const T&>>>
    Publisher<U> map(F transform) const {
        auto upstream = *this;
        return Publisher<U>([upstream, transform](Subscriber<U> downstream) {
            return upstream.subscribe(
                Subscriber<T>{[transform, receive = std::move(downstream.receive)](
                                  const T& value) mutable { receive(transform(value)); },
                              std::move(downstream.complete)});
        });
    }

    /// Delivers a value on `executor` once `interval` has passed without a newer one; a normal
    /// end first delivers the value still waiting, a failure drops it.
    Publisher debounce(Duration interval, std::shared_ptr<Executor> executor) const;

    /// On failure, delivers `replace(failure)` and finishes; values and a normal end pass.
    Publisher replaceError(std::function<T(std::exception_ptr)> replace) const {
        auto upstream = *this;
        return Publisher([upstream, replace](Subscriber<T> downstream) {
            auto receive = downstream.receive;
            auto complete = downstream.complete;
            return upstream.subscribe(Subscriber<T>{std::move(downstream.receive),
                                                    [replace, receive, complete](Completion c) {
                                                        if (c) {
                                                            receive(replace(c));
                                                        }
                                                        if (complete) {
                                                            complete(nullptr);
                                                        }
                                                    }});
        });
    }

    /// On failure, finishes without a value; values and a normal end pass.
    Publisher ignoreError() const {
        auto upstream = *this;
        return Publisher([upstream](Subscriber<T> downstream) {
            auto complete = downstream.complete;
            return upstream.subscribe(
                Subscriber<T>{std::move(downstream.receive), [complete](Completion /*failure*/) {
                                  if (complete) {
                                      complete(nullptr);
                                  }
                              }});
        });
    }

private:
    SubscribeFunction m_subscribe;
};

/// A stream that subscribers join and leave; what is sent while nobody listens is gone.
/// Copies share one subject.
template <class T>
class PassthroughSubject {
public:
    /// A new subject without subscribers.
    PassthroughSubject() : m_core(std::make_shared<detail::SubjectCore<T>>()) {}

    /// Delivers `value` to every current subscriber on the calling thread.
    void send(const T& value) const {
        m_core->send(value, [] {});
    }
    /// Delivers the empty value (only for `Void` streams).
    void send() const
        requires std::is_same_v<T, Void>
    {
        send(Void{});
    }
    /// Ends the stream: finished when `completion` is null, otherwise failed with it.
    void sendCompletion(Completion completion = nullptr) const { m_core->complete(completion); }
    /// The subject as a publisher.
    Publisher<T> publisher() const {
        auto core = m_core;
        return Publisher<T>([core](Subscriber<T> subscriber) {
            return core->add(core, std::move(subscriber), [](const auto&) {});
        });
    }
    /// `publisher().sink(...)`.
    template <class F>
    Cancellable sink(F receive, std::function<void(Completion)> complete = {}) const {
        return publisher().sink(std::move(receive), std::move(complete));
    }
    /// The number of current subscribers.
    std::size_t subscriberCount() const { return m_core->snapshot().size(); }

private:
    std::shared_ptr<detail::SubjectCore<T>> m_core;
};

/// A subject that holds a current value: a new subscriber first receives it, then every later
/// one. Copies share one subject. A value sent by another thread while a subscriber is joining
/// may reach it before the current value it joined with.
template <class T>
class CurrentValueSubject {
public:
    /// A subject whose current value is `value`.
    explicit CurrentValueSubject(T value) : m_state(std::make_shared<State>(std::move(value))) {}

    /// The current value (a copy).
    T value() const {
        std::lock_guard lock(m_state->valueMutex);
        return m_state->value;
    }
    /// Stores `value` as the current one, then delivers it to every subscriber.
    void send(const T& value) const {
        m_state->core->send(value, [&] {
            std::lock_guard lock(m_state->valueMutex);
            m_state->value = value;
        });
    }
    /// Ends the stream: finished when `completion` is null, otherwise failed with it.
    void sendCompletion(Completion completion = nullptr) const {
        m_state->core->complete(completion);
    }
    /// The subject as a publisher (current value first).
    Publisher<T> publisher() const {
        auto state = m_state;
        return Publisher<T>([state](Subscriber<T> subscriber) {
            std::optional<T> first;
            std::shared_ptr<typename detail::SubjectCore<T>::Entry> added;
            Cancellable handle =
                state->core->add(state->core, std::move(subscriber), [&](const auto& entry) {
                    std::lock_guard lock(state->valueMutex);
                    first = state->value;
                    added = entry;
                });
            if (added && first && added->active.load()) {
                detail::deliverGuarded([&] { added->subscriber.receive(*first); });
            }
            return handle;
        });
    }
    /// `publisher().sink(...)`.
    template <class F>
    Cancellable sink(F receive, std::function<void(Completion)> complete = {}) const {
        return publisher().sink(std::move(receive), std::move(complete));
    }

private:
    struct State {
        explicit State(T initial)
            : core(std::make_shared<detail::SubjectCore<T>>()), value(std::move(initial)) {}
        std::shared_ptr<detail::SubjectCore<T>> core;
        mutable std::mutex valueMutex;
        T value;
    };
    std::shared_ptr<State> m_state;
};

/// A publisher of one value, then the end.
template <class T>
Publisher<T> just(T value) {
    return Publisher<T>([value](Subscriber<T> subscriber) {
        subscriber.receive(value);
        if (subscriber.complete) {
            subscriber.complete(nullptr);
        }
        return Cancellable();
    });
}

/// What a future's action hands over: a value or a failure.
template <class T>
using Outcome = std::variant<T, std::exception_ptr>;

/// A publisher of one eventual outcome: the first outcome is kept and replayed to every
/// subscriber (a value then the end, or the failure). Copies share one future.
template <class T>
class Future {
public:
    /// The completion handed to a callback action: the first call fulfils the future.
    using Promise = std::function<void(Outcome<T>)>;

    /// Runs `action` at once and keeps its return value, or the exception it throws.
    template <class F>
        requires std::is_invocable_r_v<T, F&>
    static Future from(F action) {
        Future future;
        try {
            future.fulfil(Outcome<T>(std::in_place_index<0>, action()));
        } catch (...) {
            future.fulfil(Outcome<T>(std::in_place_index<1>, std::current_exception()));
        }
        return future;
    }

    /// Runs `action` at once with a completion; the first outcome it is given is kept.
    template <class F>
        requires(std::is_invocable_v<F&, Promise> && !std::is_invocable_v<F&>)
    static Future from(F action) {
        Future future;
        auto state = future.m_state;
        try {
            action(
                Promise([state](Outcome<T> outcome) { fulfilState(state, std::move(outcome)); }));
        } catch (...) {
            future.fulfil(Outcome<T>(std::in_place_index<1>, std::current_exception()));
        }
        return future;
    }

    /// The future as a publisher.
    Publisher<T> publisher() const {
        auto state = m_state;
        return Publisher<T>([state](Subscriber<T> subscriber) {
            std::unique_lock lock(state->mutex);
            if (state->outcome) {
                const Outcome<T> outcome = *state->outcome;
                lock.unlock();
                deliver(subscriber, outcome);
                return Cancellable();
            }
            const std::uint64_t id = state->nextId++;
            state->waiting.emplace_back(id, std::move(subscriber));
            std::weak_ptr<State> weak = state;
            return Cancellable([weak, id] {
                if (auto s = weak.lock()) {
                    std::optional<Subscriber<T>> released;
                    std::lock_guard relock(s->mutex);
                    const auto found = std::find_if(s->waiting.begin(), s->waiting.end(),
                                                    [id](const auto& w) { return w.first == id; });
                    if (found != s->waiting.end()) {
                        released = std::move(found->second);
                        s->waiting.erase(found);
                    }
                }
            });
        });
    }
    /// `publisher().sink(...)`.
    template <class F>
    Cancellable sink(F receive, std::function<void(Completion)> complete = {}) const {
        return publisher().sink(std::move(receive), std::move(complete));
    }

private:
    struct State {
        std::mutex mutex;
        std::optional<Outcome<T>> outcome;
        std::uint64_t nextId = 0;
        std::vector<std::pair<std::uint64_t, Subscriber<T>>> waiting;
    };

    Future() : m_state(std::make_shared<State>()) {}

    void fulfil(Outcome<T> outcome) { fulfilState(m_state, std::move(outcome)); }

    static void fulfilState(const std::shared_ptr<State>& state, Outcome<T> outcome) {
        std::vector<std::pair<std::uint64_t, Subscriber<T>>> waiting;
        {
            std::lock_guard lock(state->mutex);
            if (state->outcome) {
                return;
            }
            state->outcome = outcome;
            waiting.swap(state->waiting);
        }
        for (auto& entry : waiting) {
            deliver(entry.second, outcome);
        }
    }

    static void deliver(const Subscriber<T>& subscriber, const Outcome<T>& outcome) {
        detail::deliverGuarded([&] {
            if (outcome.index() == 0) {
                subscriber.receive(std::get<0>(outcome));
                if (subscriber.complete) {
                    subscriber.complete(nullptr);
                }
            } else if (subscriber.complete) {
                subscriber.complete(std::get<1>(outcome));
            }
        });
    }

    std::shared_ptr<State> m_state;
};

namespace detail {

template <class T>
class DebounceState {
public:
    DebounceState(Subscriber<T> downstream, Duration interval, std::shared_ptr<Executor> executor)
        : m_downstream(std::move(downstream)), m_interval(interval),
          m_executor(std::move(executor)) {}

    static void receive(const std::shared_ptr<DebounceState>& self, const T& value) {
        std::uint64_t generation = 0;
        {
            std::lock_guard lock(self->m_mutex);
            if (!self->m_active) {
                return;
            }
            generation = ++self->m_generation;
            self->m_pending = value;
        }
        std::weak_ptr<DebounceState> weak = self;
        self->m_executor->postAfter(self->m_interval, [weak, generation] {
            if (auto state = weak.lock()) {
                state->fire(generation);
            }
        });
    }

    void complete(Completion completion) {
        std::optional<T> pending;
        {
            std::lock_guard lock(m_mutex);
            if (!m_active) {
                return;
            }
            m_active = false;
            pending = std::exchange(m_pending, std::nullopt);
        }
        if (pending && !completion) {
            m_downstream.receive(*pending);
        }
        if (m_downstream.complete) {
            m_downstream.complete(completion);
        }
    }

    void cancel() {
        std::lock_guard lock(m_mutex);
        m_active = false;
        m_pending.reset();
    }

private:
    void fire(std::uint64_t generation) {
        std::optional<T> value;
        {
            std::lock_guard lock(m_mutex);
            if (!m_active || generation != m_generation || !m_pending) {
                return;
            }
            value = std::exchange(m_pending, std::nullopt);
        }
        m_downstream.receive(*value);
    }

    std::mutex m_mutex;
    Subscriber<T> m_downstream;
    const Duration m_interval;
    const std::shared_ptr<Executor> m_executor;
    bool m_active = true;
    std::uint64_t m_generation = 0;
    std::optional<T> m_pending;
};

template <class... Ts>
class CombineLatestState {
public:
    using Tuple = std::tuple<Ts...>;

    explicit CombineLatestState(Subscriber<Tuple> downstream)
        : m_downstream(std::move(downstream)) {}

    template <std::size_t I, class V>
    void receive(const V& value) {
        std::optional<Tuple> combined;
        {
            std::lock_guard lock(m_mutex);
            if (!m_active) {
                return;
            }
            std::get<I>(m_latest) = value;
            combined = collect(std::index_sequence_for<Ts...>{});
        }
        if (combined) {
            m_downstream.receive(*combined);
        }
    }

    template <std::size_t I>
    void complete(Completion completion) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_active) {
                return;
            }
            m_finished[I] = true;
            const bool allFinished =
                std::all_of(m_finished.begin(), m_finished.end(), [](bool f) { return f; });
            if (!completion && !allFinished) {
                return;
            }
            m_active = false;
        }
        if (m_downstream.complete) {
            m_downstream.complete(completion);
        }
    }

    void cancel() {
        std::lock_guard lock(m_mutex);
        m_active = false;
    }

private:
    template <std::size_t... Is>
    std::optional<Tuple> collect(std::index_sequence<Is...> /*indexes*/) const {
        if ((std::get<Is>(m_latest).has_value() && ...)) {
            return Tuple(*std::get<Is>(m_latest)...);
        }
        return std::nullopt;
    }

    std::mutex m_mutex;
    Subscriber<Tuple> m_downstream;
    std::tuple<std::optional<Ts>...> m_latest;
    std::array<bool, sizeof...(Ts)> m_finished{};
    bool m_active = true;
};

template <class... Ts, std::size_t... Is>
Cancellable subscribeAll(const std::shared_ptr<CombineLatestState<Ts...>>& state,
                         const std::tuple<Publisher<Ts>...>& publishers,
                         std::index_sequence<Is...> /*indexes*/) {
    auto handles = std::make_shared<std::vector<Cancellable>>();
    handles->reserve(sizeof...(Ts));
    (handles->push_back(std::get<Is>(publishers)
                            .subscribe(Subscriber<Ts>{
                                [state](const Ts& value) { state->template receive<Is>(value); },
                                [state](Completion c) { state->template complete<Is>(c); }})),
     ...);
    return Cancellable([state, handles] {
        state->cancel();
        for (Cancellable& handle : *handles) {
            handle.cancel();
        }
    });
}

} // namespace detail

template <class T>
Publisher<T> Publisher<T>::debounce(Duration interval, std::shared_ptr<Executor> executor) const {
    auto upstream = *this;
    return Publisher([upstream, interval, executor](Subscriber<T> downstream) {
        auto state =
            std::make_shared<detail::DebounceState<T>>(std::move(downstream), interval, executor);
        auto handle = std::make_shared<Cancellable>(upstream.subscribe(Subscriber<T>{
            [state](const T& value) { detail::DebounceState<T>::receive(state, value); },
            [state](Completion c) { state->complete(c); }}));
        return Cancellable([state, handle] {
            state->cancel();
            handle->cancel();
        });
    });
}

/// Combines the latest values of all `publishers`: once each has delivered a value, every new
/// value of any of them delivers the tuple of the latest ones. Finishes when all have finished;
/// fails as soon as one fails.
template <class... Ts>
Publisher<std::tuple<Ts...>> combineLatest(Publisher<Ts>... publishers) {
    static_assert(sizeof...(Ts) >= 2, "combine at least two publishers");
    auto all = std::make_tuple(std::move(publishers)...);
    return Publisher<std::tuple<Ts...>>([all](Subscriber<std::tuple<Ts...>> downstream) {
        auto state = std::make_shared<detail::CombineLatestState<Ts...>>(std::move(downstream));
        return detail::subscribeAll(state, all, std::index_sequence_for<Ts...>{});
    });
}

} // namespace core::rx
