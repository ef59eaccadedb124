#pragma once

#include "core/rx.hpp"
#include "core/rx_event.hpp"
#include "core/user_default.hpp"

#include <memory>
#include <string>
#include <utility>

namespace core::rx {

namespace detail {

/// What the observable values share: a current-value subject with the replaying sink forms.
template <class T>
class CurrentValueSinks {
public:
    /// The shared subject.
    const CurrentValueSubject<T>& subject() const noexcept { return m_subject; }
    /// The current value.
    T value() const { return m_subject.value(); }

    /// Calls `closure(value)` with the current value (unless `dropFirst`) and every later one.
    template <class F>
    Cancellable sink(bool dropFirst, F closure) const {
        return publisher(dropFirst).sink(std::move(closure));
    }
    /// Like `sink`, calling `closure(owner, value)` while the weakly held `owner` lives.
    template <class Owner, class F>
    Cancellable sink(bool dropFirst, const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwner(publisher(dropFirst), owner, std::move(closure));
    }

protected:
    explicit CurrentValueSinks(T initial) : m_subject(std::move(initial)) {}

    Publisher<T> publisher(bool dropFirst) const {
        return dropFirst ? m_subject.publisher().dropFirst() : m_subject.publisher();
    }

    CurrentValueSubject<T> m_subject;
};

} // namespace detail

/// An observable value: copies share one current value, and a new subscriber receives it at once.
/// Every write is published, even of an equal value.
template <class T>
class RxState : public detail::CurrentValueSinks<T> {
public:
    /// Starts with `initial`.
    explicit RxState(T initial) : detail::CurrentValueSinks<T>(std::move(initial)) {}

    /// Stores `value` and delivers it to every subscriber, synchronously.
    void setValue(const T& value) const { this->m_subject.send(value); }
    /// Lets `change` edit a copy of the current value, then publishes the result.
    template <class F>
    void modify(F&& change) const {
        T copy = this->m_subject.value();
        std::forward<F>(change)(copy);
        this->m_subject.send(copy);
    }
    /// Like the owner form of `sink`, running each call as a new background task.
    template <class Owner, class F>
    Cancellable sinkAsync(bool dropFirst, const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwnerAsync(this->publisher(dropFirst), owner, std::move(closure));
    }
};

/// An observable value that starts from the settings store and writes every update back, after
/// its subscribers have seen it. Copies share one current value.
template <VtUserDefaultStorable T>
class RxUserDefaults : public detail::CurrentValueSinks<T> {
public:
    /// Starts from the value stored under `key`, or `defaultValue` when none loads; writes nothing.
    RxUserDefaults(T defaultValue, std::string key,
                   std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : detail::CurrentValueSinks<T>(
              UserDefaultStorage<T>::load(key, *userDefaults).value_or(defaultValue)),
          m_userDefaults(std::move(userDefaults)), m_key(std::move(key)),
          m_default(std::move(defaultValue)) {}

    /// The same, keyed by a raw-text key's raw value.
    template <StringRawRepresentable K>
    RxUserDefaults(T defaultValue, const K& key,
                   std::shared_ptr<UserDefaults> userDefaults = UserDefaults::standard())
        : RxUserDefaults(std::move(defaultValue), RawValueTraits<K>::rawValue(key),
                         std::move(userDefaults)) {}

    /// Publishes `value` to every subscriber, then saves it (so subscribers still find the old
    /// stored value).
    void update(const T& value) const {
        this->m_subject.send(value);
        UserDefaultStorage<T>::save(*m_userDefaults, m_key, value);
    }

private:
    std::shared_ptr<UserDefaults> m_userDefaults;
    std::string m_key;
    T m_default;
};

} // namespace core::rx
