#pragma once

#include "core/uuid.hpp"

#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

namespace core {

/// A value paired with a version that is renewed on every write, so a consumer can tell whether
/// the value was set again by comparing versions instead of values.
template <class Value>
class Versioned {
public:
    /// Holds a default-made value under a fresh version.
    Versioned()
        requires std::default_initializable<Value>
        : Versioned(Value{}) {}
    /// Holds `value` under a fresh version.
    explicit Versioned(Value value) : m_version(Uuid::random()), m_value(std::move(value)) {}

    /// The current version; unchanged by reads, copies and comparisons.
    const Uuid& version() const noexcept { return m_version; }
    /// The held value; reading never changes the version.
    const Value& value() const noexcept { return m_value; }
    /// Stores `value` under a fresh version, even when it equals the held one.
    void set(Value value) {
        m_version = Uuid::random();
        m_value = std::move(value);
    }
    /// Applies `change` to a copy of the value and writes the copy back, renewing the version
    /// exactly once whether or not the change altered anything.
    template <class F>
        requires std::invocable<F, Value&>
    void modify(F&& change) {
        Value copy = m_value;
        std::invoke(std::forward<F>(change), copy);
        set(std::move(copy));
    }
    /// Renews the version and keeps the value.
    void setNewVersion() { m_version = Uuid::random(); }

    /// A `Versioned` of `transform(value())` that carries this one's version.
    template <class F>
        requires std::invocable<F, const Value&>
    auto map(F&& transform) const {
        using Result = std::remove_cvref_t<std::invoke_result_t<F, const Value&>>;
        return Versioned<Result>(m_version, std::invoke(std::forward<F>(transform), m_value));
    }

    /// Two holders are equal exactly when their versions are; the values are not compared.
    friend bool operator==(const Versioned& lhs, const Versioned& rhs) noexcept {
        return lhs.m_version == rhs.m_version;
    }

private:
    template <class>
    friend class Versioned;

    Versioned(const Uuid& version, Value value) : m_version(version), m_value(std::move(value)) {}

    Uuid m_version;
    Value m_value;
};

} // namespace core
