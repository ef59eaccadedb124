#pragma once

#include <concepts>
#include <mutex>
#include <utility>

namespace core {

/// A process-wide value behind a mutex, so that replacing a dependency while others read it is
/// safe. Readers get a copy.
template <class T>
class SharedInjectionValue {
public:
    /// Starts with `initial`.
    explicit SharedInjectionValue(T initial = T{}) : m_value(std::move(initial)) {}

    /// A copy of the current value.
    T get() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }
    /// Replaces the current value.
    void set(T value) {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }
    /// Changes the value in place under the lock; `change` must not touch this value again.
    template <class F>
    void modify(F&& change) {
        std::lock_guard lock(m_mutex);
        std::forward<F>(change)(m_value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value;
};

/// A dependency key that holds its current value: `static SharedInjectionValue<Value>&
/// sharedValue()`.
template <class K>
concept VtWritableInjectionKey = requires {
    typename K::Value;
    { K::sharedValue() } -> std::same_as<SharedInjectionValue<typename K::Value>&>;
};

/// A dependency key whose value is produced on demand: `static Value makeValue()`.
template <class K>
concept VtDynamicInjectionKey = requires {
    typename K::Value;
    { K::makeValue() } -> std::convertible_to<typename K::Value>;
};

/// An injected property that can be read: `static Value get()`.
template <class P>
concept InjectedReadable = requires {
    typename P::Value;
    { P::get() } -> std::convertible_to<typename P::Value>;
};

/// An injected property that can also be replaced: `static void set(Value)`.
template <class P>
concept InjectedWritable =
    InjectedReadable<P> && requires(typename P::Value value) { P::set(std::move(value)); };

/// The property that reads and writes a writable key's shared value.
template <VtWritableInjectionKey K>
struct KeyProperty {
    using Value = typename K::Value;
    static Value get() { return K::sharedValue().get(); }
    static void set(Value value) { K::sharedValue().set(std::move(value)); }
};

/// The property that makes a dynamic key's value afresh on every read.
template <VtDynamicInjectionKey K>
struct DynamicKeyProperty {
    using Value = typename K::Value;
    static Value get() { return K::makeValue(); }
};

/// Static access to injected dependencies, addressed by property type.
struct VtInjectedValues {
    /// The property's current value; its getter runs on every call.
    template <InjectedReadable P>
    static typename P::Value get() {
        return P::get();
    }
    /// Replaces the property's value through its setter.
    template <InjectedWritable P>
    static void set(typename P::Value value) {
        P::set(std::move(value));
    }
    /// Reads a copy, lets `change` edit it, writes it back once.
    template <InjectedWritable P, class F>
    static void modify(F&& change) {
        typename P::Value value = P::get();
        std::forward<F>(change)(value);
        P::set(std::move(value));
    }
};

/// Reads an injected property on every access, never caching it, so later replacements show.
template <InjectedReadable P>
class Injected {
public:
    /// The property's current value.
    typename P::Value wrappedValue() const { return P::get(); }
    /// Same as `wrappedValue()`.
    typename P::Value operator*() const { return P::get(); }
};

} // namespace core
