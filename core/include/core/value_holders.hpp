#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

// Small holders that give a stored value one extra behaviour. None of them locks: the shared
// ones (the lazy holders and the one-time runner) are meant for one thread at a time.

namespace core {

/// Either a new value (`changed`) or no change (`same`).
template <class Value>
class ValueChange {
public:
    /// A change carrying `value`.
    static ValueChange changed(Value value) { return ValueChange(std::move(value)); }
    /// No change.
    static ValueChange same() { return ValueChange(); }

    /// True for `same`.
    bool isSame() const noexcept { return !m_value.has_value(); }
    /// The new value of a change; absent for `same`.
    const std::optional<Value>& changedValue() const noexcept { return m_value; }
    /// Calls `action` with the new value of a change; does nothing for `same`.
    template <class F>
        requires std::invocable<F, const Value&>
    void caseChanged(F&& action) const {
        if (m_value) {
            std::invoke(std::forward<F>(action), *m_value);
        }
    }

    friend bool operator==(const ValueChange&, const ValueChange&) = default;

private:
    ValueChange() = default;
    explicit ValueChange(Value value) : m_value(std::move(value)) {}

    std::optional<Value> m_value;
};

/// A value that reads as a fallback default until something is stored.
template <class Value>
class VtOptionalSomeValue {
public:
    /// Holds `initial` (possibly absent) with `fallback` as the default.
    explicit VtOptionalSomeValue(Value fallback, std::optional<Value> initial = std::nullopt)
        : m_value(std::move(initial)), m_default(std::move(fallback)) {}

    /// The stored value, or the default when none is stored.
    Value get() const { return m_value ? *m_value : m_default; }
    /// Stores `value` as present.
    void set(Value value) { m_value = std::move(value); }
    /// Changes a copy of `get()` and stores the result as present.
    template <class F>
        requires std::invocable<F, Value&>
    void modify(F&& change) {
        Value copy = get();
        std::invoke(std::forward<F>(change), copy);
        m_value = std::move(copy);
    }
    /// The stored value as it is, absent when nothing was stored.
    const std::optional<Value>& innerValue() const noexcept { return m_value; }

private:
    std::optional<Value> m_value;
    Value m_default;
};

/// A text that never starts or ends with a space separator or tab; line breaks are kept.
class Trimmed {
public:
    /// Holds `text` trimmed of `CharacterSet::whitespaces()` at both ends.
    explicit Trimmed(std::string_view text = {});

    /// The stored, trimmed text.
    const std::string& get() const noexcept { return m_value; }
    /// Stores `text` trimmed.
    void set(std::string_view text);
    /// Changes a copy of the text and stores the result trimmed.
    template <class F>
        requires std::invocable<F, std::string&>
    void modify(F&& change) {
        std::string copy = m_value;
        std::invoke(std::forward<F>(change), copy);
        set(copy);
    }

private:
    std::string m_value;
};

/// Marks a value as allowed to be handed to another thread; adds no synchronisation.
template <class Value>
class UncheckedSendable {
public:
    /// Holds `value`.
    explicit UncheckedSendable(Value value) : m_value(std::move(value)) {}
    /// The held value.
    const Value& value() const noexcept { return m_value; }

private:
    Value m_value;
};

/// A value computed by its initializer on first read and kept until `reset()`.
template <class Value>
class VtLazyValue {
public:
    /// Holds `initial` (absent means "not computed") and the initializer.
    VtLazyValue(std::optional<Value> initial, std::function<Value()> initializer)
        : m_value(std::move(initial)), m_initializer(std::move(initializer)) {}
    VtLazyValue(const VtLazyValue&) = delete;
    VtLazyValue& operator=(const VtLazyValue&) = delete;

    /// The stored value, computed once by the initializer when absent.
    const Value& get() {
        if (!m_value) {
            m_value = m_initializer();
        }
        return *m_value;
    }
    /// Stores `value`; the initializer is not called until the next reset.
    void set(Value value) { m_value = std::move(value); }
    /// Forgets the value so the next read computes it again.
    void reset() { m_value.reset(); }

private:
    std::optional<Value> m_value;
    std::function<Value()> m_initializer;
};

/// A possibly absent value loaded on first read; an absent result is remembered until `reset()`.
template <class Value>
class VtLazyNuallableValue {
public:
    /// Holds the loader; nothing is loaded yet.
    explicit VtLazyNuallableValue(std::function<std::optional<Value>()> loader)
        : m_initializer(std::move(loader)) {}
    VtLazyNuallableValue(const VtLazyNuallableValue&) = delete;
    VtLazyNuallableValue& operator=(const VtLazyNuallableValue&) = delete;

    /// The loaded result, loading it on the first read after creation or reset.
    const std::optional<Value>& get() {
        if (!m_initialized) {
            m_value = m_initializer();
            m_initialized = true;
        }
        return m_value;
    }
    /// Forgets the result so the next read loads again.
    void reset() {
        m_initialized = false;
        m_value.reset();
    }

private:
    bool m_initialized = false;
    std::optional<Value> m_value;
    std::function<std::optional<Value>()> m_initializer;
};

/// An object loaded once and held weakly: reads give it while something else keeps it alive, and
/// the loader is not called again until `reset()`, even after the object has gone.
template <class Value>
class VtLazyLoadingNuallableWeakValue {
public:
    /// Holds the loader; nothing is loaded yet.
    explicit VtLazyLoadingNuallableWeakValue(std::function<std::shared_ptr<Value>()> loader)
        : m_initializer(std::move(loader)) {}
    VtLazyLoadingNuallableWeakValue(const VtLazyLoadingNuallableWeakValue&) = delete;
    VtLazyLoadingNuallableWeakValue& operator=(const VtLazyLoadingNuallableWeakValue&) = delete;

    /// The loaded object while it lives, else null; loads on the first read after creation or
    /// reset.
    std::shared_ptr<Value> get() {
        if (!m_calculated) {
            m_value = m_initializer();
            m_calculated = true;
        }
        return m_value.lock();
    }
    /// Forgets the object so the next read loads again.
    void reset() {
        m_calculated = false;
        m_value.reset();
    }

private:
    bool m_calculated = false;
    std::weak_ptr<Value> m_value;
    std::function<std::shared_ptr<Value>()> m_initializer;
};

/// Runs its action on the first `run` only; later calls, re-entrant ones included, do nothing.
template <class Argument>
class VtOneTimeRunner {
public:
    /// Holds the action; not run yet.
    explicit VtOneTimeRunner(std::function<void(Argument)> closure)
        : m_closure(std::move(closure)) {}
    VtOneTimeRunner(const VtOneTimeRunner&) = delete;
    VtOneTimeRunner& operator=(const VtOneTimeRunner&) = delete;

    /// Marks the runner executed, then calls the action with `argument`, the first time only.
    void run(Argument argument) {
        if (m_executed) {
            return;
        }
        m_executed = true;
        m_closure(std::move(argument));
    }

private:
    std::function<void(Argument)> m_closure;
    bool m_executed = false;
};

} // namespace core
