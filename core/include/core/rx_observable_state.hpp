#pragma once

#include "core/executor.hpp"
#include "core/rx.hpp"
#include "core/rx_event.hpp"
#include "core/user_default.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace core::rx {

/// An object whose observers are told before any of its published fields changes.
class ObservableObject {
public:
    /// Sends once before every change of a published field of this object.
    const PassthroughSubject<Void>& objectWillChange() const noexcept { return m_objectWillChange; }

protected:
    ObservableObject() = default;
    ~ObservableObject() = default;
    ObservableObject(const ObservableObject&) = delete;
    ObservableObject& operator=(const ObservableObject&) = delete;

private:
    PassthroughSubject<Void> m_objectWillChange;
};

/// A copy of a value that reads like a pointer, so `object->member` reads a member of the value
/// without exposing storage another thread may replace.
template <class T>
class ValueArrow {
public:
    /// Holds `value`.
    explicit ValueArrow(T value) : m_value(std::move(value)) {}
    /// The held copy.
    const T* operator->() const noexcept { return &m_value; }

private:
    T m_value;
};

/// A published field: every write announces the change through the owner's `objectWillChange`,
/// stores the value, then delivers it to the field's subscribers ("store, then publish": a
/// subscriber that reads the field sees the new value). A subscriber first receives the current
/// value.
template <class T>
class Published {
public:
    /// A field that announces nothing before a change.
    explicit Published(T initial) : m_subject(std::move(initial)) {}
    /// A field of `owner`, announced through `owner.objectWillChange()`.
    Published(const ObservableObject& owner, T initial)
        : m_willChange(owner.objectWillChange()), m_subject(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    /// The current value (a copy).
    T get() const { return m_subject.value(); }
    /// Announces, stores and publishes `value`, equal to the current one or not.
    void set(const T& value) {
        if (m_willChange) {
            m_willChange->send();
        }
        m_subject.send(value);
    }
    /// The current value, then every value written.
    Publisher<T> publisher() const { return m_subject.publisher(); }
    /// Reads a member of the current value: `field->member`.
    ValueArrow<T> operator->() const { return ValueArrow<T>(get()); }

private:
    std::optional<PassthroughSubject<Void>> m_willChange;
    CurrentValueSubject<T> m_subject;
};

/// Values with an `id` member, as identifiable values have.
template <class T>
concept Identifiable = requires(const T& value) { value.id; };

namespace detail {

template <class T>
Publisher<T> dropAndDebounce(Publisher<T> publisher, bool dropFirst,
                             std::optional<Duration> debounce) {
    if (dropFirst) {
        publisher = publisher.dropFirst(1);
    }
    if (debounce && *debounce > Duration::zero()) {
        publisher = publisher.debounce(*debounce, mainLoop());
    }
    return publisher;
}

} // namespace detail

/// A published value with change suppression: `send` ignores a value equal to the current one and
/// calls `willSet(old, new)` before storing a different one; a direct `setValue` always publishes.
template <std::equality_comparable T>
class RxObservableState : public ObservableObject {
public:
    /// Called with the old and the new value before `send` stores a different value.
    using WillSet = std::function<void(const T& oldValue, const T& newValue)>;

    /// A state holding `value`, with an optional `willSet` hook fixed for its life.
    explicit RxObservableState(T value, WillSet willSet = {})
        : m_value(*this, std::move(value)), m_willSet(std::move(willSet)) {}

    /// The current value (a copy).
    T value() const { return m_value.get(); }
    /// Stores and publishes `value`: no equality test, no `willSet`.
    void setValue(const T& value) { m_value.set(value); }
    /// The current value, then every published one.
    Publisher<T> publisher() const { return m_value.publisher(); }
    /// Reads a member of the current value: `state->member`.
    ValueArrow<T> operator->() const { return m_value.operator->(); }
    /// The value's identity, where the value has one.
    auto id() const
        requires Identifiable<T>
    {
        return value().id;
    }

    /// Does nothing when `value` equals the current value; otherwise calls `willSet(current,
    /// value)`, then stores and publishes `value`.
    void send(const T& value) {
        if (m_value.get() == value) {
            return;
        }
        if (m_willSet) {
            m_willSet(m_value.get(), value);
        }
        m_value.set(value);
    }

    /// Calls `closure(value)` for the current value (unless `dropFirst`) and each later one. With a
    /// `debounce` interval above zero, a value is delivered on the main loop once the interval has
    /// passed without a newer one; otherwise synchronously on the writing thread.
    template <class F>
    Cancellable sink(bool dropFirst, std::optional<Duration> debounce, F closure) const {
        return detail::dropAndDebounce(publisher(), dropFirst, debounce).sink(std::move(closure));
    }
    /// Like `sink`, with `owner` held weakly and `closure(owner, value)` called while it lives.
    template <class Owner, class F>
    Cancellable sink(bool dropFirst, std::optional<Duration> debounce,
                     const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwner(detail::dropAndDebounce(publisher(), dropFirst, debounce), owner,
                             std::move(closure));
    }
    /// Like the owner form of `sink`, running `closure(owner, value)` as a new background task per
    /// value; the task holds the owner.
    template <class Owner, class F>
    Cancellable sinkAsync(bool dropFirst, std::optional<Duration> debounce,
                          const std::shared_ptr<Owner>& owner, F closure) const {
        return sinkWithOwnerAsync(detail::dropAndDebounce(publisher(), dropFirst, debounce), owner,
                                  std::move(closure));
    }

private:
    Published<T> m_value;
    const WillSet m_willSet;
};

/// A bare published value.
template <class T>
class VtSingleObservableObject : public ObservableObject {
public:
    /// An object holding `value`.
    explicit VtSingleObservableObject(T value) : m_value(*this, std::move(value)) {}

    /// The current value (a copy).
    T value() const { return m_value.get(); }
    /// Stores and publishes `value`.
    void setValue(const T& value) { m_value.set(value); }
    /// The current value, then every published one.
    Publisher<T> publisher() const { return m_value.publisher(); }
    /// Reads a member of the current value: `object->member`.
    ValueArrow<T> operator->() const { return m_value.operator->(); }

private:
    Published<T> m_value;
};

/// A published value loaded once from the settings store and written back on every change:
/// subscribers see a new value before it is saved.
template <VtUserDefaultStorable T>
class VtUserDefaultObservableObject : public ObservableObject {
public:
    /// Starts with the value stored under `key` in `userDefaults`, or `defaultValue` when none is;
    /// writes nothing.
    VtUserDefaultObservableObject(std::string key, T defaultValue,
                                  std::shared_ptr<UserDefaults> userDefaults)
        : m_userDefaults(std::move(userDefaults)), m_key(std::move(key)),
          m_default(std::move(defaultValue)),
          m_value(*this, UserDefaultStorage<T>::load(m_key, *m_userDefaults).value_or(m_default)) {}
    /// The same, keyed by a raw-text key's raw value.
    template <StringRawRepresentable K>
    VtUserDefaultObservableObject(const K& key, T defaultValue,
                                  std::shared_ptr<UserDefaults> userDefaults)
        : VtUserDefaultObservableObject(RawValueTraits<K>::rawValue(key), std::move(defaultValue),
                                        std::move(userDefaults)) {}

    /// The current value; the store is not read again.
    T value() const { return m_value.get(); }
    /// Publishes `value`, then saves it under the key.
    void setValue(const T& value) {
        m_value.set(value);
        UserDefaultStorage<T>::save(*m_userDefaults, m_key, m_value.get());
    }
    /// The current value, then every published one.
    Publisher<T> publisher() const { return m_value.publisher(); }

private:
    std::shared_ptr<UserDefaults> m_userDefaults;
    std::string m_key;
    T m_default;
    Published<T> m_value;
};

} // namespace core::rx
